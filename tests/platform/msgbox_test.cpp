#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "vokplat/msgbox.h"
#include "win32/windows.h"

namespace {

std::string box_log() {
    size_t n = PlatMsgBoxLog(nullptr, 0);
    std::string s(n + 1, '\0');
    PlatMsgBoxLog(s.data(), s.size());
    s.resize(n);
    return s;
}

class MsgBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("VOK_MSGBOX_ANSWERS");
        unsetenv("VOK_MSGBOX_LOG");
        PlatMsgBoxReset();
    }
    void TearDown() override { SetUp(); }
};

TEST_F(MsgBoxTest, ScriptedAnswersForEveryButtonSet) {
    struct Case {
        UINT type;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL, IDOK},           {MB_OKCANCEL, IDCANCEL},
        {MB_ABORTRETRYIGNORE, IDABORT}, {MB_ABORTRETRYIGNORE, IDRETRY}, {MB_ABORTRETRYIGNORE, IDIGNORE},
        {MB_YESNOCANCEL, IDYES},       {MB_YESNOCANCEL, IDNO},         {MB_YESNOCANCEL, IDCANCEL},
        {MB_YESNO, IDYES},             {MB_YESNO, IDNO},
        {MB_RETRYCANCEL, IDRETRY},     {MB_RETRYCANCEL, IDCANCEL},
    };
    for (const Case& c : cases) {
        PlatMsgBoxPushAnswer(c.answer);
        EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", c.type | MB_ICONQUESTION | MB_TASKMODAL), c.answer)
            << std::hex << c.type;
    }
    // An answer the box does not offer falls to the default button.
    PlatMsgBoxPushAnswer(IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_NE(box_log().find("(scripted IDYES not offered)"), std::string::npos);
}

TEST_F(MsgBoxTest, WithoutAnswersTheDefaultButtonAnswers) {
    struct Case {
        UINT type;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
        {MB_YESNOCANCEL, IDYES},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION, IDNO},
        {MB_YESNO | MB_DEFBUTTON3, IDYES},  // no third button: the first one
        {MB_RETRYCANCEL | MB_SYSTEMMODAL | MB_TOPMOST | MB_SETFOREGROUND, IDRETRY},
        {MB_OK | MB_DEFBUTTON2 | MB_ICONSTOP, IDOK},
    };
    for (const Case& c : cases) EXPECT_EQ(MessageBoxA(nullptr, "t", "c", c.type), c.answer) << std::hex << c.type;

    SetLastError(0);
    EXPECT_EQ(MessageBoxA(nullptr, "t", "c", 0x7), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_MSGBOX_STYLE);
}

TEST_F(MsgBoxTest, AnswersFromTheEnvironment) {
    setenv("VOK_MSGBOX_ANSWERS", "yes, No,CANCEL,default,6,bogus", 1);
    PlatMsgBoxReset();
    EXPECT_EQ(MessageBoxA(nullptr, "a", "c", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "b", "c", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "c", "c", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "d", "c", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "e", "c", MB_YESNOCANCEL | MB_DEFBUTTON3), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "f", "c", MB_YESNO | MB_DEFBUTTON2), IDNO);  // unknown word: default
    EXPECT_EQ(MessageBoxA(nullptr, "g", "c", MB_YESNO), IDYES);                 // queue used up
}

TEST_F(MsgBoxTest, EveryBoxAndBeepIsLogged) {
    std::string file = std::filesystem::temp_directory_path() / ("vok_msgbox_" + std::to_string(getpid()) + ".log");
    std::remove(file.c_str());
    setenv("VOK_MSGBOX_LOG", file.c_str(), 1);
    MessageBeep(MB_ICONEXCLAMATION);
    PlatMsgBoxPushAnswer(IDCANCEL);
    MessageBoxA(nullptr, "Line one\nsays \"hi\" C:\\x", "WARNING", MB_OKCANCEL | MB_ICONEXCLAMATION | MB_TASKMODAL);
    MessageBeep(0xFFFFFFFF);
    Beep(0, 0);
    MessageBoxA(nullptr, nullptr, nullptr, MB_OK);
    const std::string expect =
        "beep type=0x30\n"
        "box caption=\"WARNING\" text=\"Line one\\nsays \\\"hi\\\" C:\\\\x\" type=0x2031 answer=IDCANCEL\n"
        "beep type=0xffffffff\n"
        "beep frequency=0 duration=0\n"
        "box caption=\"Error\" text=\"\" type=0x0 answer=IDOK\n";
    EXPECT_EQ(box_log(), expect);
    std::ifstream in(file);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), expect);
    std::remove(file.c_str());

    PlatMsgBoxReset();
    EXPECT_EQ(box_log(), "");
}

}  // namespace

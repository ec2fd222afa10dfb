// The Terrow module started in-process in its own (headless) window, with the framework's screens,
// boxes, browser and loading bar scripted, and a body run inside the first idle frame.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <brondel/brpixmap.h>

#include "terrow/trdib.h"
#include "terrow/trfield.h"
#include "terrow/trgame.h"
#include "terrow/trmodule.h"
#include "terrow/trmsg.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokpath.h"
#include "win32/winmisc.h"
#include "win32/winuser.h"

namespace trgame {

struct Script {
    std::vector<unsigned> popups;
    std::vector<std::string> boxes;     // TrMessageBox texts
    std::vector<std::string> questions; // the framework's message boxes
    std::vector<int> answers;           // answers to the questions, in order (then IDNO)
    std::vector<unsigned> progress;
    std::string browsePath;             // the browser's choice ("" : left)
    std::vector<std::string> browseTitles;
    std::function<void(unsigned)> onPopup; // sets popupResult; null: -1 (leave)
    std::function<void()> body;
    bool closing = false;
    int frames = 0;
};

inline Script &script()
{
    static Script s;
    return s;
}

// Taken once, as the game takes it once at its start: every VokGetInterFace reads the player's name
// again from players.lst in the program folder, which other programs' tests rewrite meanwhile, and a
// name changed between a saved position and its check names another file.
inline VokInterFace *face()
{
    static VokInterFace *const f = VokGetInterFace(VOK_GAME_TERROW);
    return f;
}

inline std::string field(const char *name)
{
    return std::string(VOK_BIN_DIR) + "/fw/Fields/" + name;
}

inline TrScreenHooks scripted()
{
    TrScreenHooks h{};
    h.popup = [](unsigned id) {
        script().popups.push_back(id);
        face()->popupResult = -1;
        if (script().onPopup)
            script().onPopup(id);
        return 1;
    };
    h.messageBox = [](HWND, unsigned, const char *text) {
        script().questions.push_back(text != nullptr ? text : "");
        if (script().answers.empty())
            return IDNO;
        const int a = script().answers.front();
        script().answers.erase(script().answers.begin());
        return a;
    };
    h.browseSave = [](char *path, const char *, const char *, const char *title) -> char * {
        script().browseTitles.push_back(title != nullptr ? title : "");
        if (script().browsePath.empty())
            return nullptr;
        std::snprintf(path, 260, "%s", script().browsePath.c_str());
        return path;
    };
    h.browseOpen = h.browseSave;
    h.progress = [](unsigned p) { script().progress.push_back(p); };
    return h;
}

class Game : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitVokScore("Data\\"); }
    void SetUp() override
    {
        script() = Script{};
        TrSetBoxHook([](const char *text, unsigned) {
            script().boxes.push_back(text != nullptr ? text : "");
            return 1;
        });
        TrScreenHooks h = scripted();
        TrSetScreenHooks(&h);
        VokInterFace *f = face();
        f->gameKind = 100;
        f->windowMode = 0;
        f->hostWnd = nullptr;
        f->levelPath[0] = '\0';
        f->titleText[0] = '\0';
        f->gameFlags = 0;
        f->language = VOK_LANG_US;
        // Each test writes (settings, saved positions, fields) under a root of its own.
        const ::testing::TestInfo *t = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(t->test_suite_name()) + "." + t->name();
        for (char &c : name)
            if (c == '/')
                c = '_';
        writeRoot_ = std::string(VOK_TEST_BIN_DIR) + "/trgame/" + name + "/";
        std::filesystem::remove_all(writeRoot_);
        std::filesystem::create_directories(writeRoot_);
        savedRoot_ = f->writeRoot;
        f->writeRoot = writeRoot_.data();
    }
    void TearDown() override
    {
        TrWindowCleanup(TrGetShell()->window);
        TrSetFrameHook(nullptr);
        TrSetBoxHook(nullptr);
        TrSetScreenHooks(nullptr);
        face()->writeRoot = savedRoot_;
        std::filesystem::remove_all(writeRoot_);
    }
    std::string writeRoot_;
    char *savedRoot_ = nullptr;
    // Starts the module on `level` (game) or in the editor, runs `body` in its first idle frame and
    // closes it through the close request (screen 17 answering "leave").
    int32_t run(int32_t kind, const std::string &level, std::function<void()> body)
    {
        VokInterFace *f = face();
        f->gameKind = kind;
        std::snprintf(f->levelPath, sizeof f->levelPath, "%s", level.c_str());
        script().body = std::move(body);
        TrSetFrameHook([] {
            Script &s = script();
            s.frames++;
            if (s.body) {
                auto b = std::move(s.body);
                s.body = nullptr;
                b();
            }
            if (!s.closing) {
                s.closing = true;
                s.onPopup = nullptr;
                PostMessageA(TrGetShell()->window, WM_CLOSE, 0, 0);
            }
        });
        return StartTerrow();
    }
};

}  // namespace trgame

// Message boxes: the message screens by MessageBox type with the platform's answer codes, the text
// field of the screen, the platform box when no screen can be shown, and the record put back.
#include "controls.h"
#include "fontmaker/fontmaker.h"
#include "scene_support.h"
#include "vokscore/vokpopup.h"

namespace {

using vstest::solid565;

// What the screen showed, read while it ran (a message posted ahead of the answer).
constexpr UINT kLook = WM_USER + 7;
struct Look {
    bool seen = false;
    int fieldHeight = 0;
    int rows = 0;
    std::vector<int> buttons;
} g_look;
WNDPROC g_defProc = nullptr;

LRESULT CALLBACK looking_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == kLook) {
        VokScene *s = VokGetCurScene();
        if (s && s->sessionCount > 1) {
            VokSession *panel = &s->sessions[1];
            VokIkon *field = FindIkonByType(panel, VOK_IKON_LIST);
            g_look.seen = true;
            g_look.fieldHeight = field ? field->drawnRect.height : -1;
            vok::VokList *l = field ? vok::list_of(field) : nullptr;
            g_look.rows = l ? l->count : -1;
            for (int i = 0; i < panel->ikonCount; i++)
                if (panel->ikons[i].type == VOK_IKON_PLAIN)
                    g_look.buttons.push_back(panel->ikons[i].id);
        }
        return 0;
    }
    return CallWindowProcA(g_defProc, hwnd, msg, wp, lp);
}

class MessageTest : public vstest::SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        std::vector<std::pair<std::string, std::string>> pics = {
            {"msgback", solid565(400, 240, vstest::kGrey)}, {"ok", solid565(80, 32, vstest::kGreen)},
            {"cancel", solid565(80, 32, vstest::kRed)},     {"yes", solid565(80, 32, vstest::kGreen)},
            {"no", solid565(80, 32, vstest::kRed)}};
        // The data packs and the language packs the screens look in first.
        for (const char *pack : {"msgok", "msgyn", "msgync"}) {
            write_pack_file(std::string("Data/") + pack + ".fpk", pics);
            write_pack_file(std::string("Data/US/") + pack + ".fpk", {pics[1]});
        }
        write_font();
        screen = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
        PxFillPix(screen, vstest::kBlue);
        face->screenPix = screen;
        g_look = Look{};
        g_defProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(looking_proc)));
    }
    void TearDown() override
    {
        face->screenPix = nullptr;
        SceneTest::TearDown();
        PxFreePix(screen);
    }
    // Data/msgfont.fnp: one font of 6-pixel glyphs, 12 high.
    void write_font()
    {
        fontmaker::Font font;
        font.picture = "msgglyphs";
        font.height = 12;
        for (auto &g : font.glyphs)
            g = fontmaker::Glyph{0, 0, 5, 12, 0, 1};
        fontmaker::Sheet sheet;
        sheet.width = 8;
        sheet.height = 12;
        sheet.type = fontmaker::kArgb4444;
        sheet.rows.assign(8 * 12 * 2, 0xFF);
        std::vector<fpk::Entry> entries;
        std::string error;
        ASSERT_TRUE(fontmaker::pack_entries("msgfont", {font}, {sheet}, entries, error)) << error;
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(fpk::build(entries, bytes, error)) << error;
        write("Data/msgfont.fnp", std::string(bytes.begin(), bytes.end()));
    }
    void post(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { PostMessageA(window, msg, wp, lp); }
    br_pixelmap *screen = nullptr;
};

// Scene coordinates of the buttons of the message screens: the panel at 120,120, buttons 180 down.
LPARAM button_at(int x)
{
    return MAKELPARAM(120 + x + 40, 120 + 180 + 16);
}

TEST_F(MessageTest, ScreensAnswerWithThePlatformCodes)
{
    struct Case {
        unsigned type;
        std::vector<std::pair<UINT, LPARAM>> input;  // WM_KEYDOWN keys as wParam, or clicks
        int answer;
        std::vector<int> buttons;
    } cases[] = {
        {MB_YESNO, {{VK_RETURN, 0}}, IDYES, {11, 12}},
        {MB_YESNO, {{0, button_at(220)}}, IDNO, {11, 12}},
        {MB_YESNO, {{VK_ESCAPE, 0}}, IDCANCEL, {11, 12}},
        {MB_ABORTRETRYIGNORE, {{VK_RETURN, 0}}, IDOK, {23}},
        {MB_RETRYCANCEL, {{VK_RETURN, 0}}, IDOK, {23}},
        {MB_OK | MB_ICONWARNING, {{VK_RETURN, 0}}, IDOK, {23}},
        {MB_OKCANCEL, {{VK_ESCAPE, 0}}, IDCANCEL, {23, 24}},
        {MB_YESNOCANCEL, {{0, button_at(160)}}, IDNO, {11, 12, 24}},
    };
    for (const Case &c : cases) {
        g_look = Look{};
        post(kLook);
        for (auto [key, click] : c.input) {
            if (key) {
                post(WM_KEYDOWN, key);
            } else {
                post(WM_LBUTTONDOWN, MK_LBUTTON, click);
                post(WM_LBUTTONUP, 0, click);
            }
        }
        EXPECT_EQ(VokMessageBox(window, c.type, "question %d", 1), c.answer) << c.type;
        EXPECT_TRUE(g_look.seen) << c.type;
        EXPECT_EQ(g_look.buttons, c.buttons) << c.type;
        EXPECT_EQ(VokGetCurScene(), nullptr);
    }
    char log[256];
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_STREQ(log, "") << "no platform box";
}

TEST_F(MessageTest, TheTextFieldHasALineOfSixteenPixelsAPerLineAndTenRowsAtLeast)
{
    struct Case {
        const char *text;
        int height, rows;
    } cases[] = {{"one\ntwo\nthree", 48, 10}, {"single", 16, 10}, {"", 16, 10}};
    for (const Case &c : cases) {
        g_look = Look{};
        post(kLook);
        post(WM_KEYDOWN, VK_RETURN);
        VokMessageBox(window, MB_OK, "%s", c.text);
        EXPECT_EQ(g_look.fieldHeight, c.height) << c.text;
        EXPECT_EQ(g_look.rows, c.rows) << c.text;
    }
    std::string many;
    for (int i = 0; i < 12; i++)
        many += "line\n";
    post(kLook);
    post(WM_KEYDOWN, VK_RETURN);
    VokMessageBox(window, MB_OK, "%sthe last", many.c_str());
    EXPECT_EQ(g_look.rows, 13);
    EXPECT_EQ(g_look.fieldHeight, 13 * 16);
    // A text past the bounded buffer is cut; the box grows to the screen's height (24 lines) and
    // what is left is cut, whether the lines are the text's own or wrapped.
    struct Long {
        std::string text;
        int rows;
    } longs[] = {{std::string(6000, '\n'), 24}, {std::string(6000, 'w'), 24}};
    for (const Long &c : longs) {
        post(kLook);
        post(WM_KEYDOWN, VK_RETURN);
        EXPECT_EQ(VokMessageBox(window, MB_OK, "%s", c.text.c_str()), IDOK);
        EXPECT_EQ(g_look.rows, c.rows);
        EXPECT_EQ(strlen(vok::iface().messageText), 4095u);
    }
}

// What a long message looks like: wrapped to the field, every line inside the panel and above its
// buttons, the panel taller when it must be and still on the screen.
struct Box {
    VokRect panel{}, field{};
    std::vector<VokRect> buttons;
    std::vector<std::string> rows;
    std::vector<uint32_t> shown;  // the window, 640 x 480
};
Box g_box;

LRESULT CALLBACK box_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == kLook) {
        VokScene *s = VokGetCurScene();
        if (s && s->sessionCount > 1) {
            VokSession *panel = &s->sessions[1];
            g_box.panel = panel->place;
            VokIkon *field = FindIkonByType(panel, VOK_IKON_LIST);
            g_box.field = field->placeRect;
            vok::VokList *l = vok::list_of(field);
            for (int r = 0; r < l->count; r++)
                g_box.rows.push_back(l->rows + size_t(r) * size_t(l->rowSize));
            for (int i = 0; i < panel->ikonCount; i++)
                if (panel->ikons[i].type == VOK_IKON_PLAIN)
                    g_box.buttons.push_back(panel->ikons[i].placeRect);
            MnuBuildScene();
            MnuPaintScreen(s, 1);
            g_box.shown.resize(640 * 480);
            int w = 0, h = 0;
            VokCaptureWindow(hwnd, g_box.shown.data(), int(g_box.shown.size()), &w, &h);
        }
        return 0;
    }
    return CallWindowProcA(g_defProc, hwnd, msg, wp, lp);
}

TEST_F(MessageTest, LongTextsAreWrappedAndKeptInsideTheBox)
{
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(box_proc));
    std::string fourteen;
    for (int i = 0; i < 14; i++)
        fourteen += "line " + std::to_string(i) + (i < 13 ? "\n" : "");
    struct Case {
        std::string text;
        size_t lines;  // rows with text
        bool taller;
    } cases[] = {
        {std::string(75, 'x'), 2, false},  // 450 pixels in a 360-pixel field: two lines
        {"a few words that need more room than the field gives them in one line of text", 2, false},
        {fourteen, 14, true},
        {"a " + std::string(100, 'x') + " b", 3, false},  // a word wider than the field is cut in it
        {std::string(75, '\xE9'), 2, false},              // Windows-1252 letters measure as letters
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        g_box = Box{};
        post(kLook);
        post(WM_KEYDOWN, VK_RETURN);
        ASSERT_EQ(VokMessageBox(window, MB_YESNO, "%s", c.text.c_str()), IDYES);
        ASSERT_FALSE(g_box.shown.empty());
        size_t withText = 0;
        for (const std::string &r : g_box.rows) {
            withText += !r.empty();
            EXPECT_LE(int(r.size()) * 6, 360) << r;
        }
        EXPECT_EQ(withText, c.lines);
        const VokRect &p = g_box.panel, &f = g_box.field;
        EXPECT_EQ(p.height > 240, c.taller);
        EXPECT_GE(p.y, 0);
        EXPECT_LE(p.y + p.height, 480);
        EXPECT_EQ(f.height, int(c.lines) * 16);
        EXPECT_GE(f.y, 0);
        for (const VokRect &b : g_box.buttons) {
            EXPECT_LE(f.y + f.height, b.y) << "the text stays above the buttons";
            EXPECT_LE(b.y + b.height, p.height) << "the buttons stay inside the panel";
        }
        // Inside the grey panel and off its buttons, whatever is not grey is text: only in the field.
        auto inside = [&](const VokRect &r, int x, int y) {
            return x >= p.x + r.x && x < p.x + r.x + r.width && y >= p.y + r.y && y < p.y + r.y + r.height;
        };
        int white = 0, outside = 0;
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++)
                if (inside({0, 0, p.width, p.height}, x, y) && g_box.shown[size_t(y) * 640 + x] != vstest::rgb_of(vstest::kGrey)) {
                    bool button = false;
                    for (const VokRect &b : g_box.buttons)
                        button |= inside(b, x, y);
                    white += !button;
                    outside += !button && !inside(f, x, y);
                }
        EXPECT_GT(white, 0);
        EXPECT_EQ(outside, 0);
    }
    // Past the tallest box the rest is cut, the last line saying so.
    std::string many;
    for (int i = 0; i < 40; i++)
        many += "row\n";
    g_box = Box{};
    post(kLook);
    post(WM_KEYDOWN, VK_RETURN);
    VokMessageBox(window, MB_OK, "%s", many.c_str());
    ASSERT_EQ(g_box.rows.size(), 24u);
    EXPECT_EQ(g_box.rows.back(), "row...");
    EXPECT_EQ(g_box.panel.height, 464);
}

TEST_F(MessageTest, WithoutAScreenPictureThePlatformBoxShowsTheFormattedText)
{
    face->screenPix = nullptr;
    PlatMsgBoxPushAnswer(IDNO);
    EXPECT_EQ(VokMessageBox(window, MB_YESNO, "%d apples", 3), IDNO);
    char log[512];
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_NE(strstr(log, "text=\"3 apples\""), nullptr) << log;
    EXPECT_STREQ(face->messageText, "3 apples");
    EXPECT_EQ(VokMessageBox(window, MB_OK, nullptr), 0);
    // A long text is cut to the buffer.
    std::string huge(10000, 'x');
    VokMessageBox(window, MB_OK, "%s", huge.c_str());
    EXPECT_EQ(strlen(face->messageText), 4095u);
    // The notices never draw over a screen.
    face->screenPix = screen;
    PlatMsgBoxReset();
    EXPECT_EQ(NotIncluded(), 0);
    EXPECT_EQ(NotImplemented(), 0);
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_NE(strstr(log, "Not included in this build"), nullptr) << log;
    EXPECT_NE(strstr(log, "Not implemented yet!"), nullptr) << log;
    EXPECT_EQ(face->screenPix, screen);
}

TEST_F(MessageTest, OverARunningSceneThePictureIsBorrowedAndGivenBack)
{
    write_data();
    ASSERT_EQ(InitScene(parse("screen 3\ndataPack \"t\"\nsession 1\n  background \"bg\"\n"), 0), 1)
        << GetLastMsgError();
    face->screenPix = nullptr;
    post(kLook);
    post(WM_KEYDOWN, VK_RETURN);
    EXPECT_EQ(VokMessageBox(window, MB_OK, "over a scene"), IDOK);
    EXPECT_TRUE(g_look.seen) << "shown as a screen";
    EXPECT_EQ(face->screenPix, nullptr) << "the scene's picture is not left in the record";
}

}  // namespace

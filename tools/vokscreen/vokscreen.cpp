// vokscreen: runs an interface screen in a window, as a game module asks for it, and prints what the
// user chose.
//   vokscreen [options] ID    runs screen ID (0..51) through VokPopupIFScreen
//   vokscreen [options] --entry N
//                             runs entry N (0..66) of the interface table by itself
//   vokscreen [options] --msgbox TYPE TEXT
//                             shows TEXT ("\n" breaks a line) through VokMessageBox with the
//                             MessageBox type TYPE (0..15) and prints "answer A" (1 OK, 2 Cancel,
//                             6 Yes, 7 No)
//   vokscreen [options] --sheet DIR
//                             shows every table entry that has a screen file once and writes its
//                             picture as DIR/screenNN.png (NN the entry); prints "sheet N" (the
//                             pictures written) and fails when one could not be written
// Options:
//   --data DIR     the folder holding Data\ (default: the program's folder); missing packs and
//                  pictures are drawn as placeholders
//   --game N       the game (0..4) whose interface record asks (default 0)
//   --kind K       the game kind (100 free play, 101 challenge)
//   vokscreen [options] --open PATTERN [FOLDER]   (or --save)
//                             runs the file browser for PATTERN ("*.trl") in FOLDER (default: the
//                             current folder) and prints "chosen PATH" or "chosen none"
// Prints "popupResult R" and "shown 0|1"; the exit status is 0 when the screen was shown.
// Headless (VOK_HEADLESS=1) the keys come from the input script (VOK_INPUT_SCRIPT).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "brondel/brpixmap.h"
#include "pannix/pannix.h"
#include "runner.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "state.h"
#include "vokplat/paths.h"
#include "vokscore/vokscore.h"
#include "vokplat/window.h"
#include "win32/windows.h"

namespace {

struct Options {
    const char *data = nullptr;
    int game = 0;
    int kind = VOK_KIND_CHALLENGE;
    int id = -1;
    int msgType = -1;
    int entry = -1;
    std::string msgText;
    std::string sheet;
    const char *pattern = nullptr;
    std::string folder;
    bool save = false;
};

bool number(const char *text, long low, long high, int *out)
{
    char *end = nullptr;
    long v = strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high)
        return false;
    *out = int(v);
    return true;
}

int usage()
{
    fprintf(stderr, "usage: vokscreen [--data DIR] [--game 0..4] [--kind 100|101] ID\n"
                    "       vokscreen [--data DIR] --entry 0..66\n"
                    "       vokscreen [--data DIR] --msgbox TYPE TEXT\n"
                    "       vokscreen [--data DIR] [--game 0..4] --sheet DIR\n"
                    "       vokscreen [--data DIR] [--game 0..4] --open|--save PATTERN [FOLDER]\n");
    return 2;
}

// Options with a value: name, range (or none for a folder), where it goes.
int parse(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        bool hasValue = i + 1 < argc;
        if (!strcmp(a, "--data") && hasValue) {
            o.data = PlatToolPath(argv[++i]);
        } else if (!strcmp(a, "--game") && hasValue) {
            if (!number(argv[++i], 0, VOK_GAME_COUNT - 1, &o.game)) {
                fprintf(stderr, "vokscreen: game '%s' is not 0..4\n", argv[i]);
                return 2;
            }
        } else if (!strcmp(a, "--kind") && hasValue) {
            if (!number(argv[++i], VOK_KIND_FREE, 102, &o.kind)) {
                fprintf(stderr, "vokscreen: kind '%s' is not 100..102\n", argv[i]);
                return 2;
            }
        } else if (!strcmp(a, "--entry") && hasValue) {
            if (!number(argv[++i], 0, VOK_INTERFACE_SCREENS - 1, &o.entry)) {
                fprintf(stderr, "vokscreen: entry '%s' is not 0..%d\n", argv[i], VOK_INTERFACE_SCREENS - 1);
                return 2;
            }
        } else if (!strcmp(a, "--msgbox") && i + 2 < argc) {
            if (!number(argv[++i], 0, 15, &o.msgType)) {
                fprintf(stderr, "vokscreen: message type '%s' is not 0..15\n", argv[i]);
                return 2;
            }
            // "\n" in the text breaks a line.
            for (const char *t = argv[++i]; *t; t++) {
                if (t[0] == '\\' && t[1] == 'n') {
                    o.msgText += '\n';
                    t++;
                } else {
                    o.msgText += *t;
                }
            }
        } else if (!strcmp(a, "--sheet") && hasValue) {
            o.sheet = PlatToolPath(argv[++i]);
        } else if ((!strcmp(a, "--open") || !strcmp(a, "--save")) && hasValue) {
            o.save = a[2] == 's';
            o.pattern = argv[++i];
            if (i + 1 < argc && argv[i + 1][0] != '-')
                o.folder = PlatToolPath(argv[++i]);  // copied: the path buffer is shared
        } else if (a[0] != '-' && o.id < 0) {
            if (!number(a, 0, VOK_SCREEN_LAST, &o.id)) {
                fprintf(stderr, "vokscreen: screen '%s' is not 0..%d\n", a, VOK_SCREEN_LAST);
                return 2;
            }
        } else {
            fprintf(stderr, "vokscreen: unexpected '%s'\n", a);
            return 2;
        }
    }
    return o.id < 0 && o.msgType < 0 && o.entry < 0 && o.sheet.empty() && !o.pattern ? usage() : 0;
}

void use_data_folder(const char *data)
{
    std::string root = data;
    for (char &c : root)
        if (c == '/')
            c = '\\';
    if (root.empty() || root.back() != '\\')
        root += '\\';
    snprintf(vok::state().root, sizeof vok::state().root, "%s", root.c_str());
}

// A calm picture for the screen to sit on: a vertical blue ramp.
void paint_screen_picture(br_pixelmap *pm)
{
    for (int y = 0; pm && y < 480; y++) {
        uint16_t c = uint16_t((y * 31 / 479) | ((y * 20 / 479) << 5));
        PxFillPixRect(pm, 0, y, 640, 1, c);
    }
}

br_pixelmap *make_screen_picture()
{
    br_pixelmap *pm = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
    paint_screen_picture(pm);
    return pm;
}

// The sheet: each screen is taken once it has been drawn, then ended.
struct Sheet {
    HWND window = nullptr;
    std::string path;
    bool written = false;
} g_sheet;

constexpr UINT_PTR kSheetTimer = 0x5E1;

void CALLBACK take_picture(HWND w, UINT, UINT_PTR, DWORD)
{
    KillTimer(w, kSheetTimer);
    g_sheet.written = VokCaptureWindowPng(w, g_sheet.path.c_str()) != FALSE;
    vok::engine().alive = true;
}

int write_sheet(HWND w, const std::string &dir)
{
    int written = 0, failed = 0;
    for (int entry = 0; entry < VOK_INTERFACE_SCREENS; entry++) {
        bool has = false;
        for (size_t i = 0; i < vok::kEmbeddedScreenCount && !has; i++) {
            const vok::EmbeddedScreen &e = vok::kEmbeddedScreens[i];
            std::string error;
            auto d = vok::parse_screen(e.name, e.text, e.size, error);
            has = d && d->table == vok::kTableInterface && d->entry == entry;
        }
        if (!has)
            continue;
        char name[32];
        snprintf(name, sizeof name, "/screen%02d.png", entry);
        g_sheet.path = dir + name;
        g_sheet.written = false;
        // Each screen over the calm picture, not over what the one before left.
        paint_screen_picture(vok::iface().screenPix);
        // Half a second: the delayed pages and the button movies have settled.
        SetTimer(w, kSheetTimer, 500, take_picture);
        vok::run_screen(entry);
        KillTimer(w, kSheetTimer);
        vok::engine().alive = false;
        if (g_sheet.written) {
            written++;
        } else {
            failed++;
            fprintf(stderr, "vokscreen: entry %d: no picture written to %s\n", entry, g_sheet.path.c_str());
        }
    }
    printf("sheet %d\n", written);
    return failed || !written ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv)
{
    Options o;
    if (int rc = parse(argc, argv, o))
        return rc;
    if (o.data)
        use_data_folder(o.data);
    InitVokScore("Data\\");
    VokInterFace *face = VokGetInterFace(VOK_GAME_BASE + uint32_t(o.game));
    face->gameKind = o.kind;
    vok::g_placeholders = true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "vokscreen";
    RegisterClassA(&wc);
    RECT frame{0, 0, 640, 480};
    AdjustWindowRect(&frame, WS_POPUP | WS_CAPTION, FALSE);
    HWND w = CreateWindowExA(0, "vokscreen", "vokscreen", WS_POPUP | WS_CAPTION, 0, 0, frame.right - frame.left,
                             frame.bottom - frame.top, nullptr, nullptr, nullptr, nullptr);
    if (!w) {
        fprintf(stderr, "vokscreen: no window\n");
        return 1;
    }
    ShowWindow(w, SW_SHOW);
    VokInitInterFace(w);
    br_pixelmap *screen = make_screen_picture();
    face->screenPix = screen;
    face->popupResult = 0;
    if (o.msgType >= 0) {
        int answer = VokMessageBox(w, unsigned(o.msgType), "%s", o.msgText.c_str());
        printf("answer %d\n", answer);
        face->screenPix = nullptr;
        if (screen)
            PxFreePix(screen);
        VokCloseInterFace();
        DestroyWindow(w);
        return answer ? 0 : 1;
    }
    if (!o.sheet.empty()) {
        int rc = write_sheet(w, o.sheet);
        face->screenPix = nullptr;
        if (screen)
            PxFreePix(screen);
        VokCloseInterFace();
        DestroyWindow(w);
        return rc;
    }
    if (o.pattern) {
        // The filter: the pattern described by itself.
        std::string filter = std::string(o.pattern) + '\0' + o.pattern + '\0';
        std::string folder = o.folder;
        for (char &c : folder)
            if (c == '/')
                c = '\\';
        char path[260] = "";
        const char *f = folder.empty() ? nullptr : folder.c_str();
        char *chosen = o.save ? VokBrowseFileSave(path, filter.c_str(), f, nullptr) : VokBrowseFileOpen(path, filter.c_str(), f, nullptr);
        printf("chosen %s\n", chosen ? chosen : "none");
        face->screenPix = nullptr;
        if (screen)
            PxFreePix(screen);
        VokCloseInterFace();
        DestroyWindow(w);
        return 0;
    }
    int shown = o.entry >= 0 ? vok::run_screen(o.entry) : VokPopupIFScreen(unsigned(o.id));
    printf("popupResult %d\nshown %d\n", face->popupResult, shown);
    // A game screen that chose a level leaves the loading picture up for the game: the choice is
    // printed, and the picture taken down as the game would.
    if (o.id >= 15 && o.id <= 20 && shown && face->popupResult > 0) {
        printf("game %u kind %d family %d number %d\n", unsigned(face->gameId & 0xFF), face->gameKind,
               face->levelFamily, face->levelNumber);
        FadeInGame(nullptr);
    }
    face->screenPix = nullptr;
    if (screen)
        PxFreePix(screen);
    VokCloseInterFace();
    DestroyWindow(w);
    return shown ? 0 : 1;
}

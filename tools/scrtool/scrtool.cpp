// scrtool: the screen description files.
//   scrtool check FILE...           parses and checks each file; exit 1 on the first bad one
//   scrtool manifest [FILE...]      every pack, picture, movie and font the files (default: the ones the
//                                   library carries) and the framework's code name, one a line:
//                                   kind<TAB>pack<TAB>name<TAB>width<TAB>height (0: free)
//   scrtool show FILE [--data DIR] [--out X.png]
//                                   runs the screen in a window over the data folder DIR (missing
//                                   pictures and packs drawn as placeholders); --out writes the
//                                   first picture and ends
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "pannix/pxbase.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "state.h"
#include "vokplat/paths.h"
#include "vokplat/window.h"
#include "vokscore/vokscore.h"
#include "win32/windows.h"

namespace {

bool read_file(const char *path, std::string &out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

std::string base_name(const std::string &path)
{
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::unique_ptr<vok::ScreenDesc> load(const char *path)
{
    std::string text, error;
    if (!read_file(path, text)) {
        fprintf(stderr, "%s: cannot be read\n", path);
        return nullptr;
    }
    auto d = vok::parse_screen(base_name(path).c_str(), text.data(), text.size(), error);
    if (!d)
        fprintf(stderr, "%s\n", error.c_str());
    return d;
}

int check(int argc, char **argv)
{
    std::set<std::pair<int, int>> seen;
    int bad = 0;
    for (int i = 0; i < argc; i++) {
        auto d = load(PlatToolPath(argv[i]));
        if (!d) {
            bad = 1;
            continue;
        }
        if (!seen.insert({d->table, d->entry}).second) {
            fprintf(stderr, "%s: %s %d is described twice\n", base_name(argv[i]).c_str(),
                    d->table == vok::kTableInterface ? "screen" : d->table == vok::kTableGame ? "game" : "backdrop",
                    d->entry);
            bad = 1;
        }
    }
    return bad;
}

int manifest(int argc, char **argv)
{
    std::vector<vok::AssetUse> uses;
    if (argc == 0) {
        for (size_t i = 0; i < vok::kEmbeddedScreenCount; i++) {
            std::string error;
            auto d = vok::parse_screen(vok::kEmbeddedScreens[i].name, vok::kEmbeddedScreens[i].text,
                                       vok::kEmbeddedScreens[i].size, error);
            if (!d) {
                fprintf(stderr, "%s\n", error.c_str());
                return 1;
            }
            vok::list_assets(*d, uses);
        }
    }
    for (int i = 0; i < argc; i++) {
        auto d = load(PlatToolPath(argv[i]));
        if (!d)
            return 1;
        vok::list_assets(*d, uses);
    }
    vok::list_code_assets(uses);
    std::set<std::tuple<std::string, std::string, std::string, int, int>> lines;
    for (auto &u : uses)
        lines.insert({u.kind, u.pack, u.name, u.width, u.height});
    for (auto &[kind, pack, name, w, h] : lines)
        printf("%s\t%s\t%s\t%d\t%d\n", kind.c_str(), pack.empty() ? "-" : pack.c_str(), name.c_str(), w, h);
    return 0;
}

int show(int argc, char **argv)
{
    const char *file = nullptr, *out = nullptr, *data = nullptr;
    for (int i = 0; i < argc; i++) {
        if (!strcmp(argv[i], "--out") && i + 1 < argc)
            out = PlatToolPath(argv[++i]);
        else if (!strcmp(argv[i], "--data") && i + 1 < argc)
            data = PlatToolPath(argv[++i]);
        else if (!file)
            file = PlatToolPath(argv[i]);
        else {
            fprintf(stderr, "scrtool show: unexpected '%s'\n", argv[i]);
            return 2;
        }
    }
    if (!file) {
        fprintf(stderr, "scrtool show FILE [--data DIR] [--out X.png]\n");
        return 2;
    }
    auto d = load(file);
    if (!d)
        return 1;
    if (data) {
        char resolved[VOK_PATH_SIZE];
        snprintf(resolved, sizeof resolved, "%s", data);
        std::string root = resolved;
        for (char &c : root)
            if (c == '/')
                c = '\\';
        if (root.empty() || root.back() != '\\')
            root += '\\';
        snprintf(vok::state().root, sizeof vok::state().root, "%s", root.c_str());
    }
    InitVokScore("Data\\");
    VokGetInterFace(VOK_GAME_VARNEL);
    vok::g_placeholders = true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "scrtool";
    RegisterClassA(&wc);
    RECT frame{0, 0, d->scene.width, d->scene.height};
    AdjustWindowRect(&frame, WS_POPUP | WS_CAPTION, FALSE);
    HWND w = CreateWindowExA(0, "scrtool", "scrtool", WS_POPUP | WS_CAPTION, 0, 0, frame.right - frame.left,
                             frame.bottom - frame.top, nullptr, nullptr, nullptr, nullptr);
    if (!w) {
        fprintf(stderr, "scrtool: no window\n");
        return 1;
    }
    ShowWindow(w, SW_SHOW);
    VokInitInterFace(w);
    if (!InitScene(&d->scene, 0)) {
        fprintf(stderr, "scrtool: %s\n", GetLastMsgError());
        KillCurScene(0);
        return 1;
    }
    MnuPaintScreen(&d->scene, 1);
    int rc = 0;
    if (out) {
        VokPump();
        if (!VokCaptureWindowPng(d->scene.drawWnd ? d->scene.drawWnd : w, out)) {
            fprintf(stderr, "scrtool: %s cannot be written\n", out);
            rc = 1;
        }
    } else {
        RunCurScene();
    }
    KillCurScene(0);
    VokCloseInterFace();
    DestroyWindow(w);
    return rc;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && !strcmp(argv[1], "check"))
        return check(argc - 2, argv + 2);
    if (argc >= 2 && !strcmp(argv[1], "manifest"))
        return manifest(argc - 2, argv + 2);
    if (argc >= 2 && !strcmp(argv[1], "show"))
        return show(argc - 2, argv + 2);
    fprintf(stderr, "usage: scrtool check FILE... | manifest [FILE...] | show FILE [--data DIR] [--out X.png]\n");
    return 2;
}

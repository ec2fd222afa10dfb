// The in-scene file browser's screen: the folder list, the path line, the name line and the buttons,
// its keys and accept rules, and the calls the games make with their file requests.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>

#include "browser.h"
#include "controls.h"
#include "gamesel.h"
#include "namescreen.h"
#include "pannix/pannix.h"
#include "runner.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "state.h"
#include "texts.h"
#include "vokscore/vokscore.h"

namespace vok {

namespace {

constexpr int kPanel = 2, kMarkSession = 3;
constexpr int kListId = 1, kEditId = 2, kTitleId = 3, kPathId = 4;
constexpr int kOk = 11, kCancel = 5, kDrives = 1001, kRoot = 1002, kUp = 1003, kMarkButton = 1;
constexpr int kSoundOk = 11, kSoundBack = 13, kSoundRefuse = 14;
constexpr int kTextOpen = 47, kTextSave = 48, kTextReplace = 46, kTextMark = 45, kTextReserved = 67;
constexpr int kTextFreePlay = 61, kTextChallenge = 62;
constexpr uint32_t kMustExist = 0x1000, kAskReplace = 0x0002, kFlagsAlways = 0x0808;
constexpr uint32_t kFlagMayMark = 0x08, kFlagMarked = 0x10;
constexpr int kPathMargin = 22;
constexpr DWORD kClassicSize = 76;

BrowserRun *g_run = nullptr;
char g_ownResult[kBrowserPathMax + 1];

bool terrow()
{
    return int(iface().gameId & 0xFF) == kGameTerrow;
}

VokSession *panel()
{
    return FindSession(kPanel);
}

VokList *file_list()
{
    return list_of(FindIkon(panel(), kListId));
}

VokEdit *name_line()
{
    return edit_of(FindIkon(panel(), kEditId));
}

void set_label(int id, const std::string &text)
{
    VokIkon *k = FindIkon(panel(), id);
    if (!k)
        return;
    k->shownText = text.c_str();
    k->state |= VOK_IST_REDRAW;
}

int text_pixels(const std::string &t)
{
    PXFONTSET *fonts = engine().fonts;
    VokIkon *k = FindIkon(panel(), kPathId);
    if (!fonts || !k || !PxSelectFont(fonts, k->font))
        return 0;
    return PxGetTextWidth(t.c_str());
}

// The folder in the path line; a path wider than the line loses its middle to " ... ".
std::string fit_path(const std::string &path)
{
    VokIkon *k = FindIkon(panel(), kPathId);
    if (!k || text_pixels(path) <= k->width)
        return path;
    int half = k->width / 2 - kPathMargin;
    size_t head = 0, tail = 0;
    while (head < path.size() && text_pixels(path.substr(0, head + 1)) <= half)
        head++;
    while (tail < path.size() - head && text_pixels(path.substr(path.size() - tail - 1)) <= half)
        tail++;
    return path.substr(0, head) + " ... " + path.substr(path.size() - tail);
}

std::string trimmed(const char *t)
{
    std::string s = t ? t : "";
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    return s;
}

bool is_file_kind(char k)
{
    return k >= 'H' && k <= 'L';
}

// The list control shows the entries from their text on.
void show_entries(const std::string &select)
{
    BrowserRun &r = *g_run;
    VokList *l = file_list();
    if (!l)
        return;
    std::vector<const char *> rows;
    for (const BrowserEntry &e : r.entries)
        rows.push_back(e.bytes);
    l->offset = 3;
    list_set_rows(l, rows.data(), int(rows.size()));
    int pick = -1;
    for (size_t i = 0; i < r.entries.size() && pick < 0; i++)
        if (!select.empty() && r.entries[i].name == select)
            pick = int(i);
    for (size_t i = 0; i < r.entries.size() && pick < 0; i++)
        if (select.empty() && is_file_kind(r.entries[i].kind()))
            pick = int(i);
    list_select(l, pick < 0 ? 0 : pick);
}

BrowserListing listing()
{
    BrowserRun &r = *g_run;
    VokInterFace &f = iface();
    BrowserListing l;
    l.folder = r.folder;
    l.extensions = r.extensions;
    l.terrow = terrow();
    l.editor = f.gameKind == VOK_KIND_EDITOR;
    l.openMode = !r.save;
    l.readRoot = f.readRoot ? f.readRoot : "";
    l.writeRoot = f.writeRoot ? f.writeRoot : "";
    return l;
}

void list_folder(const std::string &select)
{
    BrowserRun &r = *g_run;
    r.group = -1;
    r.entries = browser_list(listing());
    r.pathLine = fit_path(r.folder);
    set_label(kPathId, r.pathLine);
    show_entries(select);
}

void list_group(int group)
{
    BrowserRun &r = *g_run;
    r.group = group;
    r.entries.clear();
    r.entries.push_back(browser_entry('A', ".."));
    for (int i = 0; i < field_count(group); i++)
        if (const char *n = field_name(group, i))
            r.entries.push_back(browser_entry('H', n));
    std::sort(r.entries.begin(), r.entries.end(), browser_before);
    char line[256];
    const char *free = text(kTextFreePlay), *kind = text(kTextChallenge + group);
    if (group == 0)
        snprintf(line, sizeof line, "%s", kind ? kind : "");
    else
        snprintf(line, sizeof line, "%s - %s", free ? free : "", kind ? kind : "");
    r.pathLine = line;
    set_label(kPathId, r.pathLine);
    show_entries("");
}

void list_drives()
{
    BrowserRun &r = *g_run;
    r.group = -1;
    r.entries = browser_drives(iface().writeRoot ? iface().writeRoot : "");
    set_label(kPathId, r.pathLine = "");
    show_entries("");
}

std::string parent_of(const std::string &folder, std::string *left = nullptr)
{
    if (folder.size() <= 1)
        return folder;
    size_t cut = folder.find_last_of('\\', folder.size() - 2);
    if (cut == std::string::npos)
        return folder;
    if (left)
        *left = folder.substr(cut + 1, folder.size() - cut - 2);
    return folder.substr(0, cut + 1);
}

void go_to(const std::string &folder, const std::string &select)
{
    if (int(folder.size()) > kBrowserPathMax) {
        IfPlaySound(kSoundRefuse);
        return;
    }
    g_run->folder = folder;
    list_folder(select);
}

void go_up()
{
    BrowserRun &r = *g_run;
    if (r.group >= 0) {
        list_folder("");
        return;
    }
    std::string left, disk;
    std::string up = parent_of(r.folder, &left);
    if (up == r.folder)
        return;
    // The folder just left is selected, as the list shows it.
    std::string shown;
    go_to(up, latin1_name(left, shown) ? shown : left);
}

bool own_field_name(const std::string &name)
{
    for (int g = 0; g < kFieldLists; g++)
        for (int i = 0; i < field_count(g); i++)
            if (const char *n = field_name(g, i); n && strcasecmp(n, name.c_str()) == 0)
                return true;
    return false;
}

bool has_extension(const std::string &name)
{
    size_t dot = name.find_last_of('.');
    return dot != std::string::npos && dot > 0;
}

bool ask(int textNumber)
{
    const char *t = text(textNumber);
    return VokMessageBox(iface().ownerWnd, MB_YESNO, "%s", t ? t : "") == IDYES;
}

void finish(int id, int sound, int result)
{
    VokChooseButton(panel(), id, sound, result);
}

// The name line (or a picked file) taken as the choice; stays in the browser on any refusal.
void accept()
{
    BrowserRun &r = *g_run;
    VokInterFace &f = iface();
    VokEdit *e = name_line();
    std::string name = trimmed(e ? e->text : nullptr);
    if (name.empty())
        return;
    // The choice names a file in the folder shown: never one reached through a separator or a dot name.
    if (name.find_first_of("\\/") != std::string::npos || name == "." || name == "..") {
        IfPlaySound(kSoundRefuse);
        return;
    }
    // A name typed without its extension finds the file with the default one.
    std::string withExt = name;
    if (r.group < 0 && !r.defExt.empty() && !has_extension(name))
        withExt += (r.defExt[0] == '.' ? "" : ".") + r.defExt;
    const BrowserEntry *found = nullptr;
    // Names differing only in case may both be there: the exact spelling wins.
    for (const BrowserEntry &x : r.entries)
        if (is_file_kind(x.kind()) && (strcasecmp(x.name.c_str(), name.c_str()) == 0 || strcasecmp(x.name.c_str(), withExt.c_str()) == 0))
            if (!found || x.name == name || x.name == withExt)
                found = &x;
    // The list holds the first 1024 entries only: a name it does not show is looked up on disk.
    BrowserEntry unlisted;
    auto exact = [&](const BrowserEntry *x) { return x && (x->name == name || x->name == withExt); };
    if (!exact(found) && r.group < 0 && browser_find_file(listing(), {name, withExt}, unlisted))
        if (!found || exact(&unlisted))
            found = &unlisted;
    if (!found && (r.request.Flags & kMustExist)) {
        IfPlaySound(kSoundRefuse);
        return;
    }
    std::string path;
    if (r.group >= 0) {
        // A field of the program's own: its file under the read root, named by its group and name.
        path = std::string(f.readRoot ? f.readRoot : "") + "fw\\Fields\\" + field_prefix(r.group) + name.substr(0, 2) + ".trl";
    } else {
        std::string disk = found && !found->target.empty() ? found->target : utf8_name(name);
        if (!r.defExt.empty() && !has_extension(disk))
            disk += (r.defExt[0] == '.' ? "" : ".") + r.defExt;
        path = r.folder + disk;
    }
    // Nothing is cut: a path the caller's buffer cannot hold whole is refused.
    size_t room = r.request.lpstrFile && r.request.nMaxFile > 0 ? r.request.nMaxFile - 1 : size_t(kBrowserPathMax);
    if (path.size() > size_t(kBrowserPathMax) || path.size() > room) {
        IfPlaySound(kSoundRefuse);
        return;
    }
    if (r.save) {
        // The list may not show every file (a crowded folder, a filtered type): the disk decides.
        DWORD onDisk = r.group < 0 ? GetFileAttributesA(path.c_str()) : INVALID_FILE_ATTRIBUTES;
        if (onDisk != INVALID_FILE_ATTRIBUTES && (onDisk & FILE_ATTRIBUTE_DIRECTORY)) {
            IfPlaySound(kSoundRefuse);
            return;
        }
        bool exists = found || onDisk != INVALID_FILE_ATTRIBUTES;
        if (terrow() && own_field_name(name)) {
            const char *t = text(kTextReserved);
            VokMessageBox(f.ownerWnd, MB_OK, "%s", t ? t : "");
            return;
        }
        if (exists && (r.request.Flags & kAskReplace) && !ask(kTextReplace))
            return;
        if ((f.gameFlags & kFlagMayMark) && r.marked) {
            if (!ask(kTextMark))
                return;
            f.gameFlags |= kFlagMarked;
        }
    }
    snprintf(f.titleText, sizeof f.titleText, "%s", name.c_str());
    r.result = path;
    finish(kOk, kSoundOk, 1);
}

void enter_entry()
{
    BrowserRun &r = *g_run;
    VokList *l = file_list();
    if (!l || l->selected < 0 || l->selected >= int(r.entries.size()))
        return;
    const BrowserEntry e = r.entries[size_t(l->selected)];
    char k = e.kind();
    if (k == 'A') {
        go_up();
    } else if (k == 'B') {
        go_to(r.folder + e.target + "\\", "");
    } else if (k >= 'C' && k <= 'G') {
        list_group(k - 'C');
    } else if (k >= 'W' && k <= 'Z') {
        go_to(e.target, "");
    } else if (is_file_kind(k)) {
        if (VokEdit *ed = name_line())
            edit_set_text(ed, e.name.c_str());
        if (r.defExt.empty() && !r.extensions.empty())
            r.defExt = r.extensions[0];
        accept();
    }
}

// A picked file puts its whole name in the name line (the list shows it cut).
void pick_to_line()
{
    BrowserRun &r = *g_run;
    VokList *l = file_list();
    VokEdit *e = name_line();
    if (l && e && l->selected >= 0 && l->selected < int(r.entries.size()) && is_file_kind(r.entries[size_t(l->selected)].kind()))
        edit_set_text(e, r.entries[size_t(l->selected)].name.c_str());
}

void focus(VokSession *s, int id)
{
    if (VokIkon *k = FindIkon(s, id))
        VokFocusIkon(s, k);
    engine().focusSession = s;
}

// Tab walks the list, the name line and the buttons; the marking button joins them when shown.
void cycle_focus(bool back)
{
    static const int order[] = {kListId, kEditId, kOk, kCancel, kDrives, kRoot, kUp, 0};
    VokSession *s = panel();
    VokSession *mark = FindSession(kMarkSession);
    bool markShown = mark && !(mark->state & VOK_SST_HIDDEN);
    int n = int(sizeof order / sizeof order[0]);
    int at = n - 1; // on the marking button
    if (engine().focusSession != mark)
        for (int i = 0; i < n - 1; i++)
            if (s && s->focused && s->focused->id == order[i])
                at = i;
    int next = at;
    do
        next = (next + (back ? n - 1 : 1)) % n;
    while (order[next] == 0 && !markShown);
    if (order[next] == 0)
        focus(mark, kMarkButton);
    else
        focus(s, order[next]);
}

int browser_keys(HWND, UINT message, WPARAM key, LPARAM)
{
    if (!g_run || !engine().running)
        return 0;
    VokSession *s = engine().focusSession;
    VokSession *p = panel();
    int id = s && s->focused ? s->focused->id : 0;
    bool inMark = s && s->id == kMarkSession;
    if (message == WM_KEYDOWN) {
        if (key == VK_ESCAPE) {
            finish(kCancel, kSoundBack, 0);
            return 0;
        }
        if (key == VK_TAB) {
            cycle_focus((GetKeyState(VK_SHIFT) & 0x8000) != 0);
            return 0;
        }
        if (key == VK_RETURN) {
            if (inMark) {
                g_run->marked = !g_run->marked;
                if (VokIkon *k = FindIkon(s, kMarkButton)) {
                    k->flags ^= VOK_IK_BORDER;
                    k->state |= VOK_IST_REDRAW;
                }
                return 0;
            }
            switch (id) {
            case kOk:
            case kEditId: accept(); break;
            case kCancel: finish(kCancel, kSoundBack, 0); break;
            case kDrives: list_drives(); break;
            case kRoot: go_to("\\", ""); break;
            case kUp: go_up(); break;
            case kListId: enter_entry(); break;
            default: break;
            }
            return 0;
        }
        bool listKey = key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN ||
                       ((key == VK_HOME || key == VK_END) && id == kListId && !inMark);
        if (listKey) {
            focus(p, kListId);
            if (list_key(message, file_list(), key))
                pick_to_line();
            return 0;
        }
    }
    if (id == kEditId && !inMark)
        if (VokEdit *e = name_line())
            edit_key(message, e, key);
    return 0;
}

int browser_after_build(VokSession *s)
{
    // Shown without a request (a sheet of every screen): the empty panel.
    if (!g_run)
        return 1;
    BrowserRun &r = *g_run;
    VokEdit *e = edit_of(FindIkon(s, kEditId));
    std::string start;
    if (r.request.lpstrFile && *r.request.lpstrFile) {
        const char *f = r.request.lpstrFile;
        const char *cut = strrchr(f, '\\');
        const char *name = cut ? cut + 1 : f;
        std::string shown;
        if (latin1_name(name, shown))
            start = shown;
    }
    if (e) {
        e->filter = name_char_ok;
        edit_set_text(e, start.c_str());
    }
    set_label(kTitleId, r.title);
    // The list rows are drawn with 20-pixel tab stops; tabs only reach the drive rows.
    list_folder(start);
    if (e)
        start_caret(s, e);
    return 1;
}

int mark_build(VokSession *s)
{
    iface().gameFlags &= ~kFlagMarked;
    if (!(g_run && g_run->save && terrow() && (iface().gameFlags & kFlagMayMark)))
        HideSession(s);
    return 1;
}

struct Registered {
    Registered()
    {
        add_routine("browserKeys", kRoutineKey, reinterpret_cast<void *>(&browser_keys));
        add_routine("browserAfterBuild", kRoutineSession, reinterpret_cast<void *>(&browser_after_build));
        add_routine("browserMarkBuild", kRoutineSession, reinterpret_cast<void *>(&mark_build));
    }
} g_registered;

int run_browser(OPENFILENAMEA *request, bool save)
{
    if (!request || g_run)
        return 0;
    VokInterFace &f = iface();
    IfInitSound();
    BrowserRun r;
    r.request = *request;
    r.request.lStructSize = kClassicSize;
    r.request.hwndOwner = f.ownerWnd;
    r.save = save;
    if (request->lpstrInitialDir && *request->lpstrInitialDir) {
        r.folder = request->lpstrInitialDir;
    } else {
        char here[MAX_PATH + 1] = "";
        GetCurrentDirectoryA(sizeof here, here);
        r.folder = here;
    }
    if (r.folder.empty() || r.folder.back() != '\\')
        r.folder += '\\';
    r.extensions = browser_extensions(request->lpstrFilter);
    if (request->lpstrDefExt)
        r.defExt = request->lpstrDefExt;
    if (!r.extensions.empty() && (r.defExt.empty() || !save))
        r.defExt = r.extensions[0];
    const char *title = request->lpstrTitle ? request->lpstrTitle : text(save ? kTextSave : kTextOpen);
    r.title = title ? title : "";
    r.request.Flags |= kFlagsAlways | (save ? 0 : kMustExist);
    g_run = &r;
    f.popupResult = 0;
    run_screen(32);
    g_run = nullptr;
    int chosen = f.popupResult > 0 && !r.result.empty();
    if (chosen) {
        if (request->lpstrFile && request->nMaxFile > 0) {
            snprintf(request->lpstrFile, request->nMaxFile, "%s", r.result.c_str());
        } else {
            snprintf(g_ownResult, sizeof g_ownResult, "%s", r.result.c_str());
            request->lpstrFile = g_ownResult;
        }
    }
    IfKillSound();
    return chosen;
}

char *browse(char *path, const char *filter, const char *folder, const char *title, bool save)
{
    static char chosen[kBrowserPathMax + 1];
    OPENFILENAMEA o{};
    o.lStructSize = kClassicSize;
    o.hwndOwner = iface().ownerWnd;
    char buffer[kBrowserPathMax + 1] = "";
    if (path)
        snprintf(buffer, sizeof buffer, "%s", path);
    o.lpstrFile = buffer;
    o.nMaxFile = sizeof buffer;
    o.lpstrFilter = filter;
    o.lpstrInitialDir = folder;
    o.lpstrTitle = title;
    o.Flags = save ? 0x080A : 0x1808;
    if (!run_browser(&o, save))
        return nullptr;
    snprintf(chosen, sizeof chosen, "%s", buffer);
    if (path)
        snprintf(path, kBrowserPathMax + 1, "%s", buffer);
    return path ? path : chosen;
}

}  // namespace

BrowserRun *browser_run()
{
    return g_run;
}

std::vector<BrowserEntry> browser_drives(const std::string &writeRoot)
{
    std::vector<BrowserEntry> out;
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    char list[256] = "";
    DWORD n = GetLogicalDriveStringsA(sizeof list, list);
    for (const char *d = list; n > 0 && n < sizeof list && *d; d += strlen(d) + 1) {
        UINT type = GetDriveTypeA(d);
        char kind = type == DRIVE_REMOVABLE ? 'W' : type == DRIVE_FIXED || type == DRIVE_RAMDISK ? 'X' : type == DRIVE_CDROM ? 'Y' : 'Z';
        if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN)
            continue;
        char label[64] = "";
        if (kind != 'W')
            GetVolumeInformationA(d, label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
        BrowserEntry e = browser_entry(kind, std::string(" ") + d + "\t" + label);
        e.target = d;
        out.push_back(e);
    }
    SetErrorMode(oldMode);
    // The write root and the home folder stand beside the drive, as folders to start from.
    std::vector<std::string> more{writeRoot};
    if (const char *home = getenv("HOME"); home && *home) {
        std::string h = home;
        std::replace(h.begin(), h.end(), '/', '\\');
        if (h.back() != '\\')
            h += '\\';
        more.push_back(h);
    }
    for (const std::string &m : more) {
        std::string shown;
        if (m.empty() || int(m.size()) > kBrowserPathMax || !latin1_name(m, shown))
            continue;
        BrowserEntry e = browser_entry('X', " " + shown);
        e.target = m;
        out.push_back(e);
    }
    return out;
}

const char *browse_over_screen(HWND window, const char *filter, const char *folder, const char *title)
{
    static char chosen[sizeof iface().levelPath];
    VokInterFace &f = iface();
    // The browser opens over the running screen's picture.
    br_pixelmap *saved = f.screenPix;
    VokScene *scene = VokGetCurScene();
    if (scene && scene->sessionCount > 0 && scene->sessions[0].pix)
        f.screenPix = scene->sessions[0].pix;
    if (!f.ownerWnd)
        f.ownerWnd = window;
    OPENFILENAMEA o{};
    o.lStructSize = kClassicSize;
    o.hwndOwner = window;
    chosen[0] = 0;
    o.lpstrFile = chosen;
    o.nMaxFile = sizeof chosen;
    o.lpstrFilter = filter;
    o.lpstrInitialDir = folder;
    o.lpstrTitle = title;
    o.Flags = 0x1800;
    int ok = run_browser(&o, false);
    f.screenPix = saved;
    return ok ? chosen : nullptr;
}

}  // namespace vok

using namespace vok;

VOK_EXPORT int VokGetOpenFileName(OPENFILENAMEA *request)
{
    return run_browser(request, false);
}

VOK_EXPORT int VokGetSaveFileName(OPENFILENAMEA *request)
{
    return run_browser(request, true);
}

VOK_EXPORT char *VokBrowseFileOpen(char *path, const char *filter, const char *folder, const char *title)
{
    return browse(path, filter, folder, title, false);
}

VOK_EXPORT char *VokBrowseFileSave(char *path, const char *filter, const char *folder, const char *title)
{
    return browse(path, filter, folder, title, true);
}

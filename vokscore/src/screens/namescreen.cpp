// The player-name entry: a name panel that slides in from the right edge, an edit line with the
// current name, and the list of known players under it (Down opens it, Up closes it). Enter tidies
// the typed name and makes it the player's; Escape leaves the name as it was.
#include "namescreen.h"

#include <math.h>
#include <string.h>

#include <vector>

#include "controls.h"
#include "pannix/pannix.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "state.h"
#include "vokplat/window.h"
#include "vokscore/voksound.h"

namespace vok {

namespace {

constexpr int kNameSession = 92, kListSession = 91;
constexpr int kEditId = 1, kListId = 2;
constexpr int kSlotSize = 256, kMaxNames = 64;
constexpr int kSoundOpen = 12, kSoundYes = 11, kSoundBack = 13;
constexpr uint32_t kSlideInMs = 32, kSlideOutMs = 30, kUnrollMs = 33;
constexpr double kSlideInStep = 0.07853981633974483, kSlideOutStep = 0.15707963267948966;

// The screen's state: from its build to its end.
struct NameEntry {
    std::vector<char> names; // the known names, kSlotSize bytes each
    int count = 0;
    double angle = 0;
    uint32_t last = 0;
    bool sliding = false;
    // The list unrolls downwards: its shown height grows with the sine of its angle.
    double listAngle = 0;
    uint32_t listLast = 0;
    int listHeight = 0;
    bool unrolling = false;
};

NameEntry &entry()
{
    static NameEntry n;
    return n;
}

VokIkon *edit_ikon()
{
    VokSession *s = FindSession(kNameSession);
    return s ? FindIkon(s, kEditId) : nullptr;
}

VokIkon *list_ikon()
{
    VokSession *s = FindSession(kListSession);
    return s ? FindIkon(s, kListId) : nullptr;
}

void place_panel(VokSession *s, int x)
{
    VokRect r{x, s->place.y, s->place.width, s->place.height};
    VokMoveSession(s, &r);
}

int slide_frame(VokSessionProc *p)
{
    NameEntry &n = entry();
    if (!n.sliding)
        return 1;
    uint32_t now = timeGetTime();
    if (now - n.last < kSlideInMs)
        return 1;
    n.last = now;
    n.angle += kSlideInStep;
    int x = name_slide_x(n.angle);
    place_panel(p->session, x);
    if (x <= kNameSlideEnd) {
        n.sliding = false;
        if (general().cursorToFocus)
            place_cursor_on_focus();
    }
    return 1;
}

// The known names live as long as the screen.
void name_end(VokSessionProc *)
{
    entry() = NameEntry{};
}

// Init routine of the name panel: the current name in the edit line, the known names in the list,
// and the panel off-screen at the right, to slide in.
int name_init(VokSession *s)
{
    NameEntry &n = entry();
    n = NameEntry{};
    n.names.assign(size_t(kSlotSize) * kMaxNames, 0);
    n.count = VokReadPlayerNames(n.names.data(), kSlotSize, kMaxNames);
    s->x = kNameSlideStart;
    return 1;
}

int name_after_build(VokSession *s)
{
    NameEntry &n = entry();
    VokInterFace &f = iface();
    if (VokEdit *e = edit_of(FindIkon(s, kEditId))) {
        e->filter = name_char_ok;
        edit_set_text(e, f.playerName ? f.playerName : "");
        start_caret(s, e);
    }
    n.sliding = true;
    n.last = timeGetTime();
    AddProcToSession(s, nullptr, slide_frame, nullptr, name_end);
    IfPlaySound(kSoundOpen);
    return 1;
}

// Shows `height` of the list panel's rows from the top; what it uncovers is drawn again.
void show_list_height(VokSession *s, int height)
{
    NameEntry &n = entry();
    s->place.height = height;
    VokRect full{s->place.x, s->place.y, s->place.width, n.listHeight};
    if (VokScene *scene = engine().running)
        VokAddSceneDirtyRect(scene, &full);
}

int unroll_frame(VokSessionProc *p)
{
    NameEntry &n = entry();
    if (!n.unrolling)
        return 1;
    uint32_t now = timeGetTime();
    if (now - n.listLast < kUnrollMs)
        return 1;
    // A step every 33 ms, however the frames fall.
    while (now - n.listLast >= kUnrollMs) {
        n.listLast += kUnrollMs;
        n.listAngle += kSlideInStep;
    }
    if (n.listAngle >= M_PI / 2) {
        n.unrolling = false;
        show_list_height(p->session, n.listHeight);
    } else {
        // The part still rolled up is the height times 1 - sin(angle).
        show_list_height(p->session, n.listHeight - int(lround(n.listHeight * (1 - sin(n.listAngle)))));
    }
    return 1;
}

void open_list(VokSession *s)
{
    NameEntry &n = entry();
    n.listAngle = 0;
    n.listLast = timeGetTime();
    n.unrolling = true;
    show_list_height(s, 0);
    ShowSession(s);
}

// Init routine of the list panel: the known names, the current one selected; hidden until Down.
int list_after_build(VokSession *s)
{
    NameEntry &n = entry();
    n.listHeight = s->place.height;
    n.unrolling = false;
    AddProcToSession(s, nullptr, unroll_frame, nullptr, nullptr);
    VokList *list = list_of(FindIkon(s, kListId));
    if (list && n.count > 0) {
        std::vector<const char *> rows;
        int current = 0;
        for (int i = 0; i < n.count; i++) {
            rows.push_back(&n.names[size_t(i) * kSlotSize]);
            if (iface().playerName && !strcmp(rows.back(), iface().playerName))
                current = i;
        }
        list_set_rows(list, rows.data(), int(rows.size()));
        list_select(list, current);
    }
    HideSession(s);
    return 1;
}

void close_list()
{
    NameEntry &n = entry();
    if (VokSession *l = FindSession(kListSession)) {
        HideSession(l);
        n.unrolling = false;
        if (n.listHeight > 0)
            l->place.height = n.listHeight;
    }
    engine().focusSession = FindSession(kNameSession);
}

// The panel goes back out of the screen before the screen ends.
void slide_out()
{
    NameEntry &n = entry();
    VokSession *s = FindSession(kNameSession);
    VokScene *scene = engine().running;
    n.sliding = false;
    if (n.angle > M_PI / 2)
        n.angle = M_PI / 2;
    while (s && scene) {
        n.angle -= kSlideOutStep;
        int x = n.angle <= 0 ? kNameSlideStart : name_slide_x(n.angle);
        place_panel(s, x);
        MnuBuildScene();
        MnuPaintScreen(scene, 0);
        VokPump();  // each step reaches the display
        if (x >= kNameSlideStart)
            break;
        Sleep(kSlideOutMs);
    }
}

void finish(int result, int sound)
{
    close_list();
    iface().popupResult = result;
    IfPlaySound(sound);
    slide_out();
    engine().runningFlag = false;
}

int name_keys(HWND, UINT message, WPARAM key, LPARAM)
{
    VokScene *scene = engine().running;
    if (!scene)
        return 0;
    VokSession *listSession = FindSession(kListSession);
    bool listOpen = listSession && !(listSession->state & VOK_SST_HIDDEN) && engine().focusSession == listSession;
    if (message == WM_KEYDOWN) {
        if (key == VK_RETURN) {
            VokEdit *e = edit_of(edit_ikon());
            if (listOpen)
                if (VokList *l = list_of(list_ikon()); l && l->selected >= 0 && e)
                    edit_set_text(e, l->rows + size_t(l->selected) * size_t(l->rowSize));
            char name[kNameCapacity + 1];
            if (!e || !tidy_name(e->text, name)) {
                close_list();
                return 0;
            }
            if (iface().playerName) {
                strncpy(iface().playerName, name, kNameCapacity);
                iface().playerName[kNameCapacity] = 0;
            }
            finish(1, kSoundYes);
            return 0;
        }
        if (key == VK_ESCAPE) {
            finish(0, kSoundBack);
            return 0;
        }
        if (key == VK_DOWN && !listOpen && listSession) {
            VokList *l = list_of(list_ikon());
            if (l && l->count > 1) {
                open_list(listSession);
                engine().focusSession = listSession;
            }
            return 0;
        }
        if (key == VK_UP && listOpen) {
            VokList *l = list_of(list_ikon());
            if (!l || l->selected <= 0) {
                close_list();
                return 0;
            }
        }
    }
    if (listOpen) {
        VokList *l = list_of(list_ikon());
        if (l && list_key(message, l, key)) {
            // The picked name goes into the edit line.
            if (VokEdit *e = edit_of(edit_ikon()); e && l->selected >= 0)
                edit_set_text(e, l->rows + size_t(l->selected) * size_t(l->rowSize));
        }
        return 0;
    }
    if (VokEdit *e = edit_of(edit_ikon()))
        edit_key(message, e, key);
    return 0;
}

struct Registered {
    Registered()
    {
        add_routine("nameInit", kRoutineSession, reinterpret_cast<void *>(&name_init));
        add_routine("nameAfterBuild", kRoutineSession, reinterpret_cast<void *>(&name_after_build));
        add_routine("nameListAfterBuild", kRoutineSession, reinterpret_cast<void *>(&list_after_build));
        add_routine("nameKeys", kRoutineKey, reinterpret_cast<void *>(&name_keys));
    }
} g_registered;

}  // namespace

int name_char_ok(int ch)
{
    unsigned c = unsigned(ch) & 0xFF;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ')
        return 1;
    if (c >= 0xC0)
        return c != 0xD7 && c != 0xF7;
    return c != 0 && strchr("!@#$%^&()_-{}'~", int(c)) != nullptr;
}

bool tidy_name(const char *typed, char out[kNameCapacity + 1])
{
    size_t n = typed ? strlen(typed) : 0;
    while (n > 0 && (typed[n - 1] == ' ' || typed[n - 1] == '\t'))
        n--;
    if (n == 0)
        return false;
    if (n > size_t(kNameCapacity))
        n = size_t(kNameCapacity);
    // The cut may end the name on a blank again.
    while (n > 1 && (typed[n - 1] == ' ' || typed[n - 1] == '\t'))
        n--;
    // ASCII only: Latin-1 letters stay as typed, whatever the locale.
    for (size_t i = 0; i < n; i++) {
        char c = typed[i];
        out[i] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    out[n] = 0;
    if (out[0] >= 'a' && out[0] <= 'z')
        out[0] = char(out[0] - 'a' + 'A');
    return true;
}

int name_slide_x(double angle)
{
    return kNameSlideStart - int(sin(angle) * kNameSlideWidth);
}

}  // namespace vok

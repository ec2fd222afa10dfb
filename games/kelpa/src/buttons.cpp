// The animated picture buttons: creation from a pack's frame and mask sequences, drawing over the 3D
// picture, the hit test, the click, press and release animations, the places in the window, parking,
// the slide-out at the end of a level and the file menu.
#include <string.h>

#include "kelpa/kelpa.h"
#include "pannix/pxblit.h"
#include "pannix/pxpix.h"

namespace {

KpButton *g_list = nullptr;
KpButton *g_buttons[KP_BTN_COUNT] = {};
KpButton *g_remembered = nullptr;
KpAfterDraw g_afterDraw = nullptr;
KpFrameSink g_sink = nullptr;
int32_t g_pressed = 0;
const uint16_t kFill[2] = {0x001F, 0xFFFF};

br_pixelmap *screenColour()
{
    KpScreen *s = kpRenderer().screen;
    return s != nullptr ? s->colour : nullptr;
}

// The button's rectangle of the screen picture, also into the saved copy so restores keep it.
void keepInSaved(KpButton *b)
{
    br_pixelmap *c = screenColour(), *saved = kpRenderer().savedColour;
    if (c != nullptr && saved != nullptr)
        CopyRectangle(saved, b->x, b->y, c, b->x, b->y, b->width, b->height - b->trimmed);
}

void drawFrame(KpButton *b, int frame, bool grabUnder)
{
    br_pixelmap *c = screenColour();
    if (g_sink != nullptr)
        g_sink(b, frame);
    if (c == nullptr)
        return;
    if (b->count == 0) {
        // By picture position: the screen's origin sits at its centre for the renderer.
        for (int y = b->y < 0 ? 0 : b->y; y < b->y + b->height && y < c->height; y++) {
            uint16_t *row = reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(c->pixels) + ptrdiff_t(y) * c->row_bytes);
            for (int x = b->x < 0 ? 0 : b->x; x < b->x + b->width && x < c->width; x++)
                row[x] = kFill[b->state & 1];
        }
        return;
    }
    if (frame < 0)
        frame = 0;
    if (frame >= b->count)
        frame = b->count - 1;
    if (b->under != nullptr) {
        if (grabUnder)
            CopyRectangle(b->under, 0, 0, c, b->x, b->y, b->width, b->height);
        CopyRectangle(c, b->x, b->y, b->under, 0, 0, b->width, b->height - b->trimmed);
    }
    CopyRectTransparent0(c, b->x, b->y, b->frames[frame], 0, 0, b->width, b->height - b->trimmed);
    b->lastFrame = frame;
}

void present(KpButton *b)
{
    KpScreen *s = kpRenderer().screen;
    if (s != nullptr && s->dib != nullptr && s->dib->present != nullptr)
        s->dib->present(s->dib, s->dc, b->x, b->y, b->width, b->height);
}

// One frame on screen, then the rest of its 40 ms.
void showFrame(KpButton *b, int frame)
{
    const uint32_t begun = KpClock();
    drawFrame(b, frame, false);
    keepInSaved(b);
    present(b);
    const uint32_t spent = KpClock() - begun;
    if (spent < uint32_t(b->frameTime))
        SleepEx(DWORD(uint32_t(b->frameTime) - spent), FALSE);
}

void clickAnimation(KpButton *b, int oldState)
{
    if (b->count == 0)
        return;
    if (b->kind == 2) {
        const int from = b->firstFrame[oldState & 1], to = b->firstFrame[b->state & 1];
        const int step = to > from ? 1 : -1;
        if (from != to)
            for (int f = from + step;; f += step) {
                showFrame(b, f);
                if (f == to)
                    break;
            }
    } else {
        for (int f = 1; f <= 12; f++)
            showFrame(b, f < b->count ? f : b->count - 1);
    }
    b->lastFrame = -1;
}

void pressFrame(KpButton *b)
{
    if (g_pressed || b->count == 0)
        return;
    showFrame(b, b->kind == 2 && b->state == 1 ? b->count - 2 : 1);
    g_pressed = 1;
}

void releaseFrame(KpButton *b)
{
    if (b->count == 0)
        return;
    showFrame(b, b->kind == 2 && b->state == 1 ? b->count - 1 : 0);
    g_pressed = 0;
    b->lastFrame = -1;
}

bool rightSide(int id)
{
    return id == KP_BTN_HELP || id == KP_BTN_SPEED || id == KP_BTN_RESET;
}

int placeOf(int id, const RECT &rc, int *x, int *y)
{
    const int l = rc.left, t = rc.top, r = rc.right, b = rc.bottom;
    switch (id) {
    case KP_BTN_HELP: *x = r - 123, *y = t; return 1;
    case KP_BTN_MENU: *x = l, *y = t; return 1;
    case KP_BTN_SPEED: *x = r - 196, *y = b - 88; return 1;
    case KP_BTN_NEW:
    case KP_BTN_LEVEL: *x = l + 80, *y = b - 88; return 1;
    case KP_BTN_RESET: *x = r - 49, *y = b - 88; return 1;
    case KP_BTN_START:
    case KP_BTN_PARE:
    case KP_BTN_START_N:
    case KP_BTN_PARE_N: *x = l, *y = b - 88; return 1;
    case KP_BTN_FILE0:
    case KP_BTN_FILE1:
    case KP_BTN_FILE2:
    case KP_BTN_FILE3:
    case KP_BTN_FILE4:
        // The file button where the menu button stands, its entries one below the other.
        *x = l;
        *y = t;
        for (int k = KP_BTN_FILE0; k < id; k++)
            *y += g_buttons[k] != nullptr ? g_buttons[k]->height : 0;
        return 1;
    default: return 0;
    }
}

RECT clientRect()
{
    RECT rc = {0, 0, 640, 480};
    HWND w = kpModule().gameWindow;
    if (w != nullptr && GetClientRect(w, &rc) && rc.right > 0 && rc.bottom > 0)
        return rc;
    return RECT{0, 0, 640, 480};
}

}  // namespace

const char *const kKpButtonPaths[KP_BTN_COUNT] = {
    "file0\\co", "file1\\co", "file2\\co", "file3\\co", "file4\\co", "menu\\co",  "help\\co",  "start\\co",
    "pare\\co",  "start_n\\co", "pare_n\\co", "reset\\co", "speed\\co", "level\\co", "new\\co"};

KpButton *&kpButton(int id)
{
    static KpButton *none = nullptr;
    if (id < 0 || id >= KP_BTN_COUNT) {
        none = nullptr;
        return none;
    }
    return g_buttons[id];
}

KpButton *kpButtonList()
{
    return g_list;
}

void KpSetFrameSink(KpFrameSink sink)
{
    g_sink = sink;
}

KpButton *KpButtonCreate(int kind, KpButtonAction action, int x, int y, const char *path, int)
{
    KpButton *b = new (std::nothrow) KpButton();
    if (b == nullptr)
        return nullptr;
    b->kind = kind;
    b->action = action;
    b->x = b->hitX = x;
    b->y = b->hitY = y;
    b->path = path;
    // "menu\co" -> masks "menu\A_co": the folder stays, the name gets the prefix.
    char maskPath[300];
    const char *cut = path != nullptr ? strrchr(path, '\\') : nullptr;
    const size_t folder = cut != nullptr ? size_t(cut - path + 1) : 0;
    if (path != nullptr && strlen(path) + 3 < sizeof maskPath)
        snprintf(maskPath, sizeof maskPath, "%.*sA_%s", int(folder), path, path + folder);
    else
        maskPath[0] = '\0';
    int frames = 0, masks = 0;
    br_pixelmap **f = path != nullptr ? KpLoadFrameSequence(path, 4, "pix", &frames) : nullptr;
    br_pixelmap **m = maskPath[0] ? KpLoadFrameSequence(maskPath, 4, "bmp", &masks) : nullptr;
    if (frames > 0 && frames == masks) {
        b->frames = f;
        b->masks = m;
        b->count = frames;
        b->width = b->hitWidth = f[0]->width;
        b->height = b->hitHeight = f[0]->height;
        b->under = BrPixelmapAllocate(BR_PMT_RGB_565, b->width, b->height, nullptr, 0);
        b->saveUnder = b->under != nullptr;
        b->firstFrame[1] = kind == 2 ? frames - 1 : 0;
    } else {
        KpFreeFrameSequence(f, frames);
        KpFreeFrameSequence(m, masks);
        b->width = b->hitWidth = 100;
        b->height = b->hitHeight = 50;
    }
    b->next = g_list;
    if (g_list != nullptr)
        g_list->prev = b;
    g_list = b;
    return b;
}

void KpFreeButtons()
{
    for (KpButton *b = g_list; b != nullptr;) {
        KpButton *next = b->next;
        KpFreeFrameSequence(b->frames, b->count);
        KpFreeFrameSequence(b->masks, b->count);
        if (b->under != nullptr)
            BrPixelmapFree(b->under);
        delete b;
        b = next;
    }
    g_list = nullptr;
    g_remembered = nullptr;
    g_pressed = 0;
    for (KpButton *&b : g_buttons)
        b = nullptr;
}

void KpButtonsDraw(KpScreen *screen)
{
    const KpSwitches &s = kpSwitches();
    const bool grab = s.fullRedraw || s.newLevelSwitch || s.slideSwitch;
    // Oldest first, so the newest lies on top where two overlap.
    KpButton *last = g_list;
    while (last != nullptr && last->next != nullptr)
        last = last->next;
    for (KpButton *b = last; b != nullptr; b = b->prev) {
        if (!b->visible)
            continue;
        drawFrame(b, b->firstFrame[b->state & 1], grab);
        keepInSaved(b);
    }
    if (g_afterDraw != nullptr)
        g_afterDraw();
    (void)screen;
}

KpButton *KpButtonAt(int x, int y)
{
    for (KpButton *b = g_list; b != nullptr; b = b->next) {
        if (!b->visible)
            continue;
        if (x < b->hitX || y < b->hitY || x >= b->hitX + b->hitWidth || y >= b->hitY + b->hitHeight)
            continue;
        if (b->pixelTest && b->count > 0) {
            br_pixelmap *mask = b->masks[b->firstFrame[b->state & 1]];
            if (mask == nullptr || BrPixelmapPixelGet(mask, x - b->x, y - b->y) == 0)
                continue;
        }
        return b;
    }
    return nullptr;
}

int KpButtonClick(int x, int y, KpScreen *, int mode)
{
    KpButton *b = KpButtonAt(x, y);
    if (b == nullptr) {
        g_remembered = nullptr;
        return 0;
    }
    if (mode == 0 && b->sound >= 0) {
        KpPlaySound(b->sound);
        kpSwitches().backgroundSwitch = 1;
    }
    if (g_remembered != nullptr && g_remembered != b)
        releaseFrame(g_remembered);
    int result = 1;
    if (b->enabled) {
        const int oldState = b->state;
        if (mode == 0 && b->kind == 2)
            b->state ^= 1;
        if (b->saveUnder) {
            if (mode == 0)
                clickAnimation(b, oldState);
            else if (mode == 1)
                pressFrame(b);
            else
                releaseFrame(b);
        }
        if (mode == 0 && b->action != nullptr) {
            g_remembered = b;
            b->action(b);
            return result;
        }
    }
    g_remembered = b;
    return result;
}

uint32_t KpClock()
{
    struct _timeb t;
    _ftime(&t);
    return uint32_t(t.time) * 1000u + t.millitm;
}

void KpShowButton(KpButton *b)
{
    if (b != nullptr)
        b->visible = 1;
}

void KpHideButton(KpButton *b)
{
    if (b != nullptr)
        b->visible = 0;
}

void KpSetButtonState(KpButton *b, int state)
{
    if (b != nullptr)
        b->state = state & 1;
}

void KpEnableButton(KpButton *b, int enabled)
{
    if (b != nullptr)
        b->enabled = enabled != 0;
}

void KpSetPixelTest(KpButton *b, int on)
{
    if (b != nullptr)
        b->pixelTest = on != 0;
}

void KpMoveButton(KpButton *b, int x, int y)
{
    if (b == nullptr)
        return;
    b->x = b->hitX = x;
    b->y = b->hitY = y;
}

void KpSetAfterDraw(KpAfterDraw routine)
{
    g_afterDraw = routine;
}

void KpPlaceButtons()
{
    const RECT rc = clientRect();
    for (int id = 0; id < KP_BTN_COUNT; id++) {
        int x, y;
        if (placeOf(id, rc, &x, &y))
            KpMoveButton(g_buttons[id], x, y);
    }
}

void KpParkButtons()
{
    const RECT rc = clientRect();
    for (int id = 0; id < KP_BTN_COUNT; id++) {
        int x, y;
        if (placeOf(id, rc, &x, &y))
            KpMoveButton(g_buttons[id], rc.right - 200, rc.top - 100);
    }
    kpSwitches().backgroundSwitch = 1;
    KpRenderAndPresent();
}

void KpSlideButtonsOut()
{
    const RECT rc = clientRect();
    KpSwitches &s = kpSwitches();
    for (int i = 0; i < 5; i++) {
        for (int id = 0; id < KP_BTN_COUNT; id++) {
            int x, y;
            if (placeOf(id, rc, &x, &y))
                KpMoveButton(g_buttons[id], rightSide(id) ? x + 40 * i : x - 40 * i, y);
        }
        s.slideSwitch = 1;
        s.backgroundSwitch = 1;
        KpRenderFrame(kpRenderer().screen);
        KpDrawStatus(kpRenderer().screen);
        KpPresentFrame(kpRenderer().screen);
        s.slideSwitch = 0;
    }
    for (int id = 0; id < KP_BTN_COUNT; id++) {
        int x, y;
        if (placeOf(id, rc, &x, &y))
            KpHideButton(g_buttons[id]);
    }
}

int KpFileMenu(KpButton *b)
{
    KpObjects &o = kpObjects();
    if (o.fileMenuOpen) {
        for (int id = KP_BTN_FILE1; id <= KP_BTN_FILE4; id++)
            KpHideButton(g_buttons[id]);
        kpSwitches().backgroundSwitch = 1;
        o.fileMenuOpen = 0;
        if (b == g_buttons[KP_BTN_FILE1])
            KpOpenWorkLevel();
        else if (b == g_buttons[KP_BTN_FILE2])
            KpSaveWorkLevel();
        else if (b == g_buttons[KP_BTN_FILE3])
            KpSaveLevel();
        else if (b == g_buttons[KP_BTN_FILE4])
            KpMenuAction(b);
        return 0;
    }
    // Unfold from the first entry downwards, one drawing at a time.
    for (int id = KP_BTN_FILE1; id <= KP_BTN_FILE4; id++) {
        KpButton *e = g_buttons[id];
        if (e == nullptr)
            continue;
        KpShowButton(e);
        drawFrame(e, 0, true);
        keepInSaved(e);
        present(e);
    }
    o.fileMenuOpen = 1;
    return 0;
}

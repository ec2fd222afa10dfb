// Messages of the framework. The text is formatted into one module-wide buffer that the record's
// messageText points to; it is shown on one of the message screens when a screen picture is there to
// show it over, else in the platform's box. Either way the caller gets the platform's answer codes.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "brondel/brpixmap.h"
#include "controls.h"
#include "pannix/pannix.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "state.h"
#include "texts.h"
#include "vokscore/vokpopup.h"
#include "vokscore/voksound.h"
#include "win32/winmisc.h"

namespace vok {

namespace {

char g_message[4096];

constexpr int kCaptionText = 49;
constexpr int kSoundOpen = 12;
constexpr int kSoundRefuse = 14;
constexpr int kMaxLines = 1024;
constexpr int kMinRows = 10;
constexpr int kLineHeight = 16;
constexpr int kMargin = 8; // between the panel's edge, its text and its buttons

// The message screen of a MessageBox type (its low four bits).
unsigned screen_of(unsigned type)
{
    switch (type & 0x0F) {
    case MB_OKCANCEL: return 47;
    case MB_ABORTRETRYIGNORE: return 51;
    case MB_YESNOCANCEL: return 49;
    case MB_YESNO: return 48;
    case MB_RETRYCANCEL: return 50;
    default: return VOK_SCREEN_MESSAGE;
    }
}

int answer_of(int popupResult)
{
    switch (popupResult) {
    case 1: return IDOK;
    case 10: return IDNO;
    case 11: return IDYES;
    default: return IDCANCEL;
    }
}

// `screens`: a message screen may be used (the internal form shows the platform box only).
int show(HWND window, unsigned type, const char *format, va_list args, bool screens)
{
    if (format == nullptr)
        return 0;
    vsnprintf(g_message, sizeof g_message, format, args);
    VokInterFace &f = iface();
    f.messageText = g_message;
    if (f.ownerWnd == nullptr)
        f.ownerWnd = window;
    if (screens) {
        // Without a picture of its own the message is shown over the current scene's; that picture
        // goes with the scene, so the record does not keep it after the call.
        br_pixelmap *saved = f.screenPix;
        VokScene *scene = VokGetCurScene();
        if (f.screenPix == nullptr && scene && scene->sessionCount > 0)
            f.screenPix = scene->sessions[0].pix;
        int shown = f.screenPix ? VokPopupIFScreen(screen_of(type)) : 0;
        f.screenPix = saved;
        if (shown)
            return answer_of(f.popupResult);
    }
    const char *caption = text(kCaptionText);
    return MessageBoxA(window, g_message, caption != nullptr ? caption : "", type);
}

// `text` broken into lines no wider than `width` in the selected font: at its own line breaks, after
// the last space that fits, else between two characters.
std::vector<std::string> wrap_lines(const char *text, int width, bool measured)
{
    std::vector<std::string> out;
    for (const char *p = text; int(out.size()) < kMaxLines;) {
        const char *end = strchr(p, '\n');
        std::string line(p, end ? size_t(end - p) : strlen(p));
        while (measured && !line.empty() && PxGetTextWidth(line.c_str()) > width && int(out.size()) < kMaxLines) {
            // The longest head that fits (at least one character), found by halving: a long word
            // measured one character shorter at a time takes seconds.
            size_t fit = 1;
            for (size_t lo = 2, hi = line.size() - 1; lo <= hi;) {
                size_t mid = lo + (hi - lo) / 2;
                if (PxGetTextWidth(line.substr(0, mid).c_str()) <= width)
                    fit = mid, lo = mid + 1;
                else
                    hi = mid - 1;
            }
            size_t space = line.find_last_of(' ', fit);
            size_t cut = space != std::string::npos && space > 0 && space <= fit ? space : fit;
            out.push_back(line.substr(0, cut));
            line.erase(0, cut);
            while (!line.empty() && line[0] == ' ')
                line.erase(0, 1);
        }
        out.push_back(line);
        if (!end)
            break;
        p = end + 1;
    }
    if (int(out.size()) > kMaxLines)
        out.resize(size_t(kMaxLines));
    return out;
}

// The panel `extra` pixels taller, kept centred on the screen: its picture's middle band repeats,
// and the ikons of its lower half (the buttons) move down with its foot.
bool grow_panel(VokScene *scene, VokSession *s, int extra)
{
    br_pixelmap *old = s->backgroundPix;
    if (extra <= 0 || !old || !s->pix || s->backgroundShared || s->contentHeight > 0)
        return false;
    int w = old->width, h = old->height, half = h / 2, nh = h + extra;
    br_pixelmap *bg = PxAllocPix(old->type, w, nh, nullptr, 0);
    br_pixelmap *pix = bg ? PxAllocPix(s->pix->type, s->pix->width, nh, nullptr, 0) : nullptr;
    if (!bg || !pix) {
        if (bg)
            PxFreePix(bg);
        return false;
    }
    CopyRectangle(bg, 0, 0, old, 0, 0, w, half);
    for (int y = 0; y < extra; y++)
        CopyRectangle(bg, 0, half + y, old, 0, half, w, 1);
    CopyRectangle(bg, 0, half + extra, old, 0, half, w, h - half);
    CopyRectangle(pix, 0, 0, bg, 0, 0, s->pix->width, nh);
    PxFreePix(old);
    PxFreePix(s->pix);
    s->backgroundPix = bg;
    s->pix = pix;
    s->pixHeight = nh;
    int top = std::max(0, s->place.y - extra / 2);
    if (top + nh > scene->curHeight)
        top = std::max(0, scene->curHeight - nh);
    int dy = top - s->place.y;
    s->place.y = top;
    s->place.height = nh;
    s->home = s->place;
    s->inputRect.y += dy;
    s->inputRect.height += extra;
    for (int i = 0; i < s->ikonCount; i++) {
        VokIkon *k = &s->ikons[i];
        if (k->placeRect.y >= half) {
            k->placeRect.y += extra;
            k->drawnRect = k->placeRect;
        }
    }
    s->state |= VOK_SST_FULL;
    return true;
}

// The text field of the message screens: one row a line of messageText, wrapped to the field's width,
// 16 pixels high a line, between the panel's top and its buttons. A text taller than that makes the
// panel taller, up to the screen; what still does not fit is cut, its last line ending in "...".
int message_text(VokSession *s)
{
    VokIkon *k = FindIkonByType(s, VOK_IKON_LIST);
    VokList *list = k ? list_of(k) : nullptr;
    auto movies = reinterpret_cast<VokSessionRoutine>(find_routine("buttonMovies", kRoutineSession));
    if (!list)
        return movies ? movies(s) : 1;
    const char *t = iface().messageText;
    if (t == nullptr || *t == 0) {
        const char *fallback = k->text.string ? k->text.string : text(k->text.number);
        t = fallback ? fallback : "";
    }
    SceneEngine &e = engine();
    const bool measured = e.fonts && PxSelectFont(e.fonts, k->font);
    const int width = k->placeRect.width;
    std::vector<std::string> lines = wrap_lines(t, width, measured);
    // The room between the panel's top and its highest button.
    auto room = [&] {
        int bottom = s->place.height - kMargin;
        for (int i = 0; i < s->ikonCount; i++) {
            const VokIkon &b = s->ikons[i];
            if (&b != k && (b.flags & (VOK_IK_ACT1 | VOK_IK_ACT2)) && b.placeRect.y > s->place.height / 2)
                bottom = std::min(bottom, b.placeRect.y - kMargin);
        }
        return std::max(bottom - kMargin, kLineHeight);
    };
    int fits = room() / kLineHeight;
    VokScene *scene = e.running;
    if (int(lines.size()) > fits && scene) {
        int most = scene->curHeight - 2 * kMargin - s->place.height;
        int extra = std::min(int(lines.size() - size_t(fits)) * kLineHeight, most);
        if (extra > 0 && grow_panel(scene, s, extra))
            fits = room() / kLineHeight;
    }
    if (int(lines.size()) > fits) {
        lines.resize(size_t(std::max(fits, 1)));
        std::string &last = lines.back();
        while (!last.empty() && measured && PxGetTextWidth((last + "...").c_str()) > width)
            last.pop_back();
        last += "...";
    }
    int shownLines = int(lines.size());
    while (lines.size() < size_t(kMinRows))
        lines.emplace_back();
    std::vector<const char *> rows;
    for (const std::string &l : lines)
        rows.push_back(l.c_str());
    list_set_rows(list, rows.data(), int(rows.size()));
    list->rowHeight = kLineHeight;
    list->visible = std::max(list->visible, shownLines);
    int h = kLineHeight * shownLines;
    k->placeRect.height = h;
    // Centred in the room above the buttons.
    k->placeRect.y = kMargin + (room() - h) / 2;
    k->drawnRect = k->placeRect;
    k->state |= VOK_IST_REDRAW;
    IfPlaySound(kSoundOpen);
    // The panel's buttons play their movies as on every other screen.
    return movies ? movies(s) : 1;
}

struct Registered {
    Registered() { add_routine("messageText", kRoutineSession, reinterpret_cast<void *>(&message_text)); }
} g_registered;

}  // namespace

int message_box_plain(HWND window, unsigned type, const char *format, ...)
{
    VokInterFace &f = iface();
    br_pixelmap *saved = f.screenPix;
    f.screenPix = nullptr;
    va_list args;
    va_start(args, format);
    int r = show(window, type, format, args, false);
    va_end(args);
    f.screenPix = saved;
    return r;
}

}  // namespace vok

VOK_EXPORT int VokMessageBox(HWND window, unsigned type, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int r = vok::show(window, type, format, args, true);
    va_end(args);
    return r;
}

VOK_EXPORT int NotIncluded(void)
{
    IfPlaySound(vok::kSoundRefuse);
    vok::message_box_plain(vok::iface().ownerWnd, 0, "%s", "Not included in this build");
    return 0;
}

VOK_EXPORT int NotImplemented(void)
{
    IfPlaySound(vok::kSoundRefuse);
    vok::message_box_plain(vok::iface().ownerWnd, 0, "%s", "Not implemented yet!");
    return 0;
}

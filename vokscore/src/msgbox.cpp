// Messages of the framework. The text is formatted into one module-wide buffer that the record's
// messageText points to; it is shown on one of the message screens when a screen picture is there to
// show it over, else in the platform's box. Either way the caller gets the platform's answer codes.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "controls.h"
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

// The text field of the message screens: one row a line of messageText (at most 1024), padded with
// empty rows to ten, 16 pixels high a line of text.
int message_text(VokSession *s)
{
    VokIkon *k = FindIkonByType(s, VOK_IKON_LIST);
    VokList *list = k ? list_of(k) : nullptr;
    auto movies = reinterpret_cast<VokSessionRoutine>(find_routine("buttonMovies", kRoutineSession));
    if (!list)
        return movies ? movies(s) : 1;
    std::vector<std::string> lines;
    const char *t = iface().messageText;
    if (t == nullptr || *t == 0) {
        const char *fallback = k->text.string ? k->text.string : text(k->text.number);
        t = fallback ? fallback : "";
    }
    for (const char *p = t; int(lines.size()) < kMaxLines;) {
        const char *end = strchr(p, '\n');
        lines.emplace_back(p, end ? size_t(end - p) : strlen(p));
        if (!end)
            break;
        p = end + 1;
    }
    int shownLines = int(lines.size());
    while (lines.size() < size_t(kMinRows))
        lines.emplace_back();
    std::vector<const char *> rows;
    for (const std::string &l : lines)
        rows.push_back(l.c_str());
    list_set_rows(list, rows.data(), int(rows.size()));
    int h = kLineHeight * shownLines;
    k->placeRect.height = h;
    if (k->flags & VOK_IK_VCENTRE)
        k->placeRect.y = k->y + (s->place.height - h) / 2;
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

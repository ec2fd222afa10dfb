// Bitmap fonts: font sets read from font packs, the one current font of the process, the text walk
// that measures and draws, the stack of saved selections and the font lock.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>

#include "brondel/brcore.h"
#include "brondel/brpixmap.h"
#include "pannix/ffpack.h"
#include "pannix/pxblit.h"
#include "pannix/pxfont.h"
#include "pannix/pxpicfile.h"
#include "pannix/pxpix.h"
#include "pixmap.h"
#include "pxstate.h"
#include "vokplat/export.h"
#include "win32/winmisc.h"
#include "win32/winsync.h"
#include "win32/wintime.h"

namespace {

constexpr int kTypes = 256;
constexpr DWORD kLockWaitMs = 1000;

// A font with the glyph pictures made at other pixel sizes for the blitters that cannot convert.
struct FontBox {
    PXFONT font;
    br_pixelmap *sheets[kTypes];
};

struct Slot {
    PXFONTSET *set;
    int32_t number;
};

struct TextState {
    PXFONTSET *set = nullptr;
    int32_t number = 0;
    PXFONT *font = nullptr;
    int32_t saved = 0;
    bool multiline = false;
    int32_t tab = 16;
    int32_t running_height = 0;
    const char *next_line = nullptr;
    Slot stack[PX_FONT_STACK] = {};
    int32_t depth = 0;
};

TextState g_text;
std::atomic<DWORD> g_lock{0};
std::mutex g_sheet_lock;

// What one walk writes besides its result.
struct Walk {
    br_pixelmap *destination = nullptr;
    int32_t x = 0, y = 0;
    bool draw = false;
    uint8_t *bytes = nullptr;
    size_t bytes_left = 0;
    int32_t *lines = nullptr;
    int32_t lines_capacity = 0;
};

int16_t s16(const uint8_t *p)
{
    return int16_t(uint16_t(p[0] | p[1] << 8));
}

uint32_t u32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void copy_glyph(br_pixelmap *d, int32_t dx, int32_t dy, br_pixelmap *s, int32_t sx, int32_t sy, int32_t w, int32_t h,
                uint32_t)
{
    CopyRectangle(d, dx, dy, s, sx, sy, w, h);
}

void sprite_glyph(br_pixelmap *d, int32_t dx, int32_t dy, br_pixelmap *s, int32_t sx, int32_t sy, int32_t w,
                  int32_t h, uint32_t)
{
    CopyRectTransparent0(d, dx, dy, s, sx, sy, w, h);
}

// The portable blitters copy one pixel size without conversion: the key copy needs glyphs in the
// destination's own colours, the fill only their size (it writes its colour wherever a glyph is).
bool needs_sheet(PXGLYPHBLIT blitter, const br_pixelmap *pic, const br_pixelmap *destination)
{
    if (blitter == &CopyRectTransparent)
        return pic->type != destination->type;
    if (blitter == &CopyRectTransparent0fill)
        return px::pixel_bytes(pic->type) != px::pixel_bytes(destination->type);
    return false;
}

void set_method(PXFONT *font, int32_t method, uint32_t colour)
{
    font->fill = 0xFFFFFFFFu;
    font->key = 0;
    font->method = method;
    switch (method) {
    case 1:
        font->blitter = colour != 0 ? &CopyRectTransparent : &sprite_glyph;
        font->key = colour;
        break;
    case 2:
        font->blitter = &CopyRectTranspAlpha;
        font->key = colour;
        break;
    case 3:
        font->blitter = &CopyRectTransparent0fill;
        font->key = colour;
        font->fill = colour;
        break;
    default:
        font->method = 0;
        [[fallthrough]];
    case 0:
        font->blitter = &copy_glyph;
        break;
    }
}

// The glyph picture for a destination: the font's own, or a copy at the destination's type (made
// once, kept until the font is freed) when the blitter cannot convert.
br_pixelmap *sheet_for(PXFONT *font, const br_pixelmap *destination)
{
    br_pixelmap *pic = font->pic;
    if (!needs_sheet(font->blitter, pic, destination))
        return pic;
    auto *box = reinterpret_cast<FontBox *>(font);
    std::lock_guard<std::mutex> hold(g_sheet_lock);
    br_pixelmap *&sheet = box->sheets[destination->type];
    if (sheet == nullptr) {
        sheet = PxAllocPix(destination->type, pic->width, pic->height, nullptr, 0);
        if (sheet != nullptr)
            CopyRectangle(sheet, 0, 0, pic, 0, 0, pic->width, pic->height);
    }
    return sheet != nullptr ? sheet : pic;
}

void wait_fonts()
{
    const DWORD self = GetCurrentThreadId();
    DWORD holder = g_lock.load(std::memory_order_acquire);
    if (holder == 0 || holder == self)
        return;
    const DWORD start = timeGetTime();
    while (g_lock.load(std::memory_order_acquire) != 0 && DWORD(timeGetTime() - start) < kLockWaitMs)
        Sleep(1);
}

// Selects without waiting for the lock and leaves the multi-line mode alone.
PXFONT *select_font(PXFONTSET *set, int32_t number)
{
    if (set == nullptr || number < 0)
        return nullptr;
    while (number >= set->count) {
        number -= set->count;
        set = set->next;
        if (set == nullptr)
            return nullptr;
    }
    PXFONT *font = set->first;
    for (int32_t i = 0; i < number && font != nullptr; i++)
        font = font->next;
    if (font == nullptr)
        return nullptr;
    g_text.set = set;
    g_text.number = number;
    g_text.font = font;
    return font;
}

// Sizes come from the file: sums are taken wide and held to 32 bits, never wrapped.
int32_t sat(int64_t v)
{
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

// Opaque text: columns of a letter's advance that its glyph does not cover (the offsets before and
// after, the letter spacing) take the blank glyph's background, so no seam of the old picture shows.
void fill_blank(const Walk &w, PXFONT *font, int64_t from, int64_t to, int64_t y, int32_t height)
{
    const PXGLYPH &blank = font->glyphs[0];
    if (blank.width == 0 || blank.height == 0)
        return;
    // Only what lands on the picture: a font's spacing may make the gap far wider than any picture.
    if (const int64_t left_edge = -int64_t(w.x); from < left_edge)
        from += (left_edge - from) / blank.width * blank.width;  // whole blank cells, as drawn before
    to = std::min<int64_t>(to, int64_t(w.destination->width) - w.x);
    br_pixelmap *sheet = sheet_for(font, w.destination);
    for (int64_t x = from; x < to; x += blank.width)
        for (int32_t dy = 0; dy < height; dy += blank.height)
            CopyRectangle(w.destination, sat(w.x + x), sat(y + dy), sheet, blank.x, blank.y,
                          int32_t(std::min<int64_t>(blank.width, to - x)), std::min<int32_t>(blank.height, height - dy));
}

int32_t layout(const char *text, Walk &w)
{
    g_text.next_line = nullptr;
    if (text == nullptr || g_text.font == nullptr || g_text.font->pic == nullptr)
        return 0;
    g_text.running_height = g_text.font->height;
    int64_t pen = 0, widest = 0, y = w.y, running = g_text.font->height;
    int32_t lines = 0;
    for (const uint8_t *p = reinterpret_cast<const uint8_t *>(text);; p++) {
        PXFONT *font = g_text.font;
        const uint8_t c = *p;
        if (c >= 32) {
            const PXGLYPH &g = font->glyphs[c - 32];
            const int64_t left = pen + g.before;
            const int64_t spacing = p[1] != 0 && p[1] != 32 ? font->spacing : 0;
            if (w.draw) {
                if (font->blitter == &copy_glyph) {
                    const int64_t next = left + g.width + g.after + spacing;
                    fill_blank(w, font, pen, std::min(left, next), y, g.height);
                    fill_blank(w, font, std::max(pen, left + g.width), next, y, g.height);
                }
                if (font->blitter != nullptr && g.width != 0 && g.height != 0)
                    font->blitter(w.destination, sat(w.x + left), sat(y), sheet_for(font, w.destination), g.x, g.y,
                                  g.width, g.height, font->key);
            } else if (w.bytes != nullptr && w.bytes_left > 0) {
                *w.bytes++ = uint8_t(g.before + g.width + g.after + spacing);
                w.bytes_left--;
            }
            pen = left + g.width + g.after + spacing;
        } else if (c == 0 || c == 10) {
            if (w.lines != nullptr && lines < w.lines_capacity)
                w.lines[lines++] = sat(pen);
            if (pen > widest)
                widest = pen;
            if (c == 0 || !g_text.multiline) {
                if (c != 0)
                    g_text.next_line = reinterpret_cast<const char *>(p + 1);
                g_text.running_height = sat(running);
                return sat(widest);
            }
            y += int64_t(font->linespace) + font->height;
            running += int64_t(font->linespace) + font->height;
            pen = 0;
        } else if (c == 9) {
            const int64_t into = ((pen % g_text.tab) + g_text.tab) % g_text.tab;
            pen += g_text.tab - into;
        } else if (c >= 16 && c <= 30) {
            const int32_t number = g_text.number;
            g_text.saved = number;
            select_font(g_text.set, c - 16);
        } else if (c == 31) {
            select_font(g_text.set, g_text.saved);
        }
    }
}

int32_t walk_measure(const char *text)
{
    Walk w;
    return layout(text, w);
}

// Runs a walk with the multi-line mode set as given, then puts it back or turns it off.
int32_t walk_with_mode(const char *text, Walk &w, bool multiline, bool off_after)
{
    const bool was = g_text.multiline;
    g_text.multiline = multiline;
    const int32_t result = layout(text, w);
    g_text.multiline = off_after ? false : was;
    return result;
}

void free_font(PXFONT *font)
{
    auto *box = reinterpret_cast<FontBox *>(font);
    for (br_pixelmap *&sheet : box->sheets) {
        PxFreePix(sheet);
        sheet = nullptr;
    }
    free(box);
}

// Frees the fonts of a set and each glyph picture once.
void free_fonts(PXFONTSET *set)
{
    for (PXFONT *font = set->first; font != nullptr;) {
        PXFONT *next = font->next;
        if (font->pic != nullptr) {
            br_pixelmap *pic = font->pic;
            for (PXFONT *later = next; later != nullptr; later = later->next)
                if (later->pic == pic)
                    later->pic = nullptr;
            PxFreePix(pic);
        }
        free_font(font);
        font = next;
    }
    set->first = nullptr;
    set->count = 0;
}

// Glyph rectangles come from the file: each is cut to the glyph picture, so no blitter reads outside it.
void clip_glyphs(PXFONT *font)
{
    const int32_t pw = font->pic->width, ph = font->pic->height;
    for (PXGLYPH &g : font->glyphs) {
        int32_t x0 = g.x, y0 = g.y, x1 = x0 + g.width, y1 = y0 + g.height;
        x0 = x0 < 0 ? 0 : x0;
        y0 = y0 < 0 ? 0 : y0;
        x1 = x1 > pw ? pw : x1;
        y1 = y1 > ph ? ph : y1;
        if (x1 <= x0 || y1 <= y0) {
            g.width = g.height = 0;
            continue;
        }
        g.x = int16_t(x0);
        g.y = int16_t(y0);
        g.width = uint8_t(x1 - x0);
        g.height = uint8_t(y1 - y0);
    }
}

void parse_image(const uint8_t *image, PXFONT *font)
{
    font->spacing = int32_t(u32(image + 8));
    font->linespace = int32_t(u32(image + 12));
    font->height = int32_t(u32(image + 16));
    font->flags = u32(image + 20);
    for (int i = 0; i < 4; i++)
        font->spare[i] = u32(image + 24 + 4 * i);
    for (int i = 0; i < PX_FONT_GLYPHS; i++) {
        const uint8_t *g = image + 56 + 8 * i;
        font->glyphs[i] = PXGLYPH{s16(g), s16(g + 2), g[4], g[5], int8_t(g[6]), int8_t(g[7])};
    }
}

}  // namespace

VOK_EXPORT void PxLockFonts(void)
{
    wait_fonts();
    g_lock.store(GetCurrentThreadId(), std::memory_order_release);
}

VOK_EXPORT void PxUnlockFonts(void)
{
    g_lock.store(0, std::memory_order_release);
}

VOK_EXPORT PXFONTSET *PxReadFontRecords(FFFILEHANDLE *file, const char *folder, uint32_t flags)
{
    if (file == nullptr)
        return nullptr;
    auto *set = static_cast<PXFONTSET *>(calloc(1, sizeof(PXFONTSET)));
    if (set == nullptr)
        return nullptr;
    const std::string where = folder ? folder : "";
    uint8_t record[PX_FONT_RECORD_SIZE];
    PXFONT *last = nullptr;
    bool good = true;
    uint32_t last_next = 0;
    while (FFRead(file, record, PX_FONT_RECORD_SIZE) == PX_FONT_RECORD_SIZE) {
        const uint8_t *image = record + PX_FONT_NAME_SIZE;
        last_next = u32(image);
        auto *box = static_cast<FontBox *>(calloc(1, sizeof(FontBox)));
        if (box == nullptr) {
            good = false;
            break;
        }
        PXFONT *font = &box->font;
        parse_image(image, font);
        set_method(font, 1, 0);
        // The name is text within its 64 bytes.
        const char *name = reinterpret_cast<const char *>(record);
        const size_t name_len = strnlen(name, PX_FONT_NAME_SIZE);
        if (name_len == PX_FONT_NAME_SIZE) {
            SetLastMsgError("PxReadFontRecords: picture name of font %d is not ended", set->count);
            free_font(font);
            good = false;
            break;
        }
        if (name_len > 0) {
            font->pic = AmsgGetPixFile((where + name).c_str(), flags);
            if (font->pic != nullptr)
                PxReplaceId(font->pic, name_len > 2 ? name + 2 : "");
        } else if (last != nullptr) {
            font->pic = last->pic;
        } else {
            SetLastMsgError("PxReadFontRecords: the first font has no picture");
        }
        if (font->pic == nullptr) {
            free_font(font);
            good = false;
            break;
        }
        clip_glyphs(font);
        if (last == nullptr)
            set->first = font;
        else
            last->next = font;
        last = font;
        set->count++;
    }
    if (good && last == nullptr)
        SetLastMsgError("PxReadFontRecords: no font records");
    else if (good && last_next != 0)
        SetLastMsgError("PxReadFontRecords: the last font record is not marked as the last");
    if (!good || last == nullptr || last_next != 0) {
        free_fonts(set);
        free(set);
        return nullptr;
    }
    g_text.set = set;
    g_text.number = 0;
    g_text.font = set->first;
    return set;
}

VOK_EXPORT PXFONTSET *PxLoadFontset(const char *name, int32_t, PXFONTSET *list)
{
    PxUnlockFonts();
    if (name == nullptr || strlen(name) >= px::kPathMax) {
        SetLastMsgError(PXERR_BADNAME);
        return nullptr;
    }
    std::string path(name);
    size_t file = 0;
    for (size_t i = 0; i < path.size(); i++)
        if (path[i] == '\\' || path[i] == '/' || (i == 1 && path[i] == ':'))
            file = i + 1;
    std::string folder = path.substr(0, file), fname = path.substr(file);
    size_t dot = fname.rfind('.');
    if (dot != std::string::npos)
        fname.erase(dot);

    FFPACKHANDLE *remembered = FFGetCurrentPack();
    FFPACKHANDLE *pack = FFOpenPack((folder + fname + ".fnp").c_str(), 0);
    FFSetCurrentPack(pack);
    // Inside the pack the records go by their file name alone.
    FFFILEHANDLE *records = pack != nullptr ? FFOpenP(pack, (fname + ".fnb").c_str())
                                            : FFOpen((folder + fname + ".fnb").c_str(), 0);
    PXFONTSET *set = nullptr;
    if (records != nullptr) {
        set = PxReadFontRecords(records, folder.c_str(), PX_PIX_FROM_PACK);
        FFClose(records);
    } else {
        SetLastMsgError(PXERR_NOTFOUND, (folder + fname + ".fnb").c_str());
    }
    PXFONTSET *result = set;
    if (set != nullptr) {
        set->pack = pack;
        if (list != nullptr) {
            PXFONTSET *tail = list;
            while (tail->next != nullptr)
                tail = tail->next;
            tail->next = set;
            set->prev = tail;
            result = list;
        }
    } else if (pack != nullptr) {
        FFClosePack(pack);
    }
    FFSetCurrentPack(remembered);
    PxUnlockFonts();
    return result;
}

VOK_EXPORT int PxKillFontset(PXFONTSET *set)
{
    PxUnlockFonts();
    if (set == nullptr)
        return 0;
    if (g_text.set == set) {
        g_text.set = set->next != nullptr ? set->next : set->prev;
        g_text.number = 0;
        g_text.font = g_text.set != nullptr ? g_text.set->first : nullptr;
    }
    // Saved selections of this set could otherwise be selected after it is gone.
    for (Slot &slot : g_text.stack)
        if (slot.set == set)
            slot = Slot{nullptr, 0};
    if (set->prev != nullptr)
        set->prev->next = set->next;
    if (set->next != nullptr)
        set->next->prev = set->prev;
    free_fonts(set);
    if (set->pack != nullptr)
        FFClosePack(set->pack);
    free(set);
    return 0;
}

VOK_EXPORT int PxKillAllFontset(PXFONTSET *set)
{
    PxUnlockFonts();
    while (set != nullptr) {
        PXFONTSET *next = set->next;
        PxKillFontset(set);
        set = next;
    }
    return 0;
}

VOK_EXPORT PXFONT *PxSelectFont(PXFONTSET *set, intptr_t number)
{
    wait_fonts();
    if (set == nullptr || set->count == 0)
        return nullptr;
    g_text.multiline = false;
    if (number >= 512)
        number = *reinterpret_cast<const uint8_t *>(number);
    else if (number >= PX_FONT_MULTILINE) {
        g_text.multiline = true;
        number &= 255;
    }
    return select_font(set, int32_t(number));
}

VOK_EXPORT int32_t PxSaveLastFontSettings(int32_t push)
{
    wait_fonts();
    if (push != 0) {
        if (g_text.depth < PX_FONT_STACK - 1)
            g_text.depth++;
        else
            MessageBeep(0xFFFFFFFFu);
    }
    g_text.stack[g_text.depth] = Slot{g_text.set, g_text.number};
    return g_text.depth;
}

VOK_EXPORT int32_t PxLoadLastFontSettings(int32_t pop)
{
    wait_fonts();
    const Slot slot = g_text.stack[g_text.depth];
    PxSelectFont(slot.set, slot.number);
    if (pop == 0)
        return 0;
    if (g_text.depth > 0)
        g_text.depth--;
    else
        MessageBeep(0xFFFFFFFFu);
    return g_text.depth;
}

VOK_EXPORT int32_t PxGetTextWidth(const char *text)
{
    wait_fonts();
    return walk_measure(text);
}

VOK_EXPORT int32_t PxGetLetterWidth(int32_t letter)
{
    wait_fonts();
    const char text[2] = {char(letter), 0};
    return walk_measure(text);
}

VOK_EXPORT int32_t PxGetTextHeight1(void)
{
    wait_fonts();
    return g_text.font != nullptr ? g_text.font->height : 0;
}

VOK_EXPORT int32_t PxGetTextHeight(const char *text)
{
    wait_fonts();
    walk_measure(text);
    return g_text.running_height;
}

VOK_EXPORT int32_t PxGetTextWH(const char *text, int32_t *width, int32_t *height)
{
    wait_fonts();
    const int32_t result = walk_measure(text);
    if (width != nullptr)
        *width = result;
    if (height != nullptr)
        *height = g_text.running_height;
    return result;
}

VOK_EXPORT int32_t PxGetTextListWH(const char *text, int32_t count, int32_t *widths, int32_t *height)
{
    wait_fonts();
    Walk w;
    w.lines = widths;
    w.lines_capacity = widths != nullptr && count > 0 ? count : 0;
    const int32_t widest = walk_with_mode(text, w, true, true);
    if (height != nullptr)
        *height = g_text.running_height;
    return widest;
}

VOK_EXPORT int32_t PxGetTextWHMl(const char *text, int32_t *width, int32_t *height)
{
    const int32_t widest = PxGetTextListWH(text, 0, nullptr, height);
    if (width != nullptr)
        *width = widest;
    return widest;
}

VOK_EXPORT int32_t PxTextToWidthN(const char *text, uint8_t *bytes, size_t size)
{
    wait_fonts();
    Walk w;
    w.bytes = bytes;
    w.bytes_left = bytes != nullptr ? size : 0;
    return layout(text, w);
}

VOK_EXPORT int32_t PxTextToWidth(const char *text, uint8_t *bytes)
{
    return PxTextToWidthN(text, bytes, text != nullptr ? strlen(text) : 0);
}

// Draws the first line (the multi-line mode put back afterwards) or all lines (the mode off afterwards).
static int32_t draw_text(br_pixelmap *destination, int32_t x, int32_t y, const char *text, bool all_lines)
{
    wait_fonts();
    if (destination == nullptr)
        return 0;
    Walk w;
    w.destination = destination;
    w.x = x;
    w.y = y;
    w.draw = true;
    return walk_with_mode(text, w, all_lines, all_lines);
}

VOK_EXPORT int32_t PxShowText(br_pixelmap *destination, int32_t x, int32_t y, const char *text)
{
    return draw_text(destination, x, y, text, false);
}

VOK_EXPORT const char *PxShowTextC(br_pixelmap *destination, int32_t x, int32_t y, const char *text)
{
    PxShowText(destination, x, y, text);
    return destination != nullptr ? g_text.next_line : nullptr;
}

VOK_EXPORT int32_t PxShowTextMl(br_pixelmap *destination, int32_t x, int32_t y, const char *text)
{
    return draw_text(destination, x, y, text, true);
}

VOK_EXPORT void PxSetShowTextMethod(int32_t method, uint32_t colour)
{
    wait_fonts();
    if (g_text.font != nullptr)
        set_method(g_text.font, method, colour);
}

VOK_EXPORT uint32_t PxGetBlankColor(void)
{
    wait_fonts();
    const PXFONT *font = g_text.font;
    if (font == nullptr || font->pic == nullptr || font->pic->pixels == nullptr)
        return 0;
    const br_pixelmap *pic = font->pic;
    const PXGLYPH &blank = font->glyphs[0];
    const uint32_t bytes = px::pixel_bytes(pic->type);
    const int32_t x = blank.x + pic->base_x, y = blank.y + pic->base_y;
    if (bytes == 0 || blank.x < 0 || blank.y < 0 || blank.x >= pic->width || blank.y >= pic->height)
        return 0;
    const uint8_t *p = static_cast<const uint8_t *>(pic->pixels) + ptrdiff_t(y) * pic->row_bytes + ptrdiff_t(x) * bytes;
    uint32_t value = 0;
    for (uint32_t i = 0; i < bytes; i++)
        value |= uint32_t(p[i]) << (8 * i);
    return value;
}

VOK_EXPORT int32_t PxIsFontMulticolor(void)
{
    wait_fonts();
    return g_text.font != nullptr ? int32_t(g_text.font->flags & PX_FONT_MULTICOLOR) : 0;
}

VOK_EXPORT int32_t PxSetLinespace(int32_t spacing)
{
    wait_fonts();
    if (g_text.font == nullptr)
        return 0;
    const int32_t previous = g_text.font->linespace;
    g_text.font->linespace = spacing;
    return previous;
}

VOK_EXPORT void PxSetTab(int32_t width)
{
    wait_fonts();
    if (width > 0)
        g_text.tab = width;
}

// The dialog engine: scenes of cells started and ended, their windows, the per-frame build and drawing,
// and the mouse and keyboard handlers with the layout editor.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "brondel/brpixmap.h"
#include "dialog.h"
#include "pannix/pannix.h"
#include "pannix/pxdialog.h"
#include "pxstate.h"
#include "vokplat/export.h"
#include "win32/windows.h"
#if __has_include("brondel/brv1db.h")
#include "brondel/brv1db.h"
#define PANNIX_HAVE_RENDERER 1
#endif

extern "C" {
VOK_VISIBLE br_pixelmap *pMsgBlendTable = nullptr;
VOK_VISIBLE br_pixelmap *pMsgShadeTable = nullptr;
}

namespace {

constexpr uint32_t kStateSetUp = 1;
constexpr uint32_t kStateDelayDone = 2;
constexpr uint32_t kStateQuit = 0x80000000u;  // scene: a key asked to end a scene without a window
constexpr const char *kClassName = "pannixclass";
constexpr const char *kDefaultCellFile = "cellak.cls";

constexpr uint32_t kSceneLayout = 1;      // engineFlags: this scene turned the layout-edit mode on
constexpr uint32_t kSceneQuitPosted = 2;  // engineFlags: its window's end posted WM_QUIT

// A palette, blend or shade table loaded by a start, and the running scenes that use it.
struct HeldTable {
    br_pixelmap *map;
    int32_t users;
};

// Process-wide engine state: the window class, the switches and the tables starts loaded. Scenes
// run inside one another, so a table lives while any scene uses it and the library-wide pointers
// name the newest one alive.
struct Engine {
    bool class_registered = false;
    bool layout_mode = false;
    bool save_mode = false;
    bool first_window_done = false;
    std::vector<HeldTable> tables[3];  // palette, blend, shade; oldest first
    std::vector<int32_t> renderers;    // pixel types running scenes asked a renderer for; newest last
    int32_t renderer_type = 0;         // pixel type of the renderer begun for them, 0 none
};
Engine g_engine;

// One renderer serves the newest scene that asked for one; it changes only when that type changes.
void run_renderer_for_newest()
{
#ifdef PANNIX_HAVE_RENDERER
    const int32_t type = g_engine.renderers.empty() ? 0 : g_engine.renderers.back();
    if (type == g_engine.renderer_type)
        return;
    if (g_engine.renderer_type != 0)
        BrZbEnd();
    if (type != 0)
        BrZbBegin(br_uint_8(type), BR_PMT_DEPTH_16);
    g_engine.renderer_type = type;
#endif
}

br_pixelmap **library_table(int kind)
{
    static br_pixelmap **const pointers[3] = {&pMsgPalette, &pMsgBlendTable, &pMsgShadeTable};
    return pointers[kind];
}

struct UndoStep {
    int32_t position;
    uint8_t character;
    uint8_t kind;  // 1 inserted, 2 deleted
    uint8_t spare[2];
};
static_assert(sizeof(UndoStep) * PX_UNDO_STEPS == PX_UNDO_BYTES);

int32_t pixel_type_of(int32_t bits)
{
    switch (bits) {
    case 15:
        return BR_PMT_RGB_555;
    case 16:
        return BR_PMT_RGB_565;
    case 24:
        return BR_PMT_RGB_888;
    case 32:
        return BR_PMT_RGBX_888;
    default:
        return BR_PMT_INDEX_8;
    }
}

int32_t renderer_type_of(int32_t bits)
{
    switch (bits) {
    case 15:
        return 4;
    case 16:
        return 5;
    case 24:
        return 6;
    case 32:
        return 8;
    default:
        return 3;
    }
}

bool is_movie_name(const char *file, int32_t *kind)
{
    const char *dot = strrchr(file, '.');
    if (dot == nullptr)
        return false;
    if (strcasecmp(dot, ".flc") == 0 || strcasecmp(dot, ".fli") == 0 || strcasecmp(dot, ".mzi") == 0) {
        *kind = PMV_KIND_FLC;
        return true;
    }
    if (strcasecmp(dot, ".tmz") == 0) {
        *kind = PMV_KIND_TMZ;
        return true;
    }
    return false;
}

PXCONTROL *control_of(PXSCENE *s, int32_t type)
{
    switch (type) {
    case AKTYPE_CHECKBOX:
        return s->checkBox != nullptr ? s->checkBox : &s->controls[0];
    case AKTYPE_EDITBOX:
        return s->editBox != nullptr ? s->editBox : &s->controls[1];
    case AKTYPE_LISTBOX:
        return s->listBox != nullptr ? s->listBox : &s->controls[2];
    default:
        return nullptr;
    }
}

void set_default_controls(PXSCENE *s)
{
    const PXCONTROL defaults[3] = {
        {"chkbox", 16, 16, 16, 16, 3, 2, 0, 0, {0, 0}, nullptr},
        {"editbox", 8, 20, 64, 20, 3, 2, 0, 0, {0, 0}, nullptr},
        {"listbox", 16, 16, 128, 128, 3, 2, 0, 0, {0, 0}, nullptr},
    };
    for (int i = 0; i < 3; i++)
        if (s->controls[i].picture == nullptr)
            s->controls[i] = defaults[i];
}

uint32_t now_ms()
{
    return timeGetTime();
}

bool due(uint32_t now, uint32_t when)
{
    return int32_t(now - when) >= 0;
}

void post_command(PXSCENE *s, int32_t command)
{
    if (command != 0)
        PostMessageA(s->window, WM_KEYDOWN, WPARAM(uint32_t(command)), 0);
}

// The font number of a cell: 256 or more is the address of a byte holding it.
intptr_t font_of(const PXCELLA *c)
{
    return c->font >= 256 ? intptr_t(*reinterpret_cast<const uint8_t *>(c->font)) : c->font;
}

bool select_font(PXSCENE *s, intptr_t number)
{
    return s->fontSet != nullptr && PxSelectFont(s->fontSet, number) != nullptr;
}

void draw_text(PXSCENE *s, PXCELLA *c, br_pixelmap *target)
{
    if (c->text != nullptr && target != nullptr && select_font(s, font_of(c)))
        PxShowTextMl(target, c->textX, c->textY, c->text);
}

int32_t align(int32_t pos, int32_t size, int32_t outer, bool centre, bool far)
{
    if (centre)
        return (outer - size) / 2 + pos;
    if (far)
        return outer - size - pos;
    return pos;
}

// ---- cells: set-up and free -------------------------------------------------------------------

void free_cell(PXCELLA *c)
{
    if (c->inner != nullptr)
        PxFreePix(c->inner);
    if (c->sub != nullptr)
        PxFreePix(c->sub);
    if (c->moviePix != nullptr)
        PxFreePixNP(c->moviePix);
    c->movie = KillMovie(c->movie);
    if (c->pic != nullptr)
        PxFreePix(c->pic);
    free(c->undo);
    if (c->grab != nullptr)
        PxFreePix(c->grab);
    c->inner = c->sub = c->moviePix = c->pic = c->grab = nullptr;
    c->undo = nullptr;
    c->undoCount = 0;
    c->grabCount = 0;
    c->state = 0;
}

int32_t movie_pixel_type(const PMVMOVIE *m)
{
    switch (m->bitsPerPixel) {
    case 8:
        return BR_PMT_INDEX_8;
    case 15:
        return BR_PMT_RGB_555;
    case 16:
        return (m->flags & PMV_ALPHA) != 0 ? PX_PMT_ARGB_4444 : BR_PMT_RGB_565;
    case 24:
        return BR_PMT_RGB_888;
    default:
        return (m->flags & PMV_ALPHA) != 0 ? BR_PMT_RGBA_8888 : BR_PMT_RGBX_888;
    }
}

bool open_movie(PXSCENE *, PXCELLA *c, int32_t kind)
{
    uint32_t flags = PMV_TOPDOWN;
    if ((c->flags & CF_USEMEM) == 0)
        flags |= PMV_STREAM;
    if ((c->flags & CF_PLAYONCE) == 0)
        flags |= PMV_LOOP;
    if ((c->flags & CF_FIXSPEED) != 0)
        flags |= PMV_KEEPTIME;
    c->movie = OpenMovie(PxDataPath(c->file), kind, flags);
    if (c->movie == nullptr)
        return SetLastMsgError(PXERR_NOTFOUND, c->file), false;
    PMVMOVIE *m = c->movie;
    if ((c->flags & CF_PLAYONCE) == 0 && c->bxMax > 0)
        SetLoopFrames(m, c->bxCur, c->bxMax);
    if ((c->flags & CF_FIXSPEED) != 0 && c->bw_spd > 0) {
        m->frameTime = uint32_t(1000 / c->bw_spd);
        m->fps = uint32_t(c->bw_spd);
    }
    c->moviePix = PxAllocPix(movie_pixel_type(m), m->width, m->height, m->pixels, 0);
    if (c->moviePix == nullptr)
        return SetLastMsgError("Error allocating pixelmap for movie: %dx%d/%d", m->width, m->height,
                               m->bitsPerPixel),
               false;
    c->moviePix->row_bytes = int16_t(m->rowBytes);
    // The blitters take an 8-bit map's palette from its user word; the movie keeps its colour
    // table current frame by frame.
    if (m->bitsPerPixel == 8)
        c->moviePix->user = m->bmpInfo->bmiColors;
    c->picW = m->width;
    c->picH = (c->flags & CF_PIC2IFCUR) != 0 ? m->height / 2 : m->height;
    return true;
}

bool load_control(PXSCENE *s, PXCELLA *c)
{
    PXCONTROL *ctl = control_of(s, c->type);
    if (ctl->pic == nullptr) {
        if (ctl->picture == nullptr)
            return SetLastMsgError(PXERR_NOTFOUND, "(control picture)"), false;
        ctl->pic = AmsgGetPixFile(ctl->picture, uint32_t(pixel_type_of(s->bits)) | PX_PIX_FROM_PACK);
        if (ctl->pic == nullptr)
            return false;
        const int32_t pw = ctl->pic->width, ph = ctl->pic->height;
        if (c->type == AKTYPE_CHECKBOX) {
            ctl->cellWidth = pw;
            ctl->cellHeight = std::max(1, ph / 3);
        } else if (c->type == AKTYPE_EDITBOX) {
            ctl->cellHeight = ph;
            if (ctl->cellWidth <= 0)
                ctl->cellWidth = 8;
        } else {
            ctl->cellWidth = std::max(1, pw / 4);
            ctl->cellHeight = std::max(1, ph / 4);
        }
    }
    return true;
}

int setup_cell(PXSCENE *s, PXCELLA *c)
{
    c->flags &= ~uint32_t(CF_REBUILD);
    if (c->setupProc != nullptr) {
        int32_t r = c->setupProc(s, c);
        if (r >= 0)
            return r;
    }
    c->textW = c->textH = c->picW = c->picH = 0;
    switch (c->type) {
    case AKTYPE_BACKGR:
        c->cellX = c->cellY = 0;
        c->w = s->width;
        c->h = s->height;
        break;
    case AKTYPE_BORDER:
        c->cellX = c->x;
        c->cellY = c->y;
        c->cellW = c->w;
        c->cellH = c->h;
        c->state |= kStateSetUp;
        return 1;
    case AKTYPE_BUTTON:
        if ((c->flags & CF_MOUSECLICK) == 0)
            c->flags |= CF_FOCUSABLE;
        break;
    case AKTYPE_CHECKBOX:
    case AKTYPE_EDITBOX:
    case AKTYPE_LISTBOX: {
        if (c->type == AKTYPE_EDITBOX && c->file == nullptr)
            return SetLastMsgError("Editbox - missing buffer");
        if (c->type == AKTYPE_LISTBOX && c->file == nullptr)
            return SetLastMsgError("Listbox - missing buffer");
        if (!px::cell_fit_buffer(c))
            return SetLastMsgError(PXERR_ALLOCMEM, c->bxMax);
        if (!load_control(s, c))
            return 0;
        if ((c->flags & CF_MOUSECLICK) == 0)
            c->flags |= CF_FOCUSABLE;
        PXCONTROL *ctl = control_of(s, c->type);
        if (c->type == AKTYPE_CHECKBOX) {
            c->picW = ctl->cellWidth;
            c->picH = ctl->cellHeight;
        } else if (c->type == AKTYPE_EDITBOX) {
            c->picW = c->bw_spd > 0 ? c->bw_spd : ctl->width;
            c->picH = ctl->cellHeight;
        } else {
            c->picW = ctl->width;
            c->picH = ctl->height;
        }
        break;
    }
    case 7:
    case 9:
    case 10:
        c->flags &= CF_MOUSEMOVE;
        if (c->type != 7) {
            c->state |= kStateSetUp;
            return 1;
        }
        break;
    case AKTYPE_TXTMENU:
        if (c->text == nullptr)
            return SetLastMsgError("Txt menu - missing itemlist");
        if (select_font(s, font_of(c)))
            c->textW = PxGetTextListWH(c->text, 0, nullptr, &c->textH);
        break;
    default:
        break;
    }

    // The picture or movie first: the natural size depends on it.
    int32_t kind = 0;
    const bool control = c->type >= AKTYPE_CHECKBOX && c->type <= AKTYPE_LISTBOX;
    if (!control && c->file != nullptr && c->file[0] != '\0') {
        if (is_movie_name(c->file, &kind)) {
            if (!open_movie(s, c, kind))
                return 0;
        } else {
            c->pic = AmsgGetPixFile(c->file, uint32_t(pixel_type_of(s->bits)) | PX_PIX_FROM_PACK);
            if (c->pic == nullptr)
                return 0;
            if (c->pic->type == BR_PMT_INDEX_8 && pMsgPalette != nullptr && c->pic->map == nullptr)
                c->pic->map = pMsgPalette;
            c->picW = c->pic->width;
            c->picH = (c->flags & CF_PIC2IFCUR) != 0 ? c->pic->height / 2 : c->pic->height;
            if (c->type == AKTYPE_BACKGR)
                s->background = c->pic;
        }
    }

    if (c->type != AKTYPE_TXTMENU && c->text != nullptr && select_font(s, font_of(c)))
        PxGetTextWHMl(c->text, &c->textW, &c->textH);
    const int32_t natural_w = control ? c->textW + c->picW : std::max(c->textW, c->picW);
    const int32_t natural_h = std::max(c->textH, c->picH);
    c->cellW = c->w < 1 ? natural_w - 2 * c->w : c->w;
    c->cellH = c->h < 1 ? natural_h - 2 * c->h : c->h;
    c->cellW = std::max(c->cellW, 1);
    c->cellH = std::max(c->cellH, 1);
    c->textX = c->tx < 0 ? (c->cellW - c->textW) / 2 : c->tx;
    c->textY = c->ty < 0 ? (c->cellH - c->textH) / 2 : c->ty;
    if (control && c->px < 0)
        c->picX = c->type == AKTYPE_LISTBOX ? 0 : c->cellW - c->picW;  // controls sit at the right
    else
        c->picX = c->px < 0 ? (c->cellW - c->picW) / 2 : c->px;
    c->picY = c->py < 0 ? (c->cellH - c->picH) / 2 : c->py;
    if (c->type == AKTYPE_BACKGR) {
        c->cellX = c->cellY = 0;
    } else {
        c->cellX = align(c->x, c->cellW, s->width, (c->flags & CF_HCENTER) != 0, (c->flags & CF_RALIGN) != 0);
        c->cellY = align(c->y, c->cellH, s->height, (c->flags & CF_VCENTER) != 0, (c->flags & CF_BALIGN) != 0);
    }

    if (c->type == AKTYPE_EDITBOX || c->type == AKTYPE_LISTBOX) {
        PXCONTROL *ctl = control_of(s, c->type);
        int32_t ix = c->picX + ctl->marginX, iy = c->picY + ctl->marginY;
        int32_t iw = c->picW - 2 * ctl->marginX, ih = c->picH - 2 * ctl->marginY;
        c->inner = PxAllocSubPix(s->pix, c->cellX + ix, c->cellY + iy, std::max(iw, 1), std::max(ih, 1));
        if (c->inner == nullptr)
            return SetLastMsgError(PXERR_ALLOCSUBPIX, c->cellX + ix, c->cellY + iy, iw, ih);
        if (c->type == AKTYPE_EDITBOX && c->undo == nullptr) {
            c->undo = static_cast<uint8_t *>(calloc(1, PX_UNDO_BYTES));
            if (c->undo == nullptr)
                return SetLastMsgError("Error allocating undo buffer (%d bytes)", PX_UNDO_BYTES);
            c->undoCount = 0;
        }
    }
    if ((c->flags & CF_DELAY) != 0)
        c->delayEnd = now_ms() + uint32_t(c->bxMax);
    switch (c->type) {
    case AKTYPE_STATIC:
    case AKTYPE_BUTTON:
    case AKTYPE_CHECKBOX:
    case AKTYPE_EDITBOX:
    case AKTYPE_LISTBOX:
    case AKTYPE_TXTMENU:
        c->sub = PxAllocSubPix(s->pix, c->cellX, c->cellY, c->cellW, c->cellH);
        if (c->sub == nullptr)
            return SetLastMsgError(PXERR_ALLOCSUBPIX, c->cellX, c->cellY, c->cellW, c->cellH);
        break;
    default:
        break;
    }
    c->state |= kStateSetUp;
    return 1;
}

// ---- scene start and end ----------------------------------------------------------------------

void release_table(PXSCENE *s, int kind)
{
    br_pixelmap *pm = s->tables[kind];
    s->tables[kind] = nullptr;
    std::vector<HeldTable> &held = g_engine.tables[kind];
    auto it = std::find_if(held.begin(), held.end(), [pm](const HeldTable &t) { return t.map == pm; });
    if (pm == nullptr || it == held.end() || --it->users > 0)
        return;
    held.erase(it);
    br_pixelmap **library = library_table(kind);
    if (*library == pm)
        *library = held.empty() ? nullptr : held.back().map;
    PxFreePix(pm);
}

// The scene takes the named table, or shares the one the library names when that is a start's.
void hold_table(PXSCENE *s, int kind, const char *name)
{
    release_table(s, kind);  // held still when an end callback skipped the last end
    std::vector<HeldTable> &held = g_engine.tables[kind];
    br_pixelmap **library = library_table(kind);
    br_pixelmap *pm = name != nullptr ? PxLoadPix(PxDataPath(name)) : nullptr;
    if (pm != nullptr) {
        held.push_back({pm, 1});
        *library = pm;
        s->tables[kind] = pm;
        return;
    }
    for (HeldTable &t : held)
        if (t.map == *library) {
            t.users++;
            s->tables[kind] = t.map;
        }
}

void end_scene(PXSCENE *s)
{
    if ((s->flags & PXS_STARTED) == 0)
        return;
    if (s->endProc != nullptr && s->endProc(s) >= 0)
        return;
    if ((s->engineFlags & kSceneLayout) != 0)
        g_engine.layout_mode = false;  // the mode ends with the scene that turned it on
    s->engineFlags = 0;
    for (int32_t i = 0; s->cells != nullptr && i < s->cellCount; i++) {
        PXCELLA *c = &s->cells[i];
        free_cell(c);  // texts a cell file gave stay for the next start
        if (c->freeProc != nullptr)
            c->freeProc(s, c);
    }
    if (s->dib != nullptr) {
        s->dib->pBits = nullptr;  // the pixel block is the scene map's
        KillDIBuffer(s->dib);
    }
    if (s->pix != nullptr)
        PxFreePix(s->pix);
    s->dib = nullptr;
    s->dibPixels = nullptr;
    s->pix = nullptr;
    for (PXCONTROL *ctl : {s->checkBox, s->editBox, s->listBox, &s->controls[0], &s->controls[1], &s->controls[2]})
        if (ctl != nullptr && ctl->pic != nullptr) {
            PxFreePix(ctl->pic);
            ctl->pic = nullptr;
        }
    s->background = nullptr;
    if (s->fontSet != nullptr)
        PxKillFontset(s->fontSet);
    s->fontSet = nullptr;
    if (s->rendererType != 0) {
        auto &held = g_engine.renderers;
        auto it = std::find(held.rbegin(), held.rend(), s->rendererType);
        if (it != held.rend())
            held.erase(std::next(it).base());
        run_renderer_for_newest();
    }
    s->rendererType = 0;
    // Last: the cells' pictures may name the palette.
    for (int kind = 0; kind < 3; kind++)
        release_table(s, kind);
    s->focus = -1;
    s->flags &= ~uint32_t(PXS_STARTED | kStateQuit);
}

int start_scene(br_pixelmap *parent, int32_t x, int32_t y, PXSCENE *s)
{
    const px::ScreenDefaults &screen = px::screen_defaults();
    if (screen.direct_draw != 0)
        s->bits = screen.bits;
    if (s->bits == 0)
        s->bits = 8;
    s->focus = -1;
    s->engineFlags = 0;
    s->parent = parent;
    s->x = x;
    s->y = y;
    set_default_controls(s);
    const char *const table_names[3] = {s->palette, s->blendTable, s->shadeTable};
    for (int kind = 0; kind < 3; kind++)
        hold_table(s, kind, table_names[kind]);
    if (s->fontName != nullptr) {
        s->fontSet = PxLoadFontset(PxDataPath(s->fontName), 0, nullptr);
        if (s->fontSet == nullptr)
            return 0;
    }
#ifdef PANNIX_HAVE_RENDERER
    if ((s->flags & PXS_RENDERER) != 0 && s->rendererType == 0) {
        s->rendererType = renderer_type_of(s->bits);
        g_engine.renderers.push_back(s->rendererType);
        run_renderer_for_newest();
    }
#endif
    if (parent != nullptr) {
        if (s->x < 0)
            s->x = (parent->width - s->width) / 2;
        if (s->y < 0)
            s->y = (parent->height - s->height) / 2;
    } else {
        if (s->x < 0)
            s->x = (GetSystemMetrics(SM_CXSCREEN) - s->width) / 2;
        if (s->y < 0)
            s->y = (GetSystemMetrics(SM_CYSCREEN) - s->height) / 2;
    }
    if (s->cells == nullptr)
        return 1;
    if (s->width <= 0 || s->height <= 0 || s->width > 0x7FFF || s->height > 0x7FFF)
        return SetLastMsgError(PXERR_ALLOCPIX, s->width, s->height, s->bits);
    const int32_t type = pixel_type_of(s->bits);
    if (parent != nullptr) {
        if ((s->flags & PXS_OWN8BIT) != 0)
            s->pix = PxAllocPix(BR_PMT_INDEX_8, s->width, s->height, nullptr, 0);
        else
            s->pix = PxAllocSubPix(parent, s->x, s->y, s->width, s->height);
    } else {
        DIBUFFER *dib = nullptr;
        s->pix = PxCreatePixAndDib(type, s->width, s->height, &dib);
        if (s->pix == nullptr)
            return SetLastMsgError("Error creating dib buffer: %d x %d / %d  (%d bytes)", s->width, s->height,
                                   s->bits, s->width * s->height * ((s->bits + 7) / 8));
        if (dib == nullptr)
            return SetLastMsgError("Error creating BITMAPINFOHEADER: %d x %d / %d", s->width, s->height, s->bits);
        if (s->bits == 8 && pMsgPalette != nullptr && pMsgPalette->pixels != nullptr &&
            pMsgPalette->width * pMsgPalette->height >= 256)
            memcpy(dib->bmiColors, pMsgPalette->pixels, sizeof dib->bmiColors);
        s->dib = dib;
        s->dibPixels = dib->pBits;
        s->flags &= ~uint32_t(PXS_OWN8BIT);
    }
    if (s->pix == nullptr)
        return SetLastMsgError(PXERR_ALLOCPIX, s->width, s->height, type);
    if (s->startProc != nullptr) {
        int32_t r = s->startProc(s);
        if (r >= 0)
            return r;
    }
    for (int32_t i = 0; i < s->cellCount; i++) {
        PXCELLA *c = &s->cells[i];
        if (setup_cell(s, c) == 0)
            return 0;
        if (s->focus < 0 && (c->flags & CF_FOCUSABLE) != 0 && (c->flags & CF_DISABLED) == 0 &&
            (s->firstFocus == 0 || s->firstFocus == c->id))
            s->focus = i;
    }
    s->showX = s->showY = 0;
    s->showW = s->width;
    s->showH = s->height;
    return 1;
}

int fail_start(PXSCENE *s)
{
    end_scene(s);
    if ((s->flags & PXS_NOEXIT) == 0) {
        ShowLastMsgError();
        ExitProcess(10);
    }
    return 0;
}

bool create_window(PXSCENE *s, HWND parentWindow)
{
    if (!g_engine.class_registered) {
        WNDCLASSA wc = {};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = PannixWndProc;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        if (RegisterClassA(&wc) == 0)
            return SetLastMsgError("Error registering window class: '%s'", kClassName), false;
        g_engine.class_registered = true;
    }
    DWORD style = WS_POPUP | ((s->flags & PXS_DLGFRAME) != 0 ? WS_DLGFRAME : 0);
    RECT r = {0, 0, s->width, s->height};
    AdjustWindowRectEx(&r, style, FALSE, WS_EX_TOPMOST);
    HWND w = CreateWindowExA(WS_EX_TOPMOST, kClassName, s->title != nullptr ? s->title : "", style, s->x, s->y,
                             r.right - r.left, r.bottom - r.top, parentWindow, nullptr, nullptr, nullptr);
    if (w == nullptr)
        return SetLastMsgError("Error creating window: %dx%d", s->width, s->height), false;
    SetWindowLongPtrA(w, GWLP_USERDATA, LONG_PTR(s));
    if (s->wndProc != nullptr)
        SetWindowLongPtrA(w, GWLP_WNDPROC, LONG_PTR(s->wndProc));
    s->window = w;
    s->dc = GetDC(w);
    px::ScreenDefaults &screen = px::screen_defaults();
    if (!g_engine.first_window_done) {
        g_engine.first_window_done = true;
        if (screen.direct_draw != 0) {
            int32_t bits = s->bits;
            if (!px::dd_screen_setup(w, s->width, s->height, &bits) || !px::dd_surface_setup(w, s->width, s->height))
                screen.direct_draw = 0;  // frames go through the window's device context
        }
    }
    return true;
}

// ---- drawing ----------------------------------------------------------------------------------

void outline(PXSCENE *s, PXCELLA *c, bool focused)
{
    br_pixelmap *target = c->sub != nullptr ? c->sub : s->pix;
    const int32_t ox = c->sub != nullptr ? 0 : c->cellX, oy = c->sub != nullptr ? 0 : c->cellY;
    if (g_engine.layout_mode) {
        if (focused)
            PxBorder(target, ox, oy, c->cellW, c->cellH, 0xFFFF);
        return;
    }
    if (focused && (c->flags & CF_BORDERIFCUR) != 0)
        PxBorder(target, ox, oy, c->cellW, c->cellH, s->focusColour);
    else if ((c->flags & CF_BORDER) != 0)
        PxBorder(target, ox, oy, c->cellW, c->cellH, uint32_t(c->bh_fbc));
}

void draw_checkbox(PXSCENE *s, PXCELLA *c)
{
    draw_text(s, c, c->sub);
    PXCONTROL *ctl = control_of(s, c->type);
    if (ctl->pic == nullptr)
        return;
    const int32_t rows = std::max(1, int32_t(ctl->pic->height) / ctl->cellHeight);
    const int32_t row = std::clamp(c->bxCur, 0, rows - 1);
    CopyRectTransparent0(c->sub, c->picX, c->picY, ctl->pic, 0, row * ctl->cellHeight, ctl->cellWidth,
                         ctl->cellHeight);
}

void draw_editbox(PXSCENE *s, PXCELLA *c, bool focused)
{
    draw_text(s, c, c->sub);
    PXCONTROL *ctl = control_of(s, c->type);
    if (ctl->pic != nullptr) {
        // The part left of the right end repeats as far as the box reaches; the end closes it.
        const int32_t end = std::min<int32_t>(ctl->cellWidth, ctl->pic->width);
        const int32_t left = std::min(int32_t(ctl->pic->width) - end, c->picW - end);
        br_pixelmap *part = left > 0 ? PxAllocSubPix(ctl->pic, 0, 0, ctl->pic->width - end, ctl->cellHeight) : nullptr;
        if (part != nullptr) {
            CopyRectTiled(c->sub, c->picX, c->picY, part, 0, 0, c->picW - end, ctl->cellHeight);
            PxFreePix(part);
        }
        CopyRectangle(c->sub, c->picX + c->picW - end, c->picY, ctl->pic, ctl->pic->width - end, 0, end,
                      ctl->cellHeight);
    }
    const int32_t length = int32_t(strlen(c->file));
    c->bxCur = std::clamp(c->bxCur, 0, length);
    if (c->inner == nullptr || !select_font(s, 0))
        return;
    // Scrolled so that the cursor stays visible.
    std::string before(c->file, size_t(c->bxCur));
    const int32_t cursor = PxGetTextWidth(before.c_str());
    if (cursor - c->editScroll > c->inner->width - 2)
        c->editScroll = cursor - (c->inner->width - 2);
    if (cursor < c->editScroll)
        c->editScroll = cursor;
    PxShowText(c->inner, -c->editScroll, 0, c->file);
    if (focused) {
        const uint32_t now = now_ms();
        if (c->blinkTime == 0 || due(now, c->blinkTime + 200)) {
            c->blink ^= 1;
            c->blinkTime = now;
        }
        if (c->blink != 0)
            PxFillPixRect(c->inner, cursor - c->editScroll, 0, 2, c->inner->height, uint32_t(c->bh_fbc));
    }
}

void draw_listbox(PXSCENE *s, PXCELLA *c)
{
    draw_text(s, c, c->sub);
    PXCONTROL *ctl = control_of(s, c->type);
    br_pixelmap *p = ctl->pic;
    if (p != nullptr) {
        const int32_t pw = ctl->cellWidth, ph = ctl->cellHeight;
        const int32_t x0 = c->picX, y0 = c->picY, w = c->picW, h = c->picH;
        const int32_t mw = std::max(0, w - 2 * pw), mh = std::max(0, h - 2 * ph);
        CopyRectTiled(c->sub, x0 + pw, y0 + ph, p, pw, ph, mw, mh);               // middle
        CopyRectTiled(c->sub, x0 + pw, y0, p, pw, 0, mw, ph);                     // top
        CopyRectTiled(c->sub, x0 + pw, y0 + h - ph, p, pw, 3 * ph, mw, ph);       // bottom
        CopyRectTiled(c->sub, x0, y0 + ph, p, 0, ph, pw, mh);                     // left
        CopyRectTiled(c->sub, x0 + w - pw, y0 + ph, p, 3 * pw, ph, pw, mh);       // right
        CopyRectangle(c->sub, x0, y0, p, 0, 0, pw, ph);
        CopyRectangle(c->sub, x0 + w - pw, y0, p, 3 * pw, 0, pw, ph);
        CopyRectangle(c->sub, x0, y0 + h - ph, p, 0, 3 * ph, pw, ph);
        CopyRectangle(c->sub, x0 + w - pw, y0 + h - ph, p, 3 * pw, 3 * ph, pw, ph);
    }
    if (c->inner != nullptr && select_font(s, 0))
        PxShowTextMl(c->inner, 0, 0, c->file);
}

void grab_frame(PXCELLA *c)
{
    PMVMOVIE *m = c->movie;
    if (c->grab == nullptr)
        c->grab = PxAllocPix(c->moviePix->type, m->width, m->height, nullptr, 0);
    if (c->grab == nullptr)
        return;
    PxCopyPix(c->grab, c->moviePix);
    const char *base = c->file;
    for (const char *p = c->file; *p != '\0'; p++)
        if (*p == '\\' || *p == '/')
            base = p + 1;
    std::string stem(base);
    size_t dot = stem.rfind('.');
    if (dot != std::string::npos)
        stem.resize(dot);
    char name[px::kPathMax];
    snprintf(name, sizeof name, "%s%.3d.pix", stem.c_str(), c->grabCount);
    if (PxSavePix(PxDataPath(name), c->grab) == 0) {
        // Every later frame would fail alike: the grab stops with the reason shown.
        g_engine.save_mode = false;
        SetLastMsgError(PXERR_WRITE, PxDataPath(name));
        MessageBeep(MB_ICONHAND);
        ShowLastMsgError();
        return;
    }
    MessageBeep(0xFFFFFFFFu);
    if (++c->grabCount >= m->frameCount) {
        g_engine.save_mode = false;
        c->grabCount = 0;
    }
}

// The picture (or movie frame) of a cell, its text and their order; 0 ends the frame.
int draw_picture_cell(PXSCENE *s, PXCELLA *c, bool focused)
{
    int result = 1;
    if (focused && (c->flags & CF_FILLIFCUR) != 0)
        PxFillPix(c->sub, uint32_t(c->bh_fbc));
    const bool hidden =
        (focused && (c->flags & CF_NOPICIFCUR) != 0) || (!focused && (c->flags & CF_PICIFCUR) != 0);
    br_pixelmap *pic = c->pic;
    if (c->movie != nullptr) {
        PMVMOVIE *m = c->movie;
        if ((c->flags & CF_PLAYIFCUR) != 0 && !focused) {
            if (m->currentFrame != m->loopStart + 1) {
                PmvSeekToLoop(m);
                // Taken at once: a movie held on its loop-start frame is not sought again.
                m->lastTime = timeGetTime() - m->frameTime;
                PlayMovie(m);
            }
        } else {
            int32_t r = PlayMovie(m);
            if (r == 0 && (c->flags & CF_DELAY) != 0) {
                post_command(s, c->command);
                result = 0;
            }
            if (r > 0 && (m->flags & PMV_NOFRAME) == 0 && g_engine.save_mode)
                grab_frame(c);
        }
        c->moviePix->pixels = m->pixels;
        pic = c->moviePix;
    }
    auto show = [&] {
        if (pic == nullptr || hidden)
            return;
        int32_t sy = 0;
        if ((c->flags & CF_PIC2IFCUR) != 0 && focused)
            sy = c->picH;
        const bool on_top = (c->flags & CF_PICONTOP) != 0;
        if ((c->flags & CF_NOTRANSP) != 0)
            CopyRectangle(c->sub, c->picX, c->picY, pic, 0, sy, c->picW, c->picH);
        else if (on_top)
            CopyRectTranspAlpha(c->sub, c->picX, c->picY, pic, 0, sy, c->picW, c->picH, 255);
        else
            CopyRectTransparent0(c->sub, c->picX, c->picY, pic, 0, sy, c->picW, c->picH);
    };
    if ((c->flags & CF_PICONTOP) != 0) {
        draw_text(s, c, c->sub);
        show();
    } else {
        show();
        draw_text(s, c, c->sub);
    }
    return result;
}

int draw_background(PXSCENE *s, PXCELLA *c)
{
    const uint32_t now = now_ms();
    int result = 1;
    if ((c->flags & CF_DELAY) != 0 && (c->state & kStateDelayDone) == 0 && due(now, c->delayEnd)) {
        c->state |= kStateDelayDone;
        post_command(s, c->command);
        result = 0;
    }
    if (c->pic == nullptr) {
        PxFillPix(s->pix, uint32_t(c->bh_fbc));
    } else {
        if ((c->flags & (CF_HSCROLL | CF_VSCROLL)) != 0 && c->bw_spd > 0) {
            const uint32_t step = uint32_t(std::max(1, 1000 / c->bw_spd));
            if (c->scrollTime == 0)
                c->scrollTime = now;
            while (due(now, c->scrollTime + step)) {
                c->scroll++;
                c->scrollTime += step;
            }
        }
        const int32_t sx = (c->flags & CF_HSCROLL) != 0 ? c->scroll % std::max<int32_t>(1, c->pic->width) : 0;
        const int32_t sy = (c->flags & CF_VSCROLL) != 0 ? c->scroll % std::max<int32_t>(1, c->pic->height) : 0;
        CopyRectTiled(s->pix, 0, 0, c->pic, sx, sy, s->width, s->height);
    }
    draw_text(s, c, s->pix);
    return result;
}

int draw_cell(PXSCENE *s, PXCELLA *c, int32_t index)
{
    const bool focused = s->focus == index;
    if (c->drawProc != nullptr) {
        int32_t r = c->drawProc(s, c);
        if (r >= 0)
            return r;
    }
    int result = 1;
    switch (c->type) {
    case AKTYPE_BACKGR:
        result = draw_background(s, c);
        break;
    case AKTYPE_BORDER:
        break;
    case AKTYPE_CHECKBOX:
        draw_checkbox(s, c);
        break;
    case AKTYPE_EDITBOX:
        draw_editbox(s, c, focused);
        break;
    case AKTYPE_LISTBOX:
        draw_listbox(s, c);
        break;
    default:
        if (c->sub != nullptr)
            result = draw_picture_cell(s, c, focused);
        break;
    }
    outline(s, c, focused);
    c->lastX = c->cellX;
    c->lastY = c->cellY;
    c->lastW = c->cellW;
    c->lastH = c->cellH;
    return result;
}

// ---- input ------------------------------------------------------------------------------------

bool held(int vk)
{
    return GetKeyState(vk) < 0;
}

void end_by_key(PXSCENE *s)
{
    if ((s->flags & PXS_STARTED) == 0)
        return;  // the key callback ended it already
    if (s->window != nullptr)
        DestroyWindow(s->window);
    else
        s->flags |= kStateQuit;
}

bool takes_focus(const PXCELLA *c)
{
    if (g_engine.layout_mode)
        return true;
    return (c->flags & CF_FOCUSABLE) != 0 && (c->flags & CF_DISABLED) == 0;
}

void move_focus(PXSCENE *s, int32_t step)
{
    const int32_t n = s->cellCount;
    if (n <= 0)
        return;
    int32_t i = s->focus < 0 ? (step > 0 ? -1 : 0) : s->focus;
    for (int32_t tries = 0; tries < n; tries++) {
        i = ((i + step) % n + n) % n;
        if (takes_focus(&s->cells[i])) {
            s->focus = i;
            return;
        }
    }
}

void push_undo(PXCELLA *c, int32_t position, uint8_t character, uint8_t kind)
{
    if (c->undo == nullptr)
        return;
    auto *steps = reinterpret_cast<UndoStep *>(c->undo);
    if (c->undoCount >= PX_UNDO_STEPS) {
        memmove(steps, steps + 1, sizeof(UndoStep) * (PX_UNDO_STEPS - 1));
        c->undoCount = PX_UNDO_STEPS - 1;
    }
    steps[c->undoCount++] = UndoStep{position, character, kind, {0, 0}};
}

void text_insert(char *text, int32_t at, char ch)
{
    const size_t length = strlen(text);
    memmove(text + at + 1, text + at, length - size_t(at) + 1);
    text[at] = ch;
}

void text_delete(char *text, int32_t at)
{
    const size_t length = strlen(text);
    memmove(text + at, text + at + 1, length - size_t(at));
}

// The character a key code stands for in an edit box, or 0.
char key_character(WPARAM key, bool shift)
{
    if (key >= 'A' && key <= 'Z')
        return shift ? char(key) : char(key - 'A' + 'a');
    if ((key >= '0' && key <= '9') || key == ' ')
        return char(key);
    static const struct {
        WPARAM vk;
        char ch;
    } punctuation[] = {{0xBA, ';'}, {0xBB, '='}, {0xBC, ','}, {0xBD, '-'}, {0xBE, '.'}, {0xBF, '/'},
                       {0xC0, '`'}, {0xDB, '['}, {0xDC, '\\'}, {0xDD, ']'}, {0xDE, '\''}};
    for (const auto &p : punctuation)
        if (p.vk == key)
            return p.ch;
    return 0;
}

bool edit_key(PXCELLA *c, WPARAM key, LPARAM lParam, bool shift, bool ctrl)
{
    char *text = c->file;
    const int32_t length = int32_t(strlen(text));
    c->bxCur = std::clamp(c->bxCur, 0, length);
    switch (key) {
    case VK_BACK:
        if (c->bxCur > 0) {
            c->bxCur--;
            push_undo(c, c->bxCur, uint8_t(text[c->bxCur]), 2);
            text_delete(text, c->bxCur);
        }
        return true;
    case VK_DELETE:
        if (c->bxCur < length) {
            push_undo(c, c->bxCur, uint8_t(text[c->bxCur]), 2);
            text_delete(text, c->bxCur);
        }
        return true;
    case VK_HOME:
        c->bxCur = 0;
        return true;
    case VK_END:
        c->bxCur = length;
        return true;
    case VK_LEFT:
        if (c->bxCur > 0)
            c->bxCur--;
        return true;
    case VK_RIGHT:
        if (c->bxCur < length)
            c->bxCur++;
        return true;
    default:
        break;
    }
    if (ctrl && key == 'Z') {
        if (c->undoCount > 0) {
            const UndoStep step = reinterpret_cast<UndoStep *>(c->undo)[--c->undoCount];
            if (step.kind == 1 && step.position < length) {
                text_delete(text, step.position);
                c->bxCur = step.position;
            } else if (step.kind == 2 && step.position <= length && length < c->bxMax - 1) {
                text_insert(text, step.position, char(step.character));
                c->bxCur = step.position + 1;
            }
        }
        return true;
    }
    // Extended keys (bit 24) and Alt (bit 29) never type; neither do Ctrl chords.
    if ((lParam & ((1 << 24) | (1 << 29))) != 0 || ctrl)
        return false;
    const char ch = key_character(key, shift);
    if (ch == 0)
        return false;
    if (length < c->bxMax - 1) {
        text_insert(text, c->bxCur, ch);
        push_undo(c, c->bxCur, uint8_t(ch), 1);
        c->bxCur++;
    }
    return true;
}

bool layout_key(PXSCENE *s, WPARAM key, bool shift, bool ctrl)
{
    if (key == VK_F9 && ctrl) {
        if (SaveCellParams(s->cellFile != nullptr ? s->cellFile : kDefaultCellFile, s) != 0) {
            MessageBeep(MB_ICONHAND);
            ShowLastMsgError();
        }
        return true;
    }
    if (s->focus < 0)
        return false;
    PXCELLA *c = &s->cells[s->focus];
    const int32_t step = ctrl ? 11 : 1;
    auto sized = [](int32_t &field, int32_t current) {
        if (field < 1)
            field = current;
    };
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
        if (shift) {
            sized(c->w, c->cellW);
            c->w = std::max(1, c->w + (key == VK_RIGHT ? step : -step));
        } else {
            c->x += key == VK_RIGHT ? step : -step;
        }
        break;
    case VK_UP:
    case VK_DOWN:
        if (shift) {
            sized(c->h, c->cellH);
            c->h = std::max(1, c->h + (key == VK_DOWN ? step : -step));
        } else {
            c->y += key == VK_DOWN ? step : -step;
        }
        break;
    case 'H':
        if (ctrl)
            c->tx = -1;
        else if (shift)
            c->px = -1;
        else {
            c->x = 0;
            c->flags = (c->flags & ~uint32_t(CF_RALIGN)) | CF_HCENTER;
        }
        break;
    case 'V':
        if (ctrl)
            c->ty = -1;
        else if (shift)
            c->py = -1;
        else {
            c->y = 0;
            c->flags = (c->flags & ~uint32_t(CF_BALIGN)) | CF_VCENTER;
        }
        break;
    default:
        return false;
    }
    c->flags |= CF_REBUILD;
    return true;
}

}  // namespace

// ---- exports ----------------------------------------------------------------------------------

VOK_EXPORT int StartPannix(br_pixelmap *parent, int32_t x, int32_t y, PXSCENE *scene, uint32_t flags)
{
    if (scene == nullptr)
        return 0;
    if ((scene->flags & PXS_STARTED) != 0)
        end_scene(scene);  // a second start of a running scene begins afresh
    if (flags != 0)
        scene->flags = flags;  // after the end: new flags must not hide a running start
    scene->flags = (scene->flags | PXS_STARTED) & ~kStateQuit;
    const int result = start_scene(parent, x, y, scene);
    if (result == 0)
        return fail_start(scene);
    return result;
}

VOK_EXPORT int StartPannixW(br_pixelmap *parent, int32_t x, int32_t y, PXSCENE *scene, HWND parentWindow,
                            uint32_t flags)
{
    if (StartPannix(parent, x, y, scene, flags) == 0)
        return 0;
    if (!create_window(scene, parentWindow))
        return fail_start(scene);
    return 1;
}

VOK_EXPORT int StartPannixWL(br_pixelmap *parent, int32_t x, int32_t y, PXSCENE *scene, HWND parentWindow,
                             uint32_t flags)
{
    if (StartPannixW(parent, x, y, scene, parentWindow, flags) == 0)
        return 0;
    return PannixMsgLoop(scene);
}

VOK_EXPORT int KillPannix(PXSCENE *scene)
{
    if (scene == nullptr)
        return 0;
    HWND window = scene->window;
    scene->window = nullptr;
    if (window != nullptr && IsWindow(window)) {
        // Unhooked first: the window's end then neither ends the scene again nor posts WM_QUIT.
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        if (scene->dc != nullptr)
            ReleaseDC(window, scene->dc);
        DestroyWindow(window);
    }
    scene->dc = nullptr;
    end_scene(scene);
    return 0;
}

VOK_EXPORT int KillPannixW(PXSCENE *scene)
{
    if (scene == nullptr)
        return 0;
    if (scene->window != nullptr)
        DestroyWindow(scene->window);  // its WM_DESTROY ends the scene
    return KillPannix(scene);
}

VOK_EXPORT PXCELLA *PannixFindCella(PXSCENE *scene, int32_t id)
{
    if (scene == nullptr || scene->cells == nullptr || id == 0)
        return nullptr;
    for (int32_t i = 0; i < scene->cellCount; i++)
        if (scene->cells[i].id == id)
            return &scene->cells[i];
    return nullptr;
}

VOK_EXPORT int ToggleSaveMode(void)
{
    g_engine.save_mode = !g_engine.save_mode;
    return g_engine.save_mode ? 1 : 0;
}

VOK_EXPORT int PannixLayoutMode(void)
{
    return g_engine.layout_mode ? 1 : 0;
}

VOK_EXPORT int PannixBuildScene(PXSCENE *scene)
{
    if (scene == nullptr || (scene->flags & PXS_STARTED) == 0 || (scene->flags & kStateQuit) != 0)
        return 0;
    int result = 1;
    int32_t leader = 0;
    for (int32_t i = 0; scene->cells != nullptr && i < scene->cellCount; i++) {
        PXCELLA *c = &scene->cells[i];
        const uint32_t start = now_ms();
        if ((c->flags & CF_REBUILD) != 0) {
            if (scene->background != nullptr && scene->background == c->pic)
                scene->background = nullptr;  // the set-up names it again if it still loads
            free_cell(c);
            if (setup_cell(scene, c) == 0)
                c->flags |= CF_DISABLED;  // a cell that no longer sets up is left out
        }
        if ((c->flags & CF_LINK) == 0)
            leader = i;
        if ((c->flags & CF_DISABLED) != 0 || (c->state & kStateSetUp) == 0)
            continue;
        if (draw_cell(scene, c, (c->flags & CF_LINK) != 0 ? leader : i) == 0)
            result = 0;
        c->drawTime = now_ms() - start;
    }
    return result;
}

VOK_EXPORT void PaintMsgScreen(HDC dc, PXSCENE *scene)
{
    if (scene == nullptr || scene->dib == nullptr)
        return;
    if (px::screen_defaults().direct_draw != 0) {
        AmsgFlipScreen(scene);
        return;
    }
    StretchDIBits(dc, 0, 0, scene->width, scene->height, 0, 0, scene->width, scene->height, scene->dibPixels,
                  reinterpret_cast<const BITMAPINFO *>(scene->dib), DIB_RGB_COLORS, SRCCOPY);
}

VOK_EXPORT int PannixMouseHandler(PXSCENE *scene, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    if (scene == nullptr || (message != WM_MOUSEMOVE && message != WM_LBUTTONDOWN))
        return 0;
    int32_t x = int16_t(LOWORD(lParam)), y = int16_t(HIWORD(lParam));
    if (scene->parent != nullptr) {
        x -= scene->x;
        y -= scene->y;
    }
    const uint32_t need = message == WM_MOUSEMOVE ? CF_MOUSEMOVE : 0;
    for (int32_t i = 0; scene->cells != nullptr && i < scene->cellCount; i++) {
        PXCELLA *c = &scene->cells[i];
        if ((c->flags & CF_DISABLED) != 0 || (c->state & kStateSetUp) == 0 || c->type == AKTYPE_BORDER)
            continue;
        if (need != 0 ? (c->flags & need) != need : (c->flags & CF_MOUSEMOVE) == 0)
            continue;
        if (x <= c->cellX || y <= c->cellY || x >= c->cellX + c->cellW - 1 || y >= c->cellY + c->cellH - 1)
            continue;
        if (message == WM_MOUSEMOVE) {
            if ((c->flags & CF_FOCUSABLE) != 0)
                scene->focus = i;
            return 1;
        }
        scene->focus = i;
        if (c->type == AKTYPE_BUTTON)
            post_command(scene, c->command);
        else if (c->type == AKTYPE_CHECKBOX) {
            const int32_t lx = x - c->cellX, ly = y - c->cellY;
            if (lx >= c->picX && lx < c->picX + c->picW && ly >= c->picY && ly < c->picY + c->picH)
                c->bxCur = c->bxCur + 1 >= c->bxMax ? 0 : c->bxCur + 1;
        }
        return 1;
    }
    return 1;
}

VOK_EXPORT int PannixKbdHandler(PXSCENE *scene, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Characters arrive as key codes with WM_KEYDOWN; the translated WM_CHAR would type them twice.
    if (scene == nullptr || message != WM_KEYDOWN)
        return 0;
    const WPARAM key = wParam;
    const bool shift = held(VK_SHIFT), ctrl = held(VK_CONTROL);
    if (key == VK_TAB) {
        move_focus(scene, shift ? -1 : 1);
        return 1;
    }
    if (key == VK_RETURN || key == VK_ESCAPE) {
        if (scene->keyProc == nullptr || scene->keyProc(scene) != 0)
            end_by_key(scene);
        return 1;
    }
    if (key == VK_F12 && ctrl) {
        g_engine.layout_mode = !g_engine.layout_mode;
        if (g_engine.layout_mode)
            scene->engineFlags |= kSceneLayout;
        else
            scene->engineFlags &= ~kSceneLayout;
        return 1;
    }
    if (scene->keyProc != nullptr && scene->keyProc(scene) != 0) {
        end_by_key(scene);
        return 1;
    }
    if (g_engine.layout_mode)
        return layout_key(scene, key, shift, ctrl) ? 1 : 0;
    if (scene->focus < 0 || scene->cells == nullptr)
        return 0;
    PXCELLA *c = &scene->cells[scene->focus];
    if ((c->flags & CF_DISABLED) != 0 || (c->state & kStateSetUp) == 0)
        return 0;
    switch (c->type) {
    case AKTYPE_BUTTON: {
        int32_t id = key == VK_UP ? c->up : key == VK_DOWN ? c->down : key == VK_LEFT ? c->left
                                                          : key == VK_RIGHT ? c->right : 0;
        PXCELLA *to = PannixFindCella(scene, id);
        if (to == nullptr)
            return 0;
        scene->focus = int32_t(to - scene->cells);
        return 1;
    }
    case AKTYPE_CHECKBOX:
        if (key != VK_SPACE)
            return 0;
        c->bxCur = c->bxCur + 1 >= c->bxMax ? 0 : c->bxCur + 1;
        return 1;
    case AKTYPE_EDITBOX:
        return c->file != nullptr && edit_key(c, key, lParam, shift, ctrl) ? 1 : 0;
    default:
        return 0;
    }
}

VOK_EXPORT LRESULT CALLBACK PannixWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *scene = reinterpret_cast<PXSCENE *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (scene == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    scene->lastMessage = message;
    scene->lastWParam = wParam;
    scene->lastLParam = lParam;
    switch (message) {
    case WM_PAINT: {
        if (scene->dib == nullptr)
            break;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        PaintMsgScreen(dc, scene);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_DESTROY:
        if (scene->dc != nullptr)
            ReleaseDC(window, scene->dc);
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        scene->dc = nullptr;
        scene->window = nullptr;
        end_scene(scene);
        PostQuitMessage(0);
        scene->engineFlags |= kSceneQuitPosted;
        return 0;
    case WM_KEYDOWN:
    case WM_CHAR:
        PannixKbdHandler(scene, message, wParam, lParam);
        return 0;
    default:
        if (message >= WM_MOUSEMOVE && message <= WM_LBUTTONDOWN) {
            PannixMouseHandler(scene, message, wParam, lParam);
            if ((scene->flags & PXS_KEYAFTERMOUSE) != 0 && scene->keyProc != nullptr && scene->keyProc(scene) != 0)
                DestroyWindow(window);
            return 0;
        }
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

VOK_EXPORT int PannixMsgLoop(PXSCENE *scene)
{
    if (scene == nullptr)
        return 1;
    HWND window = scene->window;
    PannixBuildScene(scene);
    if (window != nullptr) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
    while (scene->dib != nullptr) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                scene->engineFlags &= ~kSceneQuitPosted;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (scene->window == nullptr)
            break;
        if (PannixBuildScene(scene) != 0)
            PaintMsgScreen(scene->dc, scene);
        else
            DestroyWindow(scene->window);
    }
    // The quit the scene's window posted was meant for this loop; a host's own loop must not see it.
    if ((scene->engineFlags & kSceneQuitPosted) != 0) {
        scene->engineFlags &= ~kSceneQuitPosted;
        MSG msg;
        PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
    KillPannix(scene);
    return 1;
}

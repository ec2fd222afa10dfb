// List, edit and scroll controls inside scene ikons: selection and window arithmetic, caret and
// scrolling of the edit line, typed characters, and the menu sounds of movement.
#include "controls.h"

#include <string.h>

#include <algorithm>
#include <map>
#include <memory>

#include "pannix/pannix.h"
#include "scenestate.h"
#include "vokscore/voksound.h"

namespace vok {

namespace {

constexpr int kSoundMove = 8;
constexpr int kSoundEnds = 9;
constexpr int kSoundPage = 10;
constexpr int kCaretMargin = 2;
constexpr int kCaretLead = 16;
constexpr uint32_t kBlinkMs = 200;

void play_if_sound(int index)
{
    IfPlaySound(index);
}

void sound(int index)
{
    if (g_controlSound)
        g_controlSound(index);
}

void redraw(VokIkon *k)
{
    if (k)
        k->state |= VOK_IST_REDRAW;
}

bool modifier_held(int vk)
{
    return (GetKeyState(vk) & 0x8000) != 0;
}

char *row_at(VokList *l, int row)
{
    return l->rows + size_t(row) * size_t(l->rowSize);
}

// The visible rows joined by line breaks, from each row's shown offset: what a list ikon draws.
void update_shown(VokList *l)
{
    l->shown.clear();
    if (l->rows)
        for (int r = l->first; r < l->count && r < l->first + l->visible; r++) {
            const char *t = row_at(l, r);
            size_t n = strnlen(t, size_t(l->rowSize));
            size_t off = std::min(size_t(std::max(l->offset, 0)), n);
            if (r > l->first)
                l->shown += '\n';
            l->shown.append(t + off, n - off);
        }
    if (l->ikon)
        l->ikon->shownText = l->shown.c_str();
    redraw(l->ikon);
}

// Width in pixels of the first `n` characters in the field's font; 0 without fonts.
int text_width(const VokEdit *e, int n)
{
    PXFONTSET *fonts = engine().fonts;
    if (!fonts || !e->text || !PxSelectFont(fonts, e->font))
        return 0;
    std::string part(e->text, size_t(n));
    return PxGetTextWidth(part.c_str());
}

// A font without a glyph for the code (an empty cell) cannot show it.
bool has_glyph(const VokEdit *e, int ch)
{
    PXFONTSET *fonts = engine().fonts;
    PXFONT *font = fonts ? PxSelectFont(fonts, e->font) : nullptr;
    if (!font)
        return true;
    if (ch < 32 || ch > 255)
        return false;
    const PXGLYPH &g = font->glyphs[ch - 32];
    return g.width > 0 || g.after > 0;
}

void arm_repeat(WPARAM key)
{
    SceneEngine &en = engine();
    if (en.repeatArmed)
        en.repeatKey = int(key);
}

struct Controls {
    std::map<VokIkon *, std::unique_ptr<VokList>> lists;
    std::map<VokIkon *, std::unique_ptr<VokEdit>> edits;
    std::map<VokIkon *, std::unique_ptr<VokScroll>> scrolls;
};

Controls &controls()
{
    static Controls c;
    return c;
}

template <class T>
T *find_in(std::map<VokIkon *, std::unique_ptr<T>> &m, VokIkon *k)
{
    auto it = m.find(k);
    return it == m.end() ? nullptr : it->second.get();
}

}  // namespace

void (*g_controlSound)(int) = play_if_sound;

// ---------------------------------------------------------------------------------------------- list

int list_select(VokList *l, int row)
{
    if (!l)
        return 0;
    int oldSel = l->selected, oldFirst = l->first;
    if (l->count <= 0) {
        l->selected = -1;
        l->first = 0;
    } else {
        l->selected = std::clamp(row, 0, l->count - 1);
        int visible = std::max(l->visible, 1);
        l->first = std::clamp(l->first, 0, std::max(l->count - visible, 0));
        if (l->selected < l->first)
            l->first = l->selected;
        else if (l->selected >= l->first + visible)
            l->first = l->selected - visible + 1;
    }
    if (l->first != oldFirst || l->selected != oldSel)
        update_shown(l);
    return l->selected != oldSel;
}

void list_to_edit(VokList *l)
{
    if (!l || !l->edit || l->selected < 0 || l->selected >= l->count || !l->rows)
        return;
    const char *row = row_at(l, l->selected);
    size_t n = strnlen(row, size_t(l->rowSize));
    if (l->offset > 0) {
        // Rows shown from an offset carry a kind letter in their second character; only H..L rows
        // name something the field can take.
        if (n < 2 || row[1] < 'H' || row[1] > 'L')
            return;
    }
    size_t off = std::min(size_t(std::max(l->offset, 0)), n);
    std::string text(row + off, n - off);
    edit_set_text(l->edit, text.c_str());
}

int list_key(UINT msg, VokList *l, WPARAM key)
{
    if (msg != WM_KEYDOWN || !l || !l->rows || modifier_held(VK_MENU) || modifier_held(VK_CONTROL))
        return 0;
    int step = std::max(l->visible - 1, 0);
    int oldSel = l->selected, oldFirst = l->first;
    int snd = kSoundPage;
    switch (key) {
    case VK_PRIOR: {
        int d = std::min(step, l->first);
        l->first -= d;
        list_select(l, l->selected - d);
        break;
    }
    case VK_NEXT: {
        int d = std::min(step, std::max(l->count - std::max(l->visible, 1) - l->first, 0));
        l->first += d;
        list_select(l, l->selected + d);
        break;
    }
    case VK_END:
        list_select(l, kLast);
        break;
    case VK_HOME:
        list_select(l, 0);
        break;
    case VK_UP:
    case VK_DOWN:
        snd = kSoundMove;
        list_select(l, l->selected + (key == VK_UP ? -1 : 1));
        arm_repeat(key);
        break;
    default:
        return 0;
    }
    if (l->selected != oldSel || l->first != oldFirst) {
        update_shown(l);
        sound(snd);
        list_to_edit(l);
    }
    return 1;
}

int list_find(VokList *l, const char *text, int length)
{
    if (!l || !l->rows || !text || !*text)
        return -1;
    for (int r = 0; r < l->count; r++) {
        const char *row = row_at(l, r);
        size_t n = strnlen(row, size_t(l->rowSize));
        const char *shown = row + std::min(size_t(std::max(l->offset, 0)), n);
        bool match = length > 0 ? strncmp(shown, text, size_t(length)) == 0 : strcmp(shown, text) == 0;
        if (match) {
            list_select(l, r);
            return r;
        }
    }
    return -1;
}

int list_delete_selected(VokList *l)
{
    if (!l || !l->rows || l->count <= 0 || l->selected < 0 || l->selected >= l->count)
        return 0;
    memmove(row_at(l, l->selected), row_at(l, l->selected + 1), size_t(l->count - l->selected - 1) * l->rowSize);
    l->count--;
    int sel = l->selected;
    l->selected = -1;  // so that the new selection counts as a change and is drawn
    list_select(l, std::min(sel, l->count - 1));
    update_shown(l);
    return 1;
}

void list_set_rows(VokList *l, const char *const *rows, int count)
{
    count = std::max(count, 0);
    l->storage.assign(size_t(count) * size_t(l->rowSize) + 1, 0);
    l->rows = l->storage.data();
    for (int r = 0; r < count; r++)
        if (rows[r])
            strncpy(row_at(l, r), rows[r], size_t(l->rowSize - 1));
    l->count = count;
    l->first = 0;
    l->selected = -1;
    list_select(l, 0);
    update_shown(l);
}

// ---------------------------------------------------------------------------------------------- edit

int edit_move_caret(VokEdit *e, int pos)
{
    if (!e || !e->text)
        return 0;
    int len = int(strlen(e->text));
    int oldCaret = e->caret, oldScroll = e->scroll, oldWidth = e->textWidth;
    e->caret = std::clamp(pos, 0, len);
    e->textWidth = text_width(e, len);
    int cx = text_width(e, e->caret);
    if (cx - e->scroll > e->visibleWidth - kCaretMargin)
        e->scroll = cx - (e->visibleWidth - kCaretMargin);
    if (cx - e->scroll < kCaretLead)
        e->scroll = cx - kCaretLead;
    e->scroll = std::max(e->scroll, 0);
    if (e->caret != oldCaret || e->scroll != oldScroll || e->textWidth != oldWidth)
        redraw(e->ikon);
    return e->textWidth != oldWidth;
}

void edit_set_text(VokEdit *e, const char *text)
{
    if (!e || !e->text)
        return;
    size_t n = std::min(strlen(text ? text : ""), size_t(e->capacity));
    memcpy(e->text, text ? text : "", n);
    e->text[n] = 0;
    if (e->ikon)
        e->ikon->shownText = e->text;
    edit_move_caret(e, kCaretEnd);
    redraw(e->ikon);
}

int edit_key(UINT msg, VokEdit *e, WPARAM key)
{
    if (!e || !e->text || modifier_held(VK_MENU) || modifier_held(VK_CONTROL))
        return 0;
    int len = int(strlen(e->text));
    // Screen routines may write the text directly and leave the caret past its end.
    e->caret = std::clamp(e->caret, 0, len);
    if (msg == WM_KEYDOWN) {
        switch (key) {
        case VK_BACK:
            if (e->caret <= 0) {
                sound(kSoundPage);
                return 1;
            }
            memmove(e->text + e->caret - 1, e->text + e->caret, size_t(len - e->caret + 1));
            edit_move_caret(e, e->caret - 1);
            break;
        case VK_END:
        case VK_HOME:
            edit_move_caret(e, key == VK_END ? kCaretEnd : 0);
            sound(kSoundEnds);
            break;
        case VK_LEFT:
        case VK_RIGHT:
            edit_move_caret(e, e->caret + (key == VK_LEFT ? -1 : 1));
            break;
        case VK_DELETE:
            if (e->caret < len) {
                memmove(e->text + e->caret, e->text + e->caret + 1, size_t(len - e->caret));
                edit_move_caret(e, e->caret);
            }
            break;
        default:
            return 0;
        }
        redraw(e->ikon);
        return 1;
    }
    if (msg != WM_CHAR)
        return 0;
    int ch = int(key & 0xFF);
    if (ch < 32)
        return 0;  // control characters arrive as keys
    if (e->filter ? !e->filter(ch) : ch >= 128)
        return 1;
    if (!has_glyph(e, ch))
        return 1;
    if (e->flags & kEditSearchOnly) {
        int at = e->caret;
        if (at >= len && len >= e->capacity)
            return 1;
        std::string before(e->text);
        e->text[at] = char(ch);
        if (at >= len)
            e->text[at + 1] = 0;
        if (!e->list || list_find(e->list, e->text, at + 1) < 0) {
            memcpy(e->text, before.c_str(), before.size() + 1);
            return 1;
        }
        edit_move_caret(e, at + 1);
    } else {
        if (len >= e->capacity)
            return 1;
        memmove(e->text + e->caret + 1, e->text + e->caret, size_t(len - e->caret + 1));
        e->text[e->caret] = char(ch);
        if (e->list)
            list_find(e->list, e->text, 0);
        edit_move_caret(e, e->caret + 1);
    }
    redraw(e->ikon);
    return 1;
}

namespace {

// words[0]: the edit field.
int caret_frame(VokSessionProc *p)
{
    auto *e = reinterpret_cast<VokEdit *>(p->words[0]);
    if (!e)
        return 0;
    uint32_t now = timeGetTime();
    // Of several fields of one session only the focused one shows its caret.
    VokIkon *f = p->session->focused;
    bool mine = !f || f == e->ikon || f->type != VOK_IKON_EDIT;
    if (engine().focusSession == p->session && mine) {
        if (now - e->blinkTime >= kBlinkMs) {
            e->caretShown = !e->caretShown;
            e->blinkTime = now;
            redraw(e->ikon);
        }
    } else if (e->caretShown) {
        e->caretShown = false;
        redraw(e->ikon);
    }
    return 0;
}

}  // namespace

VokSessionProc *start_caret(VokSession *session, VokEdit *e)
{
    if (!session || !e)
        return nullptr;
    VokSessionProc *p = AddProcToSession(session, nullptr, caret_frame, nullptr, nullptr);
    if (p) {
        p->words[0] = reinterpret_cast<intptr_t>(e);
        e->caretShown = true;
        e->blinkTime = timeGetTime();
        edit_move_caret(e, kCaretEnd);
    }
    return p;
}

// ---------------------------------------------------------------------------------------------- scroll

int scroll_set(VokScroll *v, int pos)
{
    if (!v)
        return 0;
    int old = v->first;
    v->first = std::clamp(pos, 0, std::max(v->length - v->visible, 0));
    if (v->first != old)
        redraw(v->ikon);
    return v->first != old;
}

int scroll_key(UINT msg, VokScroll *v, WPARAM key)
{
    if (msg != WM_KEYDOWN || !v || modifier_held(VK_MENU) || modifier_held(VK_CONTROL))
        return 0;
    int step = std::max(v->visible - 1, 0);
    bool moved;
    switch (key) {
    case VK_PRIOR: moved = scroll_set(v, v->first - step); break;
    case VK_NEXT: moved = scroll_set(v, v->first + step); break;
    case VK_END: moved = scroll_set(v, kLast); break;
    case VK_HOME: moved = scroll_set(v, 0); break;
    case VK_UP:
    case VK_DOWN:
        scroll_set(v, v->first + (key == VK_UP ? -1 : 1));
        arm_repeat(key);
        return 1;
    default: return 0;
    }
    if (moved)
        sound(kSoundPage);
    return 1;
}

// ---------------------------------------------------------------------------------------------- table

VokList *list_of(VokIkon *k)
{
    return find_in(controls().lists, k);
}

VokEdit *edit_of(VokIkon *k)
{
    return find_in(controls().edits, k);
}

VokScroll *scroll_of(VokIkon *k)
{
    return find_in(controls().scrolls, k);
}

void build_control(VokIkon *k)
{
    free_control(k);
    const auto *d = static_cast<const VokControlDesc *>(k->control);
    if (!d)
        return;
    Controls &c = controls();
    if (d->kind == VOK_CTL_LIST && k->type == VOK_IKON_LIST) {
        auto l = std::make_unique<VokList>();
        l->rowSize = std::max(d->a, 1);
        l->visible = std::max(d->c, 1);
        l->ikon = k;
        l->storage.assign(size_t(l->rowSize) * size_t(std::max(d->b, 0)) + 1, 0);
        l->rows = l->storage.data();
        l->count = 0;  // rows are filled by the screen's routines
        c.lists[k] = std::move(l);
    } else if (d->kind == VOK_CTL_EDIT && k->type == VOK_IKON_EDIT) {
        auto e = std::make_unique<VokEdit>();
        e->capacity = std::max(d->a, 1);
        e->flags = uint32_t(d->b);
        e->storage.assign(size_t(e->capacity) + 1, 0);  // room for the terminator
        e->text = e->storage.data();
        e->font = k->font;
        e->visibleWidth = k->placeRect.width;
        e->ikon = k;
        k->shownText = e->text;
        c.edits[k] = std::move(e);
    } else if (d->kind == VOK_CTL_SCROLL && k->type == VOK_IKON_SCROLL) {
        auto v = std::make_unique<VokScroll>();
        v->length = d->a;
        v->visible = d->b;
        v->ikon = k;
        c.scrolls[k] = std::move(v);
    }
}

void free_control(VokIkon *k)
{
    Controls &c = controls();
    // A list or edit field linked to one that goes away forgets it.
    if (VokEdit *e = edit_of(k))
        for (auto &l : c.lists)
            if (l.second->edit == e)
                l.second->edit = nullptr;
    if (VokList *l = list_of(k))
        for (auto &e : c.edits)
            if (e.second->list == l)
                e.second->list = nullptr;
    c.lists.erase(k);
    c.edits.erase(k);
    c.scrolls.erase(k);
}

}  // namespace vok

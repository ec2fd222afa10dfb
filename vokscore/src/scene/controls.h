// The controls that live inside scene ikons: a list of fixed-size text rows, a one-line edit field
// (optionally searching a list as the user types) and a scroll view. The interface screens' key
// handlers drive them with WM_KEYDOWN and WM_CHAR.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "vokscore/vokscene.h"
#include "win32/windows.h"

namespace vok {

struct VokEdit;

struct VokList {
    char *rows = nullptr;  // count rows of rowSize bytes, each NUL-ended
    int rowSize = 0;
    int count = 0;
    int visible = 1;
    int first = 0;
    int selected = -1;     // -1: no selection (an empty list)
    int offset = 0;        // where the shown text starts inside a row
    int rowHeight = 0;     // pixels a row; 0: the row font's height
    VokIkon *ikon = nullptr;
    VokEdit *edit = nullptr;
    std::vector<char> storage; // rows the control owns (made from a description or by set_rows)
    std::string shown;         // the visible rows as the ikon draws them
};

// Search-only mode: a typed character must keep a list row that starts with the text.
constexpr uint32_t kEditSearchOnly = 0x20000;

struct VokEdit {
    char *text = nullptr;  // capacity + 1 bytes
    int capacity = 0;
    int caret = 0;
    int textWidth = 0;
    int scroll = 0;        // pixels of text scrolled out at the left
    int visibleWidth = 0;
    int font = 0;
    int (*filter)(int ch) = nullptr; // 0 refuses a typed character
    uint32_t flags = 0;
    VokList *list = nullptr;
    VokIkon *ikon = nullptr;
    uint32_t blinkTime = 0;
    bool caretShown = false;
    std::vector<char> storage;
};

struct VokScroll {
    int length = 0;
    int visible = 0;
    int first = 0;
    VokIkon *ikon = nullptr;
};

// List. Each answers 1 when something changed (key: when the key was taken).
int list_select(VokList *list, int row);
int list_key(UINT message, VokList *list, WPARAM key);
int list_find(VokList *list, const char *text, int length);
int list_delete_selected(VokList *list);
void list_to_edit(VokList *list);
// Gives the list `count` rows (copied, cut to the row size) in storage of its own.
void list_set_rows(VokList *list, const char *const *rows, int count);
constexpr int kLast = 10000;

// Edit field.
int edit_move_caret(VokEdit *edit, int position);
constexpr int kCaretEnd = 100000;
int edit_key(UINT message, VokEdit *edit, WPARAM key);
void edit_set_text(VokEdit *edit, const char *text);
// Caret blink of the edit fields of a session: a procedure record for AddProcToSession.
VokSessionProc *start_caret(VokSession *session, VokEdit *edit);

// Scroll view.
int scroll_set(VokScroll *view, int position);
int scroll_key(UINT message, VokScroll *view, WPARAM key);

// The run-time control of a list, edit or scroll ikon of a running scene (NULL for other ikons).
VokList *list_of(VokIkon *ikon);
VokEdit *edit_of(VokIkon *ikon);
VokScroll *scroll_of(VokIkon *ikon);
// Made from the ikon's description when the session builds it, freed with the ikon.
void build_control(VokIkon *ikon);
void free_control(VokIkon *ikon);

// Menu sounds of the controls: IfPlaySound unless a test swaps it.
extern void (*g_controlSound)(int index);

}  // namespace vok

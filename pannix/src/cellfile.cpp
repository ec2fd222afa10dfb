// Cell description files: "key:<tab>value" lines that fill the cells of a dialog scene, and the writer
// the layout editor saves with.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "dialog.h"
#include "pannix/pxdialog.h"
#include "pannix/pxini.h"
#include "pxstate.h"
#include "vokplat/export.h"
#include "vokplat/savefile.h"
#include "vokplat/stdio.h"

namespace {

const char *const kTypeWords[] = {"AKTYPE_BACKGR",   "AKTYPE_BORDER",  "AKTYPE_STATIC", "AKTYPE_BUTTON",
                                  "AKTYPE_CHECKBOX", "AKTYPE_EDITBOX", "AKTYPE_LISTBOX"};
constexpr int32_t kTypeWordCount = 7;
// Types beyond the words (the text menu among them) are written and read as numbers.
constexpr int32_t kLastType = 10;

struct FlagWord {
    const char *word;
    uint32_t bits;
};

const FlagWord kFlagWords[] = {
    {"CF_MOUSECLICK", CF_MOUSECLICK}, {"CF_FOCUSABLE", CF_FOCUSABLE},     {"CF_MOUSEMOVE", CF_MOUSEMOVE},
    {"CF_RALIGN", CF_RALIGN},         {"CF_BALIGN", CF_BALIGN},           {"CF_HCENTER", CF_HCENTER},
    {"CF_VCENTER", CF_VCENTER},       {"CF_FIXSPEED", CF_FIXSPEED},       {"CF_HSCROLL", CF_HSCROLL},
    {"CF_VSCROLL", CF_VSCROLL},       {"CF_BORDER", CF_BORDER},           {"CF_PICONTOP", CF_PICONTOP},
    {"CF_BORDERIFCUR", CF_BORDERIFCUR}, {"CF_PICIFCUR", CF_PICIFCUR},     {"CF_PIC2IFCUR", CF_PIC2IFCUR},
    {"CF_FILLIFCUR", CF_FILLIFCUR},   {"CF_PLAYIFCUR", CF_PLAYIFCUR},     {"CF_NOPICIFCUR", CF_NOPICIFCUR},
    {"CF_NOTRANSP", CF_NOTRANSP},     {"CF_DISABLED", CF_DISABLED},       {"CF_USEMEM", CF_USEMEM},
    {"CF_PLAYONCE", CF_PLAYONCE},     {"CF_DELAY", CF_DELAY},             {"CF_LINK", CF_LINK},
};

// The writer's order (the two lowest bits come last).
const FlagWord kSaveOrder[] = {
    {"CF_DISABLED", CF_DISABLED},     {"CF_HCENTER", CF_HCENTER},     {"CF_VCENTER", CF_VCENTER},
    {"CF_RALIGN", CF_RALIGN},         {"CF_BALIGN", CF_BALIGN},       {"CF_PICIFCUR", CF_PICIFCUR},
    {"CF_PIC2IFCUR", CF_PIC2IFCUR},   {"CF_NOPICIFCUR", CF_NOPICIFCUR}, {"CF_BORDERIFCUR", CF_BORDERIFCUR},
    {"CF_FILLIFCUR", CF_FILLIFCUR},   {"CF_PLAYIFCUR", CF_PLAYIFCUR}, {"CF_FIXSPEED", CF_FIXSPEED},
    {"CF_NOTRANSP", CF_NOTRANSP},     {"CF_DELAY", CF_DELAY},         {"CF_PICONTOP", CF_PICONTOP},
    {"CF_PLAYONCE", CF_PLAYONCE},     {"CF_BORDER", CF_BORDER},       {"CF_HSCROLL", CF_HSCROLL},
    {"CF_VSCROLL", CF_VSCROLL},       {"CF_USEMEM", CF_USEMEM},       {"CF_LINK", CF_LINK},
};

constexpr size_t kLineMax = 1024;
// The largest edit or list buffer a cell file can ask for.
constexpr int32_t kBufferMax = 1 << 20;

int32_t type_of(const char *word)
{
    for (int32_t i = 0; i < kTypeWordCount; i++)
        if (strcasecmp(word, kTypeWords[i]) == 0)
            return i;
    char *end = nullptr;
    long n = strtol(word, &end, 10);
    if (end != word && *end == '\0' && n >= 0 && n <= kLastType)
        return int32_t(n);
    return -1;
}

uint32_t flag_of(const char *word)
{
    for (const FlagWord &f : kFlagWords)
        if (strcasecmp(word, f.word) == 0)
            return f.bits;
    return 0;
}

// The characters between the first and the second double quote (to the end without a second); false
// when there is no quote.
bool quoted(const char *rest, std::string &out)
{
    const char *open = strchr(rest, '"');
    if (open == nullptr)
        return false;
    const char *close = strchr(open + 1, '"');
    out.assign(open + 1, close != nullptr ? size_t(close - open - 1) : strlen(open + 1));
    return true;
}

// Texts keep their line feeds (a text menu's items) as "\n" and backslashes as "\\"; file names are
// written as they are, since their backslashes separate folders.
std::string escaped(const char *text)
{
    std::string out;
    for (const char *p = text; *p != '\0'; p++) {
        if (*p == '\n')
            out += "\\n";
        else if (*p == '\\')
            out += "\\\\";
        else
            out += *p;
    }
    return out;
}

std::string unescaped(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
            out += text[i + 1] == 'n' ? '\n' : '\\';
            i++;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Texts made by cell files. They stay with their cells when a scene ends, since the same cells are
// started again; a later file's text replaces (and frees) one, and the rest go at exit. Scenes may
// run on several threads: the list is shared by all of them.
struct MadeTexts {
    std::mutex mu;
    std::vector<char *> blocks;
    ~MadeTexts()
    {
        for (char *b : blocks)
            free(b);
    }
};

MadeTexts &made_texts()
{
    static MadeTexts held;
    return held;
}

void hold_text(char *block)
{
    MadeTexts &held = made_texts();
    std::lock_guard<std::mutex> lock(held.mu);
    held.blocks.push_back(block);
}

// Frees a block of the list (one a host freed itself is only dropped from the list).
void release_text(char *block)
{
    MadeTexts &held = made_texts();
    {
        std::lock_guard<std::mutex> lock(held.mu);
        auto it = std::find(held.blocks.rbegin(), held.blocks.rend(), block);
        if (it == held.blocks.rend())
            return;
        held.blocks.erase(std::next(it).base());
    }
    free(block);
}

// Gives the cell a text of its own in `slot`; the same text already there leaves the line unread.
void set_text(PXCELLA *cell, char **slot, uint32_t own, const std::string &value)
{
    if (*slot != nullptr && strcmp(*slot, value.c_str()) == 0)
        return;
    size_t size = value.size() + 1;
    char *copy = static_cast<char *>(malloc(size));
    if (copy == nullptr)
        return;
    memcpy(copy, value.c_str(), size);
    if ((cell->owned & own) != 0)
        release_text(*slot);
    hold_text(copy);
    *slot = copy;
    cell->owned |= own;
    if (own == px::kOwnFile)
        cell->fileSize = int32_t(size);
}

int32_t *int_field(PXCELLA *c, const char *key)
{
    struct Key {
        const char *name;
        int32_t PXCELLA::*field;
    };
    static const Key keys[] = {
        {"x", &PXCELLA::x},           {"y", &PXCELLA::y},           {"w", &PXCELLA::w},
        {"h", &PXCELLA::h},           {"tx", &PXCELLA::tx},         {"ty", &PXCELLA::ty},
        {"px", &PXCELLA::px},         {"py", &PXCELLA::py},         {"bw_spd", &PXCELLA::bw_spd},
        {"bh_fbc", &PXCELLA::bh_fbc}, {"bxMax", &PXCELLA::bxMax},   {"bxCur", &PXCELLA::bxCur},
    };
    for (const Key &k : keys)
        if (strcasecmp(key, k.name) == 0)
            return &(c->*k.field);
    return nullptr;
}

// Places and sizes stay within what a scene can measure (its sides are below 0x8000), so the set-up's
// sums and doublings cannot wrap.
constexpr int32_t kPlaceMax = 0x7FFF;

bool is_place(PXCELLA *c, const int32_t *field)
{
    for (const int32_t *p : {&c->x, &c->y, &c->w, &c->h, &c->tx, &c->ty, &c->px, &c->py})
        if (p == field)
            return true;
    return false;
}

__attribute__((format(printf, 2, 3))) void append(std::string &out, const char *format, ...)
{
    char buffer[kLineMax + 64];
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(buffer, sizeof buffer, format, ap);
    va_end(ap);
    if (n < 0)
        return;
    if (size_t(n) < sizeof buffer) {
        out.append(buffer, size_t(n));
        return;
    }
    // Long texts: format again into a buffer of the right size.
    std::string big(size_t(n) + 1, '\0');
    va_start(ap, format);
    vsnprintf(big.data(), big.size(), format, ap);
    va_end(ap);
    big.resize(size_t(n));
    out += big;
}

}  // namespace

namespace px {

void cell_free_owned(PXCELLA *cell)
{
    if ((cell->owned & kOwnText) != 0) {
        release_text(cell->text);
        cell->text = nullptr;
    }
    if ((cell->owned & kOwnFile) != 0) {
        release_text(cell->file);
        cell->file = nullptr;
    }
    cell->owned = 0;
    cell->fileSize = 0;
}

bool cell_fit_buffer(PXCELLA *cell)
{
    if ((cell->owned & kOwnFile) == 0 || cell->file == nullptr || cell->bxMax <= cell->fileSize)
        return true;
    if (cell->bxMax > kBufferMax)
        return false;
    MadeTexts &held = made_texts();
    std::lock_guard<std::mutex> lock(held.mu);
    char *grown = static_cast<char *>(realloc(cell->file, size_t(cell->bxMax)));
    if (grown == nullptr)
        return false;
    std::replace(held.blocks.begin(), held.blocks.end(), cell->file, grown);
    memset(grown + cell->fileSize, 0, size_t(cell->bxMax - cell->fileSize));
    cell->file = grown;
    cell->fileSize = cell->bxMax;
    return true;
}

namespace {

void read_cells(FILE *f, PXSCENE *scene);

}  // namespace

void cells_load_stream(FILE *f, PXSCENE *scene)
{
    // A caller's own edit or list buffer is as large as the caller's bxMax said: a file may not raise it.
    std::vector<int32_t> caller_max(size_t(std::max(scene->cellCount, 0)));
    std::vector<int32_t> caller_type(caller_max.size());
    std::vector<char *> caller_buffer(caller_max.size());
    for (int32_t i = 0; i < scene->cellCount; i++) {
        const PXCELLA &c = scene->cells[i];
        caller_max[size_t(i)] = c.bxMax;
        caller_type[size_t(i)] = c.type;
        const bool box = c.type == AKTYPE_EDITBOX || c.type == AKTYPE_LISTBOX;
        if (box && (c.owned & kOwnFile) == 0 && c.bxMax > 0)
            caller_buffer[size_t(i)] = c.file;
    }
    read_cells(f, scene);
    for (int32_t i = 0; i < scene->cellCount; i++) {
        PXCELLA *c = &scene->cells[i];
        // The caller's own box buffer takes the file's text and stays the cell's, so that what the
        // player types reaches the caller.
        char *mine = caller_buffer[size_t(i)];
        if (mine != nullptr && c->type == caller_type[size_t(i)] && c->file != mine &&
            (c->owned & kOwnFile) != 0) {
            snprintf(mine, size_t(caller_max[size_t(i)]), "%s", c->file);
            release_text(c->file);
            c->file = mine;
            c->owned &= ~kOwnFile;
            c->fileSize = 0;
        }
        if (c->type >= AKTYPE_CHECKBOX && c->type <= AKTYPE_LISTBOX && c->file != nullptr &&
            (c->owned & kOwnFile) == 0)
            c->bxMax = std::min(c->bxMax, caller_max[size_t(i)]);
        // Made an edit box by the file: the caller's string (a picture name) is no buffer to edit.
        if (c->type == AKTYPE_EDITBOX && caller_type[size_t(i)] != AKTYPE_EDITBOX && c->file != nullptr &&
            (c->owned & kOwnFile) == 0)
            c->flags |= CF_DISABLED;
    }
    // A buffer the file gave a control may be edited at once in a running scene (bxMax may come on a
    // later line than the text): it must hold bxMax bytes before any key reaches it.
    for (int32_t i = 0; i < scene->cellCount; i++) {
        PXCELLA *c = &scene->cells[i];
        if (c->type >= AKTYPE_CHECKBOX && c->type <= AKTYPE_LISTBOX && !cell_fit_buffer(c))
            c->bxMax = c->fileSize;  // the editor then stops at what the buffer holds
    }
}

namespace {

void read_cells(FILE *f, PXSCENE *scene)
{
    char line[kLineMax];
    int32_t current = 0;
    while (fgets(line, sizeof line, f) != nullptr) {
        size_t length = strlen(line);
        if (length == sizeof line - 1 && line[length - 1] != '\n') {
            // The rest of an overlong line is dropped, not read as a line of its own.
            int c;
            while ((c = fgetc(f)) != EOF && c != '\n') {
            }
        }
        while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r'))
            line[--length] = '\0';
        char key[64];
        char *rest = IniGetWord(line, key, sizeof key);
        if (rest == nullptr)
            continue;
        if (strcasecmp(key, "Cella_nr") == 0) {
            int32_t number = -1;
            if (IniGetInt(rest, &number) == nullptr || number < 0 || number >= scene->cellCount)
                return;
            // Numbers only go forwards; a lower one keeps filling the current cell.
            if (number > current)
                current = number;
        }
        PXCELLA *cell = &scene->cells[current];
        if (strcasecmp(key, "type") == 0) {
            char word[64];
            cell->type = IniGetWord(rest, word, sizeof word) != nullptr ? type_of(word) : -1;
        } else if (strcasecmp(key, "flags") == 0) {
            uint32_t bits = 0;
            char word[64];
            for (char *p = rest; p != nullptr && *p != '\0';) {
                char *next = IniGetWord(p, word, sizeof word);
                if (next == nullptr)
                    break;
                bits |= flag_of(word);
                p = next;
            }
            cell->flags = bits;
        } else if (strcasecmp(key, "font") == 0) {
            // 256 and above would be read as the address of a byte: a file can only name a number.
            int32_t n;
            if (IniGetInt(rest, &n) != nullptr && n >= 0 && n < 256)
                cell->font = n;
        } else if (strcasecmp(key, "txt") == 0 || strcasecmp(key, "file") == 0) {
            std::string value;
            if (quoted(rest, value)) {
                bool text = strcasecmp(key, "txt") == 0;
                if (text)
                    set_text(cell, &cell->text, kOwnText, unescaped(value));
                else
                    set_text(cell, &cell->file, kOwnFile, value);
            }
        } else if (int32_t *field = int_field(cell, key)) {
            int32_t n;
            if (IniGetInt(rest, &n) != nullptr)
                *field = is_place(cell, field) ? std::clamp(n, -kPlaceMax, kPlaceMax) : n;
        }
        if (cell->type < 0)
            cell->flags |= CF_DISABLED;
    }
}

}  // namespace

std::string cells_format(const PXSCENE *scene)
{
    std::string out;
    for (int32_t i = 0; i < scene->cellCount; i++) {
        const PXCELLA *c = &scene->cells[i];
        append(out, "Cella_nr:\t%d\n", i);
        if (c->type >= 0 && c->type < kTypeWordCount)
            append(out, "type:\t%s\n", kTypeWords[c->type]);
        else
            append(out, "type:\t%d\n", c->type);
        if (c->flags != 0) {
            out += "flags:\t";
            for (const FlagWord &f : kSaveOrder)
                if ((c->flags & f.bits) != 0)
                    append(out, "%s ", f.word);
            if ((c->flags & CF_MOUSEMOVE) == CF_MOUSEMOVE)
                out += "CF_MOUSEMOVE ";
            else if ((c->flags & CF_MOUSECLICK) != 0)
                out += "CF_MOUSECLICK ";
            else if ((c->flags & CF_FOCUSABLE) != 0)
                out += "CF_FOCUSABLE ";
            out += "\n";
        }
        append(out, "x:\t%d%s\n", c->x, (c->flags & (CF_RALIGN | CF_HCENTER)) != 0 ? "\t; relativ" : "");
        append(out, "y:\t%d%s\n", c->y, (c->flags & (CF_BALIGN | CF_VCENTER)) != 0 ? "\t; relativ" : "");
        append(out, "w:\t%d\n", c->w);
        append(out, "h:\t%d\n", c->h);
        if (c->text != nullptr) {
            append(out, "txt:\t\"%s\"\n", escaped(c->text).c_str());
            // A font held at an address is written as the number found there.
            const intptr_t font = c->font >= 256 ? *reinterpret_cast<const uint8_t *>(c->font) : c->font;
            append(out, "font:\t%d\n", int32_t(font));
            append(out, "tx:\t%d\n", c->tx);
            append(out, "ty:\t%d\n", c->ty);
        }
        if (c->file != nullptr) {
            append(out, "file:\t\"%s\"\n", c->file);
            append(out, "px:\t%d\n", c->px);
            append(out, "py:\t%d\n", c->py);
        }
        append(out, "bw_spd:\t%d\n", c->bw_spd);
        append(out, "bh_fbc:\t%d\n", c->bh_fbc);
        append(out, "bxMax:\t%d\n", c->bxMax);
        append(out, "bxCur:\t%d\n", c->bxCur);
        out += "\n";
    }
    return out;
}

}  // namespace px

VOK_EXPORT int LoadCellParams(const char *file, PXSCENE *scene)
{
    if (scene == nullptr || scene->cells == nullptr || scene->cellCount <= 0 || file == nullptr)
        return 0;
    FILE *f = PlatFopen(file, "rt");
    if (f == nullptr)
        return px::set_error("LoadCellParams: cannot open '%s'", file), -1;
    px::cells_load_stream(f, scene);
    fclose(f);
    // A running scene sets its cells up again before the next frame draws them as the file says.
    if ((scene->flags & PXS_STARTED) != 0)
        for (int32_t i = 0; i < scene->cellCount; i++)
            scene->cells[i].flags |= CF_REBUILD;
    return 0;
}

VOK_EXPORT int SaveCellParams(const char *file, PXSCENE *scene)
{
    if (scene == nullptr || scene->cells == nullptr || file == nullptr)
        return 0;
    const std::string text = px::cells_format(scene);
    if (!PlatSaveFile(file, text.data(), text.size()))
        return px::set_error("SaveCellParams: cannot write '%s'", file), -1;
    return 0;
}

// The language pack "mnutext": every text file is read into one block and parsed in place; the
// tables point into it until the texts are freed.
#include "texts.h"

#include <stdlib.h>
#include <string.h>

#include <memory>
#include <new>

#include "pannix/ffpack.h"
#include "state.h"
#include "vokscore/vokpath.h"
#include "vokscore/voktext.h"

namespace {

const char *const kBuiltins[vok::kBuiltinCount] = {
    "",
    "%s's progress",
    "in Velmo's Challenge",
    "%s's progress in Velmo's Challenge",
    "Fastest Players",
    "Smartest Players",
    "Best Times",
    "Delete player\n\n'%s'?",
    "There are infinitely many ways to solve",
    "Velmo's Cube. The tips below may help",
    "you in working out your own way.",
    "\n\n\n\n\n\n\n\n\n             Loading demo movie...",
    "\n\n\n\n\n\n\n\n\n         COULD NOT LOAD DEMO MOVIE",
    "None",
    "Wendrel",
    "Varnel",
    "Tinctor",
    "Main",
    "Mossik",
    "Fenlow",
    "OFF",
    "Main Music:",
    "Music Volume:",
    "Sfx Volume:",
    "Force Mouse:",
    "Net Message:",
    "Internet Homepage:",
    "Player's e-mail:",
    "Reset to defaults",
    "OFF",
    "ON",
    "Music:",
    "Sfx:",
    "Height TipText:",
    "None",
    "Available",
    "All",
    "Animation Speed:",
    "Realtime",
    "Fast",
    "Turn Right:",
    "Turn Left:",
    "Rotate Colors:",
    "Press a key or mouse button to capture!",
    "New solution saved.",
    "Are you sure you want to\nsecretize this puzzle?",
    "Replace existing file?",
    "Open File",
    "Save File",
    "Velmo's Games",
    "No high score yet!",
    "Load AI parameters",
    "Remote game is not available\non Windows NT, because\nMicrosoft's DirectX 6 is not\nsupported by this OS",
    "Load Mossik Field",
    "Load Fenlow Field",
    "Load Wendrel Field",
    "Error initializing DirectX 6.\nPlease install it.",
    "\nEnd of demo",
    "Are you sure to exit?",
    "Loading movie ...",
    "COULD NOT LOAD MOVIE ...",
    "Free Play",
    "Velmo's Challenge",
    "Easy",
    "Standard",
    "Hard",
    "Extra Hard",
    "Reserved filename.\n\nPlease give a different one.",
    "Clear",
    "Are you sure to clear highscore\n\n'%s' - '%s'?",
    "SPACE",
    "LEFT",
    "RIGHT",
};

const char *const kSpecialFiles[vok::kSpecialCount] = {"mainhelp.txt", "vnunscr.txt", "vnlearn.txt",
                                                       "vnstudy.txt",  "vnfree.txt",  "fwepito.txt",
                                                       "story.txt",    "credits.txt"};
const char *const kGamePrefixes[VOK_GAME_COUNT] = {"vn", "mk", "fw", "kp", "dm"};
const char kFieldLetters[vok::kFieldLists] = {'C', 'E', 'S', 'H', 'X'};
const int kFieldCapacity[vok::kFieldLists] = {40, 25, 25, 25, 25};
const char *const kFieldPrefixes[vok::kFieldLists] = {"Ch_", "Demo_", "Stand_", "Hard_", "Extra_"};

struct FieldList {
    char names[40][vok::kFieldNameSize];
    int count;
};

struct GameScript {
    vok::DemoStep steps[vok::kDemoSteps + 2];
};

// Everything that points into the text block lives here and goes with it.
struct TextState {
    std::unique_ptr<char[]> block;
    size_t used = 0;
    const char *lines[vok::kLineCount] = {};
    const char *special[vok::kSpecialCount] = {};
    vok::GameTexts games[VOK_GAME_COUNT] = {};
    GameScript scripts[VOK_GAME_COUNT] = {};
    FieldList fields[vok::kFieldLists] = {};
    const char *keyNames[vok::kKeyNameCount] = {};

    TextState()
    {
        for (int i = 0; i < vok::kBuiltinCount; i++)
            lines[i] = kBuiltins[i];
    }
};

TextState &texts()
{
    static TextState t;
    return t;
}

// The key codes of the key-name table, in the table's fixed order.
struct KeyCodes {
    int codes[vok::kKeyNameCount];
    KeyCodes()
    {
        int n = 0;
        for (int c = '0'; c <= '9'; c++) codes[n++] = c;
        for (int c = 'A'; c <= 'Z'; c++) codes[n++] = c;
        for (int c : {0xC0, 0xBD, 0xBB, 0xDB, 0xDD, 0xBA, 0xDE, 0xBC, 0xBE, 0xBF, 0xDC}) codes[n++] = c;
        for (int c : {1, 2, 3, 4}) codes[n++] = c;
        for (int c : {0x08, 0x09, 0x0C, 0x0D, 0x10, 0x11, 0x12, 0x13, 0x14, 0x1B}) codes[n++] = c;
        for (int c = 0x20; c <= 0x2F; c++) codes[n++] = c;
        for (int c : {0x5B, 0x5C, 0x5D}) codes[n++] = c;
        for (int c = 0x60; c <= 0x87; c++) codes[n++] = c;
        for (int c : {0x90, 0x91}) codes[n++] = c;
        for (int c = 0xA0; c <= 0xA5; c++) codes[n++] = c;
        for (int c = 0x1000; c <= 0x1015; c++) codes[n++] = c;
        while (n < vok::kKeyNameCount) codes[n++] = 0x1016;
    }
};

const KeyCodes &key_codes()
{
    static const KeyCodes k;
    return k;
}

// Appends one entry of the pack to the block (4-byte aligned, zero-terminated); NULL when the entry is
// missing or no longer fits.
char *read_entry(FFPACKHANDLE *pack, const char *name, size_t *length)
{
    TextState &t = texts();
    FFFILEHANDLE *f = FFOpenP(pack, name);
    if (f == nullptr)
        return nullptr;
    int32_t size = FFSeek(f, 0, 2);
    size_t start = (t.used + 3) & ~size_t(3);
    if (size < 0 || FFSeek(f, 0, 0) != 0 || start + size_t(size) + 1 > vok::kTextBlockSize) {
        FFClose(f);
        return nullptr;
    }
    char *out = t.block.get() + start;
    int32_t got = size > 0 ? FFRead(f, out, size) : 0;
    FFClose(f);
    if (got != size)
        return nullptr;
    out[size] = '\0';
    t.used = start + size_t(size) + 1;
    if (length != nullptr)
        *length = size_t(size);
    return out;
}

// Cuts one line end ("\n" or "\r\n") off the end of a text ending at `end`.
void cut_line_end(char *begin, char *end)
{
    if (end > begin && end[-1] == '\n')
        *--end = '\0';
    if (end > begin && end[-1] == '\r')
        *--end = '\0';
}

// '~' starts an entry; an entry runs up to the line end before the next '~'. Calls `take` with each
// entry until it answers false.
template <class Take>
void split_entries(char *text, size_t length, Take take)
{
    char *end = text + length;
    char *p = static_cast<char *>(memchr(text, '~', length));
    while (p != nullptr) {
        char *begin = p + 1;
        char *next = static_cast<char *>(memchr(begin, '~', size_t(end - begin)));
        char *stop = next != nullptr ? next : end;
        *stop = '\0';
        cut_line_end(begin, stop);
        if (!take(begin))
            return;
        p = next;
    }
}

void parse_mnutext(char *text, size_t length)
{
    TextState &t = texts();
    int id = 0;
    split_entries(text, length, [&](char *entry) {
        t.lines[id++] = entry;
        return id < vok::kLineCount;
    });
}

// A decimal number at *p (optional sign), held to the int32 range; false when there are no digits.
bool read_number(const char *&p, int32_t &value)
{
    const char *s = p;
    while (*s == ' ' || *s == '\t')
        s++;
    bool negative = *s == '-';
    if (*s == '-' || *s == '+')
        s++;
    if (*s < '0' || *s > '9')
        return false;
    int64_t v = 0;
    while (*s >= '0' && *s <= '9') {
        v = v * 10 + (*s - '0');
        if (v > INT32_MAX)
            v = INT32_MAX;
        s++;
    }
    value = int32_t(negative ? -v : v);
    p = s;
    return true;
}

void parse_demo(char *text, size_t length, GameScript &script)
{
    int n = 0;
    bool ended = false;
    split_entries(text, length, [&](char *entry) {
        const char *p = entry;
        int32_t start = 0, stop = 0;
        bool ok = read_number(p, start) && start != 0;
        if (ok) {
            while (*p == ' ' || *p == '\t')
                p++;
            ok = *p == ',' && read_number(++p, stop);
        }
        if (!ok) {
            ended = true;
            return false;
        }
        const char *line_end = strchr(p, '\n');
        script.steps[n++] = vok::DemoStep{start, stop, line_end != nullptr ? line_end + 1 : p + strlen(p)};
        return n < vok::kDemoSteps;
    });
    (void)ended;
    script.steps[n++] = vok::DemoStep{10000, 10001, vok::text(57)};
    script.steps[n] = vok::DemoStep{-1, -1, nullptr};
}

void parse_fields(char *text)
{
    TextState &t = texts();
    FieldList *list = nullptr;
    int list_index = -1;
    char *line = text;
    while (*line != '\0') {
        char *eol = strchr(line, '\n');
        char *next = eol != nullptr ? eol + 1 : line + strlen(line);
        char *end = eol != nullptr ? eol : next;
        if (line[0] == '#') {
            list = nullptr;
            list_index = -1;
            for (int i = 0; i < vok::kFieldLists; i++)
                if ((line[1] & ~0x20) == kFieldLetters[i]) {
                    list = &t.fields[i];
                    list_index = i;
                }
        } else if (list != nullptr) {
            while (end > line && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r' || end[-1] == '\n'))
                end--;
            size_t n = size_t(end - line);
            if (n >= 2 && list->count < kFieldCapacity[list_index]) {
                if (n > vok::kFieldNameSize - 1)
                    n = vok::kFieldNameSize - 1;
                memcpy(list->names[list->count], line, n);
                list->names[list->count][n] = '\0';
                list->count++;
            }
        }
        line = next;
    }
}

void parse_keys(char *text)
{
    TextState &t = texts();
    char *line = text;
    for (int i = 0; i < vok::kKeyNameCount && *line != '\0'; i++) {
        char *eol = strchr(line, '\n');
        char *next = eol != nullptr ? eol + 1 : line + strlen(line);
        if (eol != nullptr) {
            *eol = '\0';
            if (eol > line && eol[-1] == '\r')
                eol[-1] = '\0';
        }
        t.keyNames[i] = line;
        line = next;
    }
}

void load_game_texts(FFPACKHANDLE *pack, int game)
{
    TextState &t = texts();
    vok::GameTexts &g = t.games[game];
    const char *prefix = kGamePrefixes[game];
    char name[64];
    snprintf(name, sizeof name, "%srules.txt", prefix);
    g.rules = read_entry(pack, name, nullptr);
    snprintf(name, sizeof name, "%sctrl.txt", prefix);
    g.controls = read_entry(pack, name, nullptr);
    g.tipCount = 0;
    for (int i = 1; i <= vok::kMaxTips; i++) {
        snprintf(name, sizeof name, "%stip%d.txt", prefix, i);
        const char *tip = read_entry(pack, name, nullptr);
        if (tip == nullptr)
            break;
        g.tips[g.tipCount++] = tip;
    }
    snprintf(name, sizeof name, "%sdemo.txt", prefix);
    size_t length = 0;
    if (char *demo = read_entry(pack, name, &length)) {
        parse_demo(demo, length, t.scripts[game]);
        g.demo = t.scripts[game].steps;
    }
}

}  // namespace

namespace vok {

const char *text(int n)
{
    return n >= 0 && n < kLineCount ? texts().lines[n] : nullptr;
}

const char *special_text(int which)
{
    return which >= 0 && which < kSpecialCount ? texts().special[which] : nullptr;
}

const GameTexts *game_texts(int game)
{
    return game >= 0 && game < VOK_GAME_COUNT ? &texts().games[game] : nullptr;
}

const char *field_name(int list, int index)
{
    if (list < 0 || list >= kFieldLists)
        return nullptr;
    const FieldList &l = texts().fields[list];
    return index >= 0 && index < l.count ? l.names[index] : nullptr;
}

int field_count(int list)
{
    return list >= 0 && list < kFieldLists ? texts().fields[list].count : 0;
}

int field_capacity(int list)
{
    return list >= 0 && list < kFieldLists ? kFieldCapacity[list] : 0;
}

const char *field_prefix(int list)
{
    return list >= 0 && list < kFieldLists ? kFieldPrefixes[list] : nullptr;
}

int key_code(int index)
{
    return index >= 0 && index < kKeyNameCount ? key_codes().codes[index] : -1;
}

const char *key_name(int code)
{
    for (int i = 0; i < kKeyNameCount; i++)
        if (key_codes().codes[i] == code)
            return texts().keyNames[i];
    return nullptr;
}

size_t format_text(char *out, size_t size, const char *format, std::initializer_list<const char *> args)
{
    if (out == nullptr || size == 0)
        return 0;
    size_t n = 0;
    auto put = [&](char c) {
        if (n + 1 < size)
            out[n++] = c;
    };
    auto next = args.begin();
    for (const char *p = format != nullptr ? format : ""; *p != '\0'; p++) {
        if (*p == '%' && (p[1] == 's' || p[1] == 'd')) {
            const char *arg = next != args.end() ? *next++ : nullptr;
            for (const char *a = arg != nullptr ? arg : ""; *a != '\0'; a++)
                put(*a);
            p++;
        } else if (*p == '%' && p[1] == '%') {
            put('%');
            p++;
        } else {
            put(*p);
        }
    }
    out[n] = '\0';
    return n;
}

}  // namespace vok

VOK_EXPORT int VokLoadTextFiles(void)
{
    VokFreeTextFiles();
    FFPACKHANDLE *previous = FFGetCurrentPack();
    FFPACKHANDLE *pack = FFOpenPack(VokMakeLangPath("Data\\", "mnutext"), 0);
    if (pack == nullptr)
        return 0;
    TextState &t = texts();
    t.block.reset(new (std::nothrow) char[vok::kTextBlockSize]);
    if (!t.block) {
        FFClosePack(pack);
        FFSetCurrentPack(previous);
        return 0;
    }
    size_t length = 0;
    char *mnutext = read_entry(pack, "mnutext.txt", &length);
    if (mnutext != nullptr)
        parse_mnutext(mnutext, length);
    if (char *keys = read_entry(pack, "keys.txt", nullptr))
        parse_keys(keys);
    if (char *fields = read_entry(pack, "fwfields.txt", nullptr))
        parse_fields(fields);
    for (int i = 0; i < vok::kSpecialCount; i++)
        t.special[i] = read_entry(pack, kSpecialFiles[i], nullptr);
    for (int g = 0; g < VOK_GAME_COUNT; g++)
        load_game_texts(pack, g);
    FFClosePack(pack);
    FFSetCurrentPack(previous);
    return mnutext != nullptr ? 1 : 0;
}

VOK_EXPORT void VokFreeTextFiles(void)
{
    texts() = TextState();
}

// The message table and its dictionary files, the error log and the reports.
#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "internal.h"
#include "terrow/trmodule.h"
#include "terrow/trmsg.h"
#include "vokplat/stdio.h"
#include "win32/winfile.h"

namespace {

const char *const kDefaults[TR_MESSAGE_COUNT] = {
    "You have unsaved changes,\nsave them?",
    "Help: F1",
    "No balls to start !",
    "Place a Start Position first!",
    "", "", "", "", "", "", "",
    "Only suitable corner allowed!",
    "Disk Error!\nCannot save file",
    "Disk Error!\nActual Position\nCannot be saved",
    "No space for it!",
    "Requires start position!",
    "Forbidden!",
    "It is only for balls!",
    "Iron Ball",
    "Plastic Ball",
    "Bomb",
    "Rubber Ball",
    "Block",
    "Start Position",
    "Corner",
    "Slope",
    "Magnet",
    "Nailed Block",
    "Goal",
    "Set ball direction!",
    "%s NOT available!",
    "Challenge",
    "Easy",
    "Standard",
    "Hard",
    "Extra Hard",
    "Save level",
    "Load level",
    "Set direction for all balls!",
    "Are you sure?",
    "Cannot create save file",
    "Ball layout set to middle",
    "Ball layout set to top",
    "Ball layout set to bottom",
    "Start place layout set to bottom",
    "Start place layout set to top",
    "Camera position saved",
    "Test successful",
    "This level is now playable",
    "%d Balls Needed",
    "One Ball Needed",
    "Get 1 ball to exit",
    "Get %d balls to exit",
    "Secret mode level,               \nsupplied components removed",
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
};
static_assert(sizeof kDefaults / sizeof kDefaults[0] == TR_MESSAGE_COUNT);

// Entries replaced from a dictionary are heap copies owned here; the rest point at the defaults.
const char *TrMessageTable[TR_MESSAGE_COUNT] = {};
bool g_owned[TR_MESSAGE_COUNT] = {};

char g_log[TR_LOG_SIZE];
size_t g_logUsed = 0;

TrBoxHook g_boxHook = nullptr;

// Characters an entry collects (the buffer holds its terminator too).
constexpr size_t kCollect = TR_DICT_BUFFER - 1;

const char *entry(int id)
{
    return TrMessageTable[id] != nullptr ? TrMessageTable[id] : kDefaults[id];
}

void set_entry(int id, char *text)
{
    if (g_owned[id])
        free(const_cast<char *>(TrMessageTable[id]));
    TrMessageTable[id] = text;
    g_owned[id] = text != nullptr;
}

// The printf conversions of a text, each as its length modifiers and conversion letter ("s", "d",
// "ld"); false for a conversion that takes further arguments or cannot be read (*, $, %n, a lone %)
// or whose width and precision run past three digits.
bool conversions(const char *text, std::string &out)
{
    out.clear();
    for (const char *p = text; *p != '\0'; p++) {
        if (*p != '%')
            continue;
        p++;
        if (*p == '%')
            continue;
        while (*p != '\0' && strchr("-+ #0", *p) != nullptr)
            p++;
        // Widths and precisions stay small: a huge one would make the formatter pad or allocate
        // far beyond any box.
        int digits = 0;
        for (; isdigit((unsigned char)*p) || *p == '.'; p++)
            if (isdigit((unsigned char)*p) && ++digits > 3)
                return false;
        std::string conv;
        while (*p != '\0' && strchr("hlLqjzt", *p) != nullptr)
            conv += *p++;
        if (*p == '\0' || *p == '*' || *p == '$' || *p == 'n' || !isalpha((unsigned char)*p))
            return false;
        conv += *p;
        out += conv;
        out += ',';
    }
    return true;
}

// A translation must take the same arguments as the text it replaces.
bool fits_default(int id, const char *text)
{
    std::string want, got;
    conversions(kDefaults[id], want);
    return conversions(text, got) && got == want;
}

// Closes the open entry: its collected text becomes the table entry when it fits the default.
void close_entry(int id, const std::string &text)
{
    if (!fits_default(id, text.c_str())) {
        char note[80];
        snprintf(note, sizeof note, "dictionary entry #%d refused: conversions differ", id);
        TrLog(note);
        return;
    }
    char *copy = strdup(text.c_str());
    if (copy == nullptr)
        TrFatal("malloc() failed");
    set_entry(id, copy);
}

void vreport(bool flag, const char *format, va_list args)
{
    char text[TR_REPORT_SIZE];
    vsnprintf(text, sizeof text, format, args);
    if (flag)
        TrGetModule()->warning = 1;
    TrLog(text);
    TrMessageBox(text, TR_MB_OK | TR_MB_EXCLAMATION);
}

__attribute__((noreturn)) void end_process(const char *text)
{
    TrGetModule()->warning = 1;
    TrLog(text);
    fprintf(stderr, "Terrow: %s\n", text);
    exit(-1);
}

}  // namespace

namespace tr {

void read_dictionary(FILE *f)
{
    int open = -1;  // the entry being collected
    bool first = true;
    std::string text;
    char *line = nullptr;
    size_t room = 0;
    ssize_t n;
    while ((n = getline(&line, &room, f)) >= 0) {
        // Only the line end goes: a last line without one keeps all of its characters.
        while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r'))
            line[--n] = '\0';
        if (line[0] == '#') {
            if (open >= 0)
                close_entry(open, text);
            text.clear();
            char *end;
            long id = strtol(line + 1, &end, 10);
            open = end != line + 1 && id >= 0 && id < TR_MESSAGE_COUNT ? int(id) : -1;
            first = true;
            continue;
        }
        if (open < 0)
            continue;
        if (!first && text.size() < kCollect)
            text += '\n';
        first = false;
        // The collecting buffer holds 4095 characters; the rest of an entry is dropped.
        if (text.size() < kCollect)
            text.append(line, std::min(size_t(n), kCollect - text.size()));
    }
    if (open >= 0)
        close_entry(open, text);
    free(line);
}

}  // namespace tr

extern "C" {

const char *TrMessage(int32_t id)
{
    return id >= 0 && id < TR_MESSAGE_COUNT ? entry(id) : "";
}

void TrResetMessages(void)
{
    for (int i = 0; i < TR_MESSAGE_COUNT; i++)
        set_entry(i, nullptr);
}

int32_t TrLoadDictionary(const char *path)
{
    FILE *f = path != nullptr ? PlatFopen(path, "rb") : nullptr;
    if (f == nullptr)
        return 0;
    tr::read_dictionary(f);
    fclose(f);
    return 1;
}

int32_t TrLoadLanguage(int32_t language)
{
    if (language == 2)
        return TrLoadDictionary("ge.dic");
    if (language == 3)
        return TrLoadDictionary("fr.dic");
    return 0;
}

int TrLog(const char *text)
{
    size_t len = strlen(text);
    if (g_logUsed + len + 2 <= sizeof g_log) {
        memcpy(g_log + g_logUsed, text, len);
        g_logUsed += len;
        g_log[g_logUsed++] = '\n';
        g_log[g_logUsed] = '\0';
    }
    return 0;
}

const char *TrErrorLog(void)
{
    return g_log;
}

void TrClearErrorLog(void)
{
    g_logUsed = 0;
    g_log[0] = '\0';
}

void TrWarning(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vreport(true, format, args);
    va_end(args);
}

void TrWarningNoFlag(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vreport(false, format, args);
    va_end(args);
}

void TrFatal(const char *format, ...)
{
    char text[TR_REPORT_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    end_process(text);
}

void TrFatalCwd(const char *format, ...)
{
    char message[TR_REPORT_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    char cwd[260] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    char text[TR_REPORT_SIZE + 360];
    snprintf(text, sizeof text,
             "%s\n------------------------------------------------------------------------\n[CWD: %s]", message, cwd);
    end_process(text);
}

int TrMessageBox(const char *text, unsigned type)
{
    if (g_boxHook != nullptr)
        return g_boxHook(text, type);
    return tr::framework_box(text, type);
}

void TrSetBoxHook(TrBoxHook hook)
{
    g_boxHook = hook;
}

}  // extern "C"

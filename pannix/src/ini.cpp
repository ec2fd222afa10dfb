// Settings tables in text files and profile sections, and the line tokenizer.
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <string>

#include "ini.h"
#include "pannix/pxbase.h"
#include "pxstate.h"
#include "vokplat/export.h"
#include "vokplat/savefile.h"
#include "vokplat/stdio.h"
#include "win32/winreg.h"

namespace {

constexpr size_t kLineSize = 1024;
const char kSection[] = "Settings";

bool skipped(char c)
{
    return c == ',' || c == ' ' || c == '\t';
}

bool ends_token(char c)
{
    return skipped(c) || c == ':' || c == ';' || c == '\n';
}

// The token at `line` (separators skipped, ended by a zero byte) and where the next one is looked
// for. A token that runs to the end of the text leaves `next` on the terminator, never past it.
char *next_token(char *line, char **next)
{
    while (skipped(*line))
        line++;
    char *end = line;
    while (*end != '\0' && !ends_token(*end))
        end++;
    bool at_end = *end == '\0';
    *end = '\0';
    *next = at_end ? end : end + 1;
    return end == line ? nullptr : line;
}

bool is_trimmed(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Copies `text` into a buffer of `size` bytes (0: unbounded), always terminated.
void copy_text(char *out, const char *text, size_t length, int32_t size)
{
    if (size > 0 && length > size_t(size) - 1)
        length = size_t(size) - 1;
    memcpy(out, text, length);
    out[length] = '\0';
}

const INIENTRY *find_entry(const INIENTRY *table, int32_t count, const char *key)
{
    for (int32_t i = 0; i < count; i++)
        if (table[i].name != nullptr && strcasecmp(table[i].name, key) == 0)
            return &table[i];
    return nullptr;
}

void load_line(char *line, INIENTRY *table, int32_t count)
{
    char *rest;
    char *key = next_token(line, &rest);
    if (key == nullptr)
        return;
    const INIENTRY *entry = find_entry(table, count, key);
    if (entry == nullptr || entry->value == nullptr)
        return;
    int32_t n = entry->count > 0 ? entry->count : 1;
    switch (entry->type) {
    case INI_INT:
        for (int32_t i = 0; i < n && rest != nullptr; i++)
            rest = IniGetInt(rest, (int32_t *)entry->value + i);
        break;
    case INI_FLOAT:
        for (int32_t i = 0; i < n && rest != nullptr; i++)
            rest = IniGetFloat(rest, (float *)entry->value + i);
        break;
    case INI_TEXT: {
        while (is_trimmed(*rest))
            rest++;
        size_t length = strlen(rest);
        while (length > 0 && is_trimmed(rest[length - 1]))
            length--;
        copy_text((char *)entry->value, rest, length, entry->count);
        break;
    }
    default:
        break;
    }
}

// Appends printf-formatted text to `out`.
__attribute__((format(printf, 2, 3))) void append(std::string &out, const char *format, ...)
{
    va_list ap, again;
    va_start(ap, format);
    va_copy(again, ap);
    int n = vsnprintf(nullptr, 0, format, ap);
    va_end(ap);
    if (n > 0) {
        size_t at = out.size();
        out.resize(at + size_t(n) + 1);
        vsnprintf(&out[at], size_t(n) + 1, format, again);
        out.resize(at + size_t(n));
    }
    va_end(again);
}

void save_entry(std::string &out, const INIENTRY &e)
{
    int32_t n = e.count > 0 ? e.count : 1;
    if (e.type == INI_INT) {
        const auto *v = (const int32_t *)e.value;
        append(out, "%s:\t%d", e.name, v[0]);
        for (int32_t i = 1; i < n; i++)
            append(out, ", %d", v[i]);
        out += '\n';
    } else if (e.type == INI_FLOAT) {
        const auto *v = (const float *)e.value;
        append(out, "%s:\t%f", e.name, double(v[0]));
        for (int32_t i = 1; i < n; i++)
            append(out, ", %f", double(v[i]));
        out += '\n';
    } else if (e.type == INI_TEXT) {
        // A text fills at most its buffer, terminated or not.
        const auto *text = (const char *)e.value;
        size_t length = e.count > 0 ? strnlen(text, size_t(e.count)) : strlen(text);
        append(out, "%s:\t%.*s\n", e.name, int(std::min<size_t>(length, INT_MAX)), text);
    }
}

// A save that failed while its bytes went out (disk full, an I/O error) rather than because the file
// could not be made at all.
bool failed_writing(DWORD error)
{
    return error == ERROR_DISK_FULL || error == ERROR_INVALID_FUNCTION;
}

}  // namespace

VOK_EXPORT char *IniNextToken(char *line)
{
    if (line == nullptr)
        return nullptr;
    char *next;
    return next_token(line, &next);
}

VOK_EXPORT char *IniGetWord(char *line, char *buffer, size_t size)
{
    if (line == nullptr)
        return nullptr;
    char *next;
    char *token = next_token(line, &next);
    if (token == nullptr)
        return nullptr;
    if (buffer != nullptr && size > 0) {
        size_t length = std::min(strlen(token), size - 1);
        memcpy(buffer, token, length);
        buffer[length] = '\0';
    }
    return next;
}

VOK_EXPORT char *IniGetInt(char *line, int32_t *value)
{
    if (line == nullptr)
        return nullptr;
    char *next;
    char *token = next_token(line, &next);
    if (token == nullptr)
        return nullptr;
    *value = atoi(token);
    return next;
}

VOK_EXPORT char *IniGetFloat(char *line, float *value)
{
    if (line == nullptr)
        return nullptr;
    char *next;
    char *token = next_token(line, &next);
    if (token == nullptr)
        return nullptr;
    *value = float(atof(token));
    return next;
}

namespace px {

void ini_load_stream(FILE *f, INIENTRY *table, int32_t count)
{
    char line[kLineSize];
    while (fgets(line, sizeof line, f) != nullptr)
        if (table != nullptr)
            load_line(line, table, count);
}

}  // namespace px

VOK_EXPORT int LoadIni(const char *file, INIENTRY *table, int32_t count)
{
    FILE *f = file ? PlatFopen(file, "rt") : nullptr;
    if (f == nullptr)
        return 0;
    px::ini_load_stream(f, table, count);
    fclose(f);
    return 1;
}

VOK_EXPORT int SaveIni(const char *file, const INIENTRY *table, int32_t count)
{
    if (file == nullptr)
        return 0;
    std::string text;
    for (int32_t i = 0; table != nullptr && i < count; i++)
        if (table[i].name != nullptr && table[i].value != nullptr)
            save_entry(text, table[i]);
    // Replaced whole: a failed save leaves the old file, a read-only one is refused.
    if (!PlatSaveFile(file, text.data(), text.size()))
        return SetLastMsgError(failed_writing(GetLastError()) ? PXERR_WRITE : PXERR_CREATE, file);
    return 1;
}

VOK_EXPORT int LoadIniW(const char *file, INIENTRY *table, int32_t count)
{
    if (file == nullptr || table == nullptr || count < 1)
        return 0;
    for (int32_t i = 0; i < count; i++) {
        const INIENTRY &e = table[i];
        if (e.name == nullptr || e.value == nullptr)
            continue;
        char text[kLineSize];
        if (e.type == INI_INT) {
            GetPrivateProfileStringA(kSection, e.name, "0", text, sizeof text, file);
            *(int32_t *)e.value = atoi(text);
        } else if (e.type == INI_TEXT) {
            GetPrivateProfileStringA(kSection, e.name, "0", text, sizeof text, file);
            copy_text((char *)e.value, text, strlen(text), e.count);
        }
    }
    return 0;
}

VOK_EXPORT int SaveIniW(const char *file, const INIENTRY *table, int32_t count)
{
    if (file == nullptr || table == nullptr || count < 1)
        return 0;
    for (int32_t i = 0; i < count; i++) {
        const INIENTRY &e = table[i];
        if (e.name == nullptr || e.value == nullptr)
            continue;
        if (e.type == INI_INT) {
            char text[16];
            snprintf(text, sizeof text, "%d", *(const int32_t *)e.value);
            WritePrivateProfileStringA(kSection, e.name, text, file);
        } else if (e.type == INI_TEXT) {
            WritePrivateProfileStringA(kSection, e.name, (const char *)e.value, file);
        }
    }
    return 0;
}

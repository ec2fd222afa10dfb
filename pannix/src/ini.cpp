// Settings tables in text files and profile sections, and the line tokenizer.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "ini.h"
#include "pannix/pxbase.h"
#include "pxstate.h"
#include "vokplat/export.h"
#include "vokplat/paths.h"
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

void save_entry(FILE *f, const INIENTRY &e)
{
    int32_t n = e.count > 0 ? e.count : 1;
    if (e.type == INI_INT) {
        const auto *v = (const int32_t *)e.value;
        fprintf(f, "%s:\t%d", e.name, v[0]);
        for (int32_t i = 1; i < n; i++)
            fprintf(f, ", %d", v[i]);
        fputc('\n', f);
    } else if (e.type == INI_FLOAT) {
        const auto *v = (const float *)e.value;
        fprintf(f, "%s:\t%f", e.name, double(v[0]));
        for (int32_t i = 1; i < n; i++)
            fprintf(f, ", %f", double(v[i]));
        fputc('\n', f);
    } else if (e.type == INI_TEXT) {
        fprintf(f, "%s:\t%s\n", e.name, (const char *)e.value);
    }
}

// A file replaced whole: written to a temporary file of its own beside it, then renamed over it, so
// a failed save keeps the old file and two writers never share a temporary. A link is followed to
// the file it names; a read-only file is refused as opening it for writing would be; the new file
// keeps the old one's mode.
class Replacement {
public:
    FILE *stream = nullptr;

    ~Replacement()
    {
        if (stream != nullptr) {
            fclose(stream);
            unlink(temp_.c_str());
        }
    }

    bool open(const char *host)
    {
        char real[PATH_MAX];
        struct stat st;
        bool exists = stat(host, &st) == 0;
        if (exists && (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) == 0))
            return false;
        target_ = exists && realpath(host, real) != nullptr ? real : host;
        static std::atomic<unsigned> serial{0};
        int fd = -1;
        for (int attempt = 0; fd < 0 && attempt < 100; attempt++) {
            temp_ = target_ + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(serial++);
            fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST)
                return false;
        }
        if (fd < 0)
            return false;
        if ((exists && fchmod(fd, st.st_mode & 07777) != 0) || (stream = fdopen(fd, "w")) == nullptr) {
            close(fd);
            unlink(temp_.c_str());
            return false;
        }
        return true;
    }

    // Flushes and renames over the target; on any failure the temporary goes and the target stays.
    bool commit()
    {
        bool ok = fflush(stream) == 0 && !ferror(stream) && fsync(fileno(stream)) == 0;
        ok = fclose(stream) == 0 && ok;
        stream = nullptr;
        if (!ok || rename(temp_.c_str(), target_.c_str()) != 0) {
            unlink(temp_.c_str());
            return false;
        }
        return true;
    }

private:
    std::string target_, temp_;
};

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
    char host[4096];
    Replacement r;
    if (PlatResolvePath(file, host, sizeof host) == 0 || !r.open(host))
        return SetLastMsgError(PXERR_CREATE, file);
    for (int32_t i = 0; table != nullptr && i < count; i++)
        if (table[i].name != nullptr && table[i].value != nullptr)
            save_entry(r.stream, table[i]);
    if (!r.commit())
        return SetLastMsgError(PXERR_WRITE, file);
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

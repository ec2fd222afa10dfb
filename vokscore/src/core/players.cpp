// players.lst in the read root: line 1 the last player with the Kelpa speed digit ("%c<%-16s>"),
// then one known player name a line. The file is always rewritten whole, so a long name never runs
// over the next line.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "state.h"
#include "vokscore/vokiface.h"

namespace {

constexpr size_t kLineMax = 255;

// The lines of the file, each cut at its first '\r' or '\n' and to 255 characters.
vok::Load read_lines(const char *path, std::vector<std::string> &lines)
{
    std::string data;
    vok::Load result = vok::load_file_status(path, data);
    if (result != vok::Load::kRead)
        return result;
    size_t at = 0;
    while (at < data.size()) {
        size_t eol = data.find('\n', at);
        if (eol == std::string::npos)
            eol = data.size();
        std::string line = data.substr(at, eol - at);
        size_t cut = line.find_first_of("\r\n");
        if (cut != std::string::npos)
            line.resize(cut);
        if (line.size() > kLineMax)
            line.resize(kLineMax);
        lines.push_back(line);
        at = eol + 1;
    }
    return vok::Load::kRead;
}

bool read_lines(std::vector<std::string> &lines)
{
    char path[VOK_PATH_SIZE];
    return vok::root_file(path, sizeof path, "players.lst") && read_lines(path, lines) == vok::Load::kRead;
}

// A name as the name buffer holds it: at most 31 characters, ending before any line break.
std::string clean_name(const char *name)
{
    std::string s;
    for (const char *p = name; *p != '\0' && *p != '\r' && *p != '\n' && s.size() < VOK_NAME_SIZE - 1; p++)
        s += *p;
    return s;
}

// Kelpa's speeds are 0..8; its tables have nine columns.
constexpr int kKelpaSpeeds = 9;

KpSettings &kelpa()
{
    return *static_cast<KpSettings *>(vok::own_block(3));
}

}  // namespace

VOK_EXPORT int VokSetPlayerName(const char *name)
{
    if (name == nullptr)
        return 0;
    std::string player = clean_name(name);
    char path[VOK_PATH_SIZE];
    if (!vok::root_file(path, sizeof path, "players.lst"))
        return 0;
    // Other processes add their players to the same file: the read, the change and the write are one
    // step for them. A file that is there but cannot be read is left as it is, and the call fails.
    vok::UpdateLock lock(path);
    std::vector<std::string> lines;
    if (!lock.held() || read_lines(path, lines) == vok::Load::kFailed)
        return 0;
    int speed = kelpa().speed;
    char first[VOK_NAME_SIZE + 8];
    char digit = speed >= 0 && speed < kKelpaSpeeds ? char('0' + speed) : '2';
    snprintf(first, sizeof first, "%c<%-16s>\n", digit, player.c_str());
    std::string out = first;
    bool known = player.empty();
    for (size_t i = 1; i < lines.size(); i++) {
        if (lines[i].empty())
            continue;
        known = known || lines[i] == player;
        out += lines[i];
        out += '\n';
    }
    if (!known)
        out += player + "\n";
    if (!vok::save_file(path, out.data(), out.size()))
        return 0;
    memcpy(vok::state().playerName, player.c_str(), player.size() + 1);
    return 1;
}

VOK_EXPORT char *VokGetPlayerName(char *buffer)
{
    char *name = vok::state().playerName;
    name[0] = '\0';
    std::vector<std::string> lines;
    if (read_lines(lines) && !lines.empty() && !lines[0].empty()) {
        const std::string &line = lines[0];
        if (line[0] >= '0' && line[0] < '0' + kKelpaSpeeds)
            kelpa().speed = line[0] - '0';
        size_t gt = line.rfind('>');
        if (gt != std::string::npos && gt >= 2) {
            size_t end = gt;
            while (end > 2 && line[end - 1] == ' ')
                end--;
            size_t n = end - 2;
            if (n > VOK_NAME_SIZE - 1)
                n = VOK_NAME_SIZE - 1;
            memcpy(name, line.data() + 2, n);
            name[n] = '\0';
        }
    }
    if (buffer != nullptr)
        memcpy(buffer, name, strlen(name) + 1);
    return buffer;
}

VOK_EXPORT int VokReadPlayerNames(char *table, int slotSize, int count)
{
    if (table == nullptr || slotSize < 1 || count < 1)
        return 0;
    std::vector<std::string> lines;
    if (!read_lines(lines))
        return 0;
    int stored = 0;
    for (size_t i = 1; i < lines.size() && stored < count; i++) {
        if (lines[i].empty())
            continue;
        size_t n = lines[i].size();
        if (n > size_t(slotSize) - 1)
            n = size_t(slotSize) - 1;
        char *slot = table + size_t(stored) * size_t(slotSize);
        memcpy(slot, lines[i].data(), n);
        slot[n] = '\0';
        stored++;
    }
    return stored;
}

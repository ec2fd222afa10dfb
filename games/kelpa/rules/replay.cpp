// Recordings of a played level and the replay files made of them. Every file lies in one folder;
// names built from players' names are made safe first, and only plain "kp_*.rep" names are deleted.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "kelpa/kprules.h"
#include "vokplat/savefile.h"
#include "vokplat/stdio.h"
#include "win32/windows.h"

namespace {

bool readWhole(const std::string &path, std::vector<uint8_t> &out, size_t limit)
{
    out.clear();
    FILE *f = PlatFopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    uint8_t chunk[65536];
    size_t got;
    bool ok = true;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) {
        if (out.size() + got > limit) {
            ok = false;
            break;
        }
        out.insert(out.end(), chunk, chunk + got);
    }
    ok = ok && ferror(f) == 0;
    fclose(f);
    return ok;
}

bool exists(const std::string &path)
{
    FILE *f = PlatFopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    fclose(f);
    return true;
}

void put32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int k = 0; k < 4; k++)
        out.push_back(uint8_t(v >> (8 * k)));
}

uint32_t get32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string format(const char *fmt, const char *s, int a = 0, int b = 0)
{
    char name[128];
    snprintf(name, sizeof name, fmt, s, a, b);
    return name;
}

// A name the table of best times handed back may only name a replay in the folder itself.
bool plainReplayName(const char *name)
{
    const size_t n = name != nullptr ? strlen(name) : 0;
    if (n < 8 || n > 100 || strncmp(name, "kp_", 3) != 0 || strcmp(name + n - 4, ".rep") != 0)
        return false;
    for (size_t i = 0; i < n; i++) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == '/' || c == '\\' || c == ':')
            return false;
    }
    return strstr(name, "..") == nullptr;
}

}  // namespace

void KpSafeName(const char *name, char out[12])
{
    memset(out, 0, 12);
    int n = 0;
    for (const char *p = name != nullptr ? name : ""; *p != '\0' && n < 11; p++, n++) {
        const unsigned char c = static_cast<unsigned char>(*p);
        const bool bad = c < 0x20 || c == 0x7F || strchr("/\\:*?\"<>|", c) != nullptr || (n == 0 && c == '.');
        out[n] = bad ? '_' : char(c);
    }
    if (n == 0)
        out[0] = '_';
}

std::string KpReplayPath(const KpReplayFiles &f, const char *name)
{
    return std::string(f.folder) + name;
}

void KpReplaySetPlayer(KpReplayFiles &f, const char *name)
{
    KpSafeName(name, f.player);
    memset(f.shownPlayer, 0, sizeof f.shownPlayer);
    if (name != nullptr)
        strncpy(f.shownPlayer, name, 11);
}

bool KpReplayBegin(KpReplayFiles &f, const int32_t header[kKpHeaderWords], const int32_t board[kKpCells])
{
    if (f.trialFile != nullptr)
        fclose(f.trialFile);
    f.trialFile = PlatFopen(KpReplayPath(f, format("proba_%s.re", f.player).c_str()).c_str(), "w+b");
    f.framesWritten = 0;
    f.recordingOn = 0;
    if (f.trialFile == nullptr)
        return false;
    std::vector<uint8_t> head(f.shownPlayer, f.shownPlayer + 12);
    for (int i = 0; i < kKpHeaderWords; i++)
        put32(head, uint32_t(header[i]));
    for (int i = 0; i < kKpCells; i++)
        put32(head, uint32_t(board[i]));
    if (fwrite(head.data(), 1, head.size(), f.trialFile) != head.size()) {
        fclose(f.trialFile);
        f.trialFile = nullptr;
        return false;
    }
    f.recordingOn = 1;
    return true;
}

bool KpReplayFrameWrite(KpReplayFiles &f, const uint8_t frame[5], bool overwrite)
{
    if (!f.recordingOn || f.trialFile == nullptr)
        return false;
    // Nothing before the first frame is a frame: an overwrite then is a plain write.
    if (overwrite && f.framesWritten > 0) {
        if (fseek(f.trialFile, -5, SEEK_CUR) != 0)
            return false;
        f.framesWritten--;
    }
    const bool ok = fwrite(frame, 1, 5, f.trialFile) == 5;
    f.framesWritten += ok;
    f.writeFailed |= !ok;
    return ok;
}

void KpReplayWormWrite(KpReplayFiles &f, const uint8_t row[5], bool first)
{
    if (!f.recordingOn)
        return;
    if (first) {
        // The level's first worm row comes at its set-up, before anything else is recorded.
        if (f.wormFile != nullptr)
            fclose(f.wormFile);
        f.writeFailed = 0;
        f.wormTooLong = 0;
        f.wormRowsWritten = 0;
        f.wormFile = PlatFopen(KpReplayPath(f, format("worm_%s.re", f.player).c_str()).c_str(), "wb");
    }
    if (f.wormFile == nullptr)
        f.writeFailed = 1;
    // A replay's worm section holds at most kKpWormBytes - 1 bytes of rows (its last byte comes
    // twice): a level with more worms than that makes no replay, as the reader would refuse it.
    else if (f.wormRowsWritten >= kKpMaxWormRows)
        f.wormTooLong = 1;
    else if (fwrite(row, 1, 5, f.wormFile) != 5)
        f.writeFailed = 1;
    else
        f.wormRowsWritten++;
}

void KpReplayClose(KpReplayFiles &f)
{
    // Buffered bytes reach the disk only here: a failed close is a lost recording.
    if (f.wormFile != nullptr && fclose(f.wormFile) != 0)
        f.writeFailed = 1;
    if (f.trialFile != nullptr && fclose(f.trialFile) != 0)
        f.writeFailed = 1;
    f.wormFile = f.trialFile = nullptr;
}

std::string KpReplayCode(uint32_t sum)
{
    std::string code;
    while (sum > 25) {
        code += char('A' + sum % 26);
        sum /= 26;
    }
    code += char('A' + sum);
    return code;
}

std::string KpReplayName(const KpReplayFiles &f)
{
    char name[96];
    if (f.gameKind == 100)
        snprintf(name, sizeof name, "kp_%s_%i_%i.rep", f.player, f.levelFamily, f.levelNumber);
    else
        snprintf(name, sizeof name, "kp_%i_%i.rep", f.levelFamily, f.levelNumber);
    return name;
}

int KpReplayAssemble(KpReplayFiles &f, bool fromTick, uint32_t *sumOut)
{
    if (sumOut != nullptr)
        *sumOut = 0;
    if (!f.recordingOn)
        return 1;
    KpReplayClose(f);
    const std::string out = KpReplayPath(f, KpReplayName(f).c_str());
    if (fromTick && f.gameKind == 100 && exists(out))
        return 0;
    if (f.writeFailed || f.wormTooLong)
        return 0;
    std::vector<uint8_t> worm, trial;
    // A worm section the reader would refuse (N + 1 above kKpWormBytes) makes no replay.
    const std::string wormPath = KpReplayPath(f, format("worm_%s.re", f.player).c_str());
    if (!readWhole(wormPath, worm, kKpWormBytes - 1) && exists(wormPath))
        return 0;
    if (!readWhole(KpReplayPath(f, format("proba_%s.re", f.player).c_str()), trial, size_t(1) << 30))
        return 0;
    std::vector<uint8_t> rep;
    rep.reserve(4 + worm.size() + 1 + trial.size() + 5);
    put32(rep, uint32_t(worm.size()));
    rep.insert(rep.end(), worm.begin(), worm.end());
    // The copy loop writes the last byte twice (a 0 when there was none).
    rep.push_back(worm.empty() ? 0 : worm.back());
    // The trial file in 5-byte pieces; a short last piece keeps the bytes of the one before.
    uint8_t piece[5] = {};
    uint32_t sum = 0;
    size_t at = 0;
    for (;;) {
        const size_t got = trial.size() - at < 5 ? trial.size() - at : 5;
        memcpy(piece, trial.data() + at, got);
        at += got;
        if (got == 0 && trial.empty())
            break;
        sum += get32(piece) + piece[4];
        rep.insert(rep.end(), piece, piece + 5);
        if (got < 5)
            break;
    }
    if (sumOut != nullptr)
        *sumOut = sum;
    return PlatSaveFile(out.c_str(), rep.data(), rep.size()) ? 1 : 0;
}

void KpReplayKeep(KpReplayFiles &f, bool placed, uint32_t sum, const char *pushedOut, std::string *codeName)
{
    const std::string own = KpReplayPath(f, KpReplayName(f).c_str());
    if (placed) {
        const std::string name = "kp_" + KpReplayCode(sum) + ".rep";
        if (plainReplayName(pushedOut))
            DeleteFileA(KpReplayPath(f, pushedOut).c_str());
        if (codeName != nullptr)
            *codeName = name;
        CopyFileA(own.c_str(), KpReplayPath(f, name.c_str()).c_str(), FALSE);
    }
    const std::string last = KpReplayPath(f, format("kp_%s_last.rep", f.player).c_str());
    // The old last replay goes only once the new one has taken its name.
    const std::string kept = last + ".old";
    DeleteFileA(kept.c_str());
    const bool hadLast = MoveFileA(last.c_str(), kept.c_str()) != FALSE;
    if (MoveFileA(own.c_str(), last.c_str())) {
        if (hadLast)
            DeleteFileA(kept.c_str());
    } else if (hadLast) {
        MoveFileA(kept.c_str(), last.c_str());
    }
}

bool KpReplayOpen(KpReplayFiles &f, const char *path)
{
    KpReplayClose(f);
    std::vector<uint8_t> data;
    if (path == nullptr || !readWhole(path, data, size_t(64) << 20))
        data.clear();
    return KpReplayParse(f, data.data(), data.size());
}

bool KpReplayParse(KpReplayFiles &f, const uint8_t *bytes, size_t size)
{
    f.frames.clear();
    f.frameCursor = 0;
    f.wormBytes = f.wormRowIndex = 0;
    if (bytes == nullptr || size < 4)
        return false;
    const std::vector<uint8_t> data(bytes, bytes + size);
    const uint64_t n = get32(data.data());
    // u32 N, N + 1 worm bytes, the trial header, the frames, two closing bytes.
    if (n + 1 > uint64_t(kKpWormBytes) || data.size() < 4 + n + 1 + kKpTrialHeader + 2)
        return false;
    const uint8_t *trial = data.data() + 4 + n + 1;
    KpLevelFile level;
    if (!KpDecodeLevel(trial + 12, kKpLevelBytes, level, false))
        return false;
    f.level = level;
    memcpy(f.wormRows, data.data() + 4, size_t(n + 1));
    f.wormBytes = int32_t(n + 1);
    memcpy(f.replayPlayer, trial, 12);
    f.replayPlayer[11] = '\0';
    const size_t frameBytes = (data.size() - (4 + n + 1 + kKpTrialHeader + 2)) / 5 * 5;
    f.frames.assign(trial + kKpTrialHeader, trial + kKpTrialHeader + frameBytes);
    memset(f.readFrame, 0, sizeof f.readFrame);
    f.wormRowIndex = 1;
    return true;
}

bool KpReplayNextFrame(KpReplayFiles &f)
{
    if (f.frameCursor + 5 > f.frames.size())
        return false;
    memcpy(f.readFrame, f.frames.data() + f.frameCursor, 5);
    f.frameCursor += 5;
    return true;
}

bool KpReplayNextWormRow(KpReplayFiles &f, uint8_t row[5])
{
    const int at = f.wormRowIndex * 5;
    if (at + 5 > f.wormBytes)
        return false;
    memcpy(row, f.wormRows + at, 5);
    f.wormRowIndex++;
    return true;
}

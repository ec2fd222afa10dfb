// A level played headless from a seed and a list of key events, as the tests and `kplevel play` do.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kelpa/kprules.h"

namespace {

// The generator every set-up reseeds with the level's seed.
struct PlayHost : KpSeededHost {
    uint32_t fixed = 1;
    void seed(uint32_t) override { state = fixed; }
};

}  // namespace

bool KpParseKeys(const char *text, std::vector<KpKeyEvent> &out, std::string &error)
{
    out.clear();
    const char *p = text;
    while (*p != '\0') {
        while (*p == ' ' || *p == ',' || *p == '\n' || *p == '\t')
            p++;
        if (*p == '\0')
            break;
        char *end = nullptr;
        const long frame = strtol(p, &end, 10);
        if (end == p || frame < 0 || frame > 10000000 || strchr("lrLRs", *end) == nullptr || *end == '\0') {
            error = std::string("a key event is a frame number and one of l r L R s: ") + std::string(p, strcspn(p, " ,"));
            return false;
        }
        if (!out.empty() && frame < out.back().frame) {
            error = "key events go in frame order";
            return false;
        }
        out.push_back({int32_t(frame), *end});
        p = end + 1;
    }
    return true;
}

KpPlayResult KpPlayLevel(const KpLevelFile &level, uint32_t seed, const std::vector<KpKeyEvent> &keys, int speed,
                         int maxFrames)
{
    KpMemoryCubes cubes;
    PlayHost host;
    host.fixed = seed;
    KpRules r;
    r.cubes = &cubes;
    r.host = &host;
    for (int i = 0; i < kKpGameCubes; i++) {
        r.queue[i].cube = i + 1;
        r.queue[i].x = r.queue[i].z = 5;
    }
    memcpy(r.header, level.header, sizeof r.header);
    memcpy(r.board, level.board, sizeof r.board);
    r.gameKind = 100;
    r.speed = r.newSpeed = r.speedIndex = speed;
    KpLevelSetup(r);
    r.levelRunning = 1;
    KpArmTurn(r);
    KpDriveState d;
    KpPlayResult result;
    size_t next = 0;
    int frame = 0;
    for (; frame < maxFrames; frame++) {
        for (; next < keys.size() && keys[next].frame == frame; next++) {
            switch (keys[next].key) {
            case 'l': KpKeyDown(r, 0); break;
            case 'r': KpKeyDown(r, 1); break;
            case 'L': KpKeyUp(r, 0); break;
            case 'R': KpKeyUp(r, 1); break;
            default: KpStepKey(r); break;
            }
        }
        const int outcome = KpDriveFrame(r, d, nullptr);
        if (outcome == KP_FRAME_WON || outcome == KP_FRAME_LOST || r.levelLost) {
            result.verdict = outcome == KP_FRAME_WON ? 1 : -1;
            frame++;
            break;
        }
    }
    result.frames = frame;
    result.exitsReached = r.exitsReached;
    result.rows = r.rowsDone;
    // FNV-1a over the positions of the 131 game cubes.
    uint32_t h = 2166136261u;
    for (int c = 1; c <= kKpGameCubes; c++) {
        float v[3];
        cubes.position(c, v[0], v[1], v[2]);
        uint8_t bytes[sizeof v];
        memcpy(bytes, v, sizeof v);
        for (uint8_t b : bytes)
            h = (h ^ b) * 16777619u;
    }
    result.hash = h;
    return result;
}

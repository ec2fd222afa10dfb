#include "golden.h"
#include "sr_raster.h"

#include "vokplat/png.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

namespace srtest {

// SOFTREND_PATH=scalar|sse2|avx2 forces one path of the one-pass writers for the whole test program,
// so the golden pictures are checked on each path (softrend.GoldenOnPath.*); a path the processor
// lacks falls back to the widest it has.
const bool path_forced = [] {
    const char *p = std::getenv("SOFTREND_PATH");
    if (!p)
        return false;
    sr::SimdPath want = std::strcmp(p, "scalar") == 0 ? sr::SimdPath::Scalar
                        : std::strcmp(p, "sse2") == 0 ? sr::SimdPath::SSE2
                                                      : sr::SimdPath::AVX2;
    sr::simd_path = want < sr::simd_best() ? want : sr::simd_best();
    return true;
}();

void PictureHash::add(uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        h ^= (v >> (8 * i)) & 0xff;
        h *= 0x100000001b3ull;
    }
}

uint64_t frame_hash(const Frame &f)
{
    PictureHash ph;
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x)
            ph.add(f.pixel(x, y));
    if (f.target.dtype != sr::DepthType::None)
        for (int y = 0; y < f.h; ++y)
            for (int x = 0; x < f.w; ++x)
                ph.add(f.depth(x, y));
    return ph.h;
}

namespace {

const std::string golden_dir = VOK_GOLDEN_DIR;
const std::string golden_list = golden_dir + "/pictures.txt";

// name -> "width height hash"
std::map<std::string, std::string> golden_read()
{
    std::map<std::string, std::string> out;
    std::ifstream in(golden_list);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string name, rest;
        fields >> name;
        std::getline(fields >> std::ws, rest);
        out[name] = rest;
    }
    return out;
}

// The list is written beside itself and renamed over it, so a failed write leaves the old one.
bool golden_write(const std::map<std::string, std::string> &entries)
{
    std::string tmp = golden_list + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << "# Golden pictures of the renderer tests: name, width, height, hash of the colour and\n"
               "# depth values. Rewritten by running the tests with VOK_GOLDEN_UPDATE=1.\n";
        for (const auto &e : entries)
            out << e.first << ' ' << e.second << '\n';
        out.flush();
        if (!out) {
            std::remove(tmp.c_str());
            return false;
        }
    }
    return std::rename(tmp.c_str(), golden_list.c_str()) == 0;
}

std::string entry_of(int w, int h, uint64_t hash)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d %d %016" PRIx64, w, h, hash);
    return buf;
}

} // namespace

::testing::AssertionResult golden(const std::string &name, uint64_t hash, int w, int h,
                                  const std::vector<uint8_t> &rgb)
{
    std::map<std::string, std::string> entries = golden_read();
    std::string entry = entry_of(w, h, hash);
    const char *update = std::getenv("VOK_GOLDEN_UPDATE");
    if (update != nullptr && std::strcmp(update, "1") == 0) {
        entries[name] = entry;
        std::string png = golden_dir + "/" + name + ".png";
        if (!golden_write(entries) || !PlatWritePngRgb(png.c_str(), w, h, rgb.data()))
            return ::testing::AssertionFailure() << "cannot rewrite the golden picture " << name;
        return ::testing::AssertionSuccess();
    }
    auto it = entries.find(name);
    if (it == entries.end())
        return ::testing::AssertionFailure() << "no golden picture " << name << " in " << golden_list;
    if (it->second != entry) {
        // The picture as drawn now, for comparing with the golden PNG.
        std::string now = std::string(VOK_TEST_BIN_DIR) + "/golden_" + name + ".png";
        PlatWritePngRgb(now.c_str(), w, h, rgb.data());
        return ::testing::AssertionFailure() << name << " is " << entry << ", golden " << it->second
                                             << " (drawn now: " << now << ")";
    }
    return ::testing::AssertionSuccess();
}

} // namespace srtest

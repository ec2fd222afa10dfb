// Terrow's own fields. Each field is drawn as one or more tracks: a line of cells the balls roll
// along, written as a string, standing on pillars over a floor of plain blocks. The supplied pieces
// are stored where they solve the field; the game hands them to the player instead.
//
// Track characters (h is the track's current layer):
//   =  block at h               _  supplied block at h (a gap to bridge)
//   s  supplied start at h      G  goal at h
//   N  nailed block at h        M  magnet at h
//   D  two supplied blocks, at h - 1 and h (a deep gap)
//   n  a pit with nails at its bottom (h - 1), which nothing may stand on
//   .  nothing at h (a pit)     |  block at h and h + 1 (a wall)
//   \  slope down (at h, then h - 1)      /  slope up (at h + 1, then h + 1)
//   ^  supplied slope up        S  start at h
//   I P B R  start with a fixed ball (iron, plastic, bomb, rubber) locked rolling forward
//   i p b r  start with a fixed ball the player turns (stored rolling forward)
//   1 2 3 4  start with a supplied ball (iron, plastic, bomb, rubber) rolling forward
#include "terrow_fields.h"

#include <string.h>

#include <algorithm>
#include <map>
#include <tuple>

namespace datagen::terrow {

namespace {

enum : int32_t { kIron = 0, kPlastic = 1, kBomb = 2, kRubber = 3 };
enum : int32_t { kSlope = 10, kCorner = 11, kBlock = 20, kMagnet = 21, kNailed = 22, kGoal = 24, kStart = 25 };
enum : uint32_t { kBall = 0x01, kTile = 0x02, kFixed = 0x04, kLocked = 0x400 };
enum Axis { PX, NX, PZ, NZ };

struct Elem {
    int32_t x, y, z, dir, type, variant;
    uint32_t flags;
};

struct Track {
    int x, z;
    Axis axis;
    int h;
    std::string path;
};

int32_t ball_dir(Axis a)
{
    static const int32_t d[] = {3, 1, 2, 0};
    return d[a];
}

// A slope's direction is the way it falls: 0 -x, 1 +z, 2 +x, 3 -z.
int32_t slope_falling(Axis a, bool forward)
{
    static const int32_t f[] = {2, 0, 1, 3};
    static const int32_t b[] = {0, 2, 3, 1};
    return forward ? f[a] : b[a];
}

class Level {
public:
    Level(int list, std::string name, int needed) : list_(list), name_(std::move(name)), needed_(needed) {}

    Level &track(int x, int z, Axis axis, int h, const std::string &path)
    {
        tracks_.push_back({x, z, axis, h, path});
        return *this;
    }
    // Extra floor around the tracks' cells.
    Level &margin(int m)
    {
        margin_ = m;
        return *this;
    }
    Level &add(int32_t x, int32_t y, int32_t z, int32_t type, bool fixed = true, int32_t dir = 0)
    {
        put(x, y, z, dir, type, fixed);
        return *this;
    }

    std::vector<uint8_t> bytes() const
    {
        std::map<std::tuple<int, int, int>, Elem> cells;
        int minX = 1 << 20, minZ = 1 << 20, maxX = -1, maxZ = -1;
        auto set = [&](const Elem &e) {
            cells[{e.x, e.y, e.z}] = e;
            minX = std::min(minX, e.x);
            maxX = std::max(maxX, e.x);
            minZ = std::min(minZ, e.z);
            maxZ = std::max(maxZ, e.z);
        };
        for (const Elem &e : extra_)
            set(e);
        for (const Track &t : tracks_) {
            int x = t.x, z = t.z, h = t.h;
            const int dx = t.axis == PX ? 1 : t.axis == NX ? -1 : 0;
            const int dz = t.axis == PZ ? 1 : t.axis == NZ ? -1 : 0;
            for (char c : t.path) {
                auto tile = [&](int y, int32_t type, bool fixed, int32_t dir = 0) {
                    set(make(x, y, z, dir, type, fixed));
                };
                auto pillar = [&](int top) {
                    for (int y = 1; y <= top; y++)
                        tile(y, kBlock, true);
                };
                auto ball = [&](int32_t type, bool fixed, bool locked) {
                    pillar(h - 1);
                    tile(h, kStart, true);
                    Elem b = make(x, h + 1, z, ball_dir(t.axis), type, fixed);
                    if (locked)
                        b.flags |= kLocked;
                    set(b);
                };
                switch (c) {
                case '=': pillar(h); break;
                case '_': pillar(h - 1); tile(h, kBlock, false); break;
                case 'D': tile(h - 1, kBlock, false); tile(h, kBlock, false); pillar(h - 2); break;
                case 's': pillar(h - 1); tile(h, kStart, false); break;
                case 'G': pillar(h - 1); tile(h, kGoal, true); break;
                case 'N': pillar(h - 1); tile(h, kNailed, true); break;
                case 'M': pillar(h - 1); tile(h, kMagnet, true); break;
                case 'n': tile(h - 1, kNailed, true); pillar(h - 2); break;
                case 'S': pillar(h - 1); tile(h, kStart, true); break;
                case '.': pillar(h - 1); break;
                case '|': pillar(h + 1); break;
                case '\\': pillar(h - 1); tile(h, kSlope, true, slope_falling(t.axis, true)); h--; break;
                case '/': pillar(h); tile(h + 1, kSlope, true, slope_falling(t.axis, false)); h++; break;
                case '^': pillar(h); tile(h + 1, kSlope, false, slope_falling(t.axis, false)); h++; break;
                case 'I': ball(kIron, true, true); break;
                case 'P': ball(kPlastic, true, true); break;
                case 'B': ball(kBomb, true, true); break;
                case 'R': ball(kRubber, true, true); break;
                case 'i': ball(kIron, true, false); break;
                case 'p': ball(kPlastic, true, false); break;
                case 'b': ball(kBomb, true, false); break;
                case 'r': ball(kRubber, true, false); break;
                case '1': ball(kIron, false, false); break;
                case '2': ball(kPlastic, false, false); break;
                case '3': ball(kBomb, false, false); break;
                case '4': ball(kRubber, false, false); break;
                default: break;
                }
                x += dx;
                z += dz;
            }
        }
        // The floor: plain blocks under everything, widened by the margin; the field starts at 0.
        const int x0 = std::max(0, minX - margin_), z0 = std::max(0, minZ - margin_);
        const int ox = x0, oz = z0;
        for (int z = z0; z <= maxZ + margin_; z++)
            for (int x = x0; x <= maxX + margin_; x++)
                if (!cells.count({x, 0, z}))
                    cells[{x, 0, z}] = make(x, 0, z, 0, kBlock, true);
        std::vector<uint8_t> out;
        auto u32 = [&](uint32_t v) {
            for (int i = 0; i < 4; i++)
                out.push_back(uint8_t(v >> (8 * i)));
        };
        auto f32 = [&](float v) {
            uint32_t u;
            memcpy(&u, &v, 4);
            u32(u);
        };
        const int extent = std::max(maxX + margin_ - ox, maxZ + margin_ - oz) + 1;
        u32(0x7A3C7A3Cu);
        u32(4);
        u32(uint32_t(cells.size()));
        // Floor first, then upwards: the order the editor would have built it in.
        std::vector<Elem> order;
        for (auto &[key, e] : cells)
            order.push_back(e);
        std::stable_sort(order.begin(), order.end(), [](const Elem &a, const Elem &b) { return a.y < b.y; });
        for (const Elem &e : order) {
            for (int32_t v : {e.x - ox, e.y, e.z - oz, e.dir, e.type, e.variant})
                u32(uint32_t(v));
            u32(e.flags);
        }
        u32(uint32_t(needed_));
        f32(310.0f);                                          // pitch
        f32(-45.0f);                                          // yaw
        f32(extent <= 9 ? 1.85f : extent <= 12 ? 2.05f : 2.3f);  // distance
        f32(-0.1f);                                           // height
        u32(0);                                               // ball layout
        u32(0);                                               // start layout
        u32(0);                                               // camera saved
        u32(0x02);                                            // playable
        f32(0.0f);                                            // pan
        u32(0);
        return out;
    }

    int list() const { return list_; }
    const std::string &name() const { return name_; }

private:
    static Elem make(int32_t x, int32_t y, int32_t z, int32_t dir, int32_t type, bool fixed)
    {
        const bool ball = type < 10;
        // A supplied slope, corner, block or start shows its own variant, as the editor marks it.
        const int32_t variant = !fixed && (type == kSlope || type == kCorner || type == kBlock || type == kStart) ? 1 : 0;
        return {x, y, z, dir, type, variant, (ball ? kBall : kTile) | (fixed ? kFixed : 0u)};
    }
    void put(int32_t x, int32_t y, int32_t z, int32_t dir, int32_t type, bool fixed)
    {
        extra_.push_back(make(x, y, z, dir, type, fixed));
    }

    int list_;
    std::string name_;
    int needed_;
    int margin_ = 1;
    std::vector<Track> tracks_;
    std::vector<Elem> extra_;
};

std::vector<Level> levels()
{
    std::vector<Level> v;
    auto C = [&](const char *name, int needed = 1) -> Level & { return v.emplace_back(0, name, needed); };
    auto E = [&](const char *name, int needed = 1) -> Level & { return v.emplace_back(1, name, needed); };
    auto S = [&](const char *name, int needed = 1) -> Level & { return v.emplace_back(2, name, needed); };
    auto H = [&](const char *name, int needed = 1) -> Level & { return v.emplace_back(3, name, needed); };
    auto X = [&](const char *name, int needed = 1) -> Level & { return v.emplace_back(4, name, needed); };
    // The course: one new thing at a time.
    C("First Roll").track(0, 0, PX, 1, "1===G");
    C("Other Way").track(6, 0, NX, 1, "1=====G");
    C("Bridge").track(0, 0, PX, 1, "I==_==G");
    C("Two Gaps").track(0, 0, PX, 1, "I=_=_==G");
    C("Wide Gap").track(0, 0, PX, 1, "I=__==G");
    C("Turn It").track(0, 0, PX, 1, "i==_==G");
    C("Ball and Block").track(0, 0, PZ, 1, "1==_=_=G");
    C("High Road").track(0, 0, PX, 2, "I==_==G");
    C("Deep Gap").track(0, 0, PX, 2, "I==D==G");
    C("Start Bridge").track(0, 0, PX, 1, "I==s==G");
    C("Downhill").track(0, 0, PX, 2, "I=\\=_==G");
    C("Uphill").track(0, 0, PX, 2, "I=\\==^=G");
    // A corner turns the ball at a right angle onto the lane below it.
    C("Round the Corner").track(0, 0, PX, 2, "I=").add(2, 1, 0, kBlock).add(2, 2, 0, kCorner, false, 3).track(2, 1, PZ, 1, "===G");
    C("Plastic Ball").track(0, 0, PX, 1, "P==_==G");
    C("Rubber Ball").track(0, 0, PX, 1, "R==_==G");
    C("Bomb Ball").track(0, 0, PX, 1, "B==_==G");
    C("Iron on Nails").track(0, 0, PX, 1, "I=N=_=G");
    C("Nail Pit").track(0, 0, PX, 1, "G=n==r==_=G");
    C("Magnet").track(0, 0, PX, 1, "2=M=_=G");
    C("Paired Runs", 2).track(0, 0, PX, 1, "I==_==G").track(0, 2, PX, 1, "I=_===G");
    C("Your Own Pair", 2).track(0, 0, PZ, 1, "1=_==G").track(2, 0, PZ, 1, "I==_=G");
    C("Which Way").track(0, 0, PX, 2, "G=D==i==_=G");
    C("Falling Steps").track(0, 0, PX, 3, "I=\\=\\=_=G");
    C("Gap After Hill").track(0, 0, PX, 2, "I\\==^_=G");
    C("Across").track(0, 0, PZ, 1, "R=_=_=_=G");
    C("Span").track(0, 0, PX, 1, "I=___=G");
    C("Tower").track(0, 0, PX, 3, "I==D=G");
    C("Quiet Magnet").track(0, 0, PX, 1, "2=_=M=_=G");
    C("Zigzag", 2).track(0, 0, PX, 1, "I=_==G").track(6, 2, NX, 1, "I==_=G");
    C("Reverse Road").track(7, 1, NX, 2, "i=\\=_=G");
    C("Everything Supplied").track(0, 0, PX, 1, "s=_==G").add(0, 2, 0, kIron, false, 3);
    C("Sharp Left").track(0, 0, PZ, 1, "G=n=p=_=G");
    C("Slope and Gap").track(0, 0, PX, 2, "P\\=_=^=G");
    C("Three Balls", 3).track(0, 0, PX, 1, "I=_==G").track(0, 2, PX, 1, "P==_=G").track(0, 4, PX, 1, "R=_==G");
    C("Over and Under", 2).track(0, 0, PX, 3, "I==D=G").track(0, 2, PX, 1, "I=_==G");
    C("Pull or Pass").track(0, 0, PX, 1, "G=_=M=p=_=G");
    C("Drop the Bomb").track(0, 0, PZ, 1, "I=3=|==G");
    C("Climbers", 2).track(0, 0, PX, 2, "I\\=^=G").track(0, 2, PX, 2, "P\\=^=G");
    C("Four Gaps").track(0, 0, PX, 1, "i_=_=_=_G");
    C("Graduation", 2).track(0, 0, PX, 2, "1\\=_^=G").track(0, 3, PX, 1, "G=n=r=_=G");
    // E: warming up.
    E("Easy Does It").track(0, 0, PX, 1, "i=_=_=G");
    E("Round Trip", 2).track(0, 0, PX, 1, "I=_===G").track(6, 2, NX, 1, "P=_===G");
    E("Gentle Slope").track(0, 0, PZ, 2, "I\\=_=^=G");
    E("Nail Bed").track(0, 0, PX, 1, "G=nn=r=_=G");
    E("Magnet Alley").track(0, 0, PX, 1, "2=M=M=_=G");
    E("Deep and Wide").track(0, 0, PX, 2, "I=DD=G");
    E("Bring a Ball").track(0, 0, PZ, 2, "3=D=_=G");
    E("Side by Side", 2).track(0, 0, PZ, 1, "R=_==G").track(2, 0, PZ, 1, "B==_=G");
    E("Two Starts").track(0, 0, PX, 1, "s=_=G").add(0, 2, 0, kRubber, false, 3).track(0, 2, PX, 1, "I=_==G");
    E("Hill Hop").track(0, 0, PX, 3, "P\\=\\=^=G");
    // S: standard.
    S("Split Decision").track(0, 0, PX, 2, "G=D=n=i=_=_=G");
    S("Three Lanes", 3).track(0, 0, PZ, 1, "I=_==G").track(2, 0, PZ, 2, "P==D=G").track(4, 0, PZ, 1, "R=_=_G");
    S("Long Climb").track(0, 0, PX, 3, "I\\=\\==^=_G");
    S("Nails Everywhere").track(0, 0, PX, 1, "G=n=n=r=_=_=G");
    S("Magnet Maze", 2).track(0, 0, PX, 1, "2=M=_=G").track(0, 2, PX, 1, "I=N=_=G");
    S("Build It All").track(0, 0, PX, 1, "s=__=G").add(0, 2, 0, kPlastic, false, 3);
    S("Cross Roads", 2).track(0, 0, PX, 1, "I=_===G").track(0, 2, PX, 2, "P=D=_G");
    S("Blast Through").track(0, 0, PX, 1, "P=3=|=_=G");
    S("Opposites", 2).track(0, 0, PX, 1, "I=__=G").track(6, 2, NX, 1, "R=_=_G");
    S("Valley").track(0, 0, PX, 2, "B\\=_=^=G");
    // H: hard.
    H("Hard Choice").track(0, 0, PX, 2, "G=_=n=M=i=D=_G");
    H("Four Corners", 4).track(0, 0, PX, 1, "I=_=G").track(0, 2, PX, 1, "P=_=G").track(6, 4, NX, 1, "R=_=G").track(6, 6, NX, 1, "B=_=G");
    H("Highlands").track(0, 0, PX, 3, "i\\=_=^=D=G");
    H("Spiked Valley").track(0, 0, PX, 2, "I\\=N=_^=G");
    H("Heavy Metal", 2).track(0, 0, PZ, 1, "I=N=_=_=G").track(2, 0, PZ, 1, "2=M=_=G");
    H("Supply Run", 2).track(0, 0, PX, 1, "s=_=_=G").add(0, 2, 0, kIron, false, 3).track(0, 2, PX, 2, "4=D=G");
    H("Demolition").track(0, 0, PX, 1, "I=b=|=_=G");
    H("Twin Hills", 2).track(0, 0, PX, 2, "I\\=_^=G").track(0, 2, PX, 2, "R\\_=^=G");
    H("Secret Path").track(0, 0, PZ, 2, "G=n=n=p=D=_=G");
    H("Three Trials", 3).track(0, 0, PX, 2, "I\\=^=G").track(0, 2, PX, 1, "R=_=_G").track(0, 4, PX, 1, "2=M=_G");
    // X: extra.
    X("Wrecking Crew", 2).track(0, 0, PX, 1, "I=3=|=_=_G").track(0, 2, PX, 2, "R=D=_=G");
    X("Crowded", 4).track(0, 0, PZ, 1, "I=_=G").track(2, 0, PZ, 1, "P=_=G").track(4, 0, PZ, 1, "R=_=G").track(6, 0, PZ, 1, "B=_=G");
    X("Mountain").track(0, 0, PX, 4, "I\\=\\=\\=^=_=G");
    X("Pincushion").track(0, 0, PX, 1, "G=n=n=n=r=_=_=G");
    X("Magnetic North", 2).track(0, 0, PX, 1, "2=M=M=_=G").track(0, 2, PX, 1, "I=N=N=_G");
    X("From Scratch", 2).track(0, 0, PX, 1, "s=__=G").add(0, 2, 0, kBomb, false, 3).track(0, 2, PX, 1, "s=_=_G").add(0, 2, 2, kIron, false, 3);
    X("Skyline").track(0, 0, PZ, 4, "I=DD=D=G");
    X("Up and Over", 2).track(0, 0, PX, 3, "P\\=\\=^=G").track(0, 2, PX, 2, "I\\=_=^G");
    X("Last Stand", 3).track(0, 0, PX, 2, "i=D==G").track(0, 2, PX, 1, "R=__=G").track(0, 4, PX, 1, "4=_=_G");
    X("Zenith", 2).track(0, 0, PX, 3, "1\\=D=_^=G").track(0, 3, PX, 1, "G=n=n=r=_=G");
    return v;
}

}  // namespace

std::vector<FieldFile> fields(const char *const prefixes[5])
{
    std::vector<FieldFile> out;
    for (const Level &l : levels()) {
        FieldFile f;
        f.list = l.list();
        f.name = l.name();
        f.file = std::string(prefixes[l.list()]) + l.name().substr(0, 2) + ".trl";
        f.bytes = l.bytes();
        out.push_back(std::move(f));
    }
    return out;
}

std::string fields_text(const std::vector<FieldFile> &fields)
{
    static const char kLetters[] = "CESHX";
    std::string out;
    for (int list = 0; list < 5; list++) {
        out += std::string("#") + kLetters[list] + "\r\n";
        for (const FieldFile &f : fields)
            if (f.list == list)
                out += f.name + "\r\n";
    }
    return out;
}

}  // namespace datagen::terrow


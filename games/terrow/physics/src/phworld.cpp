// The world of a run: build from the field, the level grid, the object queries, tear-down, and the
// placement helpers that put a ball on its support.
#include <algorithm>
#include <math.h>
#include <stdint.h>
#include <stdlib.h>

#include <initializer_list>
#include <new>
#include <string>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brmodel.h>

#include "phpairs.h"
#include "phutil.h"
#include "terrow/phys/phmsg.h"
#include "terrow/phys/phobj.h"

PhWorld PhysWorld;
PhImpactCounters PhysCounters;

namespace {

void builtin_render_style(TrElem *e, int style)
{
    if (e != nullptr && e->actor != nullptr)
        e->actor->render_style = static_cast<br_uint_8>(style);
}

br_model *builtin_ball_model(TrElem *e) { return e != nullptr && e->actor != nullptr ? e->actor->model : nullptr; }

int builtin_read_matrix(TrElem *e, float rows[9])
{
    if (e == nullptr || e->actor == nullptr || e->actor->t.type != BR_TRANSFORM_MATRIX34)
        return 0;
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            rows[r * 3 + c] = e->actor->t.t.mat.m[r][c];
    return 1;
}

void builtin_write_actor(TrElem *e, const float view[3], const float *rows)
{
    if (e == nullptr || e->actor == nullptr)
        return;
    br_actor *a = e->actor;
    if (a->t.type != BR_TRANSFORM_MATRIX34) {
        // Only a matrix transform can take rows and a position; start it from the identity.
        a->t.type = BR_TRANSFORM_MATRIX34;
        for (int r = 0; r < 3; r++)
            for (int c = 0; c < 3; c++)
                a->t.t.mat.m[r][c] = r == c ? 1.0f : 0.0f;
    }
    if (rows != nullptr)
        for (int r = 0; r < 3; r++)
            for (int c = 0; c < 3; c++)
                a->t.t.mat.m[r][c] = rows[r * 3 + c];
    for (int c = 0; c < 3; c++)
        a->t.t.mat.m[3][c] = view[c];
}

const PhHost k_builtin{builtin_render_style, builtin_ball_model, nullptr, builtin_read_matrix,
                       builtin_write_actor, nullptr};
PhHost g_host = k_builtin;
std::string g_log_path = "Terrow.log";

// Every head cleared; the grid and the removed list are kept.
void empty_lists()
{
    PhWorld &w = PhysWorld;
    w.objects = w.gridTiles = w.finished = nullptr;
    w.balls = nullptr;
    w.ballsInSlots = false;  // no ball is left to hold one
    w.goals = nullptr;
    w.slopes = nullptr;
    w.magnets = nullptr;
    w.tracedBall = nullptr;
}

void free_index();

bool box_contains(const PhElem &o, float x, float y, float z)
{
    return o.boxLow.x <= x && x <= o.boxHigh.x && o.boxLow.y <= y && y <= o.boxHigh.y && o.boxLow.z <= z &&
           z <= o.boxHigh.z;
}

bool excluded(const PhElem &o, const PhElem *exclude)
{
    return &o == exclude || (*o.ioFlags & EF_BALL) != 0;
}

// Positions are floats and neighbour cells are found by adding 1: a piece farther out than the
// floats count cells exactly gets no object.
bool cell_in_reach(const EIo &io)
{
    const int32_t reach = 1 << 24;
    for (int32_t c : {io.x, io.y, io.z})
        if (c < -reach || c > reach)
            return false;
    return true;
}

PhElem *make_object(TrElem *e, int32_t i)
{
    int32_t type = e->io->type;
    switch (type) {
    case TY_G_FEM:
    case TY_G_GUMI:
    case TY_G_BOMBA:
    case TY_G_UVEG:
        return new (std::nothrow) PhBall(e, i);
    case TY_T_LEJTO:
        return new (std::nothrow) PhSlope(e, i);
    case TY_T_SAROK:
        return new (std::nothrow) PhCorner(e, i);
    case TY_T_SIMA:
    case TY_T_TALAJ:
    case TY_T_INDITO:
        if (e->io->y < 1)
            return new (std::nothrow) PhGroundTile(e, i);
        return new (std::nothrow) PhTile(e, i);
    case TY_T_MAGNES:
        return new (std::nothrow) PhMagnet(e, i);
    case TY_T_SZOGES:
        return new (std::nothrow) PhSpiked(e, i);
    case TY_T_CEL:
        return new (std::nothrow) PhGoal(e, i);
    default: {
        PhText t;
        t << PHMSG_ILLEGAL_TYPE << static_cast<int16_t>(type);
        Phys_Warning(t.Text());
        return nullptr;
    }
    }
}

}  // namespace

PhHost Phys_SetHost(const PhHost *host)
{
    PhHost old = g_host;
    g_host = host != nullptr ? *host : k_builtin;
    phys_detail::g_actorWriter = g_host.writeActor;
    phys_detail::g_builtinWriter = g_host.writeActor == builtin_write_actor;
    return old;
}

const PhHost &Phys_Host() { return g_host; }

void (*phys_detail::g_actorWriter)(TrElem *, const float[3], const float *) = builtin_write_actor;
bool phys_detail::g_builtinWriter = true;

void Phys_SetLogPath(const char *path) { g_log_path = path != nullptr ? path : "Terrow.log"; }

TrElem **Grid_Build(TrPalya *field)
{
    PhWorld &w = PhysWorld;
    w.cells = nullptr;
    w.sizeX = w.sizeY = w.sizeZ = 0;
    w.sizeXf = w.sizeZf = 0;
    w.layerStride = 0;
    const int32_t sx = field->extentX, sy = field->extentY, sz = field->extentZ;
    if (sx < 0 || sy < 0 || sz < 0)
        return nullptr;
    // Slots and the layer stride are indexed in 32 bits: a larger grid is refused like a failed
    // allocation rather than allocated and then indexed past its end.
    const int64_t layer = int64_t(sx) * sz;
    const bool fits = layer <= INT32_MAX && layer * sy <= INT32_MAX;
    const size_t n = fits ? size_t(layer * sy) : 0;
    TrElem **cells = fits ? static_cast<TrElem **>(calloc(n > 0 ? n : 1, sizeof(TrElem *))) : nullptr;
    if (cells == nullptr) {
        Phys_Warning(PHMSG_NO_GRID_MEMORY);
        return nullptr;
    }
    w.cells = cells;
    w.sizeX = sx;
    w.sizeY = sy;
    w.sizeZ = sz;
    w.sizeXf = static_cast<float>(sx);
    w.sizeZf = static_cast<float>(sz);
    w.layerStride = sx * sz;
    for (int32_t i = 0; i < field->count; i++) {
        TrElem *e = field->elements[i];
        if (e != nullptr && (e->io->flags & EF_NOT_BALL) && g_host.renderStyle != nullptr)
            g_host.renderStyle(e, 4);
    }
    return cells;
}

void Grid_Free()
{
    PhWorld &w = PhysWorld;
    free(w.cells);
    w.cells = nullptr;
    w.sizeX = w.sizeY = w.sizeZ = 0;
    w.sizeXf = w.sizeZf = 0;
    w.layerStride = 0;
}

TrElem **Grid_Cell(int32_t x, int32_t gy, int32_t z)
{
    const PhWorld &w = PhysWorld;
    if (w.cells == nullptr || x < 0 || x >= w.sizeX || z < 0 || z >= w.sizeZ || gy < -1 || gy > w.sizeY - 2)
        return nullptr;
    return &w.cells[size_t(gy + 1) * size_t(w.layerStride) + size_t(z) * size_t(w.sizeX) + size_t(x)];
}

int Phys_Build(TrPalya *field)
{
    PhWorld &w = PhysWorld;
    ++QueueLevel;
    w.tearingDown = false;
    w.viewSync = true;
    w.field = field;
    Phy_Derive();
    Grid_Build(field);
    w.removedCount = 0;
    field->fieldBox[0] = 0.0f;
    field->fieldBox[1] = static_cast<float>(w.sizeX);
    field->fieldBox[2] = 0.0f;
    field->fieldBox[3] = 0.0f;
    field->fieldBox[4] = static_cast<float>(w.sizeZ);
    empty_lists();
    w.queryIndexStale = true;
    for (int32_t i = 0; i < field->count; i++) {
        TrElem *e = field->elements[i];
        if (e == nullptr || e->io == nullptr || !cell_in_reach(*e->io))
            continue;
        PhElem *o = make_object(e, i);
        if (o != nullptr && o->IsBall() && (o->flags & EF_SELECTED))
            w.tracedBall = static_cast<PhBall *>(o);
    }
    for (PhBall *b = w.balls; b != nullptr; b = b->nextBall) {
        PhElem *s = Phys_ObjAtPoint(field, b->position - FV3(0, 0.55f, 0), b);
        b->support = b->prevSupport = s;
    }
    w.expectedEnergy = Phys_Energy();
    w.sourceEnergy = 0;
    w.log = w.tracedBall != nullptr ? fopen(g_log_path.c_str(), "wt") : nullptr;
    --QueueLevel;
    return 1;
}

void Phys_Free()
{
    PhWorld &w = PhysWorld;
    if (w.log != nullptr)
        fclose(w.log);
    w.log = nullptr;
    w.tearingDown = true;
    while (w.objects != nullptr) {
        PhElem *o = w.objects;
        if (g_host.renderStyle != nullptr)
            g_host.renderStyle(o->element, 4);
        delete o;
    }
    // Every head goes, not only those of the lists the objects left: none may point at freed objects.
    empty_lists();
    Grid_Free();
    free_index();
    delete w.pairGrid;
    w.pairGrid = nullptr;
    delete w.stirred;
    w.stirred = nullptr;
}

namespace {

// The centre of cell (x, gy, z), computed alike by the walk and the index.
inline FV3 cell_centre(int32_t x, int32_t gy, int32_t z)
{
    return FV3(x + 0.5f, 0.275f + 0.55f * gy, z + 0.5f);
}

const float k_point_slack = 0.001f;  // the point query's tolerance around a box

bool near_box(const PhElem &o, float x, float y, float z)
{
    const float d = k_point_slack;
    return !(o.boxLow.x > x + d || o.boxHigh.x < x - d || o.boxLow.y > y + d || o.boxHigh.y < y - d ||
             o.boxLow.z > z + d || o.boxHigh.z < z - d);
}

bool point_accepts(PhElem &o, float x, float y, float z)
{
    if (!near_box(o, x, y, z))
        return false;
    if (o.type == TY_T_LEJTO || o.type == TY_T_SAROK)
        return o.FilterCandidate(o.element, FV3(x, y, z)) != nullptr;
    return true;
}

PhElem *walk_cell(int32_t x, int32_t gy, int32_t z, const PhElem *exclude)
{
    const FV3 c = cell_centre(x, gy, z);
    for (PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject)
        if (!excluded(*o, exclude) && box_contains(*o, c.x, c.y, c.z))
            return o;
    return nullptr;
}

PhElem *walk_point(float x, float y, float z, const PhElem *exclude)
{
    for (PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject)
        if (!excluded(*o, exclude) && point_accepts(*o, x, y, z))
            return o;
    return nullptr;
}

bool g_use_index = true;

}  // namespace

// Only fixed pieces are listed: their boxes stay put from construction on. A ball whose element is
// not marked as one could be found by the queries while it moves, so such a world is walked instead.
// Pieces farther out than 4096 also turn the index off, which keeps the float rounding of the
// point tolerance well inside the bucket margin.
struct PhQueryIndex {
    // A box of ranges and CSR lists over it: starts[i]..starts[i+1] in items, in object-list order.
    struct Table {
        int32_t lo[3] = {0, 0, 0}, n[3] = {0, 0, 0};
        std::vector<uint32_t> starts;
        std::vector<PhElem *> items;

        size_t Slot(int32_t x, int32_t y, int32_t z) const
        {
            return (size_t(y - lo[1]) * size_t(n[2]) + size_t(z - lo[2])) * size_t(n[0]) + size_t(x - lo[0]);
        }
    };
    bool usable = false;
    bool slopesUsable = false;
    Table cells;    // by level cell (x, gy, z): the pieces whose box holds the cell's centre
    Table buckets;  // by quarter-cell bucket: the pieces whose box comes near it
    Table slopes;   // by bucket as above: the slopes, in slope-list order
    bool goalsUsable = false;
    Table goals;  // by quarter-cell column (x, z): the goals a ball there may enter, in goal-list order
    Table columns;  // by whole-cell column (x, z): the pieces whose box, a bucket margin wider, meets it
    PhGoalColumns goalColumns;  // the goals' columns by whole cells
    // By level cell of the field, found on first asking: 1 when the cells around it hold nothing but
    // flat pieces one layer down (see Phys_OpenAround), 2 when not, 0 not yet known.
    mutable std::vector<uint8_t> open;
    // By level cell as above, found on first asking: bit 63 once known, then what
    // Phys_CellsAround gives (held in bits 0-26, flat below in bits 32-58).
    mutable std::vector<uint64_t> around;
    // By slot of `cells`: 0 when no piece is there, 1 when one is, 3 when it is a piece of that
    // layer that is a corner or faces straight up (Phys_CellsAround's bits; neighbouring cells share
    // most of their 27).
    std::vector<uint8_t> cellKind;
    // By level cell as above, found on first asking: 1 + what Phys_SupportBelow gives when no piece
    // is excluded (that element in supportBelow), 0 not yet known.
    mutable std::vector<uint8_t> supportKnown;
    mutable std::vector<TrElem *> supportBelow;
    // For Phys_SupportBelow above the field: the layer last asked for (INT32_MIN: none yet) and the
    // highest top of the boxes starting below that layer's centre, no piece excluded.
    mutable int32_t topLayer = INT32_MIN;
    mutable float topBelow = -1.0f;
    // By element index, found on first asking: the piece whose box's inner part no other piece
    // comes near (Phys_SurelyAtPoint), and 1 when so, 2 when not.
    mutable std::vector<const PhElem *> aloneOf;
    mutable std::vector<uint8_t> alone;
    // The listed pieces by the low x of their box, and the widest box across x.
    std::vector<std::pair<double, const PhElem *>> byLowX;
    double widestX = 0;
};

namespace {

const float k_index_reach = 4096.0f;
const float k_bucket_margin = 1.0f / 64;  // well beyond the point tolerance plus its rounding
const float k_per_layer = 1.0f / 0.55f;
// Point buckets are a quarter cell on each axis: away from a cell's faces a bucket meets one piece
// per axis instead of three.
const float k_bucket_x = 4.0f, k_bucket_y = 4.0f / 0.55f;
const size_t k_index_max_slots = size_t(1) << 24;

int32_t layer_of(float y) { return static_cast<int32_t>(floorf(y * k_per_layer)); }

struct Range {
    int32_t lo[3], hi[3];
};

Range cell_range(const PhElem &o)
{
    return Range{{static_cast<int32_t>(floorf(o.boxLow.x)) - 1, layer_of(o.boxLow.y) - 2,
                  static_cast<int32_t>(floorf(o.boxLow.z)) - 1},
                 {static_cast<int32_t>(floorf(o.boxHigh.x)) + 1, layer_of(o.boxHigh.y) + 2,
                  static_cast<int32_t>(floorf(o.boxHigh.z)) + 1}};
}

// The bucket keys of a point: monotone in each coordinate, so a box's bucket range holds every
// point of the box.
inline float key_x(float x) { return phys_detail::floor_of(x * k_bucket_x); }
inline float key_y(float y) { return phys_detail::floor_of(y * k_bucket_y); }

Range bucket_range(const PhElem &o)
{
    const float m = k_bucket_margin;
    return Range{{int32_t(key_x(o.boxLow.x - m)), int32_t(key_y(o.boxLow.y - m)), int32_t(key_x(o.boxLow.z - m))},
                 {int32_t(key_x(o.boxHigh.x + m)), int32_t(key_y(o.boxHigh.y + m)),
                  int32_t(key_x(o.boxHigh.z + m))}};
}

bool in_reach(const FV3 &v)
{
    return fabsf(v.x) <= k_index_reach && fabsf(v.y) <= k_index_reach && fabsf(v.z) <= k_index_reach;
}

// Fills a table from the indexed objects; `member` says whether object o belongs to slot (x, y, z)
// of its range. Returns false when the table would be too large.
template <class RangeOf, class Member>
bool fill_table(PhQueryIndex::Table &t, const std::vector<PhElem *> &objs, RangeOf range_of, Member member)
{
    t.starts.clear();
    t.items.clear();
    if (objs.empty()) {
        t.n[0] = t.n[1] = t.n[2] = 0;
        t.starts.assign(1, 0);
        return true;
    }
    Range all = range_of(*objs[0]);
    for (PhElem *o : objs) {
        const Range r = range_of(*o);
        for (int a = 0; a < 3; a++) {
            all.lo[a] = r.lo[a] < all.lo[a] ? r.lo[a] : all.lo[a];
            all.hi[a] = r.hi[a] > all.hi[a] ? r.hi[a] : all.hi[a];
        }
    }
    size_t slots = 1;
    for (int a = 0; a < 3; a++) {
        t.lo[a] = all.lo[a];
        t.n[a] = all.hi[a] - all.lo[a] + 1;
        slots *= size_t(t.n[a]);
    }
    if (slots > k_index_max_slots)
        return false;
    // Two passes: count per slot, then place in object-list order.
    std::vector<uint32_t> &starts = t.starts;
    starts.assign(slots + 1, 0);
    auto each = [&](auto &&visit) {
        for (PhElem *o : objs) {
            const Range r = range_of(*o);
            for (int32_t y = r.lo[1]; y <= r.hi[1]; y++)
                for (int32_t z = r.lo[2]; z <= r.hi[2]; z++)
                    for (int32_t x = r.lo[0]; x <= r.hi[0]; x++)
                        if (member(*o, x, y, z))
                            visit(t.Slot(x, y, z), o);
        }
    };
    each([&](size_t slot, PhElem *) { starts[slot + 1]++; });
    for (size_t i = 0; i < slots; i++)
        starts[i + 1] += starts[i];
    t.items.resize(starts[slots]);
    std::vector<uint32_t> next(starts.begin(), starts.end() - 1);
    each([&](size_t slot, PhElem *o) { t.items[next[slot]++] = o; });
    return true;
}

auto any_slot = [](const PhElem &, int32_t, int32_t, int32_t) { return true; };

// A slope takes a point only inside its solid (to a hair), so only near its box; one without a
// solid takes every point and cannot be listed.
void build_slope_table(PhQueryIndex &idx)
{
    idx.slopesUsable = false;
    std::vector<PhElem *> slopes;
    for (PhSlope *s = PhysWorld.slopes; s != nullptr; s = s->nextSlope) {
        if (s->geom == nullptr || !in_reach(s->boxLow) || !in_reach(s->boxHigh))
            return;
        slopes.push_back(s);
    }
    idx.slopesUsable = fill_table(idx.slopes, slopes, bucket_range, any_slot);
}

// A ball enters a goal only within 0.1 of its box across (x, z), at any height.
Range goal_range(const PhElem &o)
{
    const float m = 0.1f + k_bucket_margin;
    return Range{{int32_t(key_x(o.boxLow.x - m)), 0, int32_t(key_x(o.boxLow.z - m))},
                 {int32_t(key_x(o.boxHigh.x + m)), 0, int32_t(key_x(o.boxHigh.z + m))}};
}

// The whole-cell columns a piece's box meets, a bucket margin wider.
Range column_range(const PhElem &o)
{
    const float m = k_bucket_margin;
    return Range{{int32_t(floorf(o.boxLow.x - m)), 0, int32_t(floorf(o.boxLow.z - m))},
                 {int32_t(floorf(o.boxHigh.x + m)), 0, int32_t(floorf(o.boxHigh.z + m))}};
}

void build_goal_table(PhQueryIndex &idx)
{
    idx.goalsUsable = false;
    std::vector<PhElem *> goals;
    for (PhGoal *g = PhysWorld.goals; g != nullptr; g = g->nextGoal) {
        if (!in_reach(g->boxLow) || !in_reach(g->boxHigh))
            return;
        goals.push_back(g);
    }
    idx.goalsUsable = fill_table(idx.goals, goals, goal_range, any_slot);
    // A cell's column is its four by four quarter-cell columns (4x is exact: floor(4x) lies in
    // 4 floor(x) .. 4 floor(x) + 3).
    const PhQueryIndex::Table &t = idx.goals;
    PhGoalColumns &c = idx.goalColumns;
    auto down4 = [](int32_t v) { return v >= 0 ? v / 4 : -((3 - v) / 4); };
    c.any.clear();
    c.n[0] = c.n[1] = 0;
    if (!idx.goalsUsable || t.n[0] <= 0 || t.n[2] <= 0)
        return;
    c.lo[0] = down4(t.lo[0]);
    c.lo[1] = down4(t.lo[2]);
    c.n[0] = down4(t.lo[0] + t.n[0] - 1) - c.lo[0] + 1;
    c.n[1] = down4(t.lo[2] + t.n[2] - 1) - c.lo[1] + 1;
    c.any.assign(size_t(c.n[0]) * size_t(c.n[1]), 0);
    for (int32_t z = 0; z < t.n[2]; z++)
        for (int32_t x = 0; x < t.n[0]; x++) {
            const size_t s = size_t(z) * size_t(t.n[0]) + size_t(x);
            if (t.starts[s + 1] > t.starts[s])
                c.any[size_t(down4(t.lo[2] + z) - c.lo[1]) * size_t(c.n[0]) + size_t(down4(t.lo[0] + x) - c.lo[0])] = 1;
        }
}

void build_index(PhQueryIndex &idx)
{
    idx.usable = false;
    build_slope_table(idx);
    build_goal_table(idx);
    std::vector<PhElem *> objs;
    for (PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject) {
        if (o->IsBall()) {
            if (excluded(*o, nullptr))
                continue;  // never a candidate
            return;        // a moving box the lists cannot hold
        }
        if (!in_reach(o->boxLow) || !in_reach(o->boxHigh))
            return;
        objs.push_back(o);
    }
    if (!fill_table(idx.cells, objs, cell_range, [](const PhElem &o, int32_t x, int32_t gy, int32_t z) {
            const FV3 c = cell_centre(x, gy, z);
            return box_contains(o, c.x, c.y, c.z);
        }))
        return;
    if (!fill_table(idx.buckets, objs, bucket_range, any_slot) || !fill_table(idx.columns, objs, column_range, any_slot))
        return;
    {
        const PhQueryIndex::Table &t = idx.cells;
        idx.cellKind.assign(t.starts.size() - 1, 0);
        for (int32_t y = 0, s = 0; y < t.n[1]; y++)
            for (int32_t z = 0; z < t.n[2]; z++)
                for (int32_t x = 0; x < t.n[0]; x++, s++)
                    for (uint32_t i = t.starts[s]; i < t.starts[s + 1]; i++)
                        if (!excluded(*t.items[i], nullptr)) {
                            const PhElem *o = t.items[i];
                            const bool flat = o->cls == PHC_CORNER || (o->up.x == 0 && o->up.y == 1 && o->up.z == 0);
                            idx.cellKind[size_t(s)] = o->cellY == t.lo[1] + y && flat ? 3 : 1;
                            break;
                        }
    }
    const PhWorld &w = PhysWorld;
    if (w.sizeX > 0 && w.sizeY >= 0 && w.sizeZ > 0)
        idx.open.assign(size_t(w.sizeX) * size_t(w.sizeY + 1) * size_t(w.sizeZ), 0);
    else
        idx.open.clear();
    idx.around.assign(idx.open.size(), 0);
    idx.supportKnown.assign(idx.open.size(), 0);
    idx.supportBelow.assign(idx.open.size(), nullptr);
    idx.topLayer = INT32_MIN;
    int32_t indices = 0;
    for (const PhElem *o : objs)
        indices = o->index >= indices ? o->index + 1 : indices;
    idx.aloneOf.assign(size_t(indices), nullptr);
    idx.alone.assign(size_t(indices), 0);
    idx.byLowX.clear();
    idx.widestX = 0;
    for (const PhElem *o : objs) {
        idx.byLowX.emplace_back(double(o->boxLow.x), o);
        const double wide = double(o->boxHigh.x) - double(o->boxLow.x);
        idx.widestX = wide > idx.widestX ? wide : idx.widestX;
    }
    std::sort(idx.byLowX.begin(), idx.byLowX.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    idx.usable = true;
}

const PhQueryIndex *refresh_index()
{
    PhWorld &w = PhysWorld;
    if (w.queryIndex == nullptr)
        w.queryIndex = new (std::nothrow) PhQueryIndex();
    if (w.queryIndex == nullptr)
        return nullptr;
    build_index(*w.queryIndex);
    w.queryIndexStale = false;
    return w.queryIndex;
}

// The current index, rebuilt when stale; null when there is none.
inline const PhQueryIndex *current_index()
{
    const PhWorld &w = PhysWorld;
    if (!g_use_index)
        return nullptr;
    if (w.queryIndex != nullptr && !w.queryIndexStale)
        return w.queryIndex;
    return refresh_index();
}

// The index for the object queries; null when they must walk.
inline const PhQueryIndex *query_index()
{
    const PhQueryIndex *idx = current_index();
    return idx != nullptr && idx->usable ? idx : nullptr;
}

// The bucket of a point in a table, or -1 when the point lies beyond every bucket.
inline int64_t point_slot(const PhQueryIndex::Table &t, float x, float y, float z)
{
    // Compared as floats first: a point far out must not overflow the conversion.
    const float fx = key_x(x) - float(t.lo[0]), fy = key_y(y) - float(t.lo[1]), fz = key_x(z) - float(t.lo[2]);
    if (!(fx >= 0 && fx < float(t.n[0]) && fy >= 0 && fy < float(t.n[1]) && fz >= 0 && fz < float(t.n[2])))
        return -1;
    return int64_t((size_t(fy) * size_t(t.n[2]) + size_t(fz)) * size_t(t.n[0]) + size_t(fx));
}

void free_index()
{
    PhWorld &w = PhysWorld;
    delete w.queryIndex;
    w.queryIndex = nullptr;
    w.queryIndexStale = false;
}

}  // namespace

bool Phys_SetFastPaths(bool on)
{
    const bool was = g_use_index;
    g_use_index = on;
    return was;
}

bool Phys_FastPaths() { return g_use_index; }

void Phys_PiecesChanged()
{
    PhysWorld.queryIndexStale = true;
    PhysWorld.piecesGeneration++;
}

PhElem *Phys_ObjAtCell(int32_t x, int32_t gy, int32_t z, const PhElem *exclude)
{
    const PhQueryIndex *idx = query_index();
    if (idx == nullptr)
        return walk_cell(x, gy, z, exclude);
    const PhQueryIndex::Table &t = idx->cells;
    const uint32_t ux = uint32_t(x) - uint32_t(t.lo[0]), uy = uint32_t(gy) - uint32_t(t.lo[1]),
                   uz = uint32_t(z) - uint32_t(t.lo[2]);
    if (ux >= uint32_t(t.n[0]) || uy >= uint32_t(t.n[1]) || uz >= uint32_t(t.n[2]))
        return nullptr;
    const size_t s = (size_t(uy) * t.n[2] + uz) * t.n[0] + ux;
    for (uint32_t i = t.starts[s]; i < t.starts[s + 1]; i++)
        if (!excluded(*t.items[i], exclude))
            return t.items[i];
    return nullptr;
}

namespace {

bool flat_below_only(int32_t x, int32_t gy, int32_t z)
{
    for (int32_t dy = -1; dy <= 1; dy++)
        for (int32_t dz = -1; dz <= 1; dz++)
            for (int32_t dx = -1; dx <= 1; dx++) {
                const PhElem *o = Phys_ObjAtCell(x + dx, gy + dy, z + dz, nullptr);
                if (o == nullptr)
                    continue;
                if (dy >= 0 || o->cellY != gy - 1)
                    return false;
                if (o->cls != PHC_CORNER && !(o->up.x == 0 && o->up.y == 1 && o->up.z == 0))
                    return false;
            }
    return true;
}

}  // namespace

bool Phys_OpenAround(int32_t x, int32_t gy, int32_t z)
{
    const PhQueryIndex *idx = query_index();
    const PhWorld &w = PhysWorld;
    if (idx == nullptr || x < 0 || x >= w.sizeX || z < 0 || z >= w.sizeZ || gy < -1 || gy >= w.sizeY)
        return false;
    const size_t at = (size_t(gy + 1) * size_t(w.sizeZ) + size_t(z)) * size_t(w.sizeX) + size_t(x);
    if (at >= idx->open.size())
        return false;
    uint8_t &known = idx->open[at];
    if (known == 0)
        known = flat_below_only(x, gy, z) ? 1 : 2;
    return known == 1;
}

namespace {

// Phys_CellsAround's answer for a cell asked the first time: Phys_ObjAtCell's lookup, on the index
// at hand, as the kind of piece each cell holds. Apart, so that the kept answer is taken with
// little setting up.
__attribute__((noinline)) uint64_t around_bits(const PhQueryIndex &idx, int32_t x, int32_t gy, int32_t z)
{
    const PhQueryIndex::Table &t = idx.cells;
    // Row by row: the three cells of a row lie side by side in the table.
    const uint32_t ux = uint32_t(x) - uint32_t(t.lo[0]) - 1;
    bool inX[3];
    for (int32_t dx = 0; dx < 3; dx++)
        inX[dx] = ux + uint32_t(dx) < uint32_t(t.n[0]);
    uint64_t bits = uint64_t(1) << 63;
    for (int32_t dz = -1, b = 0; dz <= 1; dz++)
        for (int32_t dy = -1; dy <= 1; dy++, b += 3) {
            const uint32_t uy = uint32_t(gy + dy) - uint32_t(t.lo[1]), uz = uint32_t(z + dz) - uint32_t(t.lo[2]);
            if (uy >= uint32_t(t.n[1]) || uz >= uint32_t(t.n[2]))
                continue;
            const uint8_t *row = idx.cellKind.data() + (size_t(uy) * t.n[2] + uz) * t.n[0];
            for (int32_t dx = 0; dx < 3; dx++) {
                if (!inX[dx])
                    continue;
                const uint32_t k = row[uint32_t(ux + uint32_t(dx))];
                bits |= uint64_t(k & 1) << (b + dx);
                if (dy == -1)
                    bits |= uint64_t(k >> 1) << (32 + b + dx);
            }
        }
    return bits;
}

}  // namespace

namespace {

// Phys_CellsAround in full: the index made when stale, the answer found when not yet known.
__attribute__((noinline)) bool cells_around(int32_t x, int32_t gy, int32_t z, uint32_t *held, uint32_t *flatBelow)
{
    const PhQueryIndex *idx = query_index();
    const PhWorld &w = PhysWorld;
    if (idx == nullptr || x < 0 || x >= w.sizeX || z < 0 || z >= w.sizeZ || gy < -1 || gy >= w.sizeY)
        return false;
    const size_t at = (size_t(gy + 1) * size_t(w.sizeZ) + size_t(z)) * size_t(w.sizeX) + size_t(x);
    if (at >= idx->around.size())
        return false;
    uint64_t &known = idx->around[at];
    if (known == 0)
        known = around_bits(*idx, x, gy, z);
    *held = uint32_t(known & 0x7ffffff);
    *flatBelow = uint32_t(known >> 32) & 0x7ffffff;
    return true;
}

}  // namespace

bool Phys_CellsAround(int32_t x, int32_t gy, int32_t z, uint32_t *held, uint32_t *flatBelow)
{
    // The answer kept for a cell of the field, on an index at hand; anything else the full way.
    const PhWorld &w = PhysWorld;
    const PhQueryIndex *idx = w.queryIndex;
    if (g_use_index && idx != nullptr && !w.queryIndexStale && idx->usable && uint32_t(x) < uint32_t(w.sizeX) &&
        uint32_t(z) < uint32_t(w.sizeZ) && gy >= -1 && gy < w.sizeY) {
        const size_t at = (size_t(gy + 1) * size_t(w.sizeZ) + size_t(z)) * size_t(w.sizeX) + size_t(x);
        if (at < idx->around.size()) {
            const uint64_t known = idx->around[at];
            if (known != 0) {
                *held = uint32_t(known & 0x7ffffff);
                *flatBelow = uint32_t(known >> 32) & 0x7ffffff;
                return true;
            }
        }
    }
    return cells_around(x, gy, z, held, flatBelow);
}

namespace {

// The part of a piece's box a point must lie in for Phys_SurelyAtPoint: well inside across (x, z),
// within half the point tolerance of the box in height. The margins leave room for the rounding of
// the point test's sums (coordinates stay within 4096 where the index is used).
const float k_sure_across = 3 * k_point_slack, k_sure_height = 0.5f * k_point_slack;

bool no_piece_near_inner_part(const PhQueryIndex &idx, const PhElem &o)
{
    // The inner part grown by twice the point tolerance: a piece apart from it on some axis cannot
    // take a point of the inner part. Only the pieces listed in the columns it meets can reach it.
    const double m = k_sure_across, h = k_sure_height, reach = 2.0 * k_point_slack;
    const double lox = double(o.boxLow.x) + m - reach, hix = double(o.boxHigh.x) - m + reach;
    const double loz = double(o.boxLow.z) + m - reach, hiz = double(o.boxHigh.z) - m + reach;
    const double loy = double(o.boxLow.y) - h - reach, hiy = double(o.boxHigh.y) + h + reach;
    if (!(idx.widestX <= 8192))
        return false;
    // The columns between the bounds (either way round: an inner part may be narrower than nothing).
    const PhQueryIndex::Table &t = idx.columns;
    const double fx0 = floor(lox < hix ? lox : hix), fx1 = floor(lox < hix ? hix : lox);
    const double fz0 = floor(loz < hiz ? loz : hiz), fz1 = floor(loz < hiz ? hiz : loz);
    const double x0 = fx0 > t.lo[0] ? fx0 : t.lo[0], x1 = fx1 < t.lo[0] + t.n[0] - 1 ? fx1 : t.lo[0] + t.n[0] - 1;
    const double z0 = fz0 > t.lo[2] ? fz0 : t.lo[2], z1 = fz1 < t.lo[2] + t.n[2] - 1 ? fz1 : t.lo[2] + t.n[2] - 1;
    for (int32_t z = int32_t(z0); z <= int32_t(z1) && z0 <= z1; z++)
        for (int32_t x = int32_t(x0); x <= int32_t(x1) && x0 <= x1; x++) {
            const size_t s = t.Slot(x, t.lo[1], z);
            for (uint32_t i = t.starts[s]; i < t.starts[s + 1]; i++) {
                const PhElem *y = t.items[i];
                if (double(y->boxHigh.x) < lox || double(y->boxLow.x) > hix || double(y->boxLow.z) > hiz ||
                    double(y->boxHigh.z) < loz || double(y->boxLow.y) > hiy || double(y->boxHigh.y) < loy)
                    continue;
                if (y == &o || y->IsBall() || excluded(*y, nullptr))
                    continue;
                return false;
            }
        }
    return true;
}

}  // namespace

namespace {

// Whether no other piece comes near o's inner part (found on first asking), for a piece the point
// query can find anywhere in its box.
bool alone_in_inner_part(const PhQueryIndex &idx, const PhElem &o)
{
    if (o.IsBall() || excluded(o, nullptr) || o.type == TY_T_LEJTO || o.type == TY_T_SAROK || o.index < 0 ||
        size_t(o.index) >= idx.alone.size())
        return false;
    const size_t i = size_t(o.index);
    if (idx.aloneOf[i] != &o) {
        idx.aloneOf[i] = &o;
        idx.alone[i] = no_piece_near_inner_part(idx, o) ? 1 : 2;
    }
    return idx.alone[i] == 1;
}

}  // namespace

bool Phys_SurelyAtPoint(const PhElem &o, const FV3 &p)
{
    const PhQueryIndex *idx = query_index();
    if (idx == nullptr)
        return false;
    const float m = k_sure_across, h = k_sure_height;
    if (!(p.x >= o.boxLow.x + m && p.x <= o.boxHigh.x - m && p.z >= o.boxLow.z + m && p.z <= o.boxHigh.z - m &&
          p.y >= o.boxLow.y - h && p.y <= o.boxHigh.y + h))
        return false;
    return alone_in_inner_part(*idx, o);
}

bool Phys_SureBox(const PhElem &o, float box[6])
{
    const PhQueryIndex *idx = query_index();
    if (idx == nullptr || !alone_in_inner_part(*idx, o))
        return false;
    const float m = k_sure_across, h = k_sure_height;
    box[0] = o.boxLow.x + m;
    box[1] = o.boxHigh.x - m;
    box[2] = o.boxLow.y - h;
    box[3] = o.boxHigh.y + h;
    box[4] = o.boxLow.z + m;
    box[5] = o.boxHigh.z - m;
    return true;
}

TrElem *Phys_ElemAtCell(int32_t x, int32_t gy, int32_t z, const PhElem *exclude)
{
    PhElem *o = Phys_ObjAtCell(x, gy, z, exclude);
    return o != nullptr ? o->element : nullptr;
}

namespace {

TrElem *walk_support_below(int32_t x, int32_t gy, int32_t z, const PhElem *exclude)
{
    for (int32_t g = gy; g >= -1; g--) {
        PhElem *o = Phys_ObjAtCell(x, g, z, exclude);
        if (o != nullptr && o->type != TY_T_SAROK)
            return o->element;
    }
    return nullptr;
}

}  // namespace

TrElem *Phys_SupportBelow(int32_t x, int32_t gy, int32_t z, const PhElem *exclude)
{
    // In the field, excluding nothing the lists hold (no piece, or a ball): the column's answer is
    // kept until the pieces change.
    if (exclude == nullptr || exclude->IsBall()) {
        const PhQueryIndex *idx = query_index();
        const PhWorld &w = PhysWorld;
        if (idx != nullptr && x >= 0 && x < w.sizeX && z >= 0 && z < w.sizeZ && gy >= -1 && gy < w.sizeY) {
            const size_t at = (size_t(gy + 1) * size_t(w.sizeZ) + size_t(z)) * size_t(w.sizeX) + size_t(x);
            if (at < idx->supportKnown.size()) {
                if (idx->supportKnown[at] == 0) {
                    idx->supportBelow[at] = walk_support_below(x, gy, z, nullptr);
                    idx->supportKnown[at] = 1;
                }
                return idx->supportBelow[at];
            }
        }
    }
    // Above the field the walk starts at the highest box: a ball flung far up would otherwise walk
    // every layer down to the field.
    if (gy > PhysWorld.sizeY) {
        const float walkTop = 0.275f + 0.55f * static_cast<float>(gy);
        // Excluding nothing or a ball passes over the same objects (the balls): the top of a layer
        // is kept until the pieces change.
        const PhQueryIndex *idx = exclude == nullptr || exclude->IsBall() ? query_index() : nullptr;
        float top = -1.0f;
        if (idx != nullptr && idx->topLayer == gy) {
            top = idx->topBelow;
        } else {
            for (const PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject)
                if (!excluded(*o, exclude) && o->boxLow.y <= walkTop && o->boxHigh.y > top)
                    top = o->boxHigh.y;
            if (idx != nullptr) {
                idx->topLayer = gy;
                idx->topBelow = top;
            }
        }
        const float highest = top / 0.55f + 1.0f;  // no box reaches a layer's centre above this
        if (highest < static_cast<float>(gy))
            gy = static_cast<int32_t>(highest);
    }
    return walk_support_below(x, gy, z, exclude);
}

PhElem *Phys_ObjAtPoint(TrPalya *field, float x, float y, float z, const PhElem *exclude)
{
    (void)field;
    const PhQueryIndex *idx = query_index();
    if (idx == nullptr || isnan(x) || isnan(y) || isnan(z))
        return walk_point(x, y, z, exclude);
    const PhQueryIndex::Table &t = idx->buckets;
    const int64_t s = point_slot(t, x, y, z);
    if (s < 0)
        return nullptr;
    for (uint32_t i = t.starts[s]; i < t.starts[s + 1]; i++) {
        PhElem &o = *t.items[i];
        if (!excluded(o, exclude) && point_accepts(o, x, y, z))
            return &o;
    }
    return nullptr;
}

PhElem *Phys_ObjAtPoint(TrPalya *field, const FV3 &p, const PhElem *exclude)
{
    return Phys_ObjAtPoint(field, p.x, p.y, p.z, exclude);
}

TrElem *Phys_ElemAtPoint(TrPalya *field, float x, float y, float z, const PhElem *exclude)
{
    PhElem *o = Phys_ObjAtPoint(field, x, y, z, exclude);
    return o != nullptr ? o->element : nullptr;
}

TrElem *Phys_ElemAtPoint(TrPalya *field, const FV3 &p, const PhElem *exclude)
{
    return Phys_ElemAtPoint(field, p.x, p.y, p.z, exclude);
}

bool Phys_GoalsNear(const FV3 &p, PhElem *const **first, int32_t *count)
{
    const PhQueryIndex *idx = current_index();
    if (idx == nullptr || !idx->goalsUsable || isnan(p.x) || isnan(p.z))
        return false;
    const PhQueryIndex::Table &t = idx->goals;
    *count = 0;
    *first = nullptr;
    const float fx = key_x(p.x) - float(t.lo[0]), fz = key_x(p.z) - float(t.lo[2]);
    if (fx >= 0 && fx < float(t.n[0]) && fz >= 0 && fz < float(t.n[2])) {
        const size_t s = size_t(fz) * size_t(t.n[0]) + size_t(fx);
        *first = t.items.data() + t.starts[s];
        *count = int32_t(t.starts[s + 1] - t.starts[s]);
    }
    return true;
}

const PhGoalColumns *Phys_GoalColumns()
{
    const PhQueryIndex *idx = current_index();
    return idx != nullptr && idx->goalsUsable ? &idx->goalColumns : nullptr;
}

bool Phys_NoSlopeNear(const FV3 &p)
{
    const PhQueryIndex *idx = query_index();
    if (idx == nullptr || !idx->slopesUsable || isnan(p.x) || isnan(p.y) || isnan(p.z))
        return false;
    const PhQueryIndex::Table &t = idx->slopes;
    const int64_t k = point_slot(t, p.x, p.y, p.z);
    return k < 0 || t.starts[size_t(k)] == t.starts[size_t(k) + 1];
}

TrElem *Phys_SlopeAtPoint(const FV3 &p)
{
    const PhQueryIndex *idx = current_index();
    if (idx != nullptr && idx->slopesUsable && !isnan(p.x) && !isnan(p.y) && !isnan(p.z)) {
        const PhQueryIndex::Table &t = idx->slopes;
        const int64_t k = point_slot(t, p.x, p.y, p.z);
        if (k < 0)
            return nullptr;
        for (uint32_t i = t.starts[size_t(k)]; i < t.starts[size_t(k) + 1]; i++) {
            PhElem *s = t.items[i];
            if (TrElem *e = s->FilterCandidate(s->element, p))
                return e;
        }
        return nullptr;
    }
    for (PhSlope *s = PhysWorld.slopes; s != nullptr; s = s->nextSlope) {
        TrElem *e = s->FilterCandidate(s->element, p);
        if (e != nullptr)
            return e;
    }
    return nullptr;
}

uint32_t Phys_OutOfField(const TrPalya *field, const FV3 &p, FV3 *excess)
{
    const float *box = field->fieldBox;  // min x, max x, min y, min z, max z
    uint32_t bits = 0;
    FV3 e(0, 0, 0);
    if (p.z < box[3]) {
        bits |= 1;
        e.z = p.z;
    } else if (p.z > box[4]) {
        bits |= 4;
        e.z = p.z - box[4];
    }
    if (p.x < box[0]) {
        bits |= 2;
        e.x = p.x;
    } else if (p.x > box[1]) {
        bits |= 8;
        e.x = p.x - box[1];
    }
    if (p.y < box[2]) {
        bits |= 16;
        e.y = p.y;
    }
    if (excess != nullptr)
        *excess = e;
    return bits;
}

float Phys_Energy()
{
    float total = 0;
    for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall) {
        if (b->finishCode != 0)
            continue;
        b->energy = PhBall_Energy(*b);
        total += b->energy;
    }
    return total;
}

int Env_PlaceOnSupport(PhBall &ball, PhElem *support, FV3 &pos, int clearVertical, int force)
{
    PhScope scope;
    const float r = ball.radius;
    if (support == nullptr)
        return 0;
    if (support->cls != PHC_SLOPE) {
        pos.y = 0.55f * static_cast<float>(CellOf(0.55f, pos.y)) + r;
        if (clearVertical)
            ball.velocity.y = 0;
        return 1;
    }
    PhZoneCode zc = PhElem_Classify(support->boxLow, support->boxHigh, pos, r, nullptr);
    const int o = support->Orientation();
    const int xz = zc.Zone(0), xd = zc.Detail(0), zz = zc.Zone(2), zd = zc.Detail(2);
    bool applies = false;
    switch (o) {
    case 0: applies = xz >= 5 && xd >= 5 && zz >= 4 && zz <= 6; break;
    case 2: applies = xz <= 5 && xd <= 5 && zz >= 4 && zz <= 6; break;
    case 1: applies = xz >= 4 && xz <= 6 && zd <= 5 && zz <= 5; break;
    case 3: applies = xz >= 4 && xz <= 6 && zd >= 5 && zz >= 5; break;
    default: break;
    }
    if (!applies && !force)
        return 0;
    static const int k_key[4] = {3, 0, 1, 2};
    if (o < 0 || o > 3)
        return 0;
    const FV3 k = PhyDerived.slopeDir[k_key[o]] * r;
    FV3 q = pos + k;
    const FV3 &lo = support->boxLow, &hi = support->boxHigh;
    float along = 0, d = 0;
    bool over = false;
    switch (o) {
    case 0: along = q.x - lo.x; over = q.x <= hi.x; d = hi.x - pos.x; break;
    case 1: along = hi.z - q.z; over = q.z >= lo.z; d = pos.z - lo.z; break;
    case 2: along = hi.x - q.x; over = q.x >= lo.x; d = pos.x - lo.x; break;
    default: along = q.z - lo.z; over = q.z <= hi.z; d = hi.z - pos.z; break;
    }
    if (over) {
        q.y = lo.y + 0.55f * along;
        pos = q - k;
    } else if (r >= fabsf(d)) {
        pos.y = sqrtf(r * r - d * d) + hi.y;
    }
    if (clearVertical) {
        const double speed = ball.velocity.Length();
        FV3 v = ball.velocity - support->up * static_cast<float>(ball.velocity.Dot(support->up));
        if (v.Length() > 0)
            v.SetLength(speed);
        ball.velocity = v;
    }
    return 1;
}

namespace {

// Whether motion with velocity v in `state` runs along an axis.
int axis_aligned(int state, int lane, const FV3 &v)
{
    if (state == MT_ALL || state == MT_MAGN_ALL)
        return 0;
    const float eps = PhyParams.epsilon;
    if (lane == 0 || fabsf(v.z) <= eps || fabsf(v.x / v.z) >= 20 || fabsf(v.x) <= eps)
        return 1;
    return fabsf(v.z / v.x) >= 20 ? 1 : 0;
}

}  // namespace

int Env_AxisAligned(const PhBall &ball) { return axis_aligned(ball.motion, ball.lane, ball.velocity); }

int Env_AxisAlignedFor(int state, int lane, const FV3 &v) { return axis_aligned(state, lane, v); }

int Env_LaneOf(PhBall &ball)
{
    FV3 &v = ball.velocity;
    if (ball.motion == MT_ALL || ball.motion == MT_MAGN_ALL || (v.x == 0 && v.z == 0))
        return 0;
    if (v.z != 0 && fabsf(v.x / v.z) <= 20) {
        if (v.x != 0 && fabsf(v.z / v.x) <= 20)
            return 0;
        v.x = 0;
        const float f = Frac(ball.position.x);
        return f >= 0.4f && f <= 0.6f ? 2 : 6;
    }
    v.z = 0;
    const float f = Frac(ball.position.z);
    return f >= 0.4f && f <= 0.6f ? 1 : 5;
}

int Env_ClampToField(PhBall &ball)
{
    const float r = ball.radius;
    FV3 &p = ball.position;
    const float hx = PhysWorld.sizeXf - r, hz = PhysWorld.sizeZf - r;
    if (r <= p.x && p.x <= hx && r <= p.z && p.z <= hz)
        return 0;
    p.x = p.x < r ? r : (p.x > hx ? hx : p.x);
    p.z = p.z < r ? r : (p.z > hz ? hz : p.z);
    ball.UpdateCell();
    return 1;
}

int Env_BackOffPoint(PhBall &ball, const FV3 &point)
{
    PhScope scope;
    const float r = ball.radius;
    if (ball.velocity.Length() <= 0)
        return 0;
    const FV3 u = ball.velocity.Normalised();  // the direction only: the speed stays
    const FV3 f = ball.position + u * static_cast<float>((point - ball.position).Dot(u));
    const double h2 = (point - f).Length2();
    if (double(r) * r < h2)
        return 0;
    ball.position = f - u * static_cast<float>(sqrt(double(r) * r - h2));
    return 1;
}

int Env_BackOffPlane(PhBall &ball, const PhPlane &plane, const FV3 &w)
{
    PhScope scope;
    const double len = w.Length();
    if (len <= 0 || ball.velocity.Length() <= 0)
        return 1;
    const FV3 hit = Plane_Hit(plane, PhLine{ball.position, ball.velocity.Normalised()});
    ball.position = hit + (ball.position - hit) * static_cast<float>(ball.radius / len);
    return 1;
}

// Field files (.trl, version 4, and the older layouts they are converted from) and saved positions
// (.trs). Both are read field by field, little-endian; every element is checked once here, so that no
// later reader (physics grid, supply counters, looks, tally) meets coordinates, types or directions
// it cannot hold. Saves build the whole file first and replace the old one in one step.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "terrow/trfield.h"
#include "terrow/trmsg.h"
#include "vokplat/savefile.h"
#include "vokplat/stdio.h"

namespace {

const char kNoMagic[] = "nincs azonositasi informacio a fileban\na file lehet, hogy hasznalhatatlan";
const char kReadFailed[] = "fread() failed";

TrPlaceUserElem g_place = nullptr;

uint32_t get_u32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int32_t get_i32(const uint8_t *p)
{
    return int32_t(get_u32(p));
}

float get_f32(const uint8_t *p)
{
    uint32_t u = get_u32(p);
    float f;
    memcpy(&f, &u, sizeof f);
    return f;
}

bool read_bytes(FILE *s, void *out, size_t n)
{
    return fread(out, 1, n, s) == n;
}

bool read_i32(FILE *s, int32_t *v)
{
    uint8_t b[4];
    if (!read_bytes(s, b, 4))
        return false;
    *v = get_i32(b);
    return true;
}

class Writer {
public:
    std::vector<uint8_t> bytes;

    void u32(uint32_t v)
    {
        for (int i = 0; i < 4; i++)
            bytes.push_back(uint8_t(v >> (8 * i)));
    }
    void i32(int32_t v) { u32(uint32_t(v)); }
    void f32(float v)
    {
        uint32_t u;
        memcpy(&u, &v, sizeof u);
        u32(u);
    }
    void eio(const EIo &io)
    {
        i32(io.x);
        i32(io.y);
        i32(io.z);
        i32(io.direction);
        i32(io.type);
        i32(io.variant);
        u32(io.flags & ~EF_SELECTED);
    }
};

EIo decode_eio(const uint8_t *p)
{
    return EIo{get_i32(p), get_i32(p + 4), get_i32(p + 8), get_i32(p + 12), get_i32(p + 16), get_i32(p + 20),
               get_u32(p + 24)};
}

// The element rules every stored element must keep. A tile's direction selects one of the 100-wide
// blocks of the supply counters, so it must be a real direction; a ball may still wait for one.
bool element_valid(const EIo &io)
{
    if (io.x < 0 || io.x >= TR_CELLS_XZ || io.z < 0 || io.z >= TR_CELLS_XZ || io.y < 0 || io.y >= TR_LAYERS)
        return false;
    if (!Elem_TypeStorable(io.type))
        return false;
    // Layer 0 is the floor's own: a ball there would lie inside it.
    if (io.type < TY_BALL_LIMIT && io.y < 1)
        return false;
    int32_t maxDir = io.type < TY_BALL_LIMIT ? TR_DIR_UNSET : 3;
    return io.direction >= 0 && io.direction <= maxDir;
}

// What is kept of a valid element as it stands: the class bits follow the type, and a variant
// without a look shows the type's first look.
void settle_element(EIo &io)
{
    io.flags = (io.flags & ~EF_CLASS_MASK) | Elem_ClassOf(io.type);
    if (!Elem_VariantKnown(io.type, io.variant))
        io.variant = 0;
}

// User-placed slopes, corners, blocks and start positions show their "placed" look.
void placed_variant(EIo &io)
{
    if (!(io.flags & EF_LEVEL_PART) &&
        (io.type == TY_T_LEJTO || io.type == TY_T_SAROK || io.type == TY_T_SIMA || io.type == TY_T_INDITO))
        io.variant = 1;
}

enum class Read { kOk, kShort, kDamaged };

// Every cell holds one element at most: the physics keeps one piece per cell, and two pieces in one
// place would push a ball out of both at once. Reports the first element that shares a cell.
bool cells_unique(const std::vector<EIo> &elems, bool player)
{
    std::vector<uint32_t> keys;
    keys.reserve(elems.size());
    for (const EIo &io : elems)
        keys.push_back((uint32_t(io.y) * TR_CELLS_XZ + uint32_t(io.z)) * TR_CELLS_XZ + uint32_t(io.x));
    std::vector<uint32_t> sorted(keys);
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end())
        return true;
    for (size_t i = 1; i < keys.size(); i++)
        for (size_t j = 0; j < i; j++)
            if (keys[i] == keys[j]) {
                char text[96];
                snprintf(text, sizeof text, "%s: elements %d and %d share a cell",
                         player ? "Saved position" : "Field file", int(j + 1), int(i + 1));
                if (player)
                    TrWarningNoFlag("%s", text);
                else
                    TrWarning("%s", text);
                return false;
            }
    return true;
}

// Reads `count` records of `size` bytes (28 io records or the 24-byte records of version 0). A record
// that breaks the rules is reported here; a short read is left to the caller.
Read read_elements(FILE *s, int32_t count, size_t size, bool player, std::vector<EIo> &out)
{
    std::vector<uint8_t> raw(size);
    out.reserve(size_t(count));
    for (int32_t i = 0; i < count; i++) {
        if (!read_bytes(s, raw.data(), size)) {
            TrLog(player ? "Palya_FLoadUser - reading elems"
                         : size == EIO_SIZE ? "Palya_FLoad - reading elems" : "Coversion - reading elems");
            return Read::kShort;
        }
        EIo io;
        if (size == EIO_SIZE) {
            io = decode_eio(raw.data());
            if (player)
                io.flags &= ~EF_LEVEL_PART;  // the player's pieces are never parts of the level
            placed_variant(io);
        } else {
            const uint8_t *p = raw.data();
            io = EIo{get_i32(p), get_i32(p + 4), get_i32(p + 8), get_i32(p + 12), get_i32(p + 16), 0, get_u32(p + 20)};
        }
        if (!element_valid(io)) {
            char text[96];
            snprintf(text, sizeof text, "%s: element %d is damaged", player ? "Saved position" : "Field file",
                     int(i + 1));
            if (player)
                TrWarningNoFlag("%s", text);
            else
                TrWarning("%s", text);
            return Read::kDamaged;
        }
        settle_element(io);
        out.push_back(io);
    }
    return Read::kOk;
}

void add_loaded(TrPalya *f, const std::vector<EIo> &elems)
{
    for (const EIo &io : elems)
        Palya_AddElem(f, Elem_NewV(io.x, io.y, io.z, io.direction, io.type, io.flags, io.variant));
    // Loading is no change.
    f->flags = 0;
}

void default_extras(TrPalya *f)
{
    f->pitch = TR_CAM_PITCH;
    f->yaw = TR_CAM_YAW;
    f->height = TR_CAM_HEIGHT;
    f->distance = TR_CAM_DISTANCE;
    f->ballLayout = f->startLayout = f->cameraSaved = 0;
    f->levelFlags = 0;
    f->pan = 0.0f;
    f->lastWord = 0;
}

float finite_or(float v, float fallback)
{
    return isfinite(v) ? v : fallback;
}

// Balls needed as stored: 1..12, the editor's range (the tally and the status bar hold no more).
int32_t stored_balls_needed(int32_t n)
{
    return n < 1 ? 1 : n > TR_BALLS_NEEDED_MAX ? TR_BALLS_NEEDED_MAX : n;
}

// Balls needed and the extras after the elements. A missing balls-needed word gives 0 and defaults.
void read_tail(FILE *s, TrPalya *f, int32_t version)
{
    int32_t balls;
    if (!read_i32(s, &balls)) {
        f->ballsNeeded = 0;
        default_extras(f);
        return;
    }
    f->ballsNeeded = stored_balls_needed(balls);
    default_extras(f);
    if (version < 2)
        return;
    uint8_t cam[16];
    if (!read_bytes(s, cam, sizeof cam))
        return;
    uint8_t words[24];
    bool haveWords = version >= 3;
    if (haveWords && !read_bytes(s, words, sizeof words))
        return;
    f->pitch = finite_or(get_f32(cam), TR_CAM_PITCH);
    f->yaw = finite_or(get_f32(cam + 4), TR_CAM_YAW);
    f->distance = finite_or(get_f32(cam + 8), TR_CAM_DISTANCE);
    f->height = finite_or(get_f32(cam + 12), TR_CAM_HEIGHT);
    if (haveWords) {
        f->ballLayout = get_i32(words);
        f->startLayout = get_i32(words + 4);
        f->cameraSaved = get_i32(words + 8);
        f->levelFlags = get_u32(words + 12);
        f->pan = version >= 4 ? finite_or(get_f32(words + 16), 0.0f) : 0.0f;
        f->lastWord = get_i32(words + 20);
    }
}

std::vector<uint8_t> field_bytes(const TrPalya *f)
{
    Writer w;
    int32_t count = 0;
    for (int32_t i = 0; i < f->count; i++)
        if (!(f->elements[i]->io->flags & EF_RUN_MADE))
            count++;
    w.u32(TRL_MAGIC);
    w.i32(TRL_VERSION);
    w.i32(count);
    for (int32_t i = 0; i < f->count; i++)
        if (!(f->elements[i]->io->flags & EF_RUN_MADE))
            w.eio(*f->elements[i]->io);
    w.i32(f->ballsNeeded);
    w.f32(f->pitch);
    w.f32(f->yaw);
    w.f32(f->distance);
    w.f32(f->height);
    w.i32(f->ballLayout);
    w.i32(f->startLayout);
    w.i32(f->cameraSaved);
    w.u32(f->levelFlags);
    w.f32(f->pan);
    w.i32(f->lastWord);
    return w.bytes;
}

int32_t stored_count(const TrPalya *f, uint32_t leaveOut)
{
    int32_t n = 0;
    for (int32_t i = 0; i < f->count; i++)
        if (!(f->elements[i]->io->flags & leaveOut))
            n++;
    return n;
}

}  // namespace

extern "C" {

TrPalya *Palya_FLoad(FILE *stream)
{
    if (stream == nullptr)
        return nullptr;
    int32_t version = 0;
    uint8_t head[4];
    if (!read_bytes(stream, head, 4)) {
        TrWarning("%s", kReadFailed);
        return nullptr;
    }
    bool magic = get_u32(head) == TRL_MAGIC;
    if (!magic) {
        if (fseek(stream, 0, SEEK_SET) != 0) {
            TrWarning("%s", kReadFailed);
            return nullptr;
        }
        TrWarning("%s", kNoMagic);
    } else if (!read_i32(stream, &version)) {
        TrWarning("%s", kReadFailed);
        return nullptr;
    }
    if (version < 0) {
        TrWarning("No conversion method for file ver: %d", int(version));
        return nullptr;
    }
    int32_t count;
    if (!read_i32(stream, &count)) {
        TrWarning("%s", kReadFailed);
        return nullptr;
    }
    // An empty field of the oldest layout is refused as well.
    if (count < (version == 0 ? 1 : 0) || count > TR_MAX_ELEMS)
        return nullptr;
    std::vector<EIo> elems;
    Read r = read_elements(stream, count, version == 0 ? 24 : EIO_SIZE, false, elems);
    if (r != Read::kOk) {
        if (r == Read::kShort)
            TrWarning("%s", kReadFailed);
        return nullptr;
    }
    if (!cells_unique(elems, false))
        return nullptr;
    TrPalya *f = Palya_NewEmpty();
    add_loaded(f, elems);
    read_tail(stream, f, version == 0 ? 0 : version);
    return f;
}

TrPalya *Palya_FOpenLoad(const char *path)
{
    FILE *f = path != nullptr ? PlatFopen(path, "rb") : nullptr;
    if (f == nullptr) {
        TrWarning("fopen() failed");
        return nullptr;
    }
    TrPalya *field = Palya_FLoad(f);
    fclose(f);
    return field;
}

int Palya_FSave(const char *path, TrPalya *field)
{
    // A field the loader would refuse is not written over a good file.
    bool fits = stored_count(field, EF_RUN_MADE) <= TR_MAX_ELEMS;
    std::vector<uint8_t> bytes;
    if (fits)
        bytes = field_bytes(field);
    if (!fits || path == nullptr || !PlatSaveFile(path, bytes.data(), bytes.size())) {
        TrWarning("%s", TrMessage(TR_MSG_SAVE_FAILED));
        return 0;
    }
    Palya_RemoveRunMade(field);
    for (int32_t i = 0; i < field->count; i++)
        field->elements[i]->io->flags &= ~EF_SELECTED;
    field->flags &= ~PF_MODIFIED;
    return 1;
}

int Palya_FSaveUser(const char *path, TrPalya *field)
{
    // The player's pieces; debris is left out here and removed once the file is written.
    const uint32_t leaveOut = EF_LEVEL_PART | EF_RUN_MADE;
    int32_t count = stored_count(field, leaveOut);
    Writer w;
    w.i32(count);
    for (int32_t i = 0; i < field->count; i++)
        if (!(field->elements[i]->io->flags & leaveOut))
            w.eio(*field->elements[i]->io);
    if (count > TR_MAX_ELEMS || path == nullptr || !PlatSaveFile(path, w.bytes.data(), w.bytes.size())) {
        TrWarning("%s", TrMessage(TR_MSG_POSITION_FAILED));
        return 0;
    }
    Palya_RemoveRunMade(field);
    return 1;
}

void Palya_SetUserPlace(TrPlaceUserElem place)
{
    g_place = place;
}

int Palya_FLoadUser(FILE *stream, TrPalya *field)
{
    int32_t count;
    if (stream == nullptr || field == nullptr)
        return 0;
    if (!read_i32(stream, &count)) {
        TrWarningNoFlag("%s", kReadFailed);
        TrLog("Palya_FLoadUser - reading count");
        return 0;
    }
    if (count < 0 || count > TR_MAX_ELEMS)
        return 0;
    // Every record is read and checked before the field changes, so a damaged file applies nothing.
    std::vector<EIo> elems;
    Read r = read_elements(stream, count, EIO_SIZE, true, elems);
    if (r != Read::kOk) {
        if (r == Read::kShort)
            TrWarningNoFlag("%s", kReadFailed);
        return 0;
    }
    if (!cells_unique(elems, true))
        return 0;
    // The position is applied over the field's own pieces: none of the player's may take their cells.
    for (size_t i = 0; i < elems.size(); i++)
        for (int32_t k = 0; k < field->count; k++) {
            const EIo &own = *field->elements[k]->io;
            if ((own.flags & EF_LEVEL_PART) && own.x == elems[i].x && own.y == elems[i].y && own.z == elems[i].z) {
                TrWarningNoFlag("Saved position: element %d shares a cell with the field", int(i + 1));
                return 0;
            }
        }
    for (const EIo &io : elems) {
        TrElem *e = Elem_NewV(io.x, io.y, io.z, io.direction, io.type, io.flags, io.variant);
        if (g_place != nullptr)
            g_place(field, e);
        else
            Palya_AddElem(field, e);
    }
    field->flags &= ~PF_MODIFIED;
    return count;
}

int Palya_FOpenLoadUser(const char *path, TrPalya *field)
{
    FILE *f = path != nullptr ? PlatFopen(path, "rb") : nullptr;
    if (f == nullptr)
        return 0;
    int n = Palya_FLoadUser(f, field);
    fclose(f);
    return n;
}

}  // extern "C"

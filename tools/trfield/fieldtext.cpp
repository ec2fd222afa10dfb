// Reading and writing the text description of a field.
#include "fieldtext.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <sstream>
#include <vector>

namespace trtext {

namespace {

const struct {
    const char *name;
    const char *id;
    int32_t type;
} kTypes[] = {
    {"iron", "TY_G_FEM", TY_G_FEM},         {"plastic", "TY_G_GUMI", TY_G_GUMI},
    {"bomb", "TY_G_BOMBA", TY_G_BOMBA},     {"rubber", "TY_G_UVEG", TY_G_UVEG},
    {"slope", "TY_T_LEJTO", TY_T_LEJTO},    {"corner", "TY_T_SAROK", TY_T_SAROK},
    {"block", "TY_T_SIMA", TY_T_SIMA},      {"magnet", "TY_T_MAGNES", TY_T_MAGNES},
    {"nailed", "TY_T_SZOGES", TY_T_SZOGES}, {"ground", "TY_T_TALAJ", TY_T_TALAJ},
    {"goal", "TY_T_CEL", TY_T_CEL},         {"start", "TY_T_INDITO", TY_T_INDITO},
};

bool number(const std::string &word, long long &out)
{
    if (word.empty())
        return false;
    char *end;
    out = strtoll(word.c_str(), &end, 0);
    return *end == '\0';
}

bool real(const std::string &word, float &out)
{
    if (word.empty())
        return false;
    char *end;
    out = strtof(word.c_str(), &end);
    return *end == '\0';
}

bool type_of(const std::string &word, int32_t &out)
{
    long long n;
    if (number(word, n)) {
        out = int32_t(n);
        return true;
    }
    for (const auto &t : kTypes)
        if (strcasecmp(word.c_str(), t.name) == 0 || strcasecmp(word.c_str(), t.id) == 0) {
            out = t.type;
            return true;
        }
    return false;
}

const char *type_name(int32_t type)
{
    for (const auto &t : kTypes)
        if (t.type == type)
            return t.name;
    return nullptr;
}

}  // namespace

TrPalya *parse(const std::string &text, std::string &error)
{
    TrPalya *f = Palya_NewEmpty();
    // The description is the field as stored: adding its elements is no change of it.
    int marks = Palya_SuppressChangeMark(1);
    std::istringstream in(text);
    std::string line;
    int number_of_line = 0;
    auto fail = [&](const std::string &what) {
        error = "line " + std::to_string(number_of_line) + ": " + what;
        Palya_SuppressChangeMark(marks);
        Palya_Free(f);
        return nullptr;
    };
    while (std::getline(in, line)) {
        number_of_line++;
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.resize(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string s; words >> s;)
            w.push_back(s);
        if (w.empty())
            continue;
        const std::string &key = w[0];
        long long n[4] = {};
        float r[4] = {};
        if (key == "elem" || key == "piece") {
            if (w.size() < 6 || w.size() > 8)
                return fail("elem needs X Y Z DIR TYPE [VARIANT [FLAGS]]");
            for (int i = 0; i < 4; i++)
                if (!number(w[1 + i], n[i]))
                    return fail("bad number '" + w[1 + i] + "'");
            int32_t type;
            if (!type_of(w[5], type))
                return fail("unknown type '" + w[5] + "'");
            long long variant = 0, flags = Elem_ClassOf(type) | (key == "elem" ? EF_LEVEL_PART : 0);
            if (w.size() > 6 && !number(w[6], variant))
                return fail("bad variant '" + w[6] + "'");
            if (w.size() > 7 && !number(w[7], flags))
                return fail("bad flags '" + w[7] + "'");
            Palya_AddElem(f, Elem_NewV(int32_t(n[0]), int32_t(n[1]), int32_t(n[2]), int32_t(n[3]), type,
                                       uint32_t(flags), int32_t(variant)));
        } else if (key == "floor") {
            if (w.size() != 2 || !number(w[1], n[0]) || n[0] < 1 || n[0] > TR_CELLS_XZ)
                return fail("floor needs a side of 1..100");
            for (int32_t z = 0; z < n[0]; z++)
                for (int32_t x = 0; x < n[0]; x++)
                    Palya_AddElem(f, Elem_New(x, 0, z, 0, TY_T_SIMA, EF_NOT_BALL | EF_LEVEL_PART));
        } else if (key == "camera") {
            if (w.size() != 5 || !real(w[1], r[0]) || !real(w[2], r[1]) || !real(w[3], r[2]) || !real(w[4], r[3]))
                return fail("camera needs PITCH YAW DISTANCE HEIGHT");
            f->pitch = r[0];
            f->yaw = r[1];
            f->distance = r[2];
            f->height = r[3];
        } else if (key == "layout") {
            if (w.size() != 3 || !number(w[1], n[0]) || !number(w[2], n[1]))
                return fail("layout needs BALLS START");
            f->ballLayout = int32_t(n[0]);
            f->startLayout = int32_t(n[1]);
        } else if (key == "pan") {
            if (w.size() != 2 || !real(w[1], r[0]))
                return fail("pan needs a number");
            f->pan = r[0];
        } else if (key == "balls" || key == "camsaved" || key == "levelflags" || key == "lastword") {
            if (w.size() != 2 || !number(w[1], n[0]))
                return fail(key + " needs a number");
            int32_t v = int32_t(n[0]);
            if (key == "balls")
                f->ballsNeeded = v;
            else if (key == "camsaved")
                f->cameraSaved = v;
            else if (key == "levelflags")
                f->levelFlags = uint32_t(v);
            else
                f->lastWord = v;
        } else {
            return fail("unknown item '" + key + "'");
        }
    }
    Palya_SuppressChangeMark(marks);
    return f;
}

std::string format(const TrPalya *f, bool position)
{
    std::string out;
    char line[160];
    if (!position) {
        snprintf(line, sizeof line,
                 "balls %d\ncamera %.9g %.9g %.9g %.9g\nlayout %d %d\ncamsaved %d\nlevelflags 0x%02x\npan %.9g\n"
                 "lastword %d\n",
                 f->ballsNeeded, double(f->pitch), double(f->yaw), double(f->distance), double(f->height),
                 f->ballLayout, f->startLayout, f->cameraSaved, f->levelFlags, double(f->pan), f->lastWord);
        out += line;
        snprintf(line, sizeof line, "# %d elements, extents %d %d %d\n", f->count, f->extentX, f->extentY,
                 f->extentZ);
        out += line;
    }
    for (int32_t i = 0; i < f->count; i++) {
        const EIo &e = *f->elements[i]->io;
        const char *name = type_name(e.type);
        char type[16];
        if (name == nullptr)
            snprintf(type, sizeof type, "%d", e.type);
        snprintf(line, sizeof line, "elem %d %d %d %d %s %d 0x%03x\n", e.x, e.y, e.z, e.direction,
                 name != nullptr ? name : type, e.variant, e.flags);
        out += line;
    }
    return out;
}

}  // namespace trtext

// modtool: writes the models the game data needs and shows what a model file holds.
//   modtool <shape> <out.mod> [--text] [--name NAME] [--size X[,Y,Z]] [--smooth] [--uv-max M]
//                             [--segments N] [--rings N]
//   modtool dump <in.mod>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include <brondel/brcore.h>
#include <brondel/brdbfile.h>
#include <brondel/brv1db.h>

#include <modtool/shapes.h>

#include "vokplat/paths.h"

namespace {

int failures;
void report(const char *message)
{
    fprintf(stderr, "modtool: %s\n", message);
    failures++;
}
br_diaghandler handler = {"modtool", report, report};

int usage()
{
    fprintf(stderr,
            "usage: modtool <shape> <out.mod> [--text] [--name NAME] [--size X[,Y,Z]] [--smooth]\n"
            "                                 [--uv-max M] [--segments N] [--rings N]\n"
            "       modtool dump <in.mod>\n"
            "shapes: %s\n",
            modtool::ShapeNames());
    return 2;
}

// "X" gives a cube's extents, "X,Y,Z" each its own.
bool parse_size(const char *s, br_vector3 *size)
{
    float v[3];
    int n = sscanf(s, "%f,%f,%f", &v[0], &v[1], &v[2]);
    if (n == 1)
        v[1] = v[2] = v[0];
    else if (n != 3)
        return false;
    for (int i = 0; i < 3; i++) {
        if (!(v[i] > 0.0f))
            return false;
        size->v[i] = v[i];
    }
    return true;
}

bool parse_int(const char *s, int lo, int hi, int *out)
{
    char *end;
    long v = strtol(s, &end, 10);
    if (*s == '\0' || *end != '\0' || v < lo || v > hi)
        return false;
    *out = (int)v;
    return true;
}

int make(int argc, char **argv)
{
    std::string shape = argv[1], out = PlatToolPath(argv[2]);
    modtool::ShapeOptions o;
    bool text = false;
    for (int i = 3; i < argc; i++) {
        std::string a = argv[i];
        bool has_value = i + 1 < argc;
        if (a == "--text")
            text = true;
        else if (a == "--smooth")
            o.smooth = true;
        else if (a == "--name" && has_value)
            o.name = argv[++i];
        else if (a == "--size" && has_value) {
            if (!parse_size(argv[++i], &o.size))
                return usage();
        } else if (a == "--uv-max" && has_value) {
            o.uv_max = strtof(argv[++i], nullptr);
            if (!(o.uv_max > 0.0f && o.uv_max <= 1.0f))
                return usage();
        } else if (a == "--segments" && has_value) {
            if (!parse_int(argv[++i], 1, 128, &o.segments))
                return usage();
        } else if (a == "--rings" && has_value) {
            if (!parse_int(argv[++i], 2, 128, &o.rings))
                return usage();
        } else
            return usage();
    }
    br_model *m = modtool::ShapeMake(shape, o);
    if (m == nullptr) {
        fprintf(stderr, "modtool: unknown shape '%s'\n", shape.c_str());
        return usage();
    }
    DfWriteModeSet(text ? DF_MODE_TEXT : DF_MODE_BINARY);
    br_uint_32 saved = BrModelSave(out.c_str(), m);
    BrModelFree(m);
    if (!saved) {
        fprintf(stderr, "modtool: cannot write '%s'\n", out.c_str());
        return 1;
    }
    return 0;
}

void dump_model(const br_model *m)
{
    printf("model \"%s\" flags 0x%04x vertices %u faces %u\n", m->identifier ? m->identifier : "", m->flags,
           m->nvertices, m->nfaces);
    if (m->pivot.v[0] != 0.0f || m->pivot.v[1] != 0.0f || m->pivot.v[2] != 0.0f)
        printf("  pivot %g %g %g\n", m->pivot.v[0], m->pivot.v[1], m->pivot.v[2]);
    for (int i = 0; i < m->nvertices; i++) {
        const br_vertex &v = m->vertices[i];
        printf("  v %4d  p %9.4f %9.4f %9.4f  uv %6.4f %6.4f\n", i, v.p.v[0], v.p.v[1], v.p.v[2], v.map.v[0],
               v.map.v[1]);
    }
    for (int i = 0; i < m->nfaces; i++) {
        const br_face &f = m->faces[i];
        printf("  f %4d  v %4u %4u %4u  smoothing 0x%04x  flags 0x%02x", i, f.vertices[0], f.vertices[1],
               f.vertices[2], f.smoothing, f.flags);
        if (f.material != nullptr)
            printf("  material \"%s\"", f.material->identifier ? f.material->identifier : "");
        printf("\n");
    }
}

// The loader's reports while a file is read for dump: shown only when a model came out of it.
std::string held;
void hold(const char *message)
{
    held += "modtool: ";
    held += message;
    held += "\n";
    failures++;
}
br_diaghandler holding_handler = {"modtool", hold, hold};

int dump(const char *in)
{
    br_model *models[256];
    BrDiagHandlerSet(&holding_handler);
    br_uint_32 n = BrModelLoadMany(in, models, 256);
    BrDiagHandlerSet(&handler);
    if (n == 0) {
        // A file with no model (an actor file, a picture, nothing at all) is answered plainly.
        fprintf(stderr, "modtool: no model in '%s'\n", in);
        return 1;
    }
    fputs(held.c_str(), stderr);
    for (br_uint_32 i = 0; i < n; i++) {
        dump_model(models[i]);
        BrModelFree(models[i]);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    BrDiagHandlerSet(&handler);
    if (BrBegin() != BRE_OK)
        return 1;
    BrDiagHandlerSet(&handler);
    int rc = strcmp(argv[1], "dump") == 0 ? (argc == 3 ? dump(PlatToolPath(argv[2])) : usage()) : make(argc, argv);
    BrEnd();
    return rc != 0 ? rc : failures != 0 ? 1 : 0;
}

// The decoration of the hall: the models named in fw\mt\mt.lst with their textures.
#include <cstdio>
#include <string>

#include <brondel/bractor.h>
#include <brondel/brdbfile.h>
#include <brondel/brmaterial.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>
#include <brondel/brpmfile.h>

#include "terrow/trlook.h"
#include "vokplat/stdio.h"
#include "win32/winfile.h"

namespace {

bool exists(const std::string &name)
{
    FILE *f = PlatFopen(name.c_str(), "rb");
    if (f != nullptr)
        fclose(f);
    return f != nullptr;
}

void add_decoration(const char *name, void *arg)
{
    auto *parent = static_cast<br_actor *>(arg);
    const std::string base(name);
    br_model *model = BrModelLoad((base + ".mod").c_str());
    if (model == nullptr)
        return;
    model->flags = 0x82;
    BrModelAdd(model);
    br_pixelmap *map = nullptr;
    std::string textureName = base + ".tga";
    if (exists(textureName))
        map = BrFmtTGALoad(textureName.c_str(), 0);
    if (map == nullptr) {
        textureName = base + ".pix";
        map = exists(textureName) ? BrPixelmapLoad(textureName.c_str()) : nullptr;
    }
    br_material *material = nullptr;
    if (map != nullptr) {
        BrMapAdd(map);
        material = BrMaterialAllocate(textureName.c_str());
        material->ka = 0.2f;
        material->kd = 0.4f;
        material->ks = 0.4f;
        material->power = 12;
        material->flags = 32;
        material->colour_map = map;
        BrMaterialAdd(material);
    }
    br_actor *a = BrActorAdd(parent, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    a->model = model;
    a->material = material;
}

}  // namespace

extern "C" int32_t Decor_LoadList(br_actor *parent, const char *list)
{
    if (parent == nullptr || list == nullptr)
        return 0;
    char cwd[1024] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    if (!SetCurrentDirectoryA("fw\\mt\\"))
        return 0;
    FILE *f = PlatFopen(list, "rb");
    int32_t found = f != nullptr ? 1 : 0;
    if (f != nullptr) {
        std::string text;
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
            text.append(chunk, n);
        fclose(f);
        Decor_ParseList(text.data(), text.size(), add_decoration, parent);
    }
    SetCurrentDirectoryA(cwd);
    return found;
}

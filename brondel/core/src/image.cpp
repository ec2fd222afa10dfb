// The image list: adding, finding, referencing and dropping images, and looking their functions up.
#include <string.h>

#include <algorithm>
#include <vector>

#include "fwstate.h"
#include "images.h"

br_boolean BrImageResidentMake(br_image *img, const char *identifier, const br_image_export *exports, br_uint_32 n,
                               const char **names, void **functions, br_uint_16 *ordinals)
{
    memset(img, 0, sizeof(*img));
    img->identifier = identifier;
    img->type = BR_IMG_RESIDENT;
    img->ordinal_base = 1;
    if (n > 0xffff)
        return 0;

    // Names in byte order, the functions in the same order, the ordinals the identity.
    std::vector<br_uint_32> order(n);
    for (br_uint_32 i = 0; i < n; i++)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](br_uint_32 a, br_uint_32 b) { return strcmp(exports[a].name, exports[b].name) < 0; });
    for (br_uint_32 i = 1; i < n; i++)
        if (strcmp(exports[order[i - 1]].name, exports[order[i]].name) == 0)
            return 0;
    for (br_uint_32 i = 0; i < n; i++) {
        names[i] = exports[order[i]].name;
        functions[i] = exports[order[i]].function;
        ordinals[i] = (br_uint_16)i;
    }
    img->n_functions = n;
    img->functions = functions;
    img->n_names = n;
    img->names = names;
    img->name_ordinals = ordinals;
    return 1;
}

br_boolean BrImageAdd(br_image *img)
{
    BrAddHead(&br_fw.images, &img->node);
    return 1;
}

br_boolean BrImageRemove(br_image *img)
{
    BrRemove(&img->node);
    img->node.next = nullptr;
    img->node.prev = nullptr;
    return 1;
}

// Copies a name without a trailing ".dll", ".bdd" or ".bed" (the caller's string is left alone).
static void name_without_extension(const char *name, char *out, size_t out_size)
{
    size_t n = strlen(name);
    if (n >= out_size)
        n = out_size - 1;
    memcpy(out, name, n);
    out[n] = '\0';
    char *dot = strrchr(out, '.');
    if (dot != nullptr && (strcasecmp(dot, ".dll") == 0 || strcasecmp(dot, ".bdd") == 0 || strcasecmp(dot, ".bed") == 0))
        *dot = '\0';
}

static br_image *find_listed(const char *name)
{
    if (br_fw.images.head == nullptr)
        return nullptr;
    for (br_node *n = br_fw.images.head; !BR_ENDLIST(n); n = n->next) {
        br_image *img = (br_image *)n;
        if (BrNamePatternMatch(name, img->identifier))
            return img;
    }
    return nullptr;
}

br_image *BrImageFind(const char *pattern)
{
    if (pattern == nullptr)
        return find_listed(nullptr);
    char name[512];
    name_without_extension(pattern, name, sizeof(name));
    return find_listed(name);
}

static br_image *load_host(const char *name)
{
    void *module = HostImageLoad(name);
    if (module == nullptr)
        return nullptr;
    br_image *img = (br_image *)BrResAllocate(nullptr, sizeof(br_image), BR_MEMORY_IMAGE);
    if (img == nullptr)
        return nullptr;
    img->identifier = BrResStrDup(img, name);
    img->type = BR_IMG_HOST;
    img->type_pointer = module;
    return img;
}

static br_image *load_own_with(const char *name, const char *extension)
{
    char file[512];
    if (strlen(name) + strlen(extension) >= sizeof(file))
        return nullptr;
    strcpy(file, name);
    strcat(file, extension);
    return BrImageLoadOwn(file);
}

br_image *BrImageReference(const char *pattern)
{
    if (pattern == nullptr)
        return nullptr;
    char name[512];
    name_without_extension(pattern, name, sizeof(name));

    br_image *img = find_listed(name);
    if (img != nullptr) {
        img->ref_count++;
        return img;
    }

    const char *dot = strchr(name, '.');
    if (dot == nullptr) {
        img = load_own_with(name, ".BDD");
        if (img == nullptr)
            img = load_host(name);
        if (img == nullptr)
            img = load_own_with(name, ".DLL");
    } else if ((strncasecmp(dot, ".bdd", 4) == 0 || strncasecmp(dot, ".bed", 4) == 0) &&
               (dot[4] == '\0' || dot[4] == '.')) {
        img = BrImageLoadOwn(name);
        if (img == nullptr)
            img = load_host(name);
    } else {
        img = load_host(name);
        if (img == nullptr)
            img = BrImageLoadOwn(name);
    }
    if (img == nullptr)
        return nullptr;

    BrResAdd(br_fw.res, img);
    BrImageAdd(img);
    img->ref_count = 1;
    return img;
}

void BrImageDereference(br_image *img)
{
    if (img == nullptr)
        return;
    if (--img->ref_count > 0)
        return;
    if (img->type == BR_IMG_RESIDENT)
        return;
    if (img->type == BR_IMG_HOST)
        HostImageUnload(img->type_pointer);
    BrImageRemove(img);
    BrResFree(img);
}

// The class callback of an image: it leaves the list and lets go of the images it imports.
void BrFwImageFree(void *res, br_uint_8 res_class, br_size_t size)
{
    br_image *img = (br_image *)res;
    if (img->node.next != nullptr)
        BrImageRemove(img);
    for (int i = 0; i < img->n_imports; i++)
        BrImageDereference(img->imports[i]);
    img->n_imports = 0;
}

// Exact byte comparison over the sorted names; the function of the equal name or null.
static void *search_names(br_image *img, const char *name)
{
    br_uint_32 lo = 0, hi = img->n_names;
    while (lo < hi) {
        br_uint_32 mid = lo + (hi - lo) / 2;
        int c = strcmp(name, img->names[mid]);
        if (c == 0) {
            br_uint_16 ord = img->name_ordinals[mid];
            return ord < img->n_functions ? img->functions[ord] : nullptr;
        }
        if (c < 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return nullptr;
}

void *BrImageLookupName(br_image *img, const char *name, br_uint_32 hint)
{
    if (img == nullptr || name == nullptr)
        return nullptr;
    if (img->type == BR_IMG_HOST)
        return HostImageLookupName(img->type_pointer, name, hint);

    if (hint < img->n_names && strcmp(img->names[hint], name) == 0) {
        br_uint_16 ord = img->name_ordinals[hint];
        return ord < img->n_functions ? img->functions[ord] : nullptr;
    }
    void *f = search_names(img, name);
    if (f != nullptr)
        return f;
    if (name[0] == '_') {
        f = search_names(img, name + 1);
        if (f != nullptr)
            return f;
    }
    char prefixed[512];
    if (strlen(name) + 2 > sizeof(prefixed))
        return nullptr;
    prefixed[0] = '_';
    strcpy(prefixed + 1, name);
    return search_names(img, prefixed);
}

void *BrImageLookupOrdinal(br_image *img, br_uint_32 ordinal)
{
    if (img == nullptr || img->type == BR_IMG_HOST)
        return nullptr;
    br_uint_32 index = ordinal - img->ordinal_base;
    if (ordinal < img->ordinal_base || index >= img->n_functions)
        return nullptr;
    return img->functions[index];
}

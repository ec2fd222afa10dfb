// The own loader of 32-bit x86 DLL images, the reader with the most offsets taken from its file:
// whatever the bytes, a load either fails or gives an image whose exports, names and sections lie
// inside its mapped copy. Imports load further images from the same bytes, up to the loader's depth.
#include "brondel/brimage.h"
#include "images.h"
#include "memfs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::serve(data, size);
    br_image *img = BrImageLoadOwn("input.bdd");
    if (img == nullptr)
        return 0;
    volatile br_uint_8 sink = 0;
    for (br_uint_32 i = 0; i < img->n_names; i++) {
        const char *name = img->names[i];
        while (*name != '\0')
            sink = sink + (br_uint_8)*name++;
        BrImageLookupName(img, img->names[i], (br_uint_16)i);
    }
    for (br_uint_32 i = 0; i <= img->n_functions; i++)
        if (const br_uint_8 *f = (const br_uint_8 *)BrImageLookupOrdinal(img, img->ordinal_base + i))
            sink = sink + *f;
    for (int i = 0; i < img->n_sections; i++) {
        const br_image_section &s = img->sections[i];
        if (s.virtual_size > 0)
            sink = sink + ((const br_uint_8 *)s.base)[0] + ((const br_uint_8 *)s.base)[s.virtual_size - 1];
    }
    BrResFree(img); // lets go of the images it imported
    return 0;
}

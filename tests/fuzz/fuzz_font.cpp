// libFuzzer target: font records. The input is a record file whose fonts name glyph pictures of a
// pack of this target's own; every set that loads is measured and drawn with each show method onto
// pictures of three pixel sizes, then freed. Glyph rectangles and names come from the input, so any
// read outside a picture or a record is caught by the address sanitizer.
#include <stdlib.h>
#include <string.h>

#include <sanitizer/lsan_interface.h>

#include "brondel/brcore.h"
#include "font_fuzz.h"
#include "pack.h"
#include "pannix/pannix.h"
#include "pxstate.h"

namespace px {

// No data folder: names are taken as given (the pictures come from the pack).
const char *data_folder()
{
    return "/nonexistent-fuzz-data/";
}

}  // namespace px

namespace {

void quiet(const char *) {}
br_diaghandler quiet_handler = {"quiet", quiet, quiet};
std::vector<uint8_t> g_pictures;
FFPACKHANDLE g_pack;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    BrDiagHandlerSet(&quiet_handler);
    // What begin keeps for good is no leak of one input.
    __lsan_disable();
    BrCoreBegin();
    __lsan_enable();
    g_pictures = fuzz::font_picture_pack();
    if (!px::pack_attach(&g_pack, g_pictures.data(), g_pictures.size(), "pictures.fpk"))
        abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    // An exactly sized copy, so that one byte too far is a fault.
    auto *bytes = static_cast<uint8_t *>(malloc(size ? size : 1));
    memcpy(bytes, data, size);
    FFPACKENTRY entry = {"fuzz.fnb", bytes, 0, uint32_t(size)};
    FFFILEHANDLE file = {&entry, 0, nullptr};
    FFSetCurrentPack(&g_pack);
    PXFONTSET *set = PxReadFontRecords(&file, "", PX_PIX_FROM_PACK);
    FFSetCurrentPack(nullptr);
    if (set != nullptr) {
        char text[260];
        for (int i = 0; i < 255; i++)
            text[i] = char(i + 1);
        text[255] = 0;
        uint8_t widths[256];
        PxSelectFont(set, PX_FONT_MULTILINE);
        PxTextToWidthN(text, widths, sizeof widths);
        int32_t lines[4], w, h;
        PxGetTextListWH(text, 4, lines, &h);
        PxGetTextWH(text, &w, &h);
        PxGetBlankColor();
        const int32_t types[3] = {5, 7, 10};
        for (int32_t type : types) {
            br_pixelmap *pm = PxAllocPix(type, 48, 24, nullptr, 0);
            for (int method = 0; method < 4; method++) {
                for (int f = 0; f < set->count && f < 4; f++) {
                    PxSelectFont(set, PX_FONT_MULTILINE + f);
                    PxSetShowTextMethod(method, method == 1 ? 0x1234 : 0xFF);
                }
                PxSelectFont(set, PX_FONT_MULTILINE);
                PxShowTextMl(pm, -3, -2, text);
            }
            PxFreePix(pm);
        }
        PxKillFontset(set);
    }
    free(bytes);
    return 0;
}

/* Pixel maps in files: datafiles of pixel maps (.pix), TGA and BMP pictures. */
#ifndef BRONDEL_BRPMFILE_H
#define BRONDEL_BRPMFILE_H

#include "brondel/brdatafile.h"
#include "brondel/brpixmap.h"

#ifdef __cplusplus
extern "C" {
#endif

br_pixelmap *BrPixelmapLoad(const char *filename);
br_uint_32 BrPixelmapLoadMany(const char *filename, br_pixelmap **pixelmaps, br_uint_16 num);
br_uint_32 BrPixelmapSave(const char *filename, br_pixelmap *pixelmap);
br_uint_32 BrPixelmapSaveMany(const char *filename, br_pixelmap **pixelmaps, br_uint_16 num);

/* Keep the alpha channel of 32-bit TGA files. */
#define BR_FMT_TGA_ALPHA 0x08

br_pixelmap *BrFmtTGALoad(const char *name, br_uint_32 flags);
br_pixelmap *BrFmtBMPLoad(const char *name, br_uint_32 flags);

#ifdef __cplusplus
}
#endif

#endif

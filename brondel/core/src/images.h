/* Internal pieces shared by the image list, the own loader and the export tables. */
#ifndef BRONDEL_IMAGES_H
#define BRONDEL_IMAGES_H

#include "brondel/brhost.h"
#include "brondel/brimage.h"

/* The own loader: maps a 32-bit x86 DLL file into a new image (type BR_IMG_OWN, no parent, not on
 * the list), or answers null. */
br_image *BrImageLoadOwn(const char *name);

/* "BRPMAP1", for the pixel-map library's begin and end to add and remove. */
br_image *BrFwPmapImage(void);

#endif

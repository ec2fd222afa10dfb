/* The one PNG writer of the project: captures, demos and tests leave pictures with it. */
#ifndef VOKPLAT_PNG_H
#define VOKPLAT_PNG_H

#include "win32/wintypes.h"

WIN32_BEGIN

/* Writes 8-bit RGB rows (3 bytes a pixel, top row first) through a temporary file renamed over the
 * old one. FALSE when the size is empty or the file cannot be written. */
PLATFORM_API BOOL PlatWritePngRgb(const char* path, int width, int height, const unsigned char* rgb);

WIN32_END

#endif

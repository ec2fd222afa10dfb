/* Pannix, the 2D library: everything it exports. */
#ifndef PANNIX_PANNIX_H
#define PANNIX_PANNIX_H

#include "pannix/pxbase.h"
#include "pannix/ffpack.h"
#include "pannix/pxpix.h"
#include "pannix/pxini.h"
#include "pannix/pxblit.h"
#include "pannix/pxmovie.h"
#include "pannix/pxpicfile.h"
#include "pannix/pxfont.h"
#include "pannix/pxdialog.h"

#endif

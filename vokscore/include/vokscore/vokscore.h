/* VokScore, the framework library: everything it exports. */
#ifndef VOKSCORE_VOKSCORE_H
#define VOKSCORE_VOKSCORE_H

#include "vokscore/vokiface.h"
#include "vokscore/vokpath.h"
#include "vokscore/voktext.h"
#include "vokscore/vokstats.h"
#include "vokscore/voksound.h"
#include "vokscore/vokmedia.h"
#include "vokscore/vokscene.h"
#include "vokscore/vokloading.h"
#include "vokscore/vokpopup.h"
#include "vokscore/vokgame.h"
#include "vokscore/vokbrowse.h"

#endif

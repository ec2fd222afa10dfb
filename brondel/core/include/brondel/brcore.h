/* Everything of the 3D library core that this build offers. */
#ifndef BRONDEL_BRCORE_H
#define BRONDEL_BRCORE_H

#include "brondel/brtypes.h"
#include "brondel/brfw.h"
#include "brondel/brres.h"
#include "brondel/brlist.h"
#include "brondel/brstd.h"
#include "brondel/brlexer.h"
#include "brondel/brfixed.h"
#include "brondel/brtoken.h"
#include "brondel/brobject.h"
#include "brondel/brconfig.h"
#include "brondel/brfile.h"
#include "brondel/brhost.h"
#include "brondel/brimage.h"
#include "brondel/brdriver.h"
#include "brondel/brdevice.h"
#include "brondel/brpixmap.h"

#endif

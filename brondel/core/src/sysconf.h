/* What the rest of the core reads of the system configuration without copying it. */
#ifndef BRONDEL_SYSCONF_H
#define BRONDEL_SYSCONF_H

#include "brondel/brconfig.h"

/* The stored string of a configuration token, or null when it has none. */
const char *BrFwSystemConfigValue(br_token t);

#endif

/* System configuration: the search path, the driver and device lists and the default device, built
 * at framework begin from the registry, "Brondel.ini" and the environment. */
#ifndef BRONDEL_BRCONFIG_H
#define BRONDEL_BRCONFIG_H

#include "brondel/brfw.h"
#include "brondel/brtoken.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Keeps its own copy of the string; null clears the value. */
br_error BrSystemConfigSetString(br_token t, const char *string);
/* Copies at most size - 1 characters and always terminates; no value gives "" and BRE_FAIL. */
br_error BrSystemConfigQueryString(br_token t, char *string, br_size_t size);
/* BRT_REGISTRY_STR: name is a key under the root key given as the third argument (an HKEY, null for
 * HKEY_LOCAL_MACHINE). BRT_INI_STR: name is a profile file, the third argument its section. */
br_error BrSystemConfigLoad(br_token t, const char *name, void *arg);
br_error BrSystemConfigBegin(void);

#ifdef __cplusplus
}
#endif

#endif

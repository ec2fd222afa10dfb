/* VokScore: file names under the read and write roots, language folders, the registry values of the
 * product key. Each builder returns its own static buffer, valid until its next call; a name that
 * does not fit (260 characters in all) gives an empty result, which no file matches. */
#ifndef VOKSCORE_VOKPATH_H
#define VOKSCORE_VOKPATH_H

#include <stdint.h>

#include "win32/wintypes.h"
#include "vokplat/export.h"

#define VOK_FMT(f, a) __attribute__((format(printf, f, a)))

/* readRoot + formatted name. */
VOK_EXPORT char *VokMakeFullPath(const char *format, ...) VOK_FMT(1, 2);
/* readRoot + subfolder + formatted name. */
VOK_EXPORT char *VokMakeReadPath(const char *subfolder, const char *format, ...) VOK_FMT(2, 3);
/* Read paths in the fixed folders ("Data\", "vn\", "mk\", "fw\", "kp\", "dm\"); the name is used
 * as it stands. They share VokMakeReadPath's buffer. */
VOK_EXPORT char *VokMakeDataPath(const char *name);
VOK_EXPORT char *VokMakeVarnelReadPath(const char *name);
VOK_EXPORT char *VokMakeMossikReadPath(const char *name);
VOK_EXPORT char *VokMakeFenlowReadPath(const char *name);
VOK_EXPORT char *VokMakeKelpaReadPath(const char *name);
VOK_EXPORT char *VokMakeDunmarReadPath(const char *name);
/* The language folder of the record's language ("US\" for any unknown value). */
VOK_EXPORT const char *VokGetLangDir(void);
/* readRoot + subfolder + language folder + formatted name. */
VOK_EXPORT char *VokMakeLangPath(const char *subfolder, const char *format, ...) VOK_FMT(2, 3);
/* writeRoot + subfolder + formatted name; the folders of the result are created when missing. */
VOK_EXPORT char *VokMakeWritePath(const char *subfolder, const char *format, ...) VOK_FMT(2, 3);
/* Creates every missing folder of `path` (each prefix ending at a backslash, and the whole path). */
VOK_EXPORT int VokCreatePath(const char *path);
VOK_EXPORT int CheckFileExistence(const char *path);
/* The file under the write root, else under the framework's own folder, asking for the data disc
 * while it is missing there; NULL when the user cancels. */
VOK_EXPORT char *VokFindAndMakePath(const char *subfolder, const char *format, ...) VOK_FMT(2, 3);

/* Values under HKEY_CURRENT_USER "Software\Ostrel Interactive\Velmo's Games\" (+ subkey). 1/0. */
VOK_EXPORT int VokRegSetString(const char *subkey, const char *name, const char *text);
/* `buffer` holds 260 characters. */
VOK_EXPORT int VokRegGetString(const char *subkey, const char *name, char *buffer);
VOK_EXPORT int VokRegSetValue(const char *subkey, const char *name, DWORD type, const void *data, DWORD size);
/* Reads at most `size` bytes (and never more than 1024); a larger value answers 0. */
VOK_EXPORT int VokRegGetValue(const char *subkey, const char *name, void *buffer, DWORD size);

#undef VOK_FMT

#endif

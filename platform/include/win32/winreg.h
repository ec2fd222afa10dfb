/* The registry (HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, kept in per-hive text files) and the private
 * profile (INI file) functions. */
#ifndef WIN32_WINREG_H
#define WIN32_WINREG_H

#include "win32/wintypes.h"

WIN32_BEGIN

typedef LONG LSTATUS;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_EXECUTE KEY_READ
#define KEY_ALL_ACCESS 0xF003Fu

#define REG_OPTION_NON_VOLATILE 0x0000u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

/* Key names are "\"-separated and compared without regard to case; a value is read back exactly as it
 * was stored, except that a string value always ends with its terminator. Changes reach the hive file
 * at once and are seen by every other process. */
PLATFORM_API LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR class_name,
                                            DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES sa,
                                            PHKEY result, LPDWORD disposition);
PLATFORM_API LSTATUS WINAPI RegCreateKeyA(HKEY key, LPCSTR sub_key, PHKEY result);
PLATFORM_API LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM access, PHKEY result);
PLATFORM_API LSTATUS WINAPI RegOpenKeyA(HKEY key, LPCSTR sub_key, PHKEY result);
PLATFORM_API LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR value_name, LPDWORD reserved, LPDWORD type,
                                             LPBYTE data, LPDWORD data_size);
PLATFORM_API LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR value_name, DWORD reserved, DWORD type,
                                           const BYTE* data, DWORD data_size);
PLATFORM_API LSTATUS WINAPI RegDeleteValueA(HKEY key, LPCSTR value_name);
/* Deletes a key that has no sub-keys (its values go with it). */
PLATFORM_API LSTATUS WINAPI RegDeleteKeyA(HKEY key, LPCSTR sub_key);
PLATFORM_API LSTATUS WINAPI RegCloseKey(HKEY key);

/* Profile files: a name without a folder lives in the Windows folder (see platform/README.md); any
 * other name is resolved like every file name. */
PLATFORM_API DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value,
                                                   LPSTR buffer, DWORD size, LPCSTR file);
PLATFORM_API UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR file);
PLATFORM_API DWORD WINAPI GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file);
PLATFORM_API BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);

#define RegCreateKeyEx RegCreateKeyExA
#define RegCreateKey RegCreateKeyA
#define RegOpenKeyEx RegOpenKeyExA
#define RegOpenKey RegOpenKeyA
#define RegQueryValueEx RegQueryValueExA
#define RegSetValueEx RegSetValueExA
#define RegDeleteValue RegDeleteValueA
#define RegDeleteKey RegDeleteKeyA
#define GetPrivateProfileString GetPrivateProfileStringA
#define GetPrivateProfileInt GetPrivateProfileIntA
#define GetPrivateProfileSection GetPrivateProfileSectionA
#define WritePrivateProfileString WritePrivateProfileStringA

WIN32_END

#endif

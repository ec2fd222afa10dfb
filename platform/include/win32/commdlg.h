/* The file-choice request games hand to the framework's browser: the caller's buffer, filter, folder,
 * title and choice flags. No dialog library stands behind it; the framework answers it in a screen. */
#ifndef WIN32_COMMDLG_H
#define WIN32_COMMDLG_H

#include "win32/wintypes.h"

WIN32_BEGIN

/* The size games write into lStructSize (the record's classic 32-bit form). */
#define OPENFILENAME_SIZE_CLASSIC 76

#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_HIDEREADONLY 0x00000004u
#define OFN_NOCHANGEDIR 0x00000008u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OFN_FILEMUSTEXIST 0x00001000u

typedef struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;      /* pairs of description and patterns ("*.a;*.b"), ended by an empty one */
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;         /* in: a proposed path or name; out: the chosen path */
    DWORD nMaxFile;          /* characters lpstrFile holds, its NUL included */
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    void *lpfnHook;
    LPCSTR lpTemplateName;
} OPENFILENAMEA, *LPOPENFILENAMEA;

typedef OPENFILENAMEA OPENFILENAME;
typedef LPOPENFILENAMEA LPOPENFILENAME;

WIN32_END

#endif

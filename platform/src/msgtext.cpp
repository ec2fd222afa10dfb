// FormatMessageA: the system's texts for the error codes and results this platform answers.
#include <cstring>

#include "win32/windows.h"

namespace {

struct Text {
    DWORD code;
    const char* text;
};

// Win32 error codes; a result HRESULT_FROM_WIN32(code) reads the same text.
const Text kErrors[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_INVALID_FUNCTION, "Incorrect function."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command."},
    {ERROR_OUTOFMEMORY, "Not enough storage is available to complete this operation."},
    {ERROR_SHARING_VIOLATION, "The process cannot access the file because it is in use."},
    {ERROR_NOT_SUPPORTED, "The request is not supported."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_CALL_NOT_IMPLEMENTED, "This function is not supported on this system."},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_INVALID_NAME, "The file name, folder name or volume label syntax is incorrect."},
    {ERROR_MOD_NOT_FOUND, "The specified module could not be found."},
    {ERROR_PROC_NOT_FOUND, "The specified procedure could not be found."},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists."},
    {ERROR_INVALID_WINDOW_HANDLE, "Invalid window handle."},
};

// COM, DirectShow and DirectDraw results that have no Win32 code behind them.
const Text kResults[] = {
    {0x80004001u, "Not implemented."},
    {0x80004002u, "No such interface supported."},
    {0x80004003u, "Invalid pointer."},
    {0x80004004u, "Operation aborted."},
    {0x80004005u, "Unspecified error."},
    {0x8000FFFFu, "Catastrophic failure."},
    {0x80040110u, "Class does not support aggregation (or class object is remote)."},
    {0x80040154u, "Class not registered."},
    {0x800401F0u, "CoInitialize has not been called."},
    {0x80040216u, "An object or name was not found."},
    {0x80040218u, "No combination of intermediate filters could be found to make the connection."},
    {0x80040256u, "There is no audio hardware available to play the sound."},
    {0x80040265u, "The source filter for this file could not be loaded."},
    {0x8004022Fu, "The file holds no stream that can be played."},
};

const char* find_text(DWORD id) {
    for (const Text& t : kResults)
        if (t.code == id) return t.text;
    // A Win32 code, plain or as a result of facility 7.
    DWORD code = id;
    if ((id & 0xFFFF0000u) == 0x80070000u) code = id & 0xFFFFu;
    else if (id > 0xFFFFu) return nullptr;
    for (const Text& t : kErrors)
        if (t.code == code) return t.text;
    return nullptr;
}

}  // namespace

WIN32_BEGIN

DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, void*) {
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)) ||
        buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* text = find_text(messageId);
    if (text == nullptr) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    const size_t n = std::strlen(text) + 2;  // with "\r\n"
    char* out = buffer;
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        size_t bytes = n + 1 > size ? n + 1 : size;
        out = static_cast<char*>(LocalAlloc(LMEM_FIXED, bytes));
        if (out == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        *reinterpret_cast<char**>(buffer) = out;
    } else if (n + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, text, n - 2);
    std::memcpy(out + n - 2, "\r\n", 3);
    SetLastError(ERROR_SUCCESS);
    return DWORD(n);
}

WIN32_END

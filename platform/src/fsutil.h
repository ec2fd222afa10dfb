// Small helpers shared by the file, search, registry and profile code.
#pragma once

#include <sys/stat.h>

#include <string>

#include "win32/wintypes.h"

namespace plat {

// The Win32 error for a failed host call on `host_path`: a missing name is "file not found" when its
// folder exists and "path not found" when the folder is missing too.
DWORD win32_error(int err, const std::string& host_path);
// Sets the last error from errno and answers FALSE, for one-line failure returns.
BOOL fail_errno(const std::string& host_path);
BOOL fail(DWORD code);

// Resolves a system name; on refusal the last error is already set.
bool resolve(const char* name, std::string& host);

// Win32 attributes of a host path without following a final link; INVALID_FILE_ATTRIBUTES when absent.
// A link reports the reparse-point bit, plus the directory bit when it leads to a folder.
DWORD attributes_of(const std::string& host, struct stat* out = nullptr);
bool is_read_only(const struct stat& st);

// A host path written the way the system writes names ("/a/b" -> "\a\b").
std::string to_system(const std::string& host);
// Copies `text` into a caller's buffer the Win32 way for "get a path" calls: the length without the
// terminator when it fits, else the size needed with the terminator (buffer untouched).
DWORD copy_out(const std::string& text, LPSTR buffer, DWORD size);

FILETIME filetime_from(const struct timespec& ts);

// The per-user configuration folder of the system ($XDG_CONFIG_HOME or ~/.config, then our folder).
std::string config_dir();
// Creates a folder and its parents; true when it exists afterwards.
bool make_dirs(const std::string& path);
// The name a chain of links starting at `path` ends at (`path` itself when it is no link); the name
// need not exist. False with errno ELOOP for a loop.
bool final_target(const std::string& path, std::string& target);
// Replaces `path` with `data` in one step: a temporary file beside the target, flushed to disk, then
// renamed over it, so a failure or a kill leaves the old file whole. A link is written through (the
// link stays, its target is replaced); the target's owner and mode are kept; a read-only target
// (EACCES), a folder (EISDIR) or anything else that is not a regular file (EPERM) is refused.
// Temporary files that killed writers left beside the target are removed. False with errno set.
bool write_atomic(const std::string& path, const std::string& data);
// The folder part of a host path ("." for a bare name).
std::string folder_of(const std::string& path);
// Reads a whole file; false when it cannot be opened or read.
bool read_all(const std::string& path, std::string& data);

// Text stores write bytes below 0x20, 0x7F and '%' as %XX, so any byte string fits on one line.
std::string percent_encode(const std::string& bytes);
// False when a % is not followed by two hex digits.
bool percent_decode(const std::string& text, std::string& bytes);
int hex_digit(char c);

// An flock held on a lock file (or on a folder itself) for the life of the object, shared between the
// user's processes.
class FileLock {
public:
    FileLock(const std::string& path, bool exclusive, bool folder = false);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return held_; }

private:
    int fd_ = -1;
    bool held_ = false;
};

}  // namespace plat

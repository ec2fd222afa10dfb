// The one path resolver every file access goes through: the system writes names with "\" and in any
// case; the host file system is case-sensitive.
#pragma once

#include <string>

namespace plat {

// Turns a system name into a host path. "\" and "/" both separate; where a component does not exist
// exactly, a directory entry that matches it case-insensitively is used; components that match
// nothing keep the case they were given (new files). "." and ".." are folded away by name first, as
// Win32 does ("Missing\..\x" is "x"). Drive letters ("C:...") and empty names are
// refused: false, with ERROR_INVALID_NAME or ERROR_PATH_NOT_FOUND set as last error.
bool resolve_path(const char* name, std::string& out);

}  // namespace plat

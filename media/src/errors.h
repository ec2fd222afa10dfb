// The debugger line of a failed step of a COM-based kind: "Error: <text> ( <result> ) in <step>".
#pragma once

#include <string>

#include "win32/wintypes.h"

namespace media {

// The system's text for a failure result (without its line end), or a short one of our own.
std::string result_text(HRESULT result);
// Writes the line to the debugger output.
void report_failure(HRESULT result, int step);

}  // namespace media

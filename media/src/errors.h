// The debugger line of a failed step of a COM-based kind: "Error: <text> ( <result> ) in <step>".
#pragma once

#include "win32/wintypes.h"

namespace media {

// A short text for a failure result.
const char *result_text(HRESULT result);
// Writes the line to the debugger output.
void report_failure(HRESULT result, int step);

}  // namespace media

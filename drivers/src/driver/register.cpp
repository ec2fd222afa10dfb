// Linking the renderer is all a carrier does to draw: this object, pulled into every link that
// carries softrend (see its link option), registers the built-in images with the database when
// the program or module loads, so every database begin finds the renderer by name.
#include <brondel/brv1db.h>

#include "softrend.h"

namespace {

struct Registration {
    Registration() { BrDbImagesRegister(SoftrendImagesAdd); }
} registration;

} // namespace

// The symbol the link option names, so the linker keeps this object out of the archive.
extern "C" const int SoftrendRegistered = 1;

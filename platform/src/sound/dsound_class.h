// The DirectSound class object for COM: creates an uninitialised sound object (the caller runs
// Initialize), as CoCreateInstance of CLSID_DirectSound does.
#pragma once

#include "win32/dsound.h"

namespace plat::sound {

HRESULT dsound_class_create(IUnknown* outer, REFIID riid, void** out);

}  // namespace plat::sound

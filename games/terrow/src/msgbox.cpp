// Boxes of the module go to the framework's message box, the text passed as an argument, never as a
// format.
#include "internal.h"
#include "terrow/trmodule.h"
#include "vokscore/vokiface.h"

namespace tr {

int framework_box(const char *text, unsigned type)
{
    return VokMessageBox(TrGetModule()->window, type, "%s", text);
}

}  // namespace tr

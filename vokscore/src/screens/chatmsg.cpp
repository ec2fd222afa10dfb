// The chat message screen shows the line received, which the caller leaves in titleText.
#include "scenedesc.h"
#include "state.h"
#include "vokscore/vokscene.h"

namespace vok {

namespace {

constexpr int kLineIkon = 1;

int chat_message(VokSession *s)
{
    VokInterFace &f = iface();
    f.titleText[sizeof f.titleText - 1] = 0;
    for (int i = 0; i < s->ikonCount; i++)
        if (s->ikons[i].id == kLineIkon)
            s->ikons[i].text.string = f.titleText;
    return 1;
}

struct Registered {
    Registered() { add_routine("chatMessage", kRoutineSession, reinterpret_cast<void *>(&chat_message)); }
} g_registered;

}  // namespace

}  // namespace vok

// The library's state from start to stop: module instance, handle table, the kinds that OpenMedia can
// build, the window classes and the process-wide CD device. The exports are thin wrappers over the
// typed calls below.
#pragma once

#include <array>
#include <memory>
#include <mutex>

#include "cdaudio.h"
#include "object.h"

namespace media {

// Builds an object of a kind from `source` and the list; the constructor applies the list itself.
using KindFactory = std::unique_ptr<MediaObject> (*)(int32_t type, intptr_t source, ParamList list);

struct StartOptions {
    // The module's entry moves the process into the host program's folder, as the system expects;
    // tests that start the library themselves keep their folder.
    bool set_current_folder = true;
};

struct LibraryState {
    HINSTANCE instance = nullptr;
    bool started = false;
    std::array<MediaObject *, MEDIA_MAX_HANDLES> table{};  // entry 0 never used
    std::array<KindFactory, 11> kinds{};                   // by MediaType
    CdDeviceState cd;
};

LibraryState &library();

// Library start and stop (the module's process attach and detach).
void library_start(HINSTANCE instance, const StartOptions &options);
void library_stop();

// Whether a MediaType names a kind (4, 9 and values above 10 do not).
bool known_type(int32_t type);
// Replaces the factory of a known type; answers the one it replaced. Kinds plug in here.
KindFactory set_kind(int32_t type, KindFactory factory);

// The object behind a handle, or null for -1, an empty entry or a number outside 1..2047.
MediaObject *find(MediaHandle handle);

MediaHandle open(int32_t type, intptr_t source, ParamList list);
bool close(MediaHandle handle);
bool command(MediaHandle handle, int32_t command);
int32_t state(MediaHandle handle);
MediaInputRecord *input_record(MediaHandle handle);
bool set_params(MediaHandle handle, ParamList list);
bool get_params(MediaHandle handle, ParamList list);

// Window classes of the library.
extern const char kNotifyWindowClass[];  // "Media_NotifyWindow"
extern const char kMovieWindowClass[];   // "Media_MovieWindow"
extern const char kSoundWindowClass[];   // "Media_SoundWindow"

// Keeps an object alive across a call that may send notifications (whose receiver may close it).
// Uses are counted under a lock of their own, held only for the count: a window procedure takes one
// on its thread while another thread, holding the table, waits for that procedure.
std::mutex &use_lock();

class ObjectUse {
public:
    explicit ObjectUse(MediaObject *object);
    // For a caller that holds use_lock() (to look the object up and take it in one step).
    struct Locked {};
    ObjectUse(MediaObject *object, Locked) : object_(object) { ++object_->busy; }
    ~ObjectUse();
    ObjectUse(const ObjectUse &) = delete;
    ObjectUse &operator=(const ObjectUse &) = delete;

private:
    MediaObject *object_;
};

}  // namespace media

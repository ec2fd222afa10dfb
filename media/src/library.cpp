#include "library.h"

#include "dshow.h"
#include "dsplayer.h"
#include "mziplayer.h"
#include "sound.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

#include "win32/objbase.h"

namespace media {

const char kNotifyWindowClass[] = "Media_NotifyWindow";
const char kMovieWindowClass[] = "Media_MovieWindow";
const char kSoundWindowClass[] = "Media_SoundWindow";

namespace {

LibraryState g_state;

// Guards the handle table and every call on its objects: a game's preview producer and its main
// thread both call in. Recursive, since a notice handler may call back in on the same thread.
std::recursive_mutex g_table_mu;

// Holds the table's lock. A thread waiting for it still takes the messages other threads send it:
// the holder may be moving or showing a window this thread owns, and waits until that is handled.
class TableLock {
public:
    TableLock()
    {
        for (int tries = 0; !g_table_mu.try_lock(); tries++) {
            MSG m;
            // A filter no message matches: only the sent ones are delivered.
            PeekMessageA(&m, GetDesktopWindow(), WM_USER - 1, WM_USER - 1, PM_NOREMOVE | PM_NOYIELD);
            if (tries < 64)
                std::this_thread::yield();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~TableLock() { g_table_mu.unlock(); }
    TableLock(const TableLock &) = delete;
    TableLock &operator=(const TableLock &) = delete;
};

// Every thread that calls in gets COM started once, as the module's thread attach does for each new
// thread (the platform counts COM starts per thread).
void start_thread_com()
{
    thread_local bool started = false;
    if (!started) {
        started = true;
        CoInitialize(nullptr);
    }
}

// Kinds built into this library, by MediaType; the rest fail to open.
KindFactory default_kind(int32_t type)
{
    switch (type) {
    case MEDIA_DSHOW_FULLSCREEN:
    case MEDIA_DSHOW_WINDOW:
        return make_ds_movie;
    case MEDIA_DSHOW_FILTER:
        return make_ds_filter;
    case MEDIA_DSHOW_STREAM:
        return make_ds_stream;
    case MEDIA_CDAUDIO:
        return make_cd_audio;
    case MEDIA_MZI:
    case MEDIA_MZI_FRAME16:
    case MEDIA_MZI_FRAME24:
        return make_mzi_player;
    case MEDIA_SOUND:
        return make_sound;
    default:
        return nullptr;
    }
}

// Moves the process into the folder of the host program (its module path cut at the last backslash).
void enter_program_folder()
{
    char path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    char *cut = std::strrchr(path, '\\');
    if (cut == nullptr)
        return;
    *cut = '\0';
    SetCurrentDirectoryA(path[0] != '\0' ? path : "\\");
}

LRESULT CALLBACK notify_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    TableLock hold;
    auto *object = reinterpret_cast<MediaObject *>(GetWindowLongPtrA(hwnd, GWL_USERDATA));
    if (object != nullptr && !object->closed) {
        ObjectUse use(object);
        try {
            if (object->OnMessage(message, wParam, lParam) == 0)
                return 0;
            if (message == MM_MCINOTIFY && wParam == MCI_NOTIFY_SUCCESSFUL && object->loop && !object->closed)
                object->Play();
        } catch (...) {
            OutputDebugStringA("Baj van!\n");
        }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void register_classes(HINSTANCE instance)
{
    WNDCLASSA wc{};
    wc.hInstance = instance;
    wc.lpfnWndProc = notify_window_proc;
    wc.lpszClassName = kNotifyWindowClass;
    RegisterClassA(&wc);

    wc = WNDCLASSA{};
    wc.hInstance = instance;
    wc.style = CS_OWNDC | CS_DBLCLKS;
    wc.lpfnWndProc = mzi_window_proc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszClassName = kMovieWindowClass;
    RegisterClassA(&wc);

    wc = WNDCLASSA{};
    wc.hInstance = instance;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = kSoundWindowClass;
    RegisterClassA(&wc);
}

void unregister_classes(HINSTANCE instance)
{
    for (const char *name : {kNotifyWindowClass, kMovieWindowClass, kSoundWindowClass})
        UnregisterClassA(name, instance);
}

// Closes and deletes an object that has left the table (at once, or when its last call returns).
void retire(MediaObject *object)
{
    std::optional<ObjectUse> use;
    {
        // Marked and taken in one step: a window procedure either took its use before or sees it closed.
        std::lock_guard<std::mutex> hold(use_lock());
        object->closed = true;
        use.emplace(object, ObjectUse::Locked{});
    }
    object->Close();
}

}  // namespace

std::mutex &use_lock()
{
    static std::mutex mu;
    return mu;
}

ObjectUse::ObjectUse(MediaObject *object) : object_(object)
{
    std::lock_guard<std::mutex> hold(use_lock());
    ++object_->busy;
}

ObjectUse::~ObjectUse()
{
    bool last;
    {
        std::lock_guard<std::mutex> hold(use_lock());
        last = --object_->busy == 0 && object_->closed;
    }
    if (last)
        delete object_;
}

LibraryState &library()
{
    return g_state;
}

void library_start(HINSTANCE instance, const StartOptions &options)
{
    if (g_state.started)
        library_stop();
    g_state.instance = instance;
    if (options.set_current_folder)
        enter_program_folder();
    CoInitialize(nullptr);
    OleInitialize(nullptr);
    g_state.table.fill(nullptr);
    for (int32_t type = 0; type < int32_t(g_state.kinds.size()); type++)
        g_state.kinds[type] = default_kind(type);
    g_state.cd = CdDeviceState{};
    register_classes(instance);
    ds::register_classes();
    g_state.started = true;
}

void library_stop()
{
    TableLock hold;
    if (!g_state.started)
        return;
    // Objects still open at the end are closed, so no window, device or thread outlives the library.
    for (MediaHandle h = 1; h < MEDIA_MAX_HANDLES; h++)
        close(h);
    cd_release_device(g_state.cd);
    ds::unregister_classes();
    unregister_classes(g_state.instance);
    OleUninitialize();
    CoUninitialize();
    g_state.started = false;
}

bool known_type(int32_t type)
{
    return type >= 0 && type <= MEDIA_CDAUDIO && type != 4 && type != 9;
}

KindFactory set_kind(int32_t type, KindFactory factory)
{
    if (!known_type(type))
        return nullptr;
    TableLock hold;
    KindFactory old = g_state.kinds[type];
    g_state.kinds[type] = factory;
    return old;
}

MediaObject *find(MediaHandle handle)
{
    if (handle < 1 || handle >= MEDIA_MAX_HANDLES)
        return nullptr;
    TableLock hold;
    return g_state.table[handle];
}

MediaHandle open(int32_t type, intptr_t source, ParamList given)
{
    start_thread_com();
    TableLock hold;
    // Commands (id 28) run once the object is whole and has its handle: a kind applies its list
    // before its player exists, and their notices carry the handle.
    std::vector<MediaParam> list;
    std::vector<int32_t> commands;
    for (const MediaParam &p : given) {
        if (p.id == MEDIAPARAM_COMMAND)
            commands.push_back(int32_t(p.value));
        else
            list.push_back(p);
    }
    MediaHandle handle = MEDIA_BAD_HANDLE;
    for (MediaHandle h = 1; h < MEDIA_MAX_HANDLES; h++) {
        if (g_state.table[h] == nullptr) {
            handle = h;
            break;
        }
    }
    if (handle == MEDIA_BAD_HANDLE || !known_type(type))
        return MEDIA_BAD_HANDLE;
    KindFactory factory = g_state.kinds[type];
    if (factory == nullptr)
        return MEDIA_BAD_HANDLE;
    std::unique_ptr<MediaObject> object;
    try {
        object = factory(type, source, list);
    } catch (const std::bad_alloc &) {
        return MEDIA_BAD_HANDLE;
    }
    if (!object)
        return MEDIA_BAD_HANDLE;
    if (!object->ready) {
        retire(object.release());
        return MEDIA_BAD_HANDLE;
    }
    // A constructor must not open handles, but its notifications might have reached a caller that
    // did: take the lowest free entry again.
    if (g_state.table[handle] != nullptr) {
        handle = MEDIA_BAD_HANDLE;
        for (MediaHandle h = 1; h < MEDIA_MAX_HANDLES && handle == MEDIA_BAD_HANDLE; h++)
            if (g_state.table[h] == nullptr)
                handle = h;
        if (handle == MEDIA_BAD_HANDLE) {
            retire(object.release());
            return MEDIA_BAD_HANDLE;
        }
    }
    object->handle = handle;
    MediaObject *opened = object.release();
    g_state.table[handle] = opened;
    if (!commands.empty()) {
        ObjectUse use(opened);
        for (int32_t c : commands)
            opened->RunCommand(c);  // stops by itself once a notice closed the object
    }
    return handle;
}

bool close(MediaHandle handle)
{
    start_thread_com();
    TableLock hold;
    MediaObject *object = find(handle);
    if (object == nullptr)
        return false;
    g_state.table[handle] = nullptr;
    retire(object);
    return true;
}

namespace {

// Runs `fn` on the object behind a handle, kept alive for the call; false for an unknown handle.
template <class Fn>
bool with_object(MediaHandle handle, Fn fn)
{
    start_thread_com();
    TableLock hold;
    MediaObject *object = find(handle);
    if (object == nullptr)
        return false;
    ObjectUse use(object);
    fn(*object);
    return true;
}

}  // namespace

bool command(MediaHandle handle, int32_t cmd)
{
    return with_object(handle, [cmd](MediaObject &o) { o.RunCommand(cmd); });
}

int32_t state(MediaHandle handle)
{
    TableLock hold;
    MediaObject *object = find(handle);
    return object != nullptr ? object->State() : MEDIA_STATE_UNKNOWN;
}

MediaInputRecord *input_record(MediaHandle handle)
{
    TableLock hold;
    MediaObject *object = find(handle);
    return object != nullptr ? &object->input : nullptr;
}

bool set_params(MediaHandle handle, ParamList list)
{
    return with_object(handle, [list](MediaObject &o) { o.SetParams(list); });
}

bool get_params(MediaHandle handle, ParamList list)
{
    return with_object(handle, [list](MediaObject &o) { o.GetParams(list); });
}

}  // namespace media

#include "media_test.h"

#include <chrono>
#include <thread>

namespace mediatest {

namespace {

// The test program is the host: the library starts for it, without moving it out of its folder.
class LibraryEnvironment : public ::testing::Environment {
public:
    void SetUp() override { media::library_start(GetModuleHandleA(nullptr), media::StartOptions{false}); }
    void TearDown() override { media::library_stop(); }
};

[[maybe_unused]] ::testing::Environment *const g_environment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

const char kNoticeClass[] = "media_notice_window";

}  // namespace

NoticeWindow::NoticeWindow()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.lpszClassName = kNoticeClass;
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(0, kNoticeClass, "notices", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                            nullptr, nullptr);
    SetWindowLongPtrA(hwnd_, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

NoticeWindow::~NoticeWindow()
{
    SetWindowLongPtrA(hwnd_, GWL_USERDATA, 0);
    DestroyWindow(hwnd_);
}

std::vector<Notice> NoticeWindow::take()
{
    std::vector<Notice> out;
    out.swap(notices_);
    return out;
}

LRESULT CALLBACK NoticeWindow::proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *self = reinterpret_cast<NoticeWindow *>(GetWindowLongPtrA(hwnd, GWL_USERDATA));
    if (self != nullptr && message >= MEDIAMSG_FIRST && message <= MEDIAMSG_LAST) {
        Notice n{message, wParam, lParam};
        self->notices_.push_back(n);
        if (self->hook)
            self->hook(n);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void pump()
{
    MSG msg;
    VokPump();
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool pump_until(const std::function<bool()> &done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        pump();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

int FakeFile::constructed = 0;
int FakeFile::destroyed = 0;
int FakeFile::closes = 0;
int FakeFile::plays = 0;

FakeFile::FakeFile(intptr_t source, media::ParamList list) : MediaFileObject(source)
{
    ++constructed;
    frame_count = 10;
    SetParams(list);
    ready = source != 1;
}

FakeFile::~FakeFile()
{
    ++destroyed;
}

int FakeFile::OnMessage(UINT message, WPARAM, LPARAM)
{
    if (message == WM_USER + 1)
        throw std::runtime_error("fault in a kind");
    return message == WM_USER + 2 ? 0 : 1;
}

int FakeFile::Play()
{
    ++plays;
    previous_states.push_back(previous_state);
    Notify(MEDIAMSG_STARTED, current_frame);
    return 1;
}

int FakeFile::Stop()
{
    previous_states.push_back(previous_state);
    Notify(MEDIAMSG_STOPPED, current_frame);
    return 1;
}

int FakeFile::Pause()
{
    previous_states.push_back(previous_state);
    if (previous_state != MEDIA_STATE_PLAYING)
        return 0;
    Notify(MEDIAMSG_PAUSED, current_frame);
    return 1;
}

int FakeFile::Continue()
{
    previous_states.push_back(previous_state);
    if (previous_state != MEDIA_STATE_PAUSED)
        return 0;
    Notify(MEDIAMSG_CONTINUED, current_frame);
    return 1;
}

void FakeFile::Close()
{
    ++closes;
}

void FakeFile::SetOwn(const media::MediaParam &p)
{
    if (p.id >= 1000)
        own_seen.push_back({p.id, dest_rect.left});
}

FakeKind::FakeKind(int32_t type) : type_(type)
{
    old_ = media::set_kind(type, [](int32_t, intptr_t source, media::ParamList list) {
        return std::unique_ptr<media::MediaObject>(new FakeFile(source, list));
    });
}

FakeKind::~FakeKind()
{
    media::set_kind(type_, old_);
}

}  // namespace mediatest

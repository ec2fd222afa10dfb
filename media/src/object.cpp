#include "object.h"

#include <algorithm>

namespace media {

MediaObject::MediaObject()
{
    GetSystemInfo(&system_info);
}

MediaObject::~MediaObject() = default;

int MediaObject::OnMessage(UINT, WPARAM, LPARAM) { return 1; }
void MediaObject::SetParams(ParamList) {}
void MediaObject::GetParams(ParamList) {}
void MediaObject::WaitFrame() {}
double MediaObject::GetPosition() { return 0.0; }
int MediaObject::Play() { return 0; }
int MediaObject::Stop() { return 0; }
int MediaObject::Pause() { return 0; }
int MediaObject::Continue() { return 0; }
void MediaObject::Close() {}

MediaState MediaObject::State() const
{
    switch (last_command) {
    case MEDIA_CMD_STOP:
        return MEDIA_STATE_STOPPED;
    case MEDIA_CMD_PLAY:
    case MEDIA_CMD_CONTINUE:
        return MEDIA_STATE_PLAYING;
    case MEDIA_CMD_PAUSE:
        return MEDIA_STATE_PAUSED;
    default:
        return MEDIA_STATE_UNKNOWN;
    }
}

void MediaObject::Dispatch(int32_t command)
{
    switch (command) {
    case MEDIA_CMD_STOP:
        Stop();
        break;
    case MEDIA_CMD_PLAY:
        Play();
        break;
    case MEDIA_CMD_PAUSE:
        Pause();
        break;
    case MEDIA_CMD_CONTINUE:
        Continue();
        break;
    default:
        break;
    }
}

void MediaObject::RunCommand(int32_t command)
{
    // A list may go on after a notice of an earlier command closed the object.
    if (closed)
        return;
    previous_state = State();
    Dispatch(command);
    last_command = command;
    Notify(MEDIAMSG_STATE, State());
}

void MediaObject::Notify(UINT message, LPARAM lParam) const
{
    if (message < MEDIAMSG_FIRST || message > MEDIAMSG_LAST || notify_window == nullptr || closed)
        return;
    SendNotifyMessageA(notify_window, message, WPARAM(handle), lParam);
}

MediaFileObject::MediaFileObject(intptr_t src) : source(src)
{
    if (IsAddress(src)) {
        const char *path = reinterpret_cast<const char *>(src);
        source_path.assign(path, strnlen(path, kMaxPath));
        source_wide = widen_ansi(source_path, kMaxPath);
    }
    refresh_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

MediaFileObject::~MediaFileObject()
{
    if (refresh_event != nullptr)
        CloseHandle(refresh_event);
}

void MediaFileObject::Refresh() {}
void MediaFileObject::ResetRefresh() {}

void MediaFileObject::SetParams(ParamList list)
{
    PrepareSet();
    for (const MediaParam &p : list)
        if (!closed)
            SetCommon(p);
    for (const MediaParam &p : list)
        if (!closed)
            SetOwn(p);
}

void MediaFileObject::GetParams(ParamList list)
{
    for (const MediaParam &p : list)
        GetCommon(p);
    for (const MediaParam &p : list)
        GetOwn(p);
}

void MediaFileObject::SetCommon(const MediaParam &p)
{
    const intptr_t v = p.value;
    switch (p.id) {
    case MEDIAPARAM_PARENT:
        parent_window = reinterpret_cast<HWND>(v);
        break;
    case MEDIAPARAM_NOTIFY:
        notify_window = reinterpret_cast<HWND>(v);
        break;
    case MEDIAPARAM_LEFT: {
        // The rectangle moves; its width stays.
        int32_t dx = int32_t(v) - dest_rect.left;
        dest_rect.left += dx;
        dest_rect.right += dx;
        break;
    }
    case MEDIAPARAM_TOP: {
        int32_t dy = int32_t(v) - dest_rect.top;
        dest_rect.top += dy;
        dest_rect.bottom += dy;
        break;
    }
    case MEDIAPARAM_WIDTH:
        dest_rect.right = dest_rect.left + int32_t(v);
        break;
    case MEDIAPARAM_HEIGHT:
        dest_rect.bottom = dest_rect.top + int32_t(v);
        break;
    case MEDIAPARAM_RECT:
        read_rect(v, dest_rect);
        break;
    case MEDIAPARAM_COMMAND:
        RunCommand(int32_t(v));
        break;
    case MEDIAPARAM_HOLDATEND:
        hold_at_end = uint8_t(v != 0);
        break;
    case MEDIAPARAM_FRAME:
        if (v >= 0 && v <= intptr_t(frame_count) - 1)
            current_frame = int32_t(v);
        break;
    case MEDIAPARAM_FPS:
        if (v > 0)
            fps = uint16_t(v);
        break;
    case MEDIAPARAM_RANGESTART:
        range_start = int32_t(v);
        break;
    case MEDIAPARAM_RANGEEND:
        range_end = int32_t(v);
        break;
    case MEDIAPARAM_LOOP:
        loop = uint8_t(v != 0);
        break;
    case MEDIAPARAM_USER1:
    case MEDIAPARAM_USER2:
    case MEDIAPARAM_USER3:
    case MEDIAPARAM_USER4:
        user[p.id - MEDIAPARAM_USER1] = v;
        break;
    default:
        break;
    }
}

void MediaFileObject::GetCommon(const MediaParam &p)
{
    const intptr_t at = p.value;
    switch (p.id) {
    case MEDIAPARAM_LEFT:
        answer<int32_t>(at, dest_rect.left);
        break;
    case MEDIAPARAM_TOP:
        answer<int32_t>(at, dest_rect.top);
        break;
    case MEDIAPARAM_WIDTH:
        answer<int32_t>(at, dest_rect.right - dest_rect.left);
        break;
    case MEDIAPARAM_HEIGHT:
        answer<int32_t>(at, dest_rect.bottom - dest_rect.top);
        break;
    case MEDIAPARAM_RECT:
        answer_rect(at, dest_rect);
        break;
    case MEDIAPARAM_SOURCERECT:
        answer_rect(at, source_rect);
        break;
    case MEDIAPARAM_COMMAND:
        answer<int32_t>(at, State());
        break;
    case MEDIAPARAM_FRAMES:
        answer<int32_t>(at, frame_count);
        break;
    case MEDIAPARAM_FRAME:
        answer<int32_t>(at, current_frame);
        break;
    case MEDIAPARAM_FPS:
        answer<uint16_t>(at, fps);
        break;
    case MEDIAPARAM_MEASUREDFPS:
        answer<uint16_t>(at, uint16_t(std::clamp(measured_rate * 100.0, 0.0, 65535.0)));
        break;
    case MEDIAPARAM_RANGESTART:
        answer<int32_t>(at, range_start);
        break;
    case MEDIAPARAM_RANGEEND:
        answer<int32_t>(at, range_end);
        break;
    case MEDIAPARAM_LOOP:
        answer<uint8_t>(at, loop);
        break;
    case MEDIAPARAM_USER1:
    case MEDIAPARAM_USER2:
    case MEDIAPARAM_USER3:
    case MEDIAPARAM_USER4:
        answer<intptr_t>(at, user[p.id - MEDIAPARAM_USER1]);
        break;
    default:
        break;
    }
}

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unassigned bytes map to themselves,
// as the system's converter does.
const char16_t k80[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::u16string widen_ansi(const std::string &text, size_t max)
{
    std::u16string out;
    for (size_t i = 0; i < text.size() && out.size() < max; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        out.push_back(c >= 0x80 && c < 0xA0 ? k80[c - 0x80] : char16_t(c));
    }
    return out;
}

std::string narrow_ansi(const char16_t *text)
{
    std::string out;
    for (; text != nullptr && *text != 0; text++) {
        char16_t c = *text;
        if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
            out.push_back(char(c));
            continue;
        }
        const char16_t *hit = std::find(std::begin(k80), std::end(k80), c);
        out.push_back(hit != std::end(k80) ? char(0x80 + (hit - k80)) : '?');
    }
    return out;
}

}  // namespace media

// Per-thread message queues: posted, sent (also across threads), input, paint, timer and quit messages,
// and the waits of GetMessage on the real and the virtual clock.
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "clock.h"
#include "vokplat/thread.h"
#include "win/wnd.h"

namespace plat {
namespace {

std::map<pid_t, std::shared_ptr<Queue>> g_queues;

// When the thread ends, senders waiting on it are released and its queue is dropped.
struct QueueGuard {
    pid_t tid = 0;
    ~QueueGuard() {
        if (!tid) return;
        std::lock_guard<std::mutex> g(wlock());
        auto it = g_queues.find(tid);
        if (it == g_queues.end()) return;
        it->second->alive = false;
        for (auto& s : it->second->sent) s->done = true;
        it->second->sent.clear();
        g_queues.erase(it);
        wcond().notify_all();
    }
};
thread_local QueueGuard t_guard;

bool in_range(UINT m, UINT first, UINT last) {
    if (first == 0 && last == 0) return true;
    return m >= first && m <= last;
}

bool hwnd_matches(HWND filter, HWND h) {
    if (!filter) return true;
    if (filter == reinterpret_cast<HWND>(-1)) return h == nullptr;
    return filter == h;
}

uint64_t idle_quit_ms() {
    const char* v = std::getenv("VOK_IDLE_QUIT_MS");
    return v && *v ? std::strtoull(v, nullptr, 10) : 10000;
}

MSG make_msg(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    return MSG{h, m, wp, lp, static_cast<DWORD>(clock_now_ms()), cursor_locked()};
}

// Handles one sent message addressed to this thread; the lock is released around the call.
bool run_one_sent(Lock& lk, Queue& q) {
    if (q.sent.empty()) return false;
    auto s = q.sent.front();
    q.sent.pop_front();
    q.in_send++;
    lk.unlock();
    LRESULT r = call_proc(s->hwnd, s->msg, s->wp, s->lp);
    lk.lock();
    q.in_send--;
    s->result = r;
    s->done = true;
    wcond().notify_all();
    return true;
}

void run_sent(Lock& lk, Queue& q) {
    while (run_one_sent(lk, q)) {
    }
}

// Looks for the next message the filter accepts. Lock held; may release it to deliver sent messages.
bool find_message(Lock& lk, Queue& q, MSG* out, HWND hwnd, UINT first, UINT last, UINT remove) {
    run_sent(lk, q);
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (hwnd_matches(hwnd, it->hwnd) && in_range(it->message, first, last)) {
            *out = *it;
            if (remove & PM_REMOVE) q.posted.erase(it);
            return true;
        }
    }
    for (auto it = q.input.begin(); it != q.input.end(); ++it) {
        if (hwnd_matches(hwnd, it->hwnd) && in_range(it->message, first, last)) {
            *out = *it;
            if (remove & PM_REMOVE) {
                q.input.erase(it);
                input_on_retrieve(q, *out);
            }
            return true;
        }
    }
    if (q.quit) {
        *out = make_msg(nullptr, WM_QUIT, static_cast<WPARAM>(q.quit_code), 0);
        if (remove & PM_REMOVE) q.quit = false;
        return true;
    }
    if (in_range(WM_PAINT, first, last)) {
        for (auto& [h, w] : win_all()) {
            if (w->tid != q.tid || IsRectEmpty(&w->update) || !hwnd_matches(hwnd, h)) continue;
            bool vis = true;
            for (Window* p = w.get(); p; p = (p->style & WS_CHILD) ? win_get(p->parent) : nullptr)
                if (!(p->style & WS_VISIBLE)) vis = false;
            if (!vis) continue;
            *out = make_msg(h, WM_PAINT, 0, 0);
            return true;
        }
    }
    if (in_range(WM_TIMER, first, last)) {
        uint64_t now = clock_now_ms();
        Timer* best = nullptr;
        for (auto& t : q.timers)
            if (t.due <= now && hwnd_matches(hwnd, t.hwnd) && (!best || t.due < best->due)) best = &t;
        if (best) {
            *out = make_msg(best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc));
            if (remove & PM_REMOVE) best->due = now + best->ms;
            return true;
        }
    }
    return false;
}

// The window under the mouse picks the cursor before it sees the mouse message.
void set_cursor_for(const MSG& m) {
    if (m.hwnd && m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST)
        SendMessageA(m.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(m.hwnd), MAKELPARAM(HTCLIENT, m.message));
}

uint64_t next_timer_due(Queue& q) {
    uint64_t d = UINT64_MAX;
    for (auto& t : q.timers) d = std::min(d, t.due);
    return d;
}

}  // namespace

std::mutex& wlock() {
    static std::mutex m;
    return m;
}

std::condition_variable& wcond() {
    static std::condition_variable c;
    return c;
}

pid_t this_tid() {
    static thread_local pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    return tid;
}

bool is_main_thread() { return this_tid() == getpid(); }

Queue& queue_of(pid_t tid) {
    auto& q = g_queues[tid];
    if (!q) {
        q = std::make_shared<Queue>();
        q->tid = tid;
        if (tid == this_tid()) t_guard.tid = tid;
    }
    return *q;
}

Queue* queue_find(pid_t tid) {
    auto it = g_queues.find(tid);
    return it == g_queues.end() ? nullptr : it->second.get();
}

void post_locked(Queue& q, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    q.posted.push_back(make_msg(hwnd, msg, wp, lp));
    wcond().notify_all();
}

LRESULT call_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w) return 0;
        proc = w->proc;
    }
    return proc ? proc(hwnd, msg, wp, lp) : 0;
}

// The thread's queue, with a wait slice that keeps presents and input flowing.
static bool get_or_wait(MSG* out, HWND hwnd, UINT first, UINT last, bool wait, UINT remove = PM_REMOVE) {
    uint64_t idle_since = 0;
    bool idle_armed = false;
    for (;;) {
        PlatThreadSafePoint();  // a message wait is a wait: suspension and termination take effect here
        script_pump();
        pump();
        Lock lk(wlock());
        Queue& q = queue_of(this_tid());
        if (find_message(lk, q, out, hwnd, first, last, remove)) {
            if (!(remove & PM_REMOVE)) return true;
            q.msg_time = out->time;
            lk.unlock();
            set_cursor_for(*out);
            return true;
        }
        if (!wait) return false;
        uint64_t due = std::min(next_timer_due(q), script_next_due());
        uint64_t now = clock_now_ms();
        if (due != UINT64_MAX && clock_is_virtual()) {
            // Give other threads a moment to post, then move time to the next thing that will happen.
            wcond().wait_for(lk, std::chrono::milliseconds(2));
            if (!q.posted.empty() || !q.sent.empty() || !q.input.empty() || q.quit) continue;
            now = clock_now_ms();
            if (due > now) clock_advance_to_us(due * 1000);
            idle_armed = false;
            continue;
        }
        uint64_t slice = 10;
        if (due != UINT64_MAX) {
            slice = due > now ? std::min<uint64_t>(due - now, 10) : 0;
            idle_armed = false;
        } else if (headless()) {
            // Nothing scheduled can arrive: only another thread could still post. Give it time, then end.
            uint64_t real = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                      std::chrono::steady_clock::now().time_since_epoch())
                                                      .count());
            if (!idle_armed) {
                idle_armed = true;
                idle_since = real;
            } else if (real - idle_since >= idle_quit_ms()) {
                std::fprintf(stderr,
                             "platform: GetMessage on thread %d waits for nothing that can arrive (no timer, no "
                             "input script event, no other thread posted for %llu ms); answering WM_QUIT\n",
                             static_cast<int>(q.tid), static_cast<unsigned long long>(idle_quit_ms()));
                log_line("idle-quit thread %d", static_cast<int>(q.tid));
                *out = make_msg(nullptr, WM_QUIT, 0, 0);
                return true;
            }
        }
        if (slice) wcond().wait_for(lk, std::chrono::milliseconds(slice));
    }
}

}  // namespace plat

using namespace plat;

WIN32_BEGIN

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    std::lock_guard<std::mutex> g(wlock());
    if (!hwnd) {
        post_locked(queue_of(this_tid()), nullptr, msg, wp, lp);
        return TRUE;
    }
    Window* w = win_get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Queue* q = queue_find(w->tid);
    if (!q) return FALSE;
    post_locked(*q, hwnd, msg, wp, lp);
    return TRUE;
}

BOOL WINAPI PostThreadMessageA(DWORD thread, UINT msg, WPARAM wp, LPARAM lp) {
    std::lock_guard<std::mutex> g(wlock());
    Queue* q = queue_find(static_cast<pid_t>(thread));
    if (!q) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    post_locked(*q, nullptr, msg, wp, lp);
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Lock lk(wlock());
    Window* w = win_get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (w->tid == this_tid()) {
        WNDPROC proc = w->proc;
        lk.unlock();
        return proc ? proc(hwnd, msg, wp, lp) : 0;
    }
    Queue* target = queue_find(w->tid);
    if (!target || !target->alive) return 0;
    auto s = std::make_shared<SentMsg>();
    s->hwnd = hwnd;
    s->msg = msg;
    s->wp = wp;
    s->lp = lp;
    target->sent.push_back(s);
    wcond().notify_all();
    // While waiting, messages sent to this thread are still delivered, so two threads sending to each
    // other do not lock up.
    Queue& mine = queue_of(this_tid());
    while (!s->done) {
        if (run_one_sent(lk, mine)) continue;
        wcond().wait_for(lk, std::chrono::milliseconds(50));
    }
    return s->result;
}

BOOL WINAPI SendNotifyMessageA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Lock lk(wlock());
    Window* w = win_get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->tid == this_tid()) {
        WNDPROC proc = w->proc;
        lk.unlock();
        if (proc) proc(hwnd, msg, wp, lp);
        return TRUE;
    }
    Queue* target = queue_find(w->tid);
    if (!target) return FALSE;
    auto s = std::make_shared<SentMsg>();
    s->hwnd = hwnd;
    s->msg = msg;
    s->wp = wp;
    s->lp = lp;
    s->notify = true;
    target->sent.push_back(s);
    wcond().notify_all();
    return TRUE;
}

void WINAPI PostQuitMessage(int code) {
    std::lock_guard<std::mutex> g(wlock());
    Queue& q = queue_of(this_tid());
    q.quit = true;
    q.quit_code = code;
    wcond().notify_all();
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove) {
    if (!msg) return FALSE;
    PlatThreadSafePoint();
    script_pump();
    pump();
    Lock lk(wlock());
    Queue& q = queue_of(this_tid());
    if (find_message(lk, q, msg, hwnd, first, last, remove)) {
        if (remove & PM_REMOVE) {
            q.msg_time = msg->time;
            lk.unlock();
            set_cursor_for(*msg);
            if (msg->message == WM_QUIT) quit_capture(msg);
        }
        return TRUE;
    }
    lk.unlock();
    // A polling loop on the virtual clock must still see time pass, or it would spin for ever.
    if (clock_is_virtual()) {
        clock_advance_us(1000);
        wcond().notify_all();
    }
    return FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last) {
    if (!msg) return -1;
    get_or_wait(msg, hwnd, first, last, true);
    if (msg->message != WM_QUIT) return TRUE;
    quit_capture(msg);
    return FALSE;
}

BOOL WINAPI WaitMessage(void) {
    MSG m;
    get_or_wait(&m, nullptr, 0, 0, true, PM_NOREMOVE);
    if (m.message == WM_QUIT && m.hwnd == nullptr) {
        // The idle rule answered: leave a quit message for the caller's next GetMessage.
        std::lock_guard<std::mutex> g(wlock());
        Queue& q = queue_of(this_tid());
        if (!q.quit) {
            q.quit = true;
            q.quit_code = static_cast<int>(m.wParam);
        }
    }
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* m) {
    if (!m || !m->hwnd) return 0;
    if (m->message == WM_TIMER && m->lParam) {
        reinterpret_cast<TIMERPROC>(m->lParam)(m->hwnd, WM_TIMER, m->wParam, m->time);
        return 0;
    }
    return call_proc(m->hwnd, m->message, m->wParam, m->lParam);
}

BOOL WINAPI InSendMessage(void) {
    std::lock_guard<std::mutex> g(wlock());
    Queue* q = queue_find(this_tid());
    return q && q->in_send > 0;
}

DWORD WINAPI GetMessageTime(void) {
    std::lock_guard<std::mutex> g(wlock());
    Queue* q = queue_find(this_tid());
    return q ? q->msg_time : 0;
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT ms, TIMERPROC proc) {
    std::lock_guard<std::mutex> g(wlock());
    pid_t tid = this_tid();
    if (hwnd) {
        Window* w = win_get(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        tid = w->tid;
    }
    Queue& q = queue_of(tid);
    if (!hwnd) {
        // A thread timer keeps its id when it names one of the thread's timers, else gets a new one.
        bool known = id && std::any_of(q.timers.begin(), q.timers.end(),
                                       [&](const Timer& t) { return !t.hwnd && t.id == id; });
        static UINT_PTR next = 0x7F00;
        if (!known) id = ++next;
    }
    ms = std::max<UINT>(ms, 10);
    uint64_t due = clock_now_ms() + ms;
    for (auto& t : q.timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.ms = ms;
            t.proc = proc;
            t.due = due;
            wcond().notify_all();
            return hwnd ? (id ? id : 1) : id;
        }
    }
    q.timers.push_back(Timer{hwnd, id, ms, proc, due});
    wcond().notify_all();
    return hwnd ? (id ? id : 1) : id;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
    std::lock_guard<std::mutex> g(wlock());
    pid_t tid = this_tid();
    if (hwnd) {
        Window* w = win_get(hwnd);
        if (!w) return FALSE;
        tid = w->tid;
    }
    Queue* q = queue_find(tid);
    if (!q) return FALSE;
    auto it = std::find_if(q->timers.begin(), q->timers.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == q->timers.end()) return FALSE;
    q->timers.erase(it);
    // A WM_TIMER already generated is not retracted; none is queued ahead of time here.
    return TRUE;
}

WIN32_END

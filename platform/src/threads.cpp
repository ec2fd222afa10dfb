// Threads: creation over pthreads, the suspend gate, cooperative stop, exit codes, priorities.
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <functional>

#include "kernel.h"
#include "vokplat/thread.h"
#include "win32/process.h"
#include "win32/winsync.h"

namespace plat {
namespace {

const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(LONG_PTR(-2));
constexpr DWORD kMaxSuspend = 127;
// How long TerminateThread gives the thread to reach a safe point before answering.
constexpr auto kStopGrace = std::chrono::milliseconds(1000);

// The calling thread's object. Threads the platform did not start are adopted and marked ended
// when they exit.
struct Self {
    std::shared_ptr<KThread> thread;
    bool adopted = false;
    ~Self();
};
thread_local Self t_self;
thread_local int t_locks_held = 0;
thread_local DWORD t_tid = 0;
// A forked child's thread is not its parent's: forget the cached id.
const int g_atfork = pthread_atfork(nullptr, nullptr, [] { t_tid = 0; });

void finish(KThread& t) {
    HANDLE auto_close = nullptr;
    {
        std::lock_guard lock(kernel_mutex());
        t.finished = true;
        auto_close = t.auto_close;
        kernel_satisfy();
        kernel_cv().notify_all();  // TerminateThread waits for this
    }
    if (auto_close) handle_remove(auto_close);
}

Self::~Self() {
    if (thread && adopted) {
        {
            std::lock_guard lock(kernel_mutex());
            if (thread->exit_code == STILL_ACTIVE) thread->exit_code = 0;
        }
        finish(*thread);
    }
}

struct StartInfo {
    std::shared_ptr<KThread> thread;
    std::function<DWORD()> body;
};

void* trampoline(void* p) {
    std::unique_ptr<StartInfo> start(static_cast<StartInfo*>(p));
    KThread& t = *start->thread;
    t_self.thread = start->thread;
    // Marks the thread ended however it leaves: return, ExitThread or a stop (both unwind).
    struct Finisher {
        KThread& t;
        ~Finisher() { finish(t); }
    } finisher{t};
    {
        std::lock_guard lock(kernel_mutex());
        t.tid = pid_t(GetCurrentThreadId());
        t.started = true;
        kernel_cv().notify_all();
    }
    thread_safe_point();  // a thread created suspended waits here for ResumeThread
    DWORD code = start->body();
    std::lock_guard lock(kernel_mutex());
    t.exit_code = code;
    return nullptr;
}

// Starts a platform thread; answers its handle, or null with the last error set.
HANDLE start_thread(std::function<DWORD()> body, size_t stack_size, bool suspended, bool auto_close,
                    DWORD* tid) {
    auto t = std::make_shared<KThread>();
    t->suspend_count = suspended ? 1 : 0;
    HANDLE h = handle_add(t);
    if (auto_close) t->auto_close = h;

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    // The size asked for is what the original committed up front, with the program's default
    // reserve behind it: a smaller size never shrinks the stack below the host's default.
    size_t default_size = 0;
    pthread_attr_getstacksize(&attr, &default_size);
    if (stack_size > default_size) {
        size_t page = size_t(sysconf(_SC_PAGESIZE));
        pthread_attr_setstacksize(&attr, (stack_size + page - 1) / page * page);
    }
    auto* info = new StartInfo{t, std::move(body)};
    pthread_t pt;
    int rc = pthread_create(&pt, &attr, trampoline, info);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete info;
        handle_remove(h);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::unique_lock lk(kernel_mutex());
    kernel_cv().wait(lk, [&] { return t->started; });
    if (tid) *tid = DWORD(t->tid);
    return h;
}

bool valid_priority(int p) {
    switch (p) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
        return true;
    default:
        return false;
    }
}

std::shared_ptr<KThread> thread_or_error(HANDLE h) {
    auto t = thread_from_handle(h);
    if (!t) SetLastError(ERROR_INVALID_HANDLE);
    return t;
}

}  // namespace

std::shared_ptr<KThread> current_thread() {
    if (!t_self.thread) {
        auto t = std::make_shared<KThread>();
        t->tid = pid_t(GetCurrentThreadId());
        t->started = true;
        t_self.thread = t;
        t_self.adopted = true;
    }
    return t_self.thread;
}

std::shared_ptr<KThread> thread_from_handle(HANDLE h) {
    if (h == kCurrentThread) return current_thread();
    return handle_get_as<KThread>(h);
}

bool thread_stop_due() {
    KThread* me = t_self.thread.get();
    return me && me->stop_requested && t_locks_held == 0;
}

void thread_safe_point_locked(std::unique_lock<std::mutex>& lk) {
    KThread* me = t_self.thread.get();
    if (!me) return;
    for (;;) {
        if (me->stop_requested && t_locks_held == 0) {
            DWORD code = me->stop_code;
            lk.unlock();
            thread_exit(code);
        }
        if (me->suspend_count == 0) return;
        kernel_cv().wait(lk);
    }
}

void thread_safe_point() {
    if (!t_self.thread) return;
    std::unique_lock lk(kernel_mutex());
    thread_safe_point_locked(lk);
}

void thread_lock_taken() { ++t_locks_held; }
void thread_lock_released() { --t_locks_held; }

void thread_exit(DWORD code) {
    auto me = current_thread();
    {
        std::lock_guard lock(kernel_mutex());
        me->exit_code = code;
    }
    me.reset();
    // Unwinds the thread's stack (destructors run) and ends it; Finisher or Self marks it ended.
    pthread_exit(nullptr);
}

}  // namespace plat

using namespace plat;

extern "C" {

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack_size,
                           LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                           LPDWORD thread_id) {
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return start_thread([start, parameter] { return start(parameter); }, stack_size,
                        (flags & CREATE_SUSPENDED) != 0, false, thread_id);
}

uintptr_t _beginthread(void (*start)(void*), unsigned stack_size, void* arg) {
    if (!start) return uintptr_t(-1);
    HANDLE h = start_thread(
        [start, arg]() -> DWORD {
            start(arg);
            return 0;
        },
        stack_size, false, true, nullptr);
    return h ? reinterpret_cast<uintptr_t>(h) : uintptr_t(-1);
}

uintptr_t _beginthreadex(void* security, unsigned stack_size, unsigned (*start)(void*), void* arg,
                         unsigned init_flag, unsigned* thread_id) {
    if (!start) return 0;
    DWORD tid = 0;
    HANDLE h = start_thread([start, arg]() -> DWORD { return start(arg); }, stack_size,
                            (init_flag & CREATE_SUSPENDED) != 0, false, &tid);
    if (h && thread_id) *thread_id = tid;
    return reinterpret_cast<uintptr_t>(h);
}

void _endthread(void) { thread_exit(0); }
void _endthreadex(unsigned exit_code) { thread_exit(exit_code); }
void WINAPI ExitThread(DWORD exit_code) { thread_exit(exit_code); }

HANDLE WINAPI GetCurrentThread(void) { return kCurrentThread; }

DWORD WINAPI GetCurrentThreadId(void) {
    if (!t_tid) t_tid = DWORD(syscall(SYS_gettid));
    return t_tid;
}

DWORD WINAPI GetCurrentProcessId(void) { return DWORD(getpid()); }

BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exit_code) {
    auto t = thread_or_error(thread);
    if (!t || !exit_code) {
        if (t) SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(kernel_mutex());
    *exit_code = t->finished ? t->exit_code : DWORD(STILL_ACTIVE);
    return TRUE;
}

BOOL WINAPI SetThreadPriority(HANDLE thread, int priority) {
    auto t = thread_or_error(thread);
    if (!t) return FALSE;
    if (!valid_priority(priority)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(kernel_mutex());
    t->priority = priority;
    return TRUE;
}

int WINAPI GetThreadPriority(HANDLE thread) {
    auto t = thread_or_error(thread);
    if (!t) return THREAD_PRIORITY_ERROR_RETURN;
    std::lock_guard lock(kernel_mutex());
    return t->priority;
}

DWORD WINAPI SuspendThread(HANDLE thread) {
    auto t = thread_or_error(thread);
    if (!t) return DWORD(-1);
    std::unique_lock lk(kernel_mutex());
    DWORD prev = t->suspend_count;
    if (prev >= kMaxSuspend) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return DWORD(-1);
    }
    ++t->suspend_count;
    if (t == t_self.thread) thread_safe_point_locked(lk);  // suspending oneself takes effect now
    return prev;
}

DWORD WINAPI ResumeThread(HANDLE thread) {
    auto t = thread_or_error(thread);
    if (!t) return DWORD(-1);
    std::lock_guard lock(kernel_mutex());
    DWORD prev = t->suspend_count;
    if (prev > 0 && --t->suspend_count == 0) kernel_cv().notify_all();
    return prev;
}

BOOL WINAPI TerminateThread(HANDLE thread, DWORD exit_code) {
    auto t = thread_or_error(thread);
    if (!t) return FALSE;
    std::unique_lock lk(kernel_mutex());
    if (t->finished) return TRUE;
    if (!t->stop_requested) {
        t->stop_requested = true;
        t->stop_code = exit_code;
    }
    if (t == t_self.thread) {
        thread_safe_point_locked(lk);  // ends here unless a critical section is held
        return TRUE;
    }
    kernel_cv().notify_all();
    // Give it the chance to reach a safe point, so that its code is idle when we answer.
    kernel_cv().wait_for(lk, kStopGrace, [&] { return t->finished; });
    return TRUE;
}

void PlatThreadSafePoint(void) { thread_safe_point(); }

}

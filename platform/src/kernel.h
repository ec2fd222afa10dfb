// Waitable kernel objects (events, threads) and the thread gate.
//
// One mutex and one condition variable guard the state of every waitable object, which keeps
// WaitForMultipleObjects (wait all) simple and correct. Waits register a wait block; whoever makes an
// object signalled calls kernel_satisfy(), which hands the signal to the registered waits in arrival
// order, as a kernel would. That is what lets PulseEvent wake exactly the waiters of its moment.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "handles.h"
#include "win32/wintypes.h"

namespace plat {

std::mutex& kernel_mutex();
std::condition_variable& kernel_cv();

// Everything below marked "locked" runs with kernel_mutex() held.
struct Waitable : KObject {
    virtual bool signalled() const = 0;  // locked
    virtual void acquire() {}            // locked: what a satisfied wait takes (auto reset)
};

// Hands signalled objects to the registered waits and wakes them. Locked.
void kernel_satisfy();

struct KThread : Waitable {
    pid_t tid = 0;
    bool started = false;
    bool finished = false;
    DWORD exit_code = 259;  // STILL_ACTIVE
    DWORD suspend_count = 0;
    std::atomic<bool> stop_requested{false};  // read without the lock by thread_stop_due()
    DWORD stop_code = 0;
    int priority = 0;
    HANDLE auto_close = nullptr;  // _beginthread's handle, closed when the thread ends

    bool signalled() const override { return finished; }
};

// The calling thread's object; threads the platform did not start are adopted on first use.
std::shared_ptr<KThread> current_thread();
// Resolves a thread handle, the pseudo handle of GetCurrentThread included.
std::shared_ptr<KThread> thread_from_handle(HANDLE h);
// Resolves any waitable handle (pseudo handle included); null when invalid.
std::shared_ptr<Waitable> waitable_from_handle(HANDLE h);

// Safe point of the calling thread: blocks while the thread is suspended, and ends it here when a
// stop was requested and it holds no critical section. Call without the kernel lock.
void thread_safe_point();
// Locked variant for wait loops: may drop the lock to end the thread; otherwise keeps it.
void thread_safe_point_locked(std::unique_lock<std::mutex>& lk);
// True when the calling thread has a stop request it may act on now. Needs no lock: a wait outside
// the kernel (a message queue) may add it to its wake-up condition, then call thread_safe_point()
// once it has dropped its own lock.
bool thread_stop_due();

// Critical sections held by the calling thread (a stop waits until it holds none).
void thread_lock_taken();
void thread_lock_released();

// Ends the calling thread with this code (unwinds its stack).
[[noreturn]] void thread_exit(DWORD code);

}  // namespace plat

// Waits, events and critical sections over the one kernel lock (kernel.h).
#include <algorithm>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "clock.h"
#include "kernel.h"
#include "vokplat/thread.h"
#include "win32/winsync.h"

namespace plat {
namespace {

constexpr DWORD kPending = 0xFFFFFFFEu;

struct WaitBlock {
    std::vector<Waitable*> objs;
    bool all = false;
    DWORD result = kPending;
};

std::list<WaitBlock*>& waits() {
    static auto* list = new std::list<WaitBlock*>;  // outlives threads still waiting at exit
    return *list;
}

// Answers WAIT_OBJECT_0 + i when the wait can be satisfied now, and takes the signals. Locked.
DWORD try_satisfy(const std::vector<Waitable*>& objs, bool all) {
    if (all) {
        for (Waitable* o : objs)
            if (!o->signalled()) return kPending;
        for (Waitable* o : objs) o->acquire();
        return WAIT_OBJECT_0;
    }
    for (size_t i = 0; i < objs.size(); ++i) {
        if (objs[i]->signalled()) {
            objs[i]->acquire();
            return WAIT_OBJECT_0 + DWORD(i);
        }
    }
    return kPending;
}

DWORD wait_for(const std::vector<std::shared_ptr<Waitable>>& held, bool all, DWORD ms) {
    WaitBlock wb;
    wb.all = all;
    for (const auto& o : held) wb.objs.push_back(o.get());

    std::unique_lock lk(kernel_mutex());
    thread_safe_point_locked(lk);
    wb.result = try_satisfy(wb.objs, all);
    if (wb.result == kPending && ms != 0) {
        const uint64_t deadline = clock_deadline_us(ms);
        waits().push_back(&wb);
        clock_wait_until(lk, kernel_cv(), deadline,
                         [&] { return wb.result != kPending || thread_stop_due(); });
        waits().remove(&wb);
        if (wb.result == kPending && thread_stop_due()) thread_safe_point_locked(lk);  // ends here
    }
    DWORD r = wb.result == kPending ? DWORD(WAIT_TIMEOUT) : wb.result;
    thread_safe_point_locked(lk);
    return r;
}

struct KEvent : Waitable {
    bool manual = false;
    bool state = false;
    std::string name;

    bool signalled() const override { return state; }
    void acquire() override {
        if (!manual) state = false;
    }
    ~KEvent() override;
};

// Named events of this process. The entry of a destroyed event is dropped by its destructor.
std::mutex& names_mutex() {
    static auto* m = new std::mutex;
    return *m;
}
std::map<std::string, std::weak_ptr<KEvent>>& names() {
    static auto* map = new std::map<std::string, std::weak_ptr<KEvent>>;
    return *map;
}

KEvent::~KEvent() {
    if (name.empty()) return;
    std::lock_guard lock(names_mutex());
    auto it = names().find(name);
    if (it != names().end() && it->second.expired()) names().erase(it);
}

std::shared_ptr<KEvent> event_from(HANDLE h) {
    auto ev = handle_get_as<KEvent>(h);
    if (!ev) SetLastError(ERROR_INVALID_HANDLE);
    return ev;
}

std::mutex* cs_lock(LPCRITICAL_SECTION cs) {
    // A zeroed section that was never initialised still works: its lock is made on first use.
    void* cur = __atomic_load_n(&cs->Lock, __ATOMIC_ACQUIRE);
    if (cur) return static_cast<std::mutex*>(cur);
    auto* fresh = new std::mutex;
    if (__atomic_compare_exchange_n(&cs->Lock, &cur, fresh, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
        return fresh;
    delete fresh;
    return static_cast<std::mutex*>(cur);
}

}  // namespace

std::mutex& kernel_mutex() {
    static auto* m = new std::mutex;
    return *m;
}

std::condition_variable& kernel_cv() {
    static auto* cv = new std::condition_variable;
    return *cv;
}

void kernel_satisfy() {
    bool woke = false;
    for (WaitBlock* wb : waits()) {
        if (wb->result != kPending) continue;
        wb->result = try_satisfy(wb->objs, wb->all);
        woke |= wb->result != kPending;
    }
    if (woke) kernel_cv().notify_all();
}

std::shared_ptr<Waitable> waitable_from_handle(HANDLE h) {
    if (h == GetCurrentThread()) return current_thread();
    return handle_get_as<Waitable>(h);
}

}  // namespace plat

using namespace plat;

extern "C" {

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto obj = waitable_from_handle(handle);
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return wait_for({obj}, false, milliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                                    DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<Waitable>> held;
    for (DWORD i = 0; i < count; ++i) {
        auto obj = waitable_from_handle(handles[i]);
        if (!obj) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        // Waiting for all of one object twice could never be satisfied in one step.
        if (wait_all && std::find(held.begin(), held.end(), obj) != held.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return WAIT_FAILED;
        }
        held.push_back(std::move(obj));
    }
    return wait_for(held, wait_all != FALSE, milliseconds);
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manual_reset, BOOL initial_state,
                           LPCSTR name) {
    std::shared_ptr<KEvent> ev;
    if (name && *name) {
        std::lock_guard lock(names_mutex());
        auto& slot = names()[name];
        ev = slot.lock();
        if (ev) {
            HANDLE h = handle_add(ev);
            SetLastError(ERROR_ALREADY_EXISTS);
            return h;
        }
        ev = std::make_shared<KEvent>();
        ev->name = name;
        slot = ev;
    } else {
        ev = std::make_shared<KEvent>();
    }
    ev->manual = manual_reset != FALSE;
    {
        std::lock_guard lock(kernel_mutex());
        ev->state = initial_state != FALSE;
    }
    HANDLE h = handle_add(ev);
    SetLastError(ERROR_SUCCESS);
    return h;
}

BOOL WINAPI SetEvent(HANDLE event) {
    auto ev = event_from(event);
    if (!ev) return FALSE;
    std::lock_guard lock(kernel_mutex());
    ev->state = true;
    kernel_satisfy();
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE event) {
    auto ev = event_from(event);
    if (!ev) return FALSE;
    std::lock_guard lock(kernel_mutex());
    ev->state = false;
    return TRUE;
}

BOOL WINAPI PulseEvent(HANDLE event) {
    auto ev = event_from(event);
    if (!ev) return FALSE;
    std::lock_guard lock(kernel_mutex());
    ev->state = true;
    kernel_satisfy();  // only the waits registered now can take it
    ev->state = false;
    return TRUE;
}

UINT PlatCountWaiters(HANDLE object) {
    auto obj = waitable_from_handle(object);
    if (!obj) return 0;
    std::lock_guard lock(kernel_mutex());
    UINT n = 0;
    for (WaitBlock* wb : waits())
        if (wb->result == kPending &&
            std::find(wb->objs.begin(), wb->objs.end(), obj.get()) != wb->objs.end())
            ++n;
    return n;
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section) {
    section->Lock = new std::mutex;
    section->OwningThread = 0;
    section->RecursionCount = 0;
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section) {
    delete static_cast<std::mutex*>(section->Lock);
    section->Lock = nullptr;
    section->OwningThread = 0;
    section->RecursionCount = 0;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section) {
    DWORD me = GetCurrentThreadId();
    if (__atomic_load_n(&section->OwningThread, __ATOMIC_RELAXED) == me) {
        ++section->RecursionCount;
        return;
    }
    cs_lock(section)->lock();
    __atomic_store_n(&section->OwningThread, me, __ATOMIC_RELAXED);
    section->RecursionCount = 1;
    thread_lock_taken();
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION section) {
    DWORD me = GetCurrentThreadId();
    if (__atomic_load_n(&section->OwningThread, __ATOMIC_RELAXED) == me) {
        ++section->RecursionCount;
        return TRUE;
    }
    if (!cs_lock(section)->try_lock()) return FALSE;
    __atomic_store_n(&section->OwningThread, me, __ATOMIC_RELAXED);
    section->RecursionCount = 1;
    thread_lock_taken();
    return TRUE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section) {
    // Leaving a section the thread does not own would break the owner's lock: ignored.
    if (__atomic_load_n(&section->OwningThread, __ATOMIC_RELAXED) != GetCurrentThreadId()) return;
    if (--section->RecursionCount > 0) return;
    __atomic_store_n(&section->OwningThread, DWORD(0), __ATOMIC_RELAXED);
    thread_lock_released();
    cs_lock(section)->unlock();
}

}

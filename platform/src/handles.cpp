#include "handles.h"

#include <mutex>
#include <unordered_map>

namespace plat {
namespace {

std::mutex g_mutex;
std::unordered_map<uintptr_t, std::shared_ptr<KObject>> g_table;
uintptr_t g_next = 0x1000;

}  // namespace

HANDLE handle_add(std::shared_ptr<KObject> obj) {
    std::lock_guard lock(g_mutex);
    uintptr_t id = g_next;
    g_next += 4;
    g_table.emplace(id, std::move(obj));
    return reinterpret_cast<HANDLE>(id);
}

std::shared_ptr<KObject> handle_get(HANDLE h) {
    std::lock_guard lock(g_mutex);
    auto it = g_table.find(reinterpret_cast<uintptr_t>(h));
    return it == g_table.end() ? nullptr : it->second;
}

bool handle_remove(HANDLE h) {
    std::shared_ptr<KObject> doomed;  // destroyed outside the lock
    std::lock_guard lock(g_mutex);
    auto it = g_table.find(reinterpret_cast<uintptr_t>(h));
    if (it == g_table.end()) return false;
    doomed = std::move(it->second);
    g_table.erase(it);
    return true;
}

}  // namespace plat

namespace {
thread_local DWORD t_last_error = 0;
}

extern "C" {

DWORD WINAPI GetLastError(void) { return t_last_error; }
void WINAPI SetLastError(DWORD code) { t_last_error = code; }

BOOL WINAPI CloseHandle(HANDLE h) {
    if (!plat::handle_remove(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}

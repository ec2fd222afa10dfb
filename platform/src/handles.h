// The kernel handle table: files, mappings, events, threads and the rest live behind pointer-sized
// handles that never collide with NULL or INVALID_HANDLE_VALUE.
#pragma once

#include <memory>

#include "win32/wintypes.h"

namespace plat {

struct KObject {
    virtual ~KObject() = default;
};

HANDLE handle_add(std::shared_ptr<KObject> obj);
std::shared_ptr<KObject> handle_get(HANDLE h);
template <class T>
std::shared_ptr<T> handle_get_as(HANDLE h) {
    return std::dynamic_pointer_cast<T>(handle_get(h));
}
// Removes the handle; the object lives on while someone still holds it (a waiter, a mapping view).
bool handle_remove(HANDLE h);

}  // namespace plat

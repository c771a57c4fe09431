#include "simwin/handles.h"

namespace simwin {

void* HandleTable::add(std::shared_ptr<HandleObject> object) {
    uintptr_t h = next_;
    next_ += 4;
    objects_[h] = std::move(object);
    return reinterpret_cast<void*>(h);
}

bool HandleTable::close(const void* handle) {
    return objects_.erase(reinterpret_cast<uintptr_t>(handle)) > 0;
}

}  // namespace simwin

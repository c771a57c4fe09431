// Kernel-style handle table: every object the tool holds a handle to (file, search, registry
// key, service, token, process, printer, module ...) is a HandleObject in the current machine.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

namespace simwin {

struct HandleObject {
    virtual ~HandleObject() = default;
};

class HandleTable {
public:
    // Returns a new handle value (never 0, never -1, a multiple of 4 as on Windows).
    void* add(std::shared_ptr<HandleObject> object);
    // The object behind a handle if it is of type T, else nullptr.
    template <class T>
    T* get(const void* handle) const {
        auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
        return it == objects_.end() ? nullptr : dynamic_cast<T*>(it->second.get());
    }
    template <class T>
    std::shared_ptr<T> share(const void* handle) const {
        auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
        return it == objects_.end() ? nullptr : std::dynamic_pointer_cast<T>(it->second);
    }
    // Removes a handle; false when it was not open.
    bool close(const void* handle);
    size_t openCount() const { return objects_.size(); }
    template <class T>
    size_t openCountOf() const {
        size_t n = 0;
        for (auto& kv : objects_)
            if (dynamic_cast<T*>(kv.second.get())) ++n;
        return n;
    }

private:
    std::map<uintptr_t, std::shared_ptr<HandleObject>> objects_;
    uintptr_t next_ = 0x100;
};

}  // namespace simwin

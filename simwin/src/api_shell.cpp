// shell32 on the current machine: the special folders.
#include <cstdlib>
#include <cstring>
#include <string>

#include "simwin/machine.h"
#include "simwin/win32.h"

using simwin::current;

namespace {

class ShellAllocator : public IMalloc {
public:
    HRESULT QueryInterface(const void*, void** out) override {
        if (out) *out = this;
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override { return refs_ > 1 ? --refs_ : 1; }
    void* Alloc(SIZE_T size) override { return std::malloc(size); }
    void* Realloc(void* p, SIZE_T size) override { return std::realloc(p, size); }
    void Free(void* p) override { std::free(p); }
    SIZE_T GetSize(void*) override { return static_cast<SIZE_T>(-1); }
    int DidAlloc(void*) override { return -1; }
    void HeapMinimize() override {}

private:
    ULONG refs_ = 1;
};

ShellAllocator g_allocator;

}  // namespace

HRESULT WINAPI SHGetMalloc(LPMALLOC* allocator) {
    if (!allocator) return E_INVALIDARG;
    if (current().system.platform == simwin::Platform::Win32s) {
        *allocator = nullptr;
        return E_FAIL;
    }
    g_allocator.AddRef();
    *allocator = &g_allocator;
    return S_OK;
}

// The item list holds the folder's path as its one item: cb, the path with its NUL, then a
// terminating zero cb.
HRESULT WINAPI SHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* list) {
    if (!list) return E_INVALIDARG;
    *list = nullptr;
    const auto& sys = current().system;
    auto it = sys.shellFolders.find(csidl);
    if (sys.platform == simwin::Platform::Win32s || it == sys.shellFolders.end()) return E_FAIL;
    const std::string& path = it->second;
    USHORT cb = static_cast<USHORT>(sizeof(USHORT) + path.size() + 1);
    auto* p = static_cast<BYTE*>(std::calloc(1, cb + sizeof(USHORT)));
    std::memcpy(p, &cb, sizeof cb);
    std::memcpy(p + sizeof(USHORT), path.c_str(), path.size() + 1);
    *list = reinterpret_cast<LPITEMIDLIST>(p);
    return S_OK;
}

BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path) {
    if (!list || !path) return FALSE;
    const char* text = reinterpret_cast<const char*>(list) + sizeof(USHORT);
    size_t n = std::strlen(text);
    if (n >= MAX_PATH) {
        path[0] = 0;
        return FALSE;
    }
    std::memcpy(path, text, n + 1);
    return TRUE;
}

HRESULT WINAPI SHGetFolderPathA(HWND owner, int csidl, HANDLE token, DWORD flags, LPSTR path) {
    if (!path) return E_INVALIDARG;
    path[0] = '\0';
    const auto& sys = current().system;
    auto it = sys.shellFolders.find(csidl & ~CSIDL_FLAG_MASK);
    if (sys.platform == simwin::Platform::Win32s || it == sys.shellFolders.end()) return E_FAIL;
    auto& files = current().files;
    if (!files.isDirectory(it->second)) {
        if (csidl & CSIDL_FLAG_CREATE)
            files.makeDirectories(it->second);
        else if (!(csidl & CSIDL_FLAG_DONT_VERIFY))
            return static_cast<HRESULT>(0x80070002);  // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
    }
    if (it->second.size() >= MAX_PATH) return E_FAIL;
    std::memcpy(path, it->second.c_str(), it->second.size() + 1);
    return S_OK;
}

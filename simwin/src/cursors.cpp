// Cursors and icons as records: the system cursors and icons, the program's icon resources, and the
// cursor currently set.
#include <map>
#include <string>

#include "simwin/machine.h"
#include "simwin/modules.h"
#include "simwin/win32.h"

using simwin::current;

namespace {

// Handles of the system cursors and icons, by resource ID, made once per process.
HANDLE systemImage(WORD id, bool cursor) {
    static std::map<std::pair<WORD, bool>, uintptr_t> handles;
    auto key = std::make_pair(id, cursor);
    auto it = handles.find(key);
    if (it == handles.end()) it = handles.emplace(key, 0x70000 + handles.size() * 0x10).first;
    return reinterpret_cast<HANDLE>(it->second);
}

bool isSystemCursor(WORD id) { return id >= 32512 && id <= 32651; }

HANDLE programIcon(LPCSTR name) {
    const simwin::IconResource* icon = simwin::programResources().icon(simwin::ResourceName::fromArgument(name));
    if (!icon) return nullptr;
    // One handle per icon resource: LoadIcon gives the shared copy every time.
    static std::map<std::string, uintptr_t> handles;
    std::string key = icon->name.text();
    auto it = handles.find(key);
    if (it == handles.end()) it = handles.emplace(key, 0x78000 + handles.size() * 0x10).first;
    return reinterpret_cast<HANDLE>(it->second);
}

}  // namespace

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (!instance && IS_INTRESOURCE(name) && isSystemCursor(LOWORD(reinterpret_cast<ULONG_PTR>(name))))
        return reinterpret_cast<HCURSOR>(systemImage(LOWORD(reinterpret_cast<ULONG_PTR>(name)), true));
    SetLastError(instance ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
    return NULL;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    HCURSOR previous = current().windows.cursor;
    current().windows.cursor = cursor;
    return previous;
}

HCURSOR WINAPI GetCursor(void) { return current().windows.cursor; }

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!instance) {
        if (IS_INTRESOURCE(name) && LOWORD(reinterpret_cast<ULONG_PTR>(name)) >= 32512 &&
            LOWORD(reinterpret_cast<ULONG_PTR>(name)) <= 32518)
            return reinterpret_cast<HICON>(systemImage(LOWORD(reinterpret_cast<ULONG_PTR>(name)), false));
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return NULL;
    }
    if (instance != simwin::programModule()) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return NULL;
    }
    HANDLE h = programIcon(name);
    if (!h) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return reinterpret_cast<HICON>(h);
}

HANDLE WINAPI LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
    switch (type) {
    case IMAGE_ICON: return LoadIconA(instance, name);
    case IMAGE_CURSOR: return LoadCursorA(instance, name);
    default: SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND); return NULL;
    }
}

BOOL WINAPI DestroyIcon(HICON icon) { return icon ? TRUE : FALSE; }

// GDI as records: device contexts of windows, fonts, brushes and the stock objects. Nothing is drawn;
// what the tool draws is recorded on the window it draws into, and a device context that the tool
// does not release stays open, so a test can tell.
#pragma once

#include <map>
#include <string>

#include "simwin/types.h"
#include "simwin/api/gdi.h"

namespace simwin {

struct GdiObject {
    enum Kind { Font, Brush, Pen, Bitmap, Palette } kind = Font;
    bool stock = false;
    LOGFONTA font{};  // Font
};

struct DeviceContext {
    HWND hwnd = nullptr;
    HGDIOBJ selectedFont = nullptr;
};

class Gdi {
public:
    Gdi();
    std::map<HGDIOBJ, GdiObject> objects;
    std::map<HDC, DeviceContext> contexts;  // open device contexts (GetDC without ReleaseDC yet)

    HGDIOBJ add(const GdiObject& object);
    // The brush of a system colour (GetSysColorBrush): one per colour, owned by the system.
    HGDIOBJ sysColorBrush(int index);
    HDC openContext(HWND hwnd);
    // Number of device contexts the tool got and has not released.
    size_t openContexts() const { return contexts.size(); }

private:
    uintptr_t next_ = 0x50000;
    std::map<int, HGDIOBJ> stock_;
    std::map<int, HGDIOBJ> sysColorBrushes_;
    friend HGDIOBJ stockObject(int index);
};

// The handle of a stock object (GetStockObject).
HGDIOBJ stockObject(int index);

}  // namespace simwin

// gdi32 on the current machine: device contexts, fonts and stock objects as records.
#include "simwin/gdi.h"

#include <cstring>

#include "simwin/machine.h"
#include "simwin/win32.h"

using simwin::current;

namespace simwin {

Gdi::Gdi() {
    for (int i = WHITE_BRUSH; i <= DEFAULT_GUI_FONT; ++i) {
        if (i == 9) continue;  // no stock object 9
        GdiObject o;
        o.stock = true;
        o.kind = i <= NULL_BRUSH ? GdiObject::Brush : i <= NULL_PEN ? GdiObject::Pen : i == DEFAULT_PALETTE ? GdiObject::Palette : GdiObject::Font;
        if (o.kind == GdiObject::Font) {
            o.font.lfHeight = -12;
            o.font.lfWeight = FW_NORMAL;
            o.font.lfCharSet = SHIFTJIS_CHARSET;
            std::strcpy(o.font.lfFaceName, i == DEFAULT_GUI_FONT ? "MS UI Gothic" : "System");
        }
        stock_[i] = add(o);
    }
}

HGDIOBJ Gdi::add(const GdiObject& object) {
    HGDIOBJ h = reinterpret_cast<HGDIOBJ>(next_);
    next_ += 0x10;
    objects[h] = object;
    return h;
}

HDC Gdi::openContext(HWND hwnd) {
    HDC dc = reinterpret_cast<HDC>(next_);
    next_ += 0x10;
    contexts[dc] = DeviceContext{hwnd, nullptr};
    return dc;
}

HGDIOBJ Gdi::sysColorBrush(int index) {
    auto it = sysColorBrushes_.find(index);
    if (it != sysColorBrushes_.end()) return it->second;
    GdiObject o;
    o.kind = GdiObject::Brush;
    o.stock = true;  // deleting it does nothing, as with a stock object
    return sysColorBrushes_[index] = add(o);
}

HGDIOBJ stockObject(int index) {
    auto& stock = current().gdi.stock_;
    auto it = stock.find(index);
    return it == stock.end() ? nullptr : it->second;
}

}  // namespace simwin

HDC WINAPI GetDC(HWND hwnd) {
    if (hwnd && !current().windows.find(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    return current().gdi.openContext(hwnd);
}

int WINAPI ReleaseDC(HWND hwnd, HDC dc) {
    auto& contexts = current().gdi.contexts;
    auto it = contexts.find(dc);
    if (it == contexts.end() || it->second.hwnd != hwnd) return 0;
    contexts.erase(it);
    return 1;
}

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* font) {
    if (!font) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    simwin::GdiObject o;
    o.kind = simwin::GdiObject::Font;
    o.font = *font;
    o.font.lfFaceName[LF_FACESIZE - 1] = 0;
    return reinterpret_cast<HFONT>(current().gdi.add(o));
}

int WINAPI GetObjectA(HANDLE object, int size, LPVOID buffer) {
    auto& objects = current().gdi.objects;
    auto it = objects.find(object);
    if (it == objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (it->second.kind != simwin::GdiObject::Font) return 0;
    if (!buffer) return static_cast<int>(sizeof(LOGFONTA));
    // A short buffer takes what fits: GDI copies at most the size asked for.
    int n = size < static_cast<int>(sizeof(LOGFONTA)) ? size : static_cast<int>(sizeof(LOGFONTA));
    if (n <= 0) return 0;
    std::memcpy(buffer, &it->second.font, static_cast<size_t>(n));
    return n;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    auto& objects = current().gdi.objects;
    auto it = objects.find(object);
    if (it == objects.end()) return FALSE;
    if (!it->second.stock) objects.erase(it);  // deleting a stock object does nothing, and succeeds
    return TRUE;
}

HGDIOBJ WINAPI GetStockObject(int index) { return simwin::stockObject(index); }

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    auto& g = current().gdi;
    auto it = g.contexts.find(dc);
    if (it == g.contexts.end() || !g.objects.count(object)) return NULL;
    HGDIOBJ previous = it->second.selectedFont ? it->second.selectedFont : simwin::stockObject(SYSTEM_FONT);
    it->second.selectedFont = object;
    return previous;
}

DWORD WINAPI GetObjectType(HGDIOBJ object) {
    auto& g = current().gdi;
    if (g.contexts.count(reinterpret_cast<HDC>(object))) return OBJ_DC;
    auto it = g.objects.find(object);
    if (it == g.objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    switch (it->second.kind) {
    case simwin::GdiObject::Font: return OBJ_FONT;
    case simwin::GdiObject::Brush: return OBJ_BRUSH;
    case simwin::GdiObject::Pen: return OBJ_PEN;
    case simwin::GdiObject::Bitmap: return OBJ_BITMAP;
    case simwin::GdiObject::Palette: return OBJ_PAL;
    }
    return 0;
}

// user32's painting with brushes, on the records of the window a device context belongs to.
HBRUSH WINAPI GetSysColorBrush(int index) {
    // COLOR_SCROLLBAR (0) to COLOR_MENUBAR (30); Windows answers null for the others.
    if (index < 0 || index > 30) return NULL;
    return reinterpret_cast<HBRUSH>(current().gdi.sysColorBrush(index));
}

int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    auto& g = current().gdi;
    auto it = g.contexts.find(dc);
    if (it == g.contexts.end() || !rect || !brush) return 0;
    // A system colour's number plus one stands for its brush; any other brush must exist.
    const uintptr_t value = reinterpret_cast<uintptr_t>(brush);
    auto object = g.objects.find(reinterpret_cast<HGDIOBJ>(brush));
    const bool colour = value >= 1 && value <= 31;
    if (!colour && (object == g.objects.end() || object->second.kind != simwin::GdiObject::Brush)) return 0;
    // The hollow brush paints nothing: what was drawn stays.
    if (!colour && brush == reinterpret_cast<HBRUSH>(simwin::stockObject(NULL_BRUSH))) return 1;
    if (simwin::Window* w = current().windows.find(it->second.hwnd)) w->coverDrawn(*rect);
    return 1;
}

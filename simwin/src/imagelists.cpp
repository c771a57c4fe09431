// comctl32 image lists on the current machine, made empty or from a bitmap of the program's resources.
#include "simwin/imagelists.h"

#include "simwin/machine.h"
#include "simwin/modules.h"
#include "simwin/win32.h"

using simwin::current;

namespace simwin {

HIMAGELIST ImageListTable::create(int cx, int cy, UINT flags, int initial, int grow) {
    if (cx < 0 || cy < 0) return nullptr;
    if ((flags & ILC_COLORDDB) != ILC_COLORDDB && (cx == 0 || cy == 0)) return nullptr;
    ImageList list;
    list.handle = reinterpret_cast<HIMAGELIST>(next_);
    next_ += 0x20;
    list.cx = cx;
    list.cy = cy;
    list.flags = flags;
    list.initial = initial;
    list.grow = grow;
    lists_[list.handle] = list;
    return list.handle;
}

ImageList* ImageListTable::find(HIMAGELIST list) {
    auto it = lists_.find(list);
    return it == lists_.end() ? nullptr : &it->second;
}

bool ImageListTable::destroy(HIMAGELIST list) { return lists_.erase(list) != 0; }

}  // namespace simwin

namespace {

// LoadImage flags that decide the list's size and colour depth.
const UINT kDefaultSize = 0x0008;        // DI_DEFAULTSIZE: a width of 0 means the system icon width
const UINT kCreateDibSection = 0x2000;   // LR_CREATEDIBSECTION: the bitmap keeps its own colour depth
const int kSystemIconWidth = 32;

// The bitmap a LoadImage of the program's resources finds, or null with the error Windows gives: a
// null instance looks among the system's bitmaps, another module has no bitmaps.
const simwin::BitmapResource* programBitmap(HINSTANCE instance, LPCSTR name) {
    if (instance && instance != simwin::programModule()) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    const simwin::BitmapResource* b =
        instance && name ? simwin::programResources().bitmap(simwin::ResourceName::fromArgument(name)) : nullptr;
    if (!b) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return b;
}

}  // namespace

HIMAGELIST WINAPI ImageList_Create(int cx, int cy, UINT flags, int initial, int grow) {
    return current().imageLists.create(cx, cy, flags, initial, grow);
}

HIMAGELIST WINAPI ImageList_LoadImageA(HINSTANCE instance, LPCSTR name, int cx, int grow, COLORREF mask, UINT type,
                                       UINT flags) {
    if (type != IMAGE_BITMAP) {
        // Icons and cursors are not made into image lists here.
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return NULL;
    }
    const simwin::BitmapResource* bitmap = programBitmap(instance, name);
    if (!bitmap) return NULL;
    // A width of 0 takes square images of the bitmap's height.
    if (cx == 0) cx = (flags & kDefaultSize) ? kSystemIconWidth : bitmap->height;
    if (cx <= 0) return NULL;
    UINT colour = (flags & kCreateDibSection) ? static_cast<UINT>(bitmap->bitsPerPixel) : ILC_COLOR;
    if (mask != CLR_NONE) colour |= ILC_MASK;
    int images = bitmap->width / cx;
    HIMAGELIST handle = current().imageLists.create(cx, bitmap->height, colour, images, grow);
    if (!handle) return NULL;
    simwin::ImageList* list = current().imageLists.find(handle);
    list->count = images;
    list->mask = mask;
    list->bitmap = bitmap->name.text();
    return handle;
}

BOOL WINAPI ImageList_Destroy(HIMAGELIST list) { return current().imageLists.destroy(list) ? TRUE : FALSE; }

int WINAPI ImageList_GetImageCount(HIMAGELIST list) {
    simwin::ImageList* l = current().imageLists.find(list);
    return l ? l->count : 0;
}

BOOL WINAPI ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy) {
    simwin::ImageList* l = current().imageLists.find(list);
    if (!l || !cx || !cy) return FALSE;
    *cx = l->cx;
    *cy = l->cy;
    return TRUE;
}

BOOL WINAPI ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
    simwin::ImageList* l = current().imageLists.find(list);
    if (!l || index < 0 || index >= l->count) return FALSE;
    auto& contexts = current().gdi.contexts;
    auto it = contexts.find(dc);
    if (it == contexts.end()) return FALSE;
    // A device context of the screen (GetDC(NULL)) has no window to keep the record.
    if (simwin::Window* w = current().windows.find(it->second.hwnd)) {
        const RECT r{x, y, x + l->cx, y + l->cy};
        // Drawn through its mask (ILD_NORMAL, ILD_TRANSPARENT, the list's background colour being none)
        // the image's transparent pixels leave what was there; drawn without one it covers its rectangle.
        if (!(l->flags & ILC_MASK) || (style & ILD_IMAGE)) w->coverDrawn(r);
        w->addDrawn({list, index, r});
    }
    return TRUE;
}

int WINAPI ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon) {
    simwin::ImageList* l = current().imageLists.find(list);
    if (!l || !icon || index < -1 || index >= l->count) return -1;
    if (index == -1) return l->count++;
    return index;
}

BOOL WINAPI ImageList_Remove(HIMAGELIST list, int index) {
    simwin::ImageList* l = current().imageLists.find(list);
    if (!l || index < -1 || index >= l->count) return FALSE;
    l->count = index == -1 ? 0 : l->count - 1;
    return TRUE;
}

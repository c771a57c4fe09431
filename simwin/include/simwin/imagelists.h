// Image lists as records: their image size, how many images they hold, the bitmap resource they were
// loaded from and its transparent colour. Nothing is drawn: ImageList_Draw records the image on the
// window the device context belongs to (Window::drawnList, Window::drawnImage).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "simwin/types.h"
#include "simwin/api/commctrl.h"
#include "simwin/api/gdi.h"

#ifndef ILC_COLORDDB
#define ILC_COLORDDB 0x00FE
#endif

namespace simwin {

struct ImageList {
    HIMAGELIST handle = nullptr;
    int cx = 0, cy = 0;          // size of each image
    UINT flags = 0;              // ILC_ flags: colour depth, ILC_MASK
    int count = 0;               // images held
    int initial = 0, grow = 0;   // as ImageList_Create was asked
    COLORREF mask = CLR_NONE;    // the transparent colour of the bitmap it was loaded from
    std::string bitmap;          // that bitmap's resource name ("116"); empty for ImageList_Create
};

class ImageListTable {
public:
    ImageListTable() = default;
    ImageListTable(const ImageListTable&) = delete;
    ImageListTable& operator=(const ImageListTable&) = delete;

    // An empty list (ImageList_Create); nullptr for a negative size, or a zero one unless ILC_COLORDDB.
    HIMAGELIST create(int cx, int cy, UINT flags, int initial, int grow);
    // The live list behind a handle, or nullptr.
    ImageList* find(HIMAGELIST list);
    // False for an unknown handle; handles are never reused.
    bool destroy(HIMAGELIST list);
    size_t count() const { return lists_.size(); }

private:
    std::map<HIMAGELIST, ImageList> lists_;
    uintptr_t next_ = 0x2A00000;
};

}  // namespace simwin

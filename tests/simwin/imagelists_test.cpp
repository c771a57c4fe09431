// simwin's image lists: made empty or from a bitmap of the program's resources (image count and size,
// colour flags, the transparent colour), the failures of each function, and ImageList_Draw recording the
// image on the window of the device context.
#include <gtest/gtest.h>

#include <algorithm>

#include "simwin/machine.h"
#include "simwin/modules.h"
#include "simwin/win32.h"

namespace {

const DWORD kPoison = 0xdeadbeef;

class ImageListsTest : public ::testing::Test {
protected:
    simwin::Machine machine;
    simwin::MachineScope scope{machine};
};

// A bitmap of the program's resources for the time of a test.
class InjectedBitmap {
public:
    InjectedBitmap(const std::string& name, int width, int height, int bitsPerPixel) : name_(simwin::ResourceName::fromName(name)) {
        simwin::BitmapResource b;
        b.name = name_;
        b.width = width;
        b.height = height;
        b.bitsPerPixel = bitsPerPixel;
        simwin::programResources().bitmaps.push_back(b);
    }
    ~InjectedBitmap() {
        auto& bitmaps = simwin::programResources().bitmaps;
        bitmaps.erase(std::remove_if(bitmaps.begin(), bitmaps.end(), [&](const simwin::BitmapResource& b) { return b.name.matches(name_); }),
                      bitmaps.end());
    }

private:
    simwin::ResourceName name_;
};

HWND MakeWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "ImageListsTestClass";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "ImageListsTestClass", "w", WS_POPUP, 0, 0, 100, 100, NULL, NULL, simwin::programModule(), NULL);
}

}  // namespace

TEST_F(ImageListsTest, CreateMakesAnEmptyListOfTheImageSize) {
    HIMAGELIST a = ImageList_Create(16, 12, ILC_COLOR24 | ILC_MASK, 4, 4);
    HIMAGELIST b = ImageList_Create(32, 32, ILC_COLOR, 0, 0);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_NE(a, b);
    EXPECT_EQ(0, ImageList_GetImageCount(a));
    int cx = -1, cy = -1;
    EXPECT_TRUE(ImageList_GetIconSize(a, &cx, &cy));
    EXPECT_EQ(16, cx);
    EXPECT_EQ(12, cy);
    EXPECT_EQ(UINT(ILC_COLOR24 | ILC_MASK), simwin::current().imageLists.find(a)->flags);
    // Negative sizes never; a zero size only for a list of the display's depth.
    struct Case {
        int cx, cy;
        UINT flags;
        bool made;
    };
    const Case cases[] = {{-1, 16, ILC_COLOR, false}, {16, -1, ILC_COLOR, false}, {0, 16, ILC_COLOR, false},
                          {16, 0, ILC_COLOR32, false}, {0, 0, ILC_COLORDDB, true},  {1, 1, ILC_COLOR, true}};
    for (const Case& c : cases) EXPECT_EQ(c.made, ImageList_Create(c.cx, c.cy, c.flags, 1, 1) != nullptr) << c.cx << "x" << c.cy;
}

TEST_F(ImageListsTest, DestroyAndTheFunctionsOfAnUnknownList) {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR, 1, 1);
    EXPECT_TRUE(ImageList_Destroy(list));
    EXPECT_FALSE(ImageList_Destroy(list));
    EXPECT_FALSE(ImageList_Destroy(NULL));
    EXPECT_EQ(0, ImageList_GetImageCount(list));
    int cx = 7, cy = 7;
    EXPECT_FALSE(ImageList_GetIconSize(list, &cx, &cy));
    EXPECT_EQ(7, cx);
    EXPECT_EQ(7, cy);
    HIMAGELIST live = ImageList_Create(16, 16, ILC_COLOR, 1, 1);
    EXPECT_FALSE(ImageList_GetIconSize(live, NULL, &cy));
    EXPECT_FALSE(ImageList_GetIconSize(live, &cx, NULL));
    EXPECT_NE(list, live);
    EXPECT_EQ(1u, simwin::current().imageLists.count());
}

TEST_F(ImageListsTest, LoadImageCutsTheBitmapIntoImagesOfTheGivenWidth) {
    InjectedBitmap strip("SIMWIN_TEST_STRIP", 100, 20, 24);
    struct Case {
        int cx;
        UINT flags;
        COLORREF mask;
        int count, width, height;
        UINT ilc;
    };
    const Case cases[] = {
        {20, 0, RGB(255, 0, 255), 5, 20, 20, ILC_COLOR | ILC_MASK},
        {30, 0, CLR_NONE, 3, 30, 20, ILC_COLOR},             // what is left over is no image
        {0, 0, RGB(255, 0, 255), 5, 20, 20, ILC_COLOR | ILC_MASK},  // square images of the bitmap's height
        {0, 0x0008 /* DI_DEFAULTSIZE */, CLR_NONE, 3, 32, 20, ILC_COLOR},
        {25, 0x2000 /* LR_CREATEDIBSECTION */, CLR_NONE, 4, 25, 20, 24},
        {200, 0, CLR_NONE, 0, 200, 20, ILC_COLOR},
    };
    for (const Case& c : cases) {
        SetLastError(kPoison);
        HIMAGELIST list = ImageList_LoadImageA(simwin::programModule(), "simwin_test_strip", c.cx, 4, c.mask, IMAGE_BITMAP, c.flags);
        ASSERT_NE(nullptr, list) << c.cx;
        EXPECT_EQ(kPoison, GetLastError()) << c.cx;
        EXPECT_EQ(c.count, ImageList_GetImageCount(list)) << c.cx;
        int cx = 0, cy = 0;
        ASSERT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
        EXPECT_EQ(c.width, cx) << c.cx;
        EXPECT_EQ(c.height, cy) << c.cx;
        const simwin::ImageList* record = simwin::current().imageLists.find(list);
        EXPECT_EQ(c.ilc, record->flags) << c.cx;
        EXPECT_EQ(c.mask, record->mask) << c.cx;
        EXPECT_EQ("SIMWIN_TEST_STRIP", record->bitmap) << c.cx;
    }
}

TEST_F(ImageListsTest, LoadImageFailsForAMissingBitmapAnotherModuleAndANullInstance) {
    InjectedBitmap strip("SIMWIN_TEST_STRIP", 100, 20, 24);
    struct Case {
        HINSTANCE instance;
        LPCSTR name;
        UINT type;
        DWORD error;
    };
    const Case cases[] = {
        {simwin::programModule(), "NO_SUCH_BITMAP", IMAGE_BITMAP, ERROR_RESOURCE_NAME_NOT_FOUND},
        {simwin::programModule(), MAKEINTRESOURCEA(9999), IMAGE_BITMAP, ERROR_RESOURCE_NAME_NOT_FOUND},
        {NULL, "SIMWIN_TEST_STRIP", IMAGE_BITMAP, ERROR_RESOURCE_NAME_NOT_FOUND},  // the system's bitmaps
        {reinterpret_cast<HINSTANCE>(0x10000000), "SIMWIN_TEST_STRIP", IMAGE_BITMAP, ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(kPoison);
        EXPECT_EQ(nullptr, ImageList_LoadImageA(c.instance, c.name, 16, 4, CLR_NONE, c.type, 0));
        EXPECT_EQ(c.error, GetLastError());
    }
    EXPECT_EQ(0u, simwin::current().imageLists.count());
}

TEST_F(ImageListsTest, TheSelectionPagesBitmapsHoldEightImages) {
    for (auto [id, cx] : {std::pair<int, int>{116, 18}, std::pair<int, int>{117, 32}}) {
        const simwin::BitmapResource* b = simwin::programResources().bitmap(simwin::ResourceName::fromId(static_cast<WORD>(id)));
        ASSERT_NE(nullptr, b) << id;
        HIMAGELIST list = ImageList_LoadImageA(simwin::programModule(), MAKEINTRESOURCEA(id), cx, 10, RGB(255, 0, 255), IMAGE_BITMAP, 0);
        ASSERT_NE(nullptr, list) << id;
        EXPECT_EQ(8, ImageList_GetImageCount(list)) << id;
        int w = 0, h = 0;
        ImageList_GetIconSize(list, &w, &h);
        EXPECT_EQ(cx, w);
        EXPECT_EQ(b->height, h);
    }
}

TEST_F(ImageListsTest, DrawRecordsTheImageOnTheWindowOfTheDeviceContext) {
    InjectedBitmap strip("SIMWIN_TEST_STRIP", 100, 20, 24);
    HIMAGELIST list = ImageList_LoadImageA(simwin::programModule(), "SIMWIN_TEST_STRIP", 20, 4, CLR_NONE, IMAGE_BITMAP, 0);
    HWND hwnd = MakeWindow();
    simwin::Window* w = simwin::current().windows.find(hwnd);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(nullptr, w->drawnList);
    EXPECT_EQ(-1, w->drawnImage);
    HDC dc = GetDC(hwnd);
    EXPECT_TRUE(ImageList_Draw(list, 3, dc, 1, 1, ILD_TRANSPARENT));
    EXPECT_EQ(list, w->drawnList);
    EXPECT_EQ(3, w->drawnImage);
    // Bad images, lists and device contexts draw nothing.
    HIMAGELIST other = ImageList_Create(8, 8, ILC_COLOR, 0, 1);
    struct Case {
        HIMAGELIST list;
        int index;
        HDC dc;
    };
    const Case cases[] = {{list, 5, dc}, {list, -1, dc}, {other, 0, dc}, {NULL, 0, dc}, {list, 0, reinterpret_cast<HDC>(0x1234)}};
    for (const Case& c : cases) EXPECT_FALSE(ImageList_Draw(c.list, c.index, c.dc, 0, 0, ILD_NORMAL)) << c.index;
    EXPECT_EQ(list, w->drawnList);
    EXPECT_EQ(3, w->drawnImage);
    ReleaseDC(hwnd, dc);
    // A device context of the screen has no window to keep the record.
    HDC screen = GetDC(NULL);
    EXPECT_TRUE(ImageList_Draw(list, 0, screen, 0, 0, ILD_NORMAL));
    EXPECT_EQ(3, w->drawnImage);
    ReleaseDC(NULL, screen);
    // A released device context is gone.
    EXPECT_FALSE(ImageList_Draw(list, 0, dc, 0, 0, ILD_NORMAL));
}

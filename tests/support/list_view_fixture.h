// A list view (SysListView32) in a window of its own class inside a "#32770" window; that window records
// every WM_NOTIFY (and WM_CONTEXTMENU) as one line of text, so a sequence of notifications reads as a
// table. ListViewTest makes the list and has the calls the tests make of it.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"

namespace lvtest {

constexpr int kListId = 1020;
constexpr UINT kSel = LVIS_SELECTED;
constexpr UINT kFoc = LVIS_FOCUSED;

// --- The recording parent ------------------------------------------------------------------------------------------

struct Recorder {
    std::vector<std::string> log;
    std::function<LRESULT(NMHDR*)> answer;  // the parent's answer to a notification; 0 without
    std::vector<NMHDR> headers;
    std::vector<WPARAM> notifyWParams;
};
inline Recorder* g_recorder = nullptr;

inline std::string Hex(UINT v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%x", v);
    return b;
}

inline std::string Changing(const char* what, int item, UINT newState, UINT oldState, UINT changed, LPARAM param) {
    return std::string(what) + " " + std::to_string(item) + " new " + Hex(newState) + " old " + Hex(oldState) +
           " changed " + Hex(changed) + " param " + std::to_string(param);
}
inline std::string ItemChanging(int item, UINT n, UINT o, LPARAM param, UINT changed = LVIF_STATE) {
    return Changing("ITEMCHANGING", item, n, o, changed, param);
}
inline std::string ItemChanged(int item, UINT n, UINT o, LPARAM param, UINT changed = LVIF_STATE) {
    return Changing("ITEMCHANGED", item, n, o, changed, param);
}
inline std::string WithItem(const char* what, int item, LPARAM param) {
    return std::string(what) + " " + std::to_string(item) + " param " + std::to_string(param);
}

inline std::string Describe(const NMHDR* h) {
    auto* lv = reinterpret_cast<const NMLISTVIEW*>(h);
    switch (h->code) {
    case LVN_ITEMCHANGING: return Changing("ITEMCHANGING", lv->iItem, lv->uNewState, lv->uOldState, lv->uChanged, lv->lParam);
    case LVN_ITEMCHANGED: return Changing("ITEMCHANGED", lv->iItem, lv->uNewState, lv->uOldState, lv->uChanged, lv->lParam);
    case LVN_INSERTITEM: return WithItem("INSERTITEM", lv->iItem, lv->lParam);
    case LVN_DELETEITEM: return WithItem("DELETEITEM", lv->iItem, lv->lParam);
    case LVN_DELETEALLITEMS: return "DELETEALLITEMS " + std::to_string(lv->iItem);
    case LVN_BEGINRDRAG: return "BEGINRDRAG " + std::to_string(lv->iItem);
    case NM_CLICK: return WithItem("CLICK", lv->iItem, lv->lParam);
    case NM_RCLICK: return WithItem("RCLICK", lv->iItem, lv->lParam);
    case NM_SETFOCUS: return "SETFOCUS";
    case NM_KILLFOCUS: return "KILLFOCUS";
    case NM_RELEASEDCAPTURE: return "RELEASEDCAPTURE";
    case LVN_GETDISPINFOA: {
        auto* info = reinterpret_cast<const NMLVDISPINFOA*>(h);
        return "GETDISPINFO " + std::to_string(info->item.iItem) + "/" + std::to_string(info->item.iSubItem) +
               " mask " + Hex(info->item.mask);
    }
    default: return "notification " + std::to_string(static_cast<int>(h->code));
    }
}

inline LRESULT CALLBACK RecorderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NOTIFY && g_recorder) {
        auto* h = reinterpret_cast<NMHDR*>(lParam);
        g_recorder->log.push_back(Describe(h));
        g_recorder->headers.push_back(*h);
        g_recorder->notifyWParams.push_back(wParam);
        return g_recorder->answer ? g_recorder->answer(h) : 0;
    }
    if (msg == WM_CONTEXTMENU && g_recorder) {
        g_recorder->log.push_back("WM_CONTEXTMENU");
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class ListViewTest : public ::testing::Test {
protected:
    simwin::Machine machine;
    simwin::MachineScope scope{machine};
    Recorder recorder;
    HWND dialog = nullptr, parent = nullptr, list = nullptr;

    void SetUp() override {
        g_recorder = &recorder;
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecorderProc;
        wc.lpszClassName = "ListViewTestParent";
        ASSERT_NE(0, RegisterClassA(&wc));
        dialog = CreateWindowExA(0, "#32770", "Test", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 420, 320, NULL, NULL, NULL, NULL);
        parent = CreateWindowExA(0, "ListViewTestParent", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 280, dialog,
                                 reinterpret_cast<HMENU>(1), NULL, NULL);
        ASSERT_NE(nullptr, parent);
        list = Make(LVS_REPORT);
    }
    void TearDown() override { g_recorder = nullptr; }

    HWND Make(DWORD style, int width = 300, int height = 200) {
        HWND h = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | style, 10, 10, width, height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), NULL, NULL);
        EXPECT_NE(nullptr, h);
        return h;
    }
    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) { return SendMessageA(list, msg, wParam, lParam); }

    int Column(int at, const char* text, int width, HWND target = nullptr) {
        LVCOLUMNA c{};
        c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        c.fmt = LVCFMT_LEFT;
        c.cx = width;
        c.pszText = const_cast<LPSTR>(text);
        c.iSubItem = at;
        return static_cast<int>(SendMessageA(target ? target : list, LVM_INSERTCOLUMNA, at, reinterpret_cast<LPARAM>(&c)));
    }
    int Insert(int at, const char* text, LPARAM param = 0, HWND target = nullptr) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = at;
        item.pszText = const_cast<LPSTR>(text);
        item.lParam = param;
        return static_cast<int>(SendMessageA(target ? target : list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    }
    BOOL SetText(int item, int sub, const char* text) {
        LVITEMA it{};
        it.iSubItem = sub;
        it.pszText = const_cast<LPSTR>(text);
        return static_cast<BOOL>(Send(LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&it)));
    }
    std::string Text(int item, int sub = 0, HWND target = nullptr) {
        char buffer[8192];
        std::memset(buffer, 0xBD, sizeof buffer);
        LVITEMA it{};
        it.iSubItem = sub;
        it.pszText = buffer;
        it.cchTextMax = sizeof buffer;
        SendMessageA(target ? target : list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&it));
        return buffer;
    }
    BOOL SetState(int item, UINT state, UINT mask) {
        LVITEMA it{};
        it.state = state;
        it.stateMask = mask;
        return static_cast<BOOL>(Send(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)));
    }
    UINT State(int item) { return static_cast<UINT>(Send(LVM_GETITEMSTATE, item, kSel | kFoc)); }
    int Count() { return static_cast<int>(Send(LVM_GETITEMCOUNT, 0, 0)); }
    int Width(int column) { return static_cast<int>(Send(LVM_GETCOLUMNWIDTH, column, 0)); }
    std::vector<std::string> Order() {
        std::vector<std::string> out;
        for (int i = 0; i < Count(); ++i) out.push_back(Text(i));
        return out;
    }
    // Three items "Office", "Labels", "Front" with item data 10, 11, 12, and the log cleared.
    void ThreeItems() {
        Column(0, "Name", 100);
        Insert(0, "Office", 10);
        Insert(1, "Labels", 11);
        Insert(2, "Front", 12);
        recorder.log.clear();
    }
    POINT CenterOf(int item, HWND target = nullptr) {
        RECT r{};
        r.left = LVIR_LABEL;
        EXPECT_TRUE(SendMessageA(target ? target : list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r)));
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    // Delivers what is queued, as a message loop would.
    void Pump() {
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
    std::vector<std::string> Picture(HWND target = nullptr) {
        std::vector<std::string> lines;
        simwin::current().windows.find(target ? target : list)->state->picture(lines);
        return lines;
    }
};

}  // namespace lvtest

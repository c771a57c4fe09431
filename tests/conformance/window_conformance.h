// What the window conformance tests share: dialogs of conformance.rc run by a Script (the test's handler
// for the dialog's messages and the table of the messages it records), modal, visible or modeless, the
// fixture that loads the common controls, and the list-view calls the list and keyboard tests make.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/platform.h"
#include "conformance/conformance_env.h"
#include "support/msg_sequence.h"

namespace winconf {

using msgseq::Message;
using msgseq::posted;
using msgseq::sent;

const DWORD kPoison = 0xdeadbeef;
const UINT kPostedMessage = WM_APP + 1;  // a message a test posts
const UINT kSentMessage = WM_APP + 2;    // a message a test sends
const UINT kRunBody = WM_APP + 3;        // posted once a dialog is visible: runs the test's body
const UINT_PTR kTimer = 7;
const UINT_PTR kSecondTimer = 8;
const UINT_PTR kSafetyTimer = 99;  // ends a modal dialog that a broken test would leave open
const UINT kSafetyMs = 5000;

inline HINSTANCE module() { return GetModuleHandleA(nullptr); }

inline std::string className(HWND hwnd) {
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

// What one dialog of a test does: the test's handler for its messages and which messages enter the table.
struct Script {
    std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> handle;  // returns what the dialog procedure returns
    msgseq::Recorder* recorder = nullptr;
    std::set<UINT> recorded;                      // messages entered into `table`
    std::vector<Message>* table = nullptr;        // default: the recorder's messages
    std::vector<UINT> beforeInit;                 // every message the procedure received before WM_INITDIALOG
    bool initialised = false;
    bool ended = false;                           // set by end(): nothing is recorded afterwards
    bool modal = false;

    void end(HWND hwnd, INT_PTR result) {
        ended = true;
        EXPECT_TRUE(EndDialog(hwnd, result));
    }
};

// The scripts of the dialogs alive now, by window; a dialog created next takes pendingScript.
inline std::map<HWND, Script*> g_scripts;
inline Script* g_pendingScript = nullptr;

inline Script* scriptOf(HWND hwnd) {
    auto it = g_scripts.find(hwnd);
    if (it != g_scripts.end()) return it->second;
    if (!g_pendingScript) return nullptr;
    g_scripts[hwnd] = g_pendingScript;
    return g_pendingScript;
}

inline void forget(const Script& s) {
    for (auto it = g_scripts.begin(); it != g_scripts.end();)
        it = it->second == &s ? g_scripts.erase(it) : std::next(it);
}

// The table's id of a message: control IDs and timer IDs instead of handles.
inline WPARAM tableId(UINT message, WPARAM wParam) {
    if (message == WM_SETFONT) return 0;  // a font handle
    if (message == WM_INITDIALOG) return wParam ? GetDlgCtrlID(reinterpret_cast<HWND>(wParam)) : 0;
    return wParam;
}

inline void recordMessage(Script& s, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!s.initialised && message != WM_INITDIALOG) s.beforeInit.push_back(message);
    if (!s.recorder || s.ended) return;
    if (message == WM_NOTIFY && s.recorded.count(WM_NOTIFY)) msgseq::recordItemChange(*s.recorder, lParam);
    if (message == WM_NOTIFY || !s.recorded.count(message)) return;
    std::vector<Message>& table = s.table ? *s.table : s.recorder->messages;
    table.push_back(s.recorder->entry(hwnd, message, wParam, lParam, tableId(message, wParam)));
}

inline INT_PTR CALLBACK scriptedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Script* s = scriptOf(hwnd);
    if (!s) return FALSE;
    recordMessage(*s, hwnd, message, wParam, lParam);
    if (message == WM_INITDIALOG) {
        s->initialised = true;
        g_pendingScript = nullptr;
        if (s->modal) SetTimer(hwnd, kSafetyTimer, kSafetyMs, nullptr);
    }
    if (message == WM_TIMER && wParam == kSafetyTimer) {
        ADD_FAILURE() << "dialog still open after " << kSafetyMs << " ms";
        KillTimer(hwnd, kSafetyTimer);
        s->end(hwnd, -2);
        return TRUE;
    }
    if (s->handle) return s->handle(hwnd, message, wParam, lParam);
    return message == WM_INITDIALOG;
}

// Runs a modal dialog of conformance.rc with the script; returns what DialogBoxParamA returned.
inline INT_PTR runModal(int templateId, Script& s, HWND owner = nullptr) {
    s.modal = true;
    g_pendingScript = &s;
    INT_PTR result = DialogBoxParamA(module(), MAKEINTRESOURCEA(templateId), owner, scriptedProc, 0);
    g_pendingScript = nullptr;
    forget(s);
    return result;
}

// Creates a modeless dialog of conformance.rc (hidden unless its template says WS_VISIBLE).
inline HWND createModeless(int templateId, Script& s, HWND parent = nullptr) {
    g_pendingScript = &s;
    HWND hwnd = CreateDialogParamA(module(), MAKEINTRESOURCEA(templateId), parent, scriptedProc, 0);
    g_pendingScript = nullptr;
    return hwnd;
}

// Runs a modal dialog and calls body once it is visible and active (the modal loop shows it when it first
// goes idle); the dialog then ends with IDOK. `s` may carry a recorder and its own handler.
inline void runVisible(int templateId, Script& s, const std::function<void(HWND)>& body) {
    auto handler = s.handle;
    bool ran = false;
    s.handle = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> INT_PTR {
        if (m == WM_SHOWWINDOW && w) PostMessageA(h, kRunBody, 0, 0);
        if (m == kRunBody) {
            ran = true;
            body(h);
            s.end(h, IDOK);
            return TRUE;
        }
        return handler ? handler(h, m, w, l) : m == WM_INITDIALOG;
    };
    EXPECT_EQ(IDOK, runModal(templateId, s));
    EXPECT_TRUE(ran);
    s.handle = handler;
}

// A hidden modeless dialog for tests that need windows but no message loop; destroyed with the object.
struct Modeless {
    Script script;
    HWND hwnd = nullptr;
    explicit Modeless(int templateId, msgseq::Recorder* recorder = nullptr) {
        script.recorder = recorder;
        hwnd = createModeless(templateId, script);
    }
    ~Modeless() {
        if (hwnd) DestroyWindow(hwnd);
        forget(script);
    }
    HWND item(int id) const { return GetDlgItem(hwnd, id); }
};

class WindowConformance : public ConformanceTest {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
        ASSERT_TRUE(InitCommonControlsEx(&icc));
    }
};

// --- List view calls ---

inline int insertColumn(HWND list, int index, const char* text, int width) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<char*>(text);
    return static_cast<int>(SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column)));
}

inline int insertItem(HWND list, int index, const char* text, LPARAM data = 0, int image = 0) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
    item.iItem = index;
    item.pszText = const_cast<char*>(text);
    item.lParam = data;
    item.iImage = image;
    return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

// LVM_GETITEMTEXTA into a poisoned buffer of bufferSize characters; returns its text (up to the terminator
// or the end of the buffer) and checks that nothing was written past the buffer.
inline std::string itemText(HWND list, int index, int subItem, int bufferSize = 64, LRESULT* returned = nullptr) {
    std::vector<char> buffer(bufferSize + 1, '\xbd');
    LVITEMA item = {};
    item.iSubItem = subItem;
    item.pszText = buffer.data();
    item.cchTextMax = bufferSize;
    LRESULT n = SendMessageA(list, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ('\xbd', buffer[bufferSize]);  // nothing written past cchTextMax
    EXPECT_EQ(buffer.data(), item.pszText);
    std::string text(buffer.data(), strnlen(buffer.data(), bufferSize));
    if (returned)
        *returned = n;
    else
        EXPECT_EQ(static_cast<LRESULT>(text.size()), n);
    return text;
}

inline int columnWidth(HWND list, int index) {
    return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, index, 0));
}

}  // namespace winconf

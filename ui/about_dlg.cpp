// The About box: the program file's version, the build stamp, the platform and three memory figures, one
// row each in a two-column list without header.
#include "ui/about_dlg.h"

#include "ui/list_view.h"

#include <stdio.h>
#include <string.h>

#include "base/os_version.h"
#include "base/path_parts.h"

namespace {

const int kColumnWidth = 200;
const int kValueSize = 64;
// Room for the program's version block; the block of korun04.exe is well under a kilobyte. A larger one is
// not read, and the version stays empty.
const DWORD kVersionBlockSize = 16384;

// "1.00.00.00" from the fixed file information of the program file; empty without version information.
void FormatProgramVersion(char* out, size_t size) {
    out[0] = 0;
    CPathParts program;
    program.Resolve(MODULEFILE);
    const char* path = program.FullPath();
    DWORD handle = 0;
    DWORD blockSize = GetFileVersionInfoSizeA(path, &handle);
    if (blockSize == 0 || blockSize > kVersionBlockSize) return;
    char block[kVersionBlockSize];
    if (!GetFileVersionInfoA(path, 0, blockSize, block)) return;
    VS_FIXEDFILEINFO* info = NULL;
    UINT length = 0;
    if (!VerQueryValueA(block, "\\", reinterpret_cast<LPVOID*>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return;
    snprintf(out, size, "%u.%02u.%02u.%02u", static_cast<unsigned>(HIWORD(info->dwFileVersionMS)),
             static_cast<unsigned>(LOWORD(info->dwFileVersionMS)), static_cast<unsigned>(HIWORD(info->dwFileVersionLS)),
             static_cast<unsigned>(LOWORD(info->dwFileVersionLS)));
}

const char* PlatformName(int platformClass) {
    switch (platformClass) {
    case COSVersion::PLATFORM_WIN32S: return "Win32s";
    case COSVersion::PLATFORM_WIN9X: return "Win9x";
    case COSVersion::PLATFORM_WINNT: return "WinNT";
    default: return "Windows";
    }
}

// A byte count as whole kilobytes in full width: on 64-bit Windows the free address space alone is
// billions of kilobytes.
void FormatKilobytes(char* out, size_t size, SIZE_T bytes) {
    snprintf(out, size, "%llu kb", static_cast<unsigned long long>(bytes >> 10));
}

}  // namespace

CAboutDlg::CAboutDlg() : listView(NULL), columnCount(0) {}

INT_PTR CAboutDlg::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
        case IDC_EXIT:
            EndDialog(hwnd, 1);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void CAboutDlg::OnInitDialog() {
    textResources.SetInstance(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE)));
    textResources.SetWindowTextFromId(hwnd, IDS_ABOUT_TITLE);
    textResources.SetDlgItemTextFromId(hwnd, IDC_ABOUT_NOTICE, IDS_LEGAL_NOTICE);

    listView = GetDlgItem(hwnd, IDC_ABOUT_LIST);
    InsertColumn(0, ".");
    InsertColumn(1, "..");

    char value[kValueSize];
    FormatProgramVersion(value, sizeof value);
    AddRow(textResources.GetString(IDS_ABOUT_VERSION), value);
    snprintf(value, sizeof value, "%s %s", __DATE__, __TIME__);
    AddRow(textResources.GetString(IDS_ABOUT_BUILD_STAMP), value);
    COSVersion osVersion;
    AddRow(textResources.GetString(IDS_ABOUT_PLATFORM), PlatformName(osVersion.GetPlatformClass()));

    MEMORYSTATUS memory;
    memset(&memory, 0, sizeof memory);
    memory.dwLength = sizeof memory;
    GlobalMemoryStatus(&memory);
    FormatKilobytes(value, sizeof value, memory.dwAvailPhys);
    AddRow("Free Physical RAM", value);
    FormatKilobytes(value, sizeof value, memory.dwAvailVirtual);
    AddRow("Free Virtual RAM", value);
    FormatKilobytes(value, sizeof value, memory.dwTotalPageFile);
    AddRow("Swap File Size", value);

    CenterWindow(hwnd, GetDesktopWindow());
    AutoSizeListColumns(listView, columnCount);
}

void CAboutDlg::InsertColumn(int index, const char* header) {
    if (InsertListColumn(listView, index, header, kColumnWidth) >= 0) ++columnCount;
}

void CAboutDlg::AddRow(const char* label, const char* value) {
    const char* cells[2] = {label, value};
    AppendListRow(listView, cells, 2);
}

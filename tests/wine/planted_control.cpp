// The check's control: a program without the tool's protections, importing version.dll as programs
// usually do. Copied beside the planted libraries, it must load the planted version.dll (leaving its
// marker), or the check could not tell a protected tool from a check that plants nothing.
#include <windows.h>

int main() {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(NULL, self, sizeof self);
    DWORD handle = 0;
    GetFileVersionInfoSizeA(self, &handle);
    return 0;
}

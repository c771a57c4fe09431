// Registration of the predefined control classes.
#include "simwin/controls.h"
#include "simwin/win32.h"

namespace simwin {

void registerControlClasses(WindowSystem& ws) {
    registerStaticClass(ws);
    registerButtonClass(ws);
    registerListViewClass(ws);
    registerProgressClass(ws);
    registerEditClass(ws);
}

}  // namespace simwin

void WINAPI InitCommonControls(void) {}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    return init && init->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}

// The msctls_progress32 class.
#include "simwin/controls.h"
#include "simwin/win32.h"

namespace simwin {

void registerProgressClass(WindowSystem& ws) {
    WindowClass c;
    c.name = "msctls_progress32";
    c.wndProc = DefWindowProcA;
    c.system = true;
    ws.classes[c.name] = c;
}

}  // namespace simwin

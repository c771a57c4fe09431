// The SysListView32 class.
#include "simwin/controls.h"
#include "simwin/win32.h"

namespace simwin {

void registerListViewClass(WindowSystem& ws) {
    WindowClass c;
    c.name = "SysListView32";
    c.wndProc = DefWindowProcA;
    c.system = true;
    ws.classes[c.name] = c;
}

}  // namespace simwin

// The predefined control classes, one unit each. Every unit registers its class with the window system
// and keeps its per-window data in a ControlState of its own.
#pragma once

#include "simwin/windows.h"

namespace simwin {

void registerStaticClass(WindowSystem& ws);
void registerButtonClass(WindowSystem& ws);
void registerListViewClass(WindowSystem& ws);
void registerProgressClass(WindowSystem& ws);
void registerEditClass(WindowSystem& ws);

}  // namespace simwin

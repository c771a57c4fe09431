// The product korun04.exe: its entry point WinMain lives in the logic library
// (app/startup.cpp), so that the simulator runs the very same function.

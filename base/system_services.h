// Free-standing operations on the running system that the loading phase and the removal sequence
// call at fixed points. Each reports its outcome only through its result and keeps no state.
#pragma once

#include "base/platform.h"

// Closes the first window of each of the driver family's other programs, then broadcasts the
// registered message "KORunClose04" so that every listening component closes itself. Always 1.
int CloseSiblingApplications();
// Asks the Spooler service to stop; 1 when the stop control was accepted. Does not wait.
int StopSpooler();
// Starts the Spooler service; 1 when it started or was running already.
int StartSpooler();
// 1 when the Spooler service is known to be stopped (a removal killed between its stop and its start left it
// so); 0 when it runs, is changing state, or cannot be asked.
int IsSpoolerStopped();
// Closes the window of class "SpoolProcessClass" and waits a second; 0 when there is none.
int CloseSpoolProcessWindow();
// Starts the program at path with the command line " /d"; its process handle, or NULL.
HANDLE RunProgram(const char* path);
// Enables the shutdown privilege and restarts Windows; 1 when the restart was accepted.
int RebootWithShutdownPrivilege();

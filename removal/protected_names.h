// Components of Windows a script may never have removed: the print spooler's service, the standard print
// processor and the port monitors Windows installs. One list, used by the service, processor and monitor
// removers.
#pragma once

bool IsProtectedService(const char* name);
bool IsProtectedPrintProcessor(const char* name);
bool IsProtectedMonitor(const char* name);

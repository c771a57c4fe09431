#include "removal/protected_names.h"

#include "app/platform.h"

namespace {

bool OneOf(const char* name, const char* const* names, size_t count) {
    if (!name) return false;
    for (size_t i = 0; i < count; ++i)
        if (_strcmpi(name, names[i]) == 0) return true;
    return false;
}

// Services without which printing or Windows itself stops.
const char* const kServices[] = {"Spooler", "RpcSs", "RpcEptMapper", "DcomLaunch", "PlugPlay", "usbprint",
                                 "LanmanServer", "LanmanWorkstation", "EventLog"};
const char* const kProcessors[] = {"WinPrint"};
// The port monitors of the NT family and of the 9x family.
const char* const kMonitors[] = {"Local Port", "Standard TCP/IP Port", "USB Monitor", "WSD Port", "LPR Port",
                                 "AppleTalk Printing Devices", "BJ Language Monitor", "PJL Language monitor",
                                 "Microsoft Shared Fax Monitor", "Appmon"};

}  // namespace

bool IsProtectedService(const char* name) { return OneOf(name, kServices, sizeof kServices / sizeof kServices[0]); }

bool IsProtectedPrintProcessor(const char* name) {
    return OneOf(name, kProcessors, sizeof kProcessors / sizeof kProcessors[0]);
}

bool IsProtectedMonitor(const char* name) { return OneOf(name, kMonitors, sizeof kMonitors / sizeof kMonitors[0]); }

// A spooler list (printers, drivers, ports, monitors, processors) read the way the spooler hands them out:
// a size query, then a fetch into a zeroed buffer of that size.
#pragma once

#include <vector>

#include "base/platform.h"

// enumerate(buffer, size, &needed, &count) is the Enum* call with its other arguments bound. The buffer is
// empty and count 0 when there is nothing or the fetch fails.
template <typename Enumerate>
std::vector<BYTE> FetchSpoolerList(Enumerate enumerate, DWORD& count) {
    DWORD needed = 0;
    count = 0;
    enumerate(static_cast<LPBYTE>(NULL), 0, &needed, &count);
    std::vector<BYTE> buffer;
    if (needed == 0) return buffer;
    buffer.assign(needed, 0);
    if (!enumerate(buffer.data(), needed, &needed, &count)) {
        count = 0;
        buffer.clear();
    }
    return buffer;
}

// The ports (PORT_INFO_2A) and the port monitors (MONITOR_INFO_2A) of this computer.
inline std::vector<BYTE> FetchPorts(DWORD& count) {
    return FetchSpoolerList(
        [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPortsA(NULL, 2, buffer, size, needed, returned);
        },
        count);
}
inline std::vector<BYTE> FetchMonitors(DWORD& count) {
    return FetchSpoolerList(
        [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumMonitorsA(NULL, 2, buffer, size, needed, returned);
        },
        count);
}

// The drivers of an environment (null: the local one) at level 8, or at level 3 from a spooler without it;
// level says which.
inline std::vector<BYTE> FetchDrivers(const char* environment, DWORD& level, DWORD& count) {
    level = 8;
    auto enumerate = [&](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumPrinterDriversA(NULL, const_cast<LPSTR>(environment), level, buffer, size, needed, returned);
    };
    std::vector<BYTE> list = FetchSpoolerList(enumerate, count);
    if (!count) {
        level = 3;
        list = FetchSpoolerList(enumerate, count);
    }
    return list;
}
// The i-th driver of such a list (DRIVER_INFO_8A begins with the fields of DRIVER_INFO_3A).
inline const DRIVER_INFO_3A& DriverAt(const std::vector<BYTE>& list, DWORD level, DWORD i) {
    const size_t stride = level == 8 ? sizeof(DRIVER_INFO_8A) : sizeof(DRIVER_INFO_3A);
    return *reinterpret_cast<const DRIVER_INFO_3A*>(list.data() + i * stride);
}

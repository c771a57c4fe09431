// A spooler list (printers, drivers, ports, monitors, processors) read the way the spooler hands them out:
// a size query, then a fetch into a zeroed buffer of that size.
#pragma once

#include <vector>

#include "app/platform.h"

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

// The machine's virtual clock: milliseconds since the machine started. Timers, Sleep, GetTickCount and
// the stand-in programs all read it; only Sleep and the modal loops (jumping to the next due timer or
// timed user action) move it, so a test never waits for real time.
#pragma once

#include <cstdint>

namespace simwin {

struct Clock {
    uint64_t ms = 0;
    void advanceTo(uint64_t t) {
        if (t > ms) ms = t;
    }
};

}  // namespace simwin

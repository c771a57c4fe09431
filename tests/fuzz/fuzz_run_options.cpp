// libFuzzer target: arbitrary bytes as the tool's command tail, read as the administrator's options (/LOG,
// /PLAN, /QUIET, /SELECT, /RESTART), written back, and made into a run with its log.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static simwin::Machine machine;
    static simwin::MachineScope scope(machine);
    std::string broken = fuzz::RunRunOptionsInput(machine, data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "check failed: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}

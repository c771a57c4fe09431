// libFuzzer target: removal items as a hostile script could write them; the keys and directories Windows
// needs survive the removers.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static simwin::Machine machine;
    static simwin::MachineScope scope(machine);
    std::string broken = fuzz::RunRemovalItemsInput(machine, data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "check failed: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}

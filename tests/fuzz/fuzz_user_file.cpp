// libFuzzer target: the text of a korun04-sim user file: read, or refused with its line; what is read
// writes back as the same actions.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static simwin::Machine machine;
    static simwin::MachineScope scope(machine);
    std::string broken = fuzz::RunUserFileInput(machine, data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "check failed: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}

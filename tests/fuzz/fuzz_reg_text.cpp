// libFuzzer target: a key and a value with names of any bytes, exported as registry text and read
// back: refused with a reason, or exactly the keys and values the registry holds.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static simwin::Machine machine;
    static simwin::MachineScope scope(machine);
    std::string broken = fuzz::RunRegTextInput(machine, data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "check failed: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}

// libFuzzer target: the text of a machine RECIPE (korun04-sim --build-machine): built or refused with a clear
// error; what builds holds printers whose drivers and ports are installed.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static simwin::Machine machine;
    static simwin::MachineScope scope(machine);
    std::string broken = fuzz::RunMachineRecipeInput(machine, data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "check failed: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}

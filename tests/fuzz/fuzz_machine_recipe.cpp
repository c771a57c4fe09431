// libFuzzer target: the text of a machine RECIPE (korun04-sim --build-machine): built or refused with a clear
// error; what builds holds printers whose drivers and ports are installed.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_bodies.h"

// The builder saves and loads every machine it builds through a directory of the temporary directory: in
// memory when it can be (/dev/shm), as fuzz_machine's round trip, without a disk's inode and journal work for
// every input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (::access("/dev/shm", W_OK) == 0) ::setenv("TMPDIR", "/dev/shm", 1);
    return 0;
}

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

// The fixture of the conformance tests. The same test sources are compiled for Windows (run on
// Windows or under Wine, against the real Win32) and for the host (against simwin): on the host
// every test runs on a fresh simulated machine of its own, made current for the test's lifetime.
// Tests derive their fixtures from ConformanceTest and use Win32 calls only.
#pragma once

#include <gtest/gtest.h>

#include "app/platform.h"

#ifndef _WIN32
#include "simwin/machine.h"
#endif

class ConformanceTest : public ::testing::Test {
#ifndef _WIN32
private:
    simwin::Machine machine_;
    simwin::MachineScope scope_{machine_};
#endif
};

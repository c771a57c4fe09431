// Where the tests find the source tree and the simulator. The paths live in one generated source of the
// build (test_paths.cpp), not in every test's compile line: a test file then compiles to the same object in
// any checkout, so a compiler cache shares it between clones.
#pragma once

namespace testpaths {
extern const char* const kSourceDir;  // the source tree, without a trailing slash
extern const char* const kSimPath;    // the korun04-sim of this build
}  // namespace testpaths

#define KORUN_SOURCE_DIR (testpaths::kSourceDir)
#define KORUN_SIM_PATH (testpaths::kSimPath)

# libFuzzer targets, built with clang, AddressSanitizer and UndefinedBehaviorSanitizer (option KORUN_FUZZ,
# preset "fuzz", binary directory build/fuzz). Included before the targets are defined, so that the logic
# and simwin are instrumented too. scripts/fuzz.sh builds and runs them.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KORUN_FUZZ needs clang: configure with the \"fuzz\" preset")
endif()

set(KORUN_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
add_compile_options(-fsanitize=fuzzer-no-link ${KORUN_SANITIZE_FLAGS})
add_link_options(${KORUN_SANITIZE_FLAGS})

# Line tables are enough for a crash's stack; full debug information at -O2 doubles the build of every target.
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -gline-tables-only -DNDEBUG")
set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O1 -gline-tables-only -DNDEBUG")

# The script target lints its input too (tools/korun04-sim/lint.*, which reads the machine's loading phase),
# and the removal targets write plans: compiled once for every target.
add_library(korun04_fuzz_common STATIC ${CMAKE_SOURCE_DIR}/tools/korun04-sim/lint.cpp
            ${CMAKE_SOURCE_DIR}/tools/korun04-sim/plan.cpp)
target_link_libraries(korun04_fuzz_common PUBLIC korun04_logic korun04_builder)

# Every tests/fuzz/fuzz_NAME.cpp is the target fuzz_NAME.
file(GLOB KORUN_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_*.cpp)
foreach(source ${KORUN_FUZZ_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  string(REGEX REPLACE "^fuzz_" "" target ${name})
  add_executable(fuzz_${target} ${source})
  target_include_directories(fuzz_${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(fuzz_${target} PRIVATE korun04_fuzz_common)
  target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
endforeach()

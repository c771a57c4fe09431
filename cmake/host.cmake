# Host build: the logic against simwin, the simulator, the tests.
file(GLOB SIMWIN_SOURCES CONFIGURE_DEPENDS simwin/src/*.cpp)
add_library(simwin STATIC ${SIMWIN_SOURCES})
target_include_directories(simwin PUBLIC ${CMAKE_SOURCE_DIR}/simwin/include ${CMAKE_BINARY_DIR}/generated)
# simwin's LoadStringA serves resources/strings.rc, the string table windres compiles into korun04.exe.
file(READ ${CMAKE_SOURCE_DIR}/resources/strings.rc KORUN_STRINGS_RC)
file(WRITE ${CMAKE_BINARY_DIR}/generated/korun04_strings.inc.new "R\"KORUNRC(${KORUN_STRINGS_RC})KORUNRC\"\n")
configure_file(${CMAKE_BINARY_DIR}/generated/korun04_strings.inc.new ${CMAKE_BINARY_DIR}/generated/korun04_strings.inc
               COPYONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/strings.rc)
target_link_libraries(korun04_logic PUBLIC simwin)

add_executable(korun04-sim tools/korun04-sim/main.cpp tools/korun04-sim/plan.cpp)
target_link_libraries(korun04-sim PRIVATE korun04_logic)
target_compile_definitions(korun04-sim PRIVATE KORUN_DEMO_MACHINE="${CMAKE_SOURCE_DIR}/examples/demo")

enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB_RECURSE KORUN_TEST_SOURCES CONFIGURE_DEPENDS
     tests/app/*.cpp tests/script/*.cpp tests/inventory/*.cpp tests/removal/*.cpp tests/ui/*.cpp
     tests/simwin/*.cpp tests/tools/*.cpp tests/conformance/*.cpp)
list(REMOVE_ITEM KORUN_TEST_SOURCES ${CMAKE_SOURCE_DIR}/tests/conformance/window_conformance_test.cpp)  # until simwin has a window manager
add_executable(korun04_tests ${KORUN_TEST_SOURCES} tools/korun04-sim/plan.cpp)
target_include_directories(korun04_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(korun04_tests PRIVATE korun04_logic GTest::gtest GTest::gtest_main)
target_compile_definitions(korun04_tests PRIVATE
  KORUN_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  KORUN_SIM_PATH="$<TARGET_FILE:korun04-sim>")
add_dependencies(korun04_tests korun04-sim)
gtest_discover_tests(korun04_tests DISCOVERY_TIMEOUT 60)

# Windows build (mingw-w64 cross): the product korun04.exe and the conformance tests that run under Wine.

# Win32 import libraries the tool's logic calls into, linked per program: the tests import them as usual;
# korun04.exe imports only kernel32.dll and the C runtime statically and loads the others late, from the
# system directory, once WinMain has restricted the DLL search (below). A library Windows maps from its
# system directory whatever the search says (a known DLL: advapi32, user32 ...) still loads libraries of its
# own: under Wine user32.dll and setupapi.dll import version.dll, which the classic search order would take
# from the program's folder.
set(KORUN_WIN32_LIBS advapi32 setupapi shell32 user32 gdi32 winspool comctl32 version cfgmgr32)

# korun04_delay_import(TARGET IMPORT_LIB DLL_NAME): a delay-import library for DLL_NAME, made by dlltool
# from the exports the mingw-w64 import library IMPORT_LIB names; sets TARGET to its path. A program
# linked with it loads the DLL at its first call, after WinMain has restricted the DLL search.
find_program(KORUN_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
find_program(KORUN_NM NAMES x86_64-w64-mingw32-nm REQUIRED)
function(korun04_delay_import out import_lib dll_name)
  find_library(import_path NAMES ${import_lib} NO_CACHE REQUIRED)
  execute_process(COMMAND ${KORUN_NM} -g --defined-only ${import_path}
                  OUTPUT_VARIABLE symbols ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "__imp_[A-Za-z0-9_@?$]+" names "${symbols}")
  list(TRANSFORM names REPLACE "^__imp_" "")
  list(REMOVE_DUPLICATES names)
  list(JOIN names "\n" exports)
  set(def ${CMAKE_BINARY_DIR}/delayimp/${import_lib}.def)
  set(lib ${CMAKE_BINARY_DIR}/delayimp/lib${import_lib}_delay.a)
  file(WRITE ${def}.new "LIBRARY \"${dll_name}\"\nEXPORTS\n${exports}\n")
  configure_file(${def}.new ${def} COPYONLY)
  if(NOT EXISTS ${lib} OR ${def} IS_NEWER_THAN ${lib})
    execute_process(COMMAND ${KORUN_DLLTOOL} --input-def ${def} --output-delaylib ${lib} --dllname ${dll_name}
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  set(${out} ${lib} PARENT_SCOPE)
endfunction()
set(KORUN_DELAY_LIBS "")
foreach(dll advapi32:ADVAPI32.dll setupapi:SETUPAPI.dll shell32:SHELL32.dll user32:USER32.dll gdi32:GDI32.dll
            winspool:WINSPOOL.DRV comctl32:COMCTL32.dll version:VERSION.dll cfgmgr32:CFGMGR32.dll)
  string(REPLACE ":" ";" parts ${dll})
  list(GET parts 0 import_lib)
  list(GET parts 1 dll_name)
  korun04_delay_import(delay_lib ${import_lib} ${dll_name})
  list(APPEND KORUN_DELAY_LIBS ${delay_lib})
endforeach()

# --- korun04.exe ------------------------------------------------------------------------------------------
# WinMain lives in the logic library (app/startup.cpp) so that the simulator runs the same function.
# The CRT asks for WinMain only after the library has been scanned, so it is requested up front.
add_executable(korun04 WIN32 tools/korun04/exe.cpp resources/korun04.rc)
target_link_libraries(korun04 PRIVATE korun04_logic ${KORUN_DELAY_LIBS})
# -static: with the posix toolchain, -static-libgcc/-static-libstdc++ alone still pull in libwinpthread-1.dll.
target_link_options(korun04 PRIVATE -mwindows -static -Wl,--undefined=WinMain)

# windres resolves the manifest, bitmaps, icons and included .rc files relative to resources/. Files named
# by a resource statement (not #include) are not in its dependency output, so every other file in
# resources/ is listed as a dependency of the compiled resources.
set_property(SOURCE resources/korun04.rc APPEND PROPERTY INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR}/resources)
file(GLOB KORUN_RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
list(REMOVE_ITEM KORUN_RESOURCE_FILES ${CMAKE_SOURCE_DIR}/resources/korun04.rc)
set_property(SOURCE resources/korun04.rc APPEND PROPERTY OBJECT_DEPENDS ${KORUN_RESOURCE_FILES})

# --- GoogleTest for Windows, built from Debian's sources ----------------------------------------------------
set(KORUN_GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest sources (Debian: googletest)")
if(NOT EXISTS ${KORUN_GTEST_SOURCE_DIR}/src/gtest-all.cc)
  message(FATAL_ERROR "GoogleTest sources not found in ${KORUN_GTEST_SOURCE_DIR} (apt-get install googletest)")
endif()
add_library(gtest_win STATIC ${KORUN_GTEST_SOURCE_DIR}/src/gtest-all.cc)
target_include_directories(gtest_win SYSTEM PUBLIC ${KORUN_GTEST_SOURCE_DIR}/include
                                         PRIVATE ${KORUN_GTEST_SOURCE_DIR})
target_compile_options(gtest_win PRIVATE -w)

# --- korun04_conformance.exe: the Win32 behaviour the tool relies on, checked under Wine --------------------
file(GLOB KORUN_CONFORMANCE_SOURCES CONFIGURE_DEPENDS tests/conformance/*.cpp)
add_executable(korun04_conformance ${KORUN_GTEST_SOURCE_DIR}/src/gtest_main.cc ${KORUN_CONFORMANCE_SOURCES}
               tests/conformance/conformance.rc)
set_property(SOURCE ${KORUN_GTEST_SOURCE_DIR}/src/gtest_main.cc APPEND PROPERTY COMPILE_OPTIONS -w)
target_include_directories(korun04_conformance PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(korun04_conformance PRIVATE korun04_logic ${KORUN_WIN32_LIBS} gtest_win)
target_link_options(korun04_conformance PRIVATE -static)
# The bitmap conformance.rc names by a resource statement is not in windres's dependency output.
set_property(SOURCE tests/conformance/conformance.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_SOURCE_DIR}/tests/conformance/conformance_images.bmp)

# --- The UI check under Wine (tests/wine/ui_check.sh) -------------------------------------------------------
# ui_driver.exe drives the tool's windows from outside; ui_setup.exe installs the test printer;
# korun04_ui_standin.exe is a stand-in main window that run.sh drives to prove the driver.
add_library(wine_driver_support STATIC tests/wine/driver_support.cpp)
target_include_directories(wine_driver_support PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(wine_driver_support PUBLIC user32)

add_executable(ui_driver tests/wine/ui_driver.cpp)
target_link_libraries(ui_driver PRIVATE wine_driver_support)
target_link_options(ui_driver PRIVATE -static)

add_executable(ui_setup tests/wine/ui_setup.cpp)
target_link_libraries(ui_setup PRIVATE winspool)
target_link_options(ui_setup PRIVATE -static)

# desktop_holder.exe keeps a check's desktop open between the programs it runs (tests/wine/lib.sh).
add_executable(desktop_holder tests/wine/desktop_holder.cpp)
target_link_options(desktop_holder PRIVATE -static)

add_executable(korun04_ui_standin WIN32 tests/wine/ui_standin.cpp tests/wine/ui_standin.rc)
target_include_directories(korun04_ui_standin PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(korun04_ui_standin PRIVATE comctl32 user32)
target_link_options(korun04_ui_standin PRIVATE -mwindows -static)

# --- The removal check under Wine (tests/wine/removal_check.sh) ---------------------------------------------
# removal_machine.exe sets the machine up, holds a file open and checks what the removal left;
# removal_driver.exe selects printers and answers the tool's message boxes; vsthook.dll is the uninstall
# hook the check's script names.
add_executable(removal_machine tests/wine/removal_machine.cpp)
target_link_libraries(removal_machine PRIVATE winspool setupapi shell32 advapi32)
target_link_options(removal_machine PRIVATE -static)

add_executable(removal_driver tests/wine/removal_driver.cpp)
target_link_libraries(removal_driver PRIVATE wine_driver_support)
target_link_options(removal_driver PRIVATE -static)

add_library(vsthook SHARED tests/wine/removal_hook.cpp)
set_target_properties(vsthook PROPERTIES PREFIX "")
target_link_options(vsthook PRIVATE -static)

# --- The DLL-planting check under Wine (tests/wine/planted_check.sh) ------------------------------------------
# planted.dll leaves a marker when loaded; the check copies it beside korun04.exe under every name the tool
# imports from outside the known DLLs. planted_control.exe imports version.dll as any program does, to show
# that a planted library is loaded where nothing prevents it.
add_library(planted SHARED tests/wine/planted_dll.cpp)
set_target_properties(planted PROPERTIES PREFIX "")
target_link_options(planted PRIVATE -static)

add_executable(planted_control tests/wine/planted_control.cpp)
target_link_libraries(planted_control PRIVATE version)
target_link_options(planted_control PRIVATE -static)

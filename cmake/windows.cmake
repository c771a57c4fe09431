# Windows build: the product korun04.exe, and the conformance tests for Wine.
add_executable(korun04 WIN32 tools/korun04/exe.cpp resources/korun04.rc)
target_link_libraries(korun04 PRIVATE korun04_logic)
target_link_options(korun04 PRIVATE -mwindows -static)
set(KORUN_WIN32_LIBS winspool advapi32 setupapi cfgmgr32 comctl32 shell32 version user32 gdi32)
target_link_libraries(korun04_logic PUBLIC ${KORUN_WIN32_LIBS})

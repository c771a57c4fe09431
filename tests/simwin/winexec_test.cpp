// WinExec of stand-in programs: started as CreateProcessA starts them, with the result codes of
// the 16-bit interface (above 31 = started).
#include <gtest/gtest.h>

#include "simwin/win32.h"
#include "support/temp_machine.h"

using testmachine::Load;

TEST(WinExec, StartsADeclaredProgramAndReportsMissingOnes) {
    auto m = Load("[system]\nplatform = win32s\n[program]\npath = C:\\Vestral\\NRESTART.EXE\n",
                  {{"C/Vestral/NRESTART.EXE", "MZ"}, {"C/Vestral/plain.exe", "MZ"}});
    simwin::MachineScope scope(*m);
    EXPECT_GT(WinExec("C:\\Vestral\\NRESTART.EXE -d", SW_HIDE), 31u);
    EXPECT_EQ(1u, m->transcript.count("program started: C:\\Vestral\\NRESTART.EXE (command line \"C:\\Vestral\\NRESTART.EXE -d\")"));
    ASSERT_EQ(1u, m->processes.processes.size());
    EXPECT_EQ(0u, m->handles.openCount());  // WinExec keeps no handle

    EXPECT_EQ(static_cast<UINT>(ERROR_FILE_NOT_FOUND), WinExec("C:\\Vestral\\missing.exe -d", SW_HIDE));
    EXPECT_EQ(static_cast<UINT>(ERROR_PATH_NOT_FOUND), WinExec("C:\\NoDir\\NRESTART.EXE -d", SW_HIDE));
    // A file that is no declared program starts nothing.
    EXPECT_LE(WinExec("C:\\Vestral\\plain.exe", SW_HIDE), 31u);
    EXPECT_EQ(static_cast<UINT>(ERROR_FILE_NOT_FOUND), WinExec("", SW_HIDE));
    EXPECT_EQ(1u, m->processes.processes.size());
}

// The print-spooler behaviour the printer enumeration relies on, checked with Win32 calls only and
// without installing printers: the size query and fetch of EnumPrintersA at the levels the tool uses
// (whatever printers the system has), and the refusals for unknown names and levels.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/platform.h"
#include "conformance/conformance_env.h"

class SpoolerConformance : public ConformanceTest {};

TEST_F(SpoolerConformance, SizeQueryThenFetchAtEachLevel) {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    for (DWORD level : {2u, 4u, 5u}) {
        SCOPED_TRACE(level);
        DWORD needed = 0, returned = 77;
        SetLastError(ERROR_SUCCESS);
        BOOL ok = EnumPrintersA(flags, NULL, level, NULL, 0, &needed, &returned);
        if (needed == 0) {
            // No printers: success, nothing returned.
            EXPECT_TRUE(ok);
            EXPECT_EQ(0u, returned);
            continue;
        }
        EXPECT_FALSE(ok);
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        std::vector<BYTE> buffer(needed);
        DWORD again = 0;
        EXPECT_FALSE(EnumPrintersA(flags, NULL, level, buffer.data(), needed - 1, &again, &returned));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        EXPECT_EQ(needed, again);
        ASSERT_TRUE(EnumPrintersA(flags, NULL, level, buffer.data(), needed, &again, &returned));
        ASSERT_GT(returned, 0u);
        // Every name lies inside the buffer.
        for (DWORD i = 0; i < returned; ++i) {
            const char* name = level == 2   ? reinterpret_cast<PRINTER_INFO_2A*>(buffer.data())[i].pPrinterName
                               : level == 4 ? reinterpret_cast<PRINTER_INFO_4A*>(buffer.data())[i].pPrinterName
                                            : reinterpret_cast<PRINTER_INFO_5A*>(buffer.data())[i].pPrinterName;
            ASSERT_NE(nullptr, name);
            const BYTE* p = reinterpret_cast<const BYTE*>(name);
            EXPECT_TRUE(p >= buffer.data() && p + std::strlen(name) < buffer.data() + buffer.size());
        }
    }
}

TEST_F(SpoolerConformance, UnknownNamesAndLevelsAreRefused) {
    HANDLE printer = NULL;
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_READ};
    char name[] = "Korun Conformance No Such Printer";
    EXPECT_FALSE(OpenPrinterA(name, &printer, &defaults));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME), GetLastError());

    DWORD needed = 0, returned = 0;
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 3, NULL, 0, &needed, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), GetLastError());
}

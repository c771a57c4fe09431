#include "base/printer_environments.h"

const char* const kPrinterEnvironments[4] = {"Windows x64", "Windows NT x86", "Windows 4.0", "Windows IA64"};

const char* const kNtPrinterEnvironments[3] = {"Windows x64", "Windows NT x86", "Windows IA64"};

const char* const kRemovalEnvironments[3] = {nullptr, "Windows NT x86", "Windows 4.0"};

// Version, computer name, the program and its command line, the token, the standard
// directories of the platform and the shell's special folders.
#pragma once

#include <map>
#include <string>

#include "simwin/ini.h"
#include "simwin/program.h"
#include "simwin/types.h"

namespace simwin {

enum class Platform { Nt, Win9x, Win32s };

const char* platformName(Platform p);
Platform parsePlatform(const std::string& text);  // throws MachineError

struct SystemInfo {
    Platform platform = Platform::Nt;
    DWORD major = 6, minor = 2, build = 9200;
    std::string computer = "PC01";
    bool admin = true;              // the token holds the Administrators group
    bool adminDenyOnly = false;     // ... marked SE_GROUP_USE_FOR_DENY_ONLY (a filtered token)
    int extraGroups = 0;            // further groups in the token (a large token overflows 4096 bytes)
    bool shutdownPrivilege = true;  // the token holds SeShutdownPrivilege
    bool shutdownEnabled = false;   // the privilege was enabled in the process token
    bool rebootRequested = false;   // ExitWindowsEx(EWX_REBOOT) was accepted
    std::string program = hostProgram().defaultPath;  // the program's full path
    std::string commandTail;        // what follows the program name on the command line

    // Standard layout of the platform (set by applyLayout, overridable in [system]).
    std::string windowsDir;
    std::string systemDir;
    std::string tempDir;
    std::string colorDir;                          // empty: mscms.dll not present (9x, win32s)
    std::map<std::string, std::string> driverDirs;  // environment -> printer-driver directory
    std::string localEnvironment;                   // "Windows x64", "Windows 4.0", ...
    std::string printProcessorDir;
    std::map<int, std::string> shellFolders;  // CSIDL -> path, absent: SHGetSpecialFolderLocation fails
    // Windows's own files (standard_files.h) are added at load; a [layout] may say the machine lists every
    // file itself (a capture of a real machine does).
    bool standardFiles = true;
    // The machine's [layout] section as given, saved back as it was (absent: the platform's standard layout).
    bool layoutGiven = false;

    // The full command line as GetCommandLineA returns it: the quoted program path, then the tail.
    std::string commandLine() const;

    void setLayout(Platform p);  // the standard layout of a platform, and its default version
    void load(const IniSection& s);
    void save(IniSection& s) const;
    // [layout]: the folders as the machine names them, over the platform's standard layout. Throws
    // MachineError naming the key when a path is not a full path or an environment has no directory.
    void loadLayout(const IniSection& s);
    void saveLayout(IniSection& s) const;
};

}  // namespace simwin

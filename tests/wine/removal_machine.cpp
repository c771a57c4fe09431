// removal_machine.exe: the machine of the Wine removal check (tests/wine/removal_check.sh), set up and
// checked with Win32 calls from inside the prefix.
//
//   removal_machine.exe setup PPD        installs what the check's scripts name, and what must stay
//   removal_machine.exe hold RELEASE     holds vxlock.dll open (no sharing) and a handle of the service
//                                        VstHold04 until the file RELEASE exists (at most ten minutes)
//   PAVANE32.EXE (a copy)                the Pavane utility: records its command line, runs four seconds
//   removal_machine.exe check PHASE [BEFORE AFTER]
//                                        checks the machine after PHASE (setup, run1, restart, run2):
//                                        every item of the tables below is there or gone as the phase
//                                        says; with the snapshots BEFORE and AFTER the phase also that
//                                        nothing else went
//
// A snapshot (made by removal_check.sh from "reg export" and the prefix's files) has one line per entry,
// lower-cased: "k hklm\path" for a key, "v hklm\path|name" for a value ("@" for the default value),
// "d c:\path" for a directory, "f c:\path" for a file.
//
// The machine: five printers (three of the Vestral family, two of other makers) on drivers installed for
// "Windows x64" and "Windows NT x86", a port monitor, a print processor, services, device nodes, registry
// keys and values, INI keys, shortcuts and files. The phases: run 1 removes "Vestral Office" and "Vestral
// Labels" and keeps "Vestral Reception"; the restart (wineboot -r) carries out the deletions scheduled for
// it; run 2 removes "Vestral Reception", the family's last printer. Each item of the tables says in which
// phase it goes (or that it stays); the reasons are written beside the items.
//
// Prints one "PASS: ..." or "FAIL: ..." line per check; exit status 1 when a check failed or a setup step
// did not work.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>
#include <shlobj.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

// --- phases ----------------------------------------------------------------------------------------------

enum Phase { kSetup = 0, kRun1 = 1, kRestart = 2, kRun2 = 3, kNever = 4 };
const char* const kPhaseNames[] = {"setup", "run1", "restart", "run2"};

// An item that goes in phase `goes` is there after every earlier phase and gone from then on.
bool presentAfter(Phase goes, Phase now) { return goes > now; }

// --- the tables ------------------------------------------------------------------------------------------
// Paths are written with the place they lie in: %SYS% system directory, %WIN% Windows directory, %DRV% the
// driver directory of "Windows x64" (the local environment), %X86% that of "Windows NT x86", %W40% that of
// "Windows 4.0", %PROC% the print-processor directory, %COLOR% the colour directory, %INF% the INF
// directory, %PF% Program Files, %PROGRAMS% / %COMMON_PROGRAMS% / %STARTUP% / %COMMON_STARTUP% the shell
// folders, %TOOL% the tool's directory.

struct FileItem {
    const char* path;
    Phase goes;
    bool create;  // false: put there by the script (the uninstall scripts, the hook library)
};

const FileItem kFiles[] = {
    // "Vestral X Driver" (VXDRV): searched in the driver directory and two levels below it, not three, and
    // never in the "Windows NT x86" directory.
    {"%DRV%\\3\\vxdrv.dll", kRun1, true},
    {"%DRV%\\3\\old\\vxdrv.dll", kRun1, true},
    {"%DRV%\\3\\old\\deeper\\vxdrv.dll", kNever, true},
    {"%X86%\\3\\vxdrv.dll", kNever, true},
    // Deleted directly in the system, Windows and colour directories.
    {"%SYS%\\vxres.dat", kRun1, true},
    {"%WIN%\\vxres.dat", kRun1, true},
    {"%COLOR%\\vxcolor.icm", kRun1, true},
    // Searched in the print-processor, "Windows 4.0" driver and INF directories.
    {"%PROC%\\vxproc.dll", kRun1, true},
    {"%W40%\\vx40.dll", kRun1, true},
    // In the INF directory only the OEM INF files this run uninstalls may go: a listed name stays.
    {"%INF%\\vxinst.inf", kNever, true},
    // Held open without sharing by "hold": scheduled, gone at the restart.
    {"%SYS%\\vxlock.dll", kRestart, true},
    // The OEM directories: one holds only listed files (it goes, with its subdirectory); one holds a file
    // of its own (it stays); Program Files itself is refused.
    {"%PF%\\Vestral\\vxoem.dat", kRun1, true},
    {"%PF%\\Vestral\\data\\vxoem.dat", kRun1, true},
    {"%PF%\\Vestral Keep\\vxoem.dat", kRun1, true},
    {"%PF%\\Vestral Keep\\readme.txt", kNever, true},
    {"%PF%\\vxoem.dat", kNever, true},
    // Hostile: an OEM path written as \\?\ (it would bypass Windows's path rules) is refused whole.
    {"%PF%\\Vestral Evil\\vxoem.dat", kNever, true},
    // Hostile: the script lists a file the driver of a printer that stays ("Acme Plotter 9") uses; the
    // copy of it that no driver uses goes.
    {"%DRV%\\3\\vestral.ppd", kNever, false},
    {"%DRV%\\vestral.ppd", kRun1, false},
    // The Pavane utility (a copy of this program), found through SOFTWARE\VESTRAL\OEM\OEMPaths: started
    // and waited for when its profile's files go with the last printer, then deleted from the OEM directory.
    {"%PF%\\Vestral Keep\\PAVANE32.EXE", kRun2, false},
    // The hook library, called in stage 5 and deleted with the files.
    {"%DRV%\\vsthook.dll", kRun1, false},
    // Listed by VXDRV too, but also by the ignore profile of "Acme Plotter 9" and the catch-all profile.
    {"%SYS%\\shared.dll", kNever, true},
    {"%SYS%\\vcommon.dll", kNever, true},
    // The manufacturer profile "Vestral" serves "Vestral L Driver"; VZDRV has no printer.
    {"%SYS%\\vmfgres.dll", kRun1, true},
    {"%DRV%\\3\\vzdrv.dll", kRun1, true},
    // "Vestral R Driver" (VRDRV, the second script) stays with its printer until run 2.
    {"%DRV%\\3\\vrdrv.dll", kRun2, true},
    // The restart helper goes with the last printer when no restart is needed.
    {"%SYS%\\NRESTART.EXE", kRun2, true},
    // The scripts: the one in the driver directory goes with the last printer; the one beside the tool is
    // in none of the searched directories.
    {"%DRV%\\Kunz__04.unm", kRun2, false},
    {"%TOOL%\\Kunz__04.unm", kNever, false},
    // Shortcuts: the group's items below both program folders, the start-up item in the start-up folders.
    {"%PROGRAMS%\\Vestral Printers\\Status Monitor.lnk", kRun1, true},
    {"%COMMON_PROGRAMS%\\Vestral Printers\\Status Monitor.lnk", kRun1, true},
    {"%COMMON_PROGRAMS%\\Vestral Printers\\Status Monitor.pif", kRun1, true},
    {"%STARTUP%\\Tray.lnk", kRun1, true},
    {"%COMMON_STARTUP%\\Tray.lnk", kRun1, true},
    {"%COMMON_PROGRAMS%\\Acme Tools\\Acme.lnk", kNever, true},
    {"%STARTUP%\\Other.lnk", kNever, true},
    // Start-up folders Windows no longer has (ALTSTARTUP) must not send the deletion elsewhere.
    {"%TOOL%\\Tray.lnk", kNever, true},
    {"%TOOL%\\Vestral Printers\\Status Monitor.lnk", kNever, true},
    // Unrelated files.
    {"%SYS%\\vxother.dll", kNever, true},
    {"%DRV%\\3\\acmeplot.dll", kNever, true},
};

struct DirItem {
    const char* path;
    Phase goes;
};

const DirItem kDirs[] = {
    {"%PF%\\Vestral", kRun1},
    {"%PF%\\Vestral\\data", kRun1},
    {"%PF%\\Vestral Keep", kNever},
    {"%PF%\\Vestral Evil", kNever},
    // The group folder goes from the common program folder once emptied; the user's stays (empty).
    {"%COMMON_PROGRAMS%\\Vestral Printers", kRun1},
    {"%PROGRAMS%\\Vestral Printers", kNever},
};

const char kPrintKey[] = "System\\CurrentControlSet\\Control\\Print";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

struct KeyItem {
    HKEY root;
    const char* path;
    Phase goes;
    bool create;  // false: Windows has it
};

const KeyItem kKeys[] = {
    // VXDRV.RegistryKeys: a tree deleted whole, a key without subkeys, a key with a subkey that a
    // non-recursive item cannot delete, a key a kept printer's profile names too.
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\VXDRV", kRun1, true},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\VXDRV\\Settings", kRun1, true},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\VXDRV\\Settings\\Deep", kRun1, true},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\VXDRV Options", kRun1, true},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\Shared Tree\\Child", kNever, true},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\Shared Tree", kNever, true},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\Common", kRun2, true},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\Common\\Part", kRun2, true},
    {HKEY_CLASSES_ROOT, "VestralX.Document", kRun1, true},
    {HKEY_CLASSES_ROOT, "VestralX.Document\\shell", kRun1, true},
    {HKEY_CLASSES_ROOT, "VestralX.Document\\shell\\open", kRun1, true},
    // Refused items: keys Windows needs.
    {HKEY_LOCAL_MACHINE, kRunKey, kNever, false},
    {HKEY_CLASSES_ROOT, "CLSID", kNever, false},
    // The family's keys that go with the last printer; SOFTWARE\VESTRAL itself is deleted without its
    // subkeys, so it stays while "Shared Tree" does.
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM04", kRun2, true},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM04\\OEMPaths", kRun2, true},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\VSR32_04", kRun2, true},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\VSR32_04\\Data", kRun2, true},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\Filters", kRun2, true},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL", kNever, true},
    // Deleted (without subkeys) at the start of every registry stage.
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM04\\ProgramGroups", kRun1, true},
    // Per printer: the class key of its UniqueID (with its direct subkeys) and its key of the family. The
    // class key of "Vestral Labels" has a subkey with a subkey of its own: the loop stops there and the
    // key stays.
    {HKEY_CLASSES_ROOT, "VestralOffice04", kRun1, true},
    {HKEY_CLASSES_ROOT, "VestralOffice04\\DefaultIcon", kRun1, true},
    {HKEY_CLASSES_ROOT, "VestralOffice04\\Shell", kRun1, true},
    {HKEY_CLASSES_ROOT, "VestralLabels04\\Shell\\Open", kNever, true},
    {HKEY_CLASSES_ROOT, "VestralReception04", kRun2, true},
    {HKEY_CLASSES_ROOT, "VestralReception04\\Shell", kRun2, true},
    {HKEY_CLASSES_ROOT, "AcmePlotter9\\Shell", kNever, true},
    {HKEY_CURRENT_USER, "SOFTWARE\\VESTRAL\\Vestral Office", kRun1, true},
    {HKEY_CURRENT_USER, "SOFTWARE\\VESTRAL\\Vestral Labels", kRun1, true},
    {HKEY_CURRENT_USER, "SOFTWARE\\VESTRAL\\Vestral Reception", kRun2, true},
    {HKEY_CURRENT_USER, "SOFTWARE\\VESTRAL\\Other", kNever, true},
    // The port monitor goes; "Local Port" is listed too, and refused.
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Print\\Monitors\\Vestral Port 04", kRun1, true},
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port", kNever, false},
    // The print processor: the removal deletes the processor's key of "Windows NT x86" (also for the local
    // environment); the key of "Windows x64" is DeletePrintProcessorA's (kLeftToThePlatform).
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Print Processors\\VstProc04",
     kRun1, true},
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\Spooler", kNever, false},
};

struct ValueItem {
    HKEY root;
    const char* path;
    const char* name;
    const char* data;
    Phase goes;
};

const char kUserDevModes[] = "Printers\\DevModes2";
const char kUserSettings[] = "Printers\\Settings";

const ValueItem kValues[] = {
    {HKEY_LOCAL_MACHINE, kRunKey, "VstStatus04", "C:\\Program Files\\Vestral\\vststat.exe", kRun1},
    {HKEY_LOCAL_MACHINE, kRunKey, "OtherTool", "C:\\Tools\\other.exe", kNever},
    {HKEY_CURRENT_USER, "Software\\Vestral Test", "LastPort", "FILE:", kRun1},
    {HKEY_CURRENT_USER, "Software\\Vestral Test", "Keep", "1", kNever},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\VXDRV\\Settings", "Version", "4.2", kRun1},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM04\\ProgramGroups", "Main", "Vestral Printers", kRun1},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM04\\OEMPaths", "Main", "C:\\Program Files\\Vestral\\", kRun2},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM04\\OEMPaths", "Keep", "C:\\Program Files\\Vestral Keep\\", kRun2},
    // Without a final backslash, a last part that names a folder is that folder: Vestral Keep again.
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM04\\OEMPaths", "NoSlash", "C:\\Program Files\\Vestral Keep", kRun2},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM04\\OEMPaths", "Evil", "\\\\?\\C:\\Program Files\\Vestral Evil\\", kRun2},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM04\\OEMPaths", "Bad", "C:\\Program Files\\", kRun2},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM\\OEMPaths", "Main", "C:\\Program Files\\Vestral Keep", kNever},
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Print\\Monitors\\Vestral Port 04", "Driver", "vstmon04.dll",
     kRun1},
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Print Processors\\VstProc04",
     "Driver", "vstproc.dll", kRun1},
    // Per printer, below HKEY_CURRENT_USER.
    {HKEY_CURRENT_USER, kUserDevModes, "Vestral Office", "devmode", kRun1},
    {HKEY_CURRENT_USER, kUserDevModes, "Vestral Labels", "devmode", kRun1},
    {HKEY_CURRENT_USER, kUserDevModes, "Vestral Reception", "devmode", kRun2},
    {HKEY_CURRENT_USER, kUserDevModes, "Acme Plotter", "devmode", kNever},
    {HKEY_CURRENT_USER, kUserSettings, "Vestral Office", "settings", kRun1},
    {HKEY_CURRENT_USER, kUserSettings, "Vestral Labels", "settings", kRun1},
    {HKEY_CURRENT_USER, kUserSettings, "Vestral Reception", "settings", kRun2},
    {HKEY_CURRENT_USER, kUserSettings, "Acme Plotter", "settings", kNever},
};

// Set up, but whether they go is the platform's: the removal asks for their deletion, and Wine does not
// carry it out (DeletePrintProcessorA is a stub there). They are neither checked nor counted as going
// elsewhere when they go.
const ValueItem kLeftToThePlatform[] = {
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors\\VstProc04",
     "Driver", "vstproc.dll", kRun1},
};

// [Ports] of vestral.ini in the Windows directory: the script names Office and Labels (the latter with a
// directory, which does not count).
struct IniItem {
    const char* section;
    const char* key;
    Phase goes;
};
const char kIniFile[] = "%WIN%\\vestral.ini";
const char kIniText[] = "[Ports]\r\nOffice=FILE:\r\nLabels=FILE:\r\nReception=FILE:\r\n[Other]\r\nOffice=1\r\n";
const IniItem kIniKeys[] = {
    {"Ports", "Office", kRun1},
    {"Ports", "Labels", kRun1},
    {"Ports", "Reception", kNever},
    {"Other", "Office", kNever},
};

struct DriverItem {
    const char* name;
    const char* environment;
    Phase goes;
};

const DriverItem kDrivers[] = {
    {"Vestral X Driver", "Windows x64", kRun1},
    {"Vestral X Driver", "Windows NT x86", kRun1},
    {"Vestral L Driver", "Windows x64", kRun1},
    // Named by its profile, used by no printer.
    {"Vestral Z Driver", "Windows x64", kRun1},
    {"Vestral Z Driver", "Windows NT x86", kRun1},
    {"Vestral R Driver", "Windows x64", kRun2},
    {"Acme Plotter 9", "Windows x64", kNever},
    // Pavane's PostScript drivers go when Pavane goes, unless a printer has the driver's name.
    {"Pavane Office (PSCRIPT)", "Windows x64", kRun2},
    {"Pavane Front (PSCRIPT)", "Windows x64", kNever},
};

struct PrinterItem {
    const char* name;
    const char* driver;
    const char* port;
    const char* processor;
    const char* datatype;
    const char* uniqueId;
    bool family;
    Phase goes;
};

const PrinterItem kPrinters[] = {
    {"Vestral Office", "Vestral X Driver", "FILE:", "WinPrint", "RAW", "VestralOffice04", true, kRun1},
    {"Vestral Labels", "Vestral L Driver", "FILE:", "WinPrint", "RAW", "VestralLabels04", true, kRun1},
    // On the print processor the script names: switched to WinPrint and RAW before the processor goes.
    {"Vestral Reception", "Vestral R Driver", "FILE:", "VstProc04", "NT EMF 1.008", "VestralReception04", true, kRun2},
    {"Acme Plotter", "Acme Plotter 9", "LPT1:", "WinPrint", "RAW", "AcmePlotter9", false, kNever},
    {"Pavane Front (PSCRIPT)", "Pavane Front (PSCRIPT)", "FILE:", "WinPrint", "RAW", "PavaneFront", false, kNever},
};
const char kFirstDefault[] = "Vestral Office,winspool,FILE:";

struct ServiceItem {
    const char* name;
    Phase goes;
    bool create;  // false: Windows has it
};

const ServiceItem kServices[] = {
    {"VstStatus04", kRun1, true},
    // "hold" keeps a handle: the removal can only mark it, it goes when the handle closes.
    {"VstHold04", kRestart, true},
    {"Spooler", kNever, false},  // listed, refused
};
const char kHeldService[] = "VstHold04";
const char kHeldFile[] = "%SYS%\\vxlock.dll";

struct DeviceItem {
    const char* instance;
    const char* hardwareId;
    Phase goes;
};

// The script's HARDWARE_ID_1 is "USBPRINT\VestralX_04": an ID equal to it, or one it begins as far as a "\"
// or "&" (a longer model name is another device).
const DeviceItem kDevices[] = {
    {"USBPRINT\\VESTRALX_04\\7&1A2B3C&0&USB001", "USBPRINT\\VestralX_04", kRun1},
    {"USBPRINT\\VESTRALX_04B\\7&1A2B3C&0&USB002", "USBPRINT\\VestralX_04B", kNever},
    {"ROOT\\ACMETEST\\0000", "USBPRINT\\AcmePlotter9", kNever},
};
const GUID kPrinterClass = {0x4d36e979, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// The uninstall hook writes its arguments here, the Pavane stand-in its command line.
const char kHookRecord[] = "C:\\vsthook.txt";
const char kPavaneRecord[] = "C:\\pavane.txt";
const DWORD kPavaneRunMs = 4000;  // longer than the stages up to the file stage take

// --- reporting ---------------------------------------------------------------------------------------------

int g_failures = 0;

void pass(const std::string& what) { std::printf("PASS: %s\n", what.c_str()); }

void fail(const std::string& what) {
    std::printf("FAIL: %s\n", what.c_str());
    ++g_failures;
}

void expect(bool ok, const std::string& what) { ok ? pass(what) : fail(what); }

std::string error(const char* step) { return std::string(step) + ": error " + std::to_string(GetLastError()); }

// --- places ------------------------------------------------------------------------------------------------

std::string driverDirectory(const char* environment) {
    char dir[MAX_PATH] = "";
    DWORD needed = 0;
    GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>(environment), 1, reinterpret_cast<BYTE*>(dir), sizeof dir,
                               &needed);
    return dir;
}

std::string shellFolder(int csidl) {
    char dir[MAX_PATH] = "";
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, dir)) ? dir : "";
}

std::string expand(const std::string& path) {
    static std::vector<std::pair<std::string, std::string>> places;
    if (places.empty()) {
        char dir[MAX_PATH] = "";
        DWORD needed = 0;
        GetSystemDirectoryA(dir, sizeof dir);
        places.push_back({"%SYS%", dir});
        GetWindowsDirectoryA(dir, sizeof dir);
        places.push_back({"%WIN%", dir});
        places.push_back({"%INF%", std::string(dir) + "\\inf"});
        places.push_back({"%DRV%", driverDirectory(nullptr)});
        places.push_back({"%X86%", driverDirectory("Windows NT x86")});
        places.push_back({"%W40%", driverDirectory("Windows 4.0")});
        GetPrintProcessorDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir), sizeof dir, &needed);
        places.push_back({"%PROC%", dir});
        // The colour directory lies beside the driver directories of the environments.
        const std::string local = driverDirectory(nullptr);
        places.push_back({"%COLOR%", local.substr(0, local.rfind('\\')) + "\\color"});
        places.push_back({"%PF%", shellFolder(CSIDL_PROGRAM_FILES)});
        places.push_back({"%PROGRAMS%", shellFolder(CSIDL_PROGRAMS)});
        places.push_back({"%COMMON_PROGRAMS%", shellFolder(CSIDL_COMMON_PROGRAMS)});
        places.push_back({"%STARTUP%", shellFolder(CSIDL_STARTUP)});
        places.push_back({"%COMMON_STARTUP%", shellFolder(CSIDL_COMMON_STARTUP)});
        places.push_back({"%TOOL%", "C:\\korun04"});
    }
    std::string out = path;
    for (const auto& p : places) {
        size_t at = out.find(p.first);
        if (at != std::string::npos) out.replace(at, p.first.size(), p.second);
    }
    return out;
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

const char* rootName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return "HKLM";
    if (root == HKEY_CURRENT_USER) return "HKCU";
    return "HKCR";
}

// HKEY_CLASSES_ROOT is HKLM\Software\Classes to the snapshot, which has only the two real roots.
std::string keyName(HKEY root, const std::string& path) {
    if (root == HKEY_CLASSES_ROOT) return "HKLM\\Software\\Classes\\" + path;
    return std::string(rootName(root)) + "\\" + path;
}

// --- files -------------------------------------------------------------------------------------------------

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isDirectory(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void makeDirectories(const std::string& dir) {
    for (size_t at = dir.find('\\', 3); at != std::string::npos; at = dir.find('\\', at + 1))
        CreateDirectoryA(dir.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(dir.c_str(), nullptr);
}

bool writeFile(const std::string& path, const std::string& text) {
    makeDirectories(path.substr(0, path.rfind('\\')));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// --- registry ----------------------------------------------------------------------------------------------

bool keyExists(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool valueExists(HKEY root, const char* path, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    LONG r = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

bool writeValue(HKEY root, const char* path, const char* name, const char* data) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) return false;
    LONG r = name ? RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                                   static_cast<DWORD>(std::strlen(data) + 1))
                  : ERROR_SUCCESS;
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

// --- spooler, services, devices ----------------------------------------------------------------------------

bool driverInstalled(const char* name, const char* environment) {
    DWORD needed = 0, count = 0;
    EnumPrinterDriversA(nullptr, const_cast<LPSTR>(environment), 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!needed || !EnumPrinterDriversA(nullptr, const_cast<LPSTR>(environment), 2, buffer.data(), needed, &needed, &count))
        return false;
    for (DWORD i = 0; i < count; ++i)
        if (lstrcmpiA(reinterpret_cast<DRIVER_INFO_2A*>(buffer.data())[i].pName, name) == 0) return true;
    return false;
}

bool printerExists(const char* name) {
    HANDLE printer = nullptr;
    if (!OpenPrinterA(const_cast<LPSTR>(name), &printer, nullptr)) return false;
    ClosePrinter(printer);
    return true;
}

// The printer's level-2 processor and data type, or false.
bool printerProcessing(const char* name, std::string* processor, std::string* datatype) {
    HANDLE printer = nullptr;
    if (!OpenPrinterA(const_cast<LPSTR>(name), &printer, nullptr)) return false;
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    bool ok = needed && GetPrinterA(printer, 2, buffer.data(), needed, &needed);
    if (ok) {
        const PRINTER_INFO_2A* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
        *processor = info->pPrintProcessor ? info->pPrintProcessor : "";
        *datatype = info->pDatatype ? info->pDatatype : "";
    }
    ClosePrinter(printer);
    return ok;
}

bool serviceExists(const char* name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_QUERY_STATUS) : nullptr;
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return service != nullptr;
}

// Whether the service is marked for deletion: a further DeleteService says so (1072).
bool serviceMarkedForDeletion(const char* name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, name, DELETE) : nullptr;
    bool marked = false;
    if (service) {
        SetLastError(0);
        marked = !DeleteService(service) && GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
        CloseServiceHandle(service);
    }
    if (manager) CloseServiceHandle(manager);
    return marked;
}

bool deviceListed(const char* instance) {
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return false;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    bool found = false;
    for (DWORD i = 0; !found && SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        char id[MAX_DEVICE_ID_LEN] = "";
        found = SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof id, nullptr) && lstrcmpiA(id, instance) == 0;
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

// --- setup -------------------------------------------------------------------------------------------------

bool step(bool ok, const std::string& what) {
    if (!ok) fail(what);
    return ok;
}

bool copyDriverFiles(const std::string& ppdPath) {
    std::string ppd = ppdPath.substr(ppdPath.find_last_of("\\/") + 1);
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, sizeof system);
    for (const char* environment : {static_cast<const char*>(nullptr), "Windows NT x86"}) {
        std::string dir = driverDirectory(environment);
        makeDirectories(dir);
        // Wine keeps its PostScript driver in the version-3 subdirectory of the local driver directory.
        bool copied = false;
        for (std::string from : {driverDirectory(nullptr) + "\\3\\wineps.drv", std::string(system) + "\\wineps.drv"})
            copied = copied || CopyFileA(from.c_str(), (dir + "\\wineps.drv").c_str(), FALSE);
        if (!step(copied, error(("copy wineps.drv into " + dir).c_str())) ||
            !step(CopyFileA(ppdPath.c_str(), (dir + "\\" + ppd).c_str(), FALSE), error("copy the .ppd")))
            return false;
    }
    return true;
}

bool installDriver(const DriverItem& d, const std::string& ppd) {
    DRIVER_INFO_3A info = {};
    info.cVersion = 3;
    info.pName = const_cast<char*>(d.name);
    info.pEnvironment = const_cast<char*>(d.environment);
    info.pDriverPath = const_cast<char*>("wineps.drv");
    info.pConfigFile = const_cast<char*>("wineps.drv");
    info.pDataFile = const_cast<char*>(ppd.c_str());
    return step(AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES) != 0,
                error(("AddPrinterDriverExA " + std::string(d.name) + " / " + d.environment).c_str()));
}

bool setText(HANDLE printer, const char* name, const char* text) {
    DWORD r = SetPrinterDataA(printer, const_cast<LPSTR>(name), REG_SZ, reinterpret_cast<BYTE*>(const_cast<char*>(text)),
                              static_cast<DWORD>(std::strlen(text) + 1));
    return r == ERROR_SUCCESS;
}

bool installPrinter(const PrinterItem& p) {
    PRINTER_INFO_2A info = {};
    info.pPrinterName = const_cast<char*>(p.name);
    info.pPortName = const_cast<char*>(p.port);
    info.pDriverName = const_cast<char*>(p.driver);
    info.pPrintProcessor = const_cast<char*>(p.processor);
    info.pDatatype = const_cast<char*>(p.datatype);
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!step(printer != nullptr, error(("AddPrinterA " + std::string(p.name)).c_str()))) return false;
    bool ok = (!p.family || setText(printer, "VestralDriver04", "1")) && setText(printer, "UniqueID", p.uniqueId);
    ClosePrinter(printer);
    return step(ok, "SetPrinterDataA of " + std::string(p.name));
}

bool installService(const ServiceItem& s) {
    if (!s.create) return true;
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager ? CreateServiceA(manager, s.name, s.name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                                 SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                                 "C:\\Program Files\\Vestral\\vststat.exe", nullptr, nullptr, nullptr,
                                                 nullptr, nullptr)
                                : nullptr;
    bool ok = step(service != nullptr, error(("CreateServiceA " + std::string(s.name)).c_str()));
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return ok;
}

bool installDevice(const DeviceItem& d) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kPrinterClass, nullptr);
    if (set == INVALID_HANDLE_VALUE) return step(false, error("SetupDiCreateDeviceInfoList"));
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    std::string ids = std::string(d.hardwareId) + '\0' + '\0';
    bool ok = SetupDiCreateDeviceInfoA(set, d.instance, &kPrinterClass, nullptr, nullptr, 0, &device) &&
              SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids.data()),
                                                static_cast<DWORD>(ids.size())) &&
              SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr);
    std::string what = error(("device node " + std::string(d.instance)).c_str());
    SetupDiDestroyDeviceInfoList(set);
    return step(ok, what);
}

int setup(const char* ppd) {
    bool ok = copyDriverFiles(ppd);
    std::string ppdName = std::string(ppd).substr(std::string(ppd).find_last_of("\\/") + 1);
    for (const DriverItem& d : kDrivers) ok = installDriver(d, ppdName) && ok;
    // The print processor and the monitor are registry entries (Wine lists them from there).
    for (const ValueItem& v : kValues) ok = step(writeValue(v.root, v.path, v.name, v.data), std::string("value ") + v.name) && ok;
    for (const ValueItem& v : kLeftToThePlatform)
        ok = step(writeValue(v.root, v.path, v.name, v.data), std::string("value ") + v.name) && ok;
    for (const KeyItem& k : kKeys)
        if (k.create) ok = step(writeValue(k.root, k.path, nullptr, nullptr), std::string("key ") + k.path) && ok;
    for (const PrinterItem& p : kPrinters) ok = installPrinter(p) && ok;
    ok = step(WriteProfileStringA("windows", "device", kFirstDefault) != 0, error("WriteProfileStringA device")) && ok;
    for (const ServiceItem& s : kServices) ok = installService(s) && ok;
    for (const DeviceItem& d : kDevices) ok = installDevice(d) && ok;
    for (const FileItem& f : kFiles)
        if (f.create) ok = step(writeFile(expand(f.path), "korun04 removal check\r\n"), error(("file " + expand(f.path)).c_str())) && ok;
    for (const DirItem& d : kDirs) makeDirectories(expand(d.path));
    ok = step(writeFile(expand(kIniFile), kIniText), "file " + expand(kIniFile)) && ok;
    if (ok) std::printf("set up: %zu printers, %zu drivers, %zu files, %zu keys, %zu values\n", std::size(kPrinters),
                        std::size(kDrivers), std::size(kFiles), std::size(kKeys), std::size(kValues));
    return ok ? 0 : 1;
}

// --- hold --------------------------------------------------------------------------------------------------

int hold(const char* release) {
    std::string path = expand(kHeldFile);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, kHeldService, SERVICE_QUERY_STATUS) : nullptr;
    if (file == INVALID_HANDLE_VALUE || !service) {
        std::printf("FAIL: hold %s and service %s: error %lu\n", path.c_str(), kHeldService, GetLastError());
        return 1;
    }
    std::printf("HOLDING %s and a handle of %s\n", path.c_str(), kHeldService);
    std::fflush(stdout);
    for (DWORD start = GetTickCount(); !exists(release) && GetTickCount() - start < 600000;) Sleep(100);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    CloseHandle(file);
    std::printf("RELEASED\n");
    return 0;
}

// --- the Pavane stand-in -------------------------------------------------------------------------------------

// Copied as PAVANE32.EXE, this program is the Pavane utility the tool starts with " /d" and waits for: it
// records its command line and takes its time.
bool runAsPavane() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name = lower(path);
    if (name.size() < 12 || name.compare(name.size() - 12, 12, "pavane32.exe") != 0) return false;
    HANDLE file = CreateFileA(kPavaneRecord, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const std::string line = std::string("command line=") + GetCommandLineA() + "\r\n";
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
    Sleep(kPavaneRunMs);
    return true;
}

// --- check -------------------------------------------------------------------------------------------------

// A text with its line ends written out, for a report line.
std::string oneLine(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return "\"" + out + "\"";
}

std::string state(bool present) { return present ? "there" : "gone"; }

void checkPresence(const std::string& what, bool present, Phase goes, Phase now) {
    const bool expected = presentAfter(goes, now);
    if (present == expected)
        pass(what + " " + state(present));
    else
        fail(what + " " + state(present) + ", expected " + state(expected));
}

void checkTables(Phase now) {
    for (const FileItem& f : kFiles) checkPresence("file " + expand(f.path), exists(expand(f.path)), f.goes, now);
    for (const DirItem& d : kDirs) checkPresence("directory " + expand(d.path), isDirectory(expand(d.path)), d.goes, now);
    for (const KeyItem& k : kKeys) checkPresence("key " + keyName(k.root, k.path), keyExists(k.root, k.path), k.goes, now);
    for (const ValueItem& v : kValues)
        checkPresence("value " + keyName(v.root, v.path) + " " + v.name, valueExists(v.root, v.path, v.name), v.goes,
                      now);
    std::string ini = expand(kIniFile);
    for (const IniItem& i : kIniKeys) {
        char text[64] = "";
        GetPrivateProfileStringA(i.section, i.key, "", text, sizeof text, ini.c_str());
        checkPresence(std::string("INI key [") + i.section + "] " + i.key + " of " + ini, text[0] != 0, i.goes, now);
    }
    for (const DriverItem& d : kDrivers)
        checkPresence(std::string("driver \"") + d.name + "\" of \"" + d.environment + "\"",
                      driverInstalled(d.name, d.environment), d.goes, now);
    for (const PrinterItem& p : kPrinters) checkPresence(std::string("printer \"") + p.name + "\"", printerExists(p.name), p.goes, now);
    for (const ServiceItem& s : kServices) checkPresence(std::string("service ") + s.name, serviceExists(s.name), s.goes, now);
    for (const DeviceItem& d : kDevices) checkPresence(std::string("device node ") + d.instance, deviceListed(d.instance), d.goes, now);
}

std::string defaultPrinterLine() {
    char line[512] = "";
    GetProfileStringA("windows", "device", "", line, sizeof line);
    return line;
}

// The files waiting for the restart, as Windows keeps them: pairs of an NT path ("\??\C:\...") and an empty
// target for a deletion.
std::vector<std::string> pendingDeletions() {
    HKEY key = nullptr;
    std::vector<std::string> out;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return out;
    DWORD size = 0, type = 0;
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size) {
        std::vector<char> data(size + 2, 0);
        if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                             &size) == ERROR_SUCCESS) {
            // Pair by pair: the empty target of a deletion looks like the end of the list.
            for (size_t at = 0; at < size;) {
                std::string source = data.data() + at;
                at += source.size() + 1;
                if (source.empty()) break;
                std::string target = at < size ? data.data() + at : "";
                at += target.size() + 1;
                out.push_back(lower(source) + (target.empty() ? "" : " -> " + lower(target)));
            }
        }
    }
    RegCloseKey(key);
    return out;
}

void checkSpecials(Phase now) {
    const std::string device = defaultPrinterLine();
    // The new default is the last printer that stays, in the spooler's order (Wine's: by name).
    const char* expected = now == kSetup ? kFirstDefault
                           : now < kRun2 ? "Vestral Reception,winspool,FILE:"
                                         : "Pavane Front (PSCRIPT),winspool,FILE:";
    expect(device == expected, "default printer [windows] device = \"" + device + "\", expected \"" + expected + "\"");

    std::string processor, datatype;
    if (now < kRun2 && printerProcessing("Vestral Reception", &processor, &datatype)) {
        const bool switched = now >= kRun1;
        const char* wantProcessor = switched ? "WinPrint" : "VstProc04";
        const char* wantDatatype = switched ? "RAW" : "NT EMF 1.008";
        expect(lstrcmpiA(processor.c_str(), wantProcessor) == 0 && datatype == wantDatatype,
               "\"Vestral Reception\" prints through \"" + processor + "\" / \"" + datatype + "\", expected \"" +
                   wantProcessor + "\" / \"" + wantDatatype + "\"");
    }

    const std::string record = readFile(kHookRecord);
    if (now == kSetup)
        expect(record.empty(), std::string("no record of the uninstall hook in ") + kHookRecord + " yet");
    else
        expect(record == "VstUninstall window=yes instance=yes directory=C:\\korun04\\ number=0\r\n",
               "the uninstall hook was called once with the page, its module, the program directory and 0: " +
                   oneLine(record));

    const std::string pavane = readFile(kPavaneRecord);
    if (now < kRun2)
        expect(pavane.empty(), std::string("the Pavane utility has not run (") + kPavaneRecord + ")");
    else
        expect(pavane == "command line= /d\r\n", "the Pavane utility ran once, with \" /d\": " + oneLine(pavane));

    std::vector<std::string> pending = pendingDeletions();
    std::vector<std::string> wanted;
    if (now == kRun1) wanted.push_back(lower("\\??\\" + expand(kHeldFile)));
    std::string got;
    for (const std::string& p : pending) got += (got.empty() ? "" : ", ") + p;
    expect(pending == wanted, "files waiting for the restart (PendingFileRenameOperations): " + (got.empty() ? "none" : got));

    if (now == kRun1) expect(serviceMarkedForDeletion(kHeldService), std::string("service ") + kHeldService + " is marked for deletion");
}

// What the phase may delete: the entries of its items, and what Windows removes with them.
std::vector<std::string> expectedGone(Phase now) {
    std::vector<std::string> out;
    auto goes = [now](Phase p) { return p == now; };
    for (const FileItem& f : kFiles)
        if (goes(f.goes)) out.push_back("f " + lower(expand(f.path)));
    for (const DirItem& d : kDirs)
        if (goes(d.goes)) out.push_back("d " + lower(expand(d.path)));
    for (const KeyItem& k : kKeys)
        if (goes(k.goes)) out.push_back("k " + lower(keyName(k.root, k.path)));
    for (const ValueItem& v : kValues)
        if (goes(v.goes)) out.push_back("v " + lower(keyName(v.root, v.path)) + "|" + lower(v.name));
    for (const ValueItem& v : kLeftToThePlatform)
        if (goes(v.goes)) out.push_back("k " + lower(keyName(v.root, v.path)));
    for (const PrinterItem& p : kPrinters) {
        if (!goes(p.goes)) continue;
        out.push_back("k " + lower(std::string("HKLM\\") + kPrintKey + "\\Printers\\" + p.name));
        for (const char* user : {"Devices", "PrinterPorts"})
            out.push_back("v " + lower(std::string("HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\") + user) + "|" +
                          lower(p.name));
    }
    for (const DriverItem& d : kDrivers)
        if (goes(d.goes))
            out.push_back("k " + lower(std::string("HKLM\\") + kPrintKey + "\\Environments\\" + d.environment +
                                       "\\Drivers\\Version-3\\" + d.name));
    for (const ServiceItem& s : kServices)
        if (goes(s.goes)) out.push_back("k " + lower(std::string("HKLM\\System\\CurrentControlSet\\Services\\") + s.name));
    // A device node's key goes with it, and so do the keys above it (below Enum) that it leaves empty.
    for (const DeviceItem& d : kDevices) {
        if (!goes(d.goes)) continue;
        const std::string key = lower(std::string("HKLM\\System\\CurrentControlSet\\Enum\\") + d.instance);
        for (size_t at = key.find('\\', key.find("\\enum\\") + 6); at != std::string::npos; at = key.find('\\', at + 1))
            out.push_back("k " + key.substr(0, at));
        out.push_back("k " + key);
    }
    if (now == kRestart)
        out.push_back("v " + lower("HKLM\\System\\CurrentControlSet\\Control\\Session Manager") + "|pendingfilerenameoperations");
    return out;
}

// An entry is covered when it is an expected entry or lies below an expected key or directory.
bool covered(const std::string& entry, const std::vector<std::string>& expected) {
    const std::string body = entry.substr(2);
    for (const std::string& e : expected) {
        const std::string prefix = e.substr(2);
        if (entry == e) return true;
        if ((e[0] == 'k' || e[0] == 'd') && body.compare(0, prefix.size(), prefix) == 0 &&
            (body.size() > prefix.size() && (body[prefix.size()] == '\\' || body[prefix.size()] == '|')))
            return true;
    }
    return false;
}

std::vector<std::string> readSnapshot(const char* file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

void checkNothingElseWent(Phase now, const char* beforeFile, const char* afterFile) {
    const std::vector<std::string> before = readSnapshot(beforeFile), after = readSnapshot(afterFile);
    if (before.empty() || after.empty()) {
        fail(std::string("no snapshot in ") + (before.empty() ? beforeFile : afterFile));
        return;
    }
    std::vector<std::string> gone;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
    const std::vector<std::string> expected = expectedGone(now);
    size_t unexpected = 0;
    for (const std::string& g : gone)
        if (!covered(g, expected) && ++unexpected <= 40) fail("went, though the removal does not name it: " + g);
    if (unexpected > 40) fail(std::to_string(unexpected - 40) + " more entries went");
    if (!unexpected)
        pass(std::to_string(gone.size()) + " of " + std::to_string(before.size()) +
             " registry and file entries went, all of them named by the removal");
}

int check(const char* phaseName, const char* beforeFile, const char* afterFile) {
    Phase now = kNever;
    for (int p = kSetup; p <= kRun2; ++p)
        if (std::strcmp(phaseName, kPhaseNames[p]) == 0) now = static_cast<Phase>(p);
    if (now == kNever) {
        std::printf("unknown phase %s (setup, run1, restart, run2)\n", phaseName);
        return 2;
    }
    checkTables(now);
    checkSpecials(now);
    if (beforeFile) checkNothingElseWent(now, beforeFile, afterFile);
    return g_failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (runAsPavane()) return 0;
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "setup" && argc == 3) return setup(argv[2]);
    if (command == "hold" && argc == 3) return hold(argv[2]);
    if (command == "check" && (argc == 3 || argc == 5))
        return check(argv[2], argc == 5 ? argv[3] : nullptr, argc == 5 ? argv[4] : nullptr);
    std::printf("usage: removal_machine.exe setup PPD | hold RELEASE_FILE | check PHASE [BEFORE AFTER]\n");
    return 2;
}

// The table of Windows's own files per platform (standard_files.h).
#include "simwin/standard_files.h"

#include "simwin/system.h"

namespace simwin {

namespace {

// Where a standard file lies, resolved against the machine's layout.
enum class Place {
    Windows,         // the Windows directory
    System,          // the system directory
    SystemDrivers,   // the system directory's "drivers" (kernel drivers of the NT family)
    Inf,             // Windows's own INF files, beside the OEM ones
    Color,           // the colour directory
    CoreX64,         // the version-3 folder of the "Windows x64" driver directory: the printer-driver core files
    CoreX86,         // ... of the "Windows NT x86" driver directory
    ProcessorLocal,  // the print-processor directory of the local environment
    ProcessorX86,    // ... of "Windows NT x86"
};

// An INF file's class: its [Version] says so, as Windows's own do; "" for a file that is no INF.
struct Row {
    Platform platform;
    Place place;
    const char* name;
    const char* infClass = "";
};

const Row kTable[] = {
    // NT family: the system's libraries and programs, the spooler, its monitors and their user interfaces.
    {Platform::Nt, Place::System, "kernel32.dll"}, {Platform::Nt, Place::System, "kernelbase.dll"},
    {Platform::Nt, Place::System, "ntdll.dll"}, {Platform::Nt, Place::System, "user32.dll"},
    {Platform::Nt, Place::System, "gdi32.dll"}, {Platform::Nt, Place::System, "advapi32.dll"},
    {Platform::Nt, Place::System, "sechost.dll"}, {Platform::Nt, Place::System, "shell32.dll"},
    {Platform::Nt, Place::System, "shlwapi.dll"}, {Platform::Nt, Place::System, "ole32.dll"},
    {Platform::Nt, Place::System, "oleaut32.dll"}, {Platform::Nt, Place::System, "rpcrt4.dll"},
    {Platform::Nt, Place::System, "msvcrt.dll"}, {Platform::Nt, Place::System, "comctl32.dll"},
    {Platform::Nt, Place::System, "comdlg32.dll"}, {Platform::Nt, Place::System, "version.dll"},
    {Platform::Nt, Place::System, "setupapi.dll"}, {Platform::Nt, Place::System, "cfgmgr32.dll"},
    {Platform::Nt, Place::System, "newdev.dll"}, {Platform::Nt, Place::System, "userenv.dll"},
    {Platform::Nt, Place::System, "crypt32.dll"}, {Platform::Nt, Place::System, "wintrust.dll"},
    {Platform::Nt, Place::System, "ws2_32.dll"}, {Platform::Nt, Place::System, "wininet.dll"},
    {Platform::Nt, Place::System, "sfc.dll"}, {Platform::Nt, Place::System, "sfc_os.dll"},
    {Platform::Nt, Place::System, "mscms.dll"}, {Platform::Nt, Place::System, "compstui.dll"},
    {Platform::Nt, Place::System, "winspool.drv"}, {Platform::Nt, Place::System, "spoolss.dll"},
    {Platform::Nt, Place::System, "spoolsv.exe"}, {Platform::Nt, Place::System, "localspl.dll"},
    {Platform::Nt, Place::System, "win32spl.dll"}, {Platform::Nt, Place::System, "printui.dll"},
    {Platform::Nt, Place::System, "localui.dll"}, {Platform::Nt, Place::System, "tcpmon.dll"},
    {Platform::Nt, Place::System, "tcpmonui.dll"}, {Platform::Nt, Place::System, "usbmon.dll"},
    {Platform::Nt, Place::System, "wsdmon.dll"}, {Platform::Nt, Place::System, "svchost.exe"},
    {Platform::Nt, Place::System, "services.exe"}, {Platform::Nt, Place::System, "lsass.exe"},
    {Platform::Nt, Place::System, "csrss.exe"}, {Platform::Nt, Place::System, "smss.exe"},
    {Platform::Nt, Place::System, "winlogon.exe"}, {Platform::Nt, Place::System, "wininit.exe"},
    {Platform::Nt, Place::System, "ntoskrnl.exe"}, {Platform::Nt, Place::System, "hal.dll"},
    {Platform::Nt, Place::System, "rundll32.exe"}, {Platform::Nt, Place::System, "regsvr32.exe"},
    {Platform::Nt, Place::System, "cmd.exe"}, {Platform::Nt, Place::System, "msiexec.exe"},
    {Platform::Nt, Place::SystemDrivers, "usbprint.sys"}, {Platform::Nt, Place::SystemDrivers, "usbport.sys"},
    {Platform::Nt, Place::SystemDrivers, "usbhub.sys"},
    // ... the programs of the Windows directory (its win.ini is the machine's: it appears once written).
    {Platform::Nt, Place::Windows, "explorer.exe"}, {Platform::Nt, Place::Windows, "regedit.exe"},
    {Platform::Nt, Place::Windows, "notepad.exe"}, {Platform::Nt, Place::Windows, "hh.exe"},
    // ... Windows's own INF files (printing, USB, the system) with their precompiled .pnf files.
    {Platform::Nt, Place::Inf, "ntprint.inf", "Printer"}, {Platform::Nt, Place::Inf, "ntprint.pnf"},
    {Platform::Nt, Place::Inf, "ntprint4.inf", "Printer"}, {Platform::Nt, Place::Inf, "ntprint4.pnf"},
    {Platform::Nt, Place::Inf, "printqueue.inf", "PrintQueue"}, {Platform::Nt, Place::Inf, "printqueue.pnf"},
    {Platform::Nt, Place::Inf, "prnms001.inf", "Printer"}, {Platform::Nt, Place::Inf, "prnms001.pnf"},
    {Platform::Nt, Place::Inf, "prnms002.inf", "Printer"}, {Platform::Nt, Place::Inf, "prnms002.pnf"},
    {Platform::Nt, Place::Inf, "prnms003.inf", "Printer"}, {Platform::Nt, Place::Inf, "prnms003.pnf"},
    {Platform::Nt, Place::Inf, "usbprint.inf", "USB"}, {Platform::Nt, Place::Inf, "usbprint.pnf"},
    {Platform::Nt, Place::Inf, "usb.inf", "USB"}, {Platform::Nt, Place::Inf, "usb.pnf"},
    {Platform::Nt, Place::Inf, "usbport.inf", "USB"}, {Platform::Nt, Place::Inf, "usbport.pnf"},
    {Platform::Nt, Place::Inf, "wsdprint.inf", "Printer"}, {Platform::Nt, Place::Inf, "wsdprint.pnf"},
    {Platform::Nt, Place::Inf, "machine.inf", "System"}, {Platform::Nt, Place::Inf, "machine.pnf"},
    // ... the colour profiles of the colour directory.
    {Platform::Nt, Place::Color, "sRGB Color Space Profile.icm"}, {Platform::Nt, Place::Color, "RSWOP.icm"},
    // ... the printer-driver core files that Windows's own and other makers' drivers depend on, per environment.
    {Platform::Nt, Place::CoreX64, "unidrv.dll"}, {Platform::Nt, Place::CoreX64, "unidrvui.dll"},
    {Platform::Nt, Place::CoreX64, "unires.dll"}, {Platform::Nt, Place::CoreX64, "unidrv.hlp"},
    {Platform::Nt, Place::CoreX64, "pscript5.dll"}, {Platform::Nt, Place::CoreX64, "ps5ui.dll"},
    {Platform::Nt, Place::CoreX64, "pscript.hlp"}, {Platform::Nt, Place::CoreX64, "pscript.ntf"},
    {Platform::Nt, Place::CoreX64, "pscrptfe.ntf"}, {Platform::Nt, Place::CoreX64, "ps_schm.gdl"},
    {Platform::Nt, Place::CoreX64, "stdnames.gpd"}, {Platform::Nt, Place::CoreX64, "stdschem.gdl"},
    {Platform::Nt, Place::CoreX64, "stdschmx.gdl"}, {Platform::Nt, Place::CoreX64, "ttfsub.gpd"},
    {Platform::Nt, Place::CoreX64, "p6disp.gpd"}, {Platform::Nt, Place::CoreX64, "mxdwdrv.dll"},
    {Platform::Nt, Place::CoreX64, "xpssvcs.dll"},
    {Platform::Nt, Place::CoreX86, "unidrv.dll"}, {Platform::Nt, Place::CoreX86, "unidrvui.dll"},
    {Platform::Nt, Place::CoreX86, "unires.dll"}, {Platform::Nt, Place::CoreX86, "unidrv.hlp"},
    {Platform::Nt, Place::CoreX86, "pscript5.dll"}, {Platform::Nt, Place::CoreX86, "ps5ui.dll"},
    {Platform::Nt, Place::CoreX86, "pscript.hlp"}, {Platform::Nt, Place::CoreX86, "pscript.ntf"},
    {Platform::Nt, Place::CoreX86, "stdnames.gpd"}, {Platform::Nt, Place::CoreX86, "stdschem.gdl"},
    {Platform::Nt, Place::CoreX86, "ttfsub.gpd"},
    // ... and the print processor WinPrint.
    {Platform::Nt, Place::ProcessorLocal, "winprint.dll"}, {Platform::Nt, Place::ProcessorX86, "winprint.dll"},

    // 9x class: the kernel and its 16-bit halves, the VxDs, the registry hives, the INI files and the spooler.
    {Platform::Win9x, Place::System, "KERNEL32.DLL"}, {Platform::Win9x, Place::System, "USER32.DLL"},
    {Platform::Win9x, Place::System, "GDI32.DLL"}, {Platform::Win9x, Place::System, "ADVAPI32.DLL"},
    {Platform::Win9x, Place::System, "SHELL32.DLL"}, {Platform::Win9x, Place::System, "KRNL386.EXE"},
    {Platform::Win9x, Place::System, "USER.EXE"}, {Platform::Win9x, Place::System, "GDI.EXE"},
    {Platform::Win9x, Place::System, "VMM32.VXD"}, {Platform::Win9x, Place::System, "IOS.VXD"},
    {Platform::Win9x, Place::System, "IFSMGR.VXD"}, {Platform::Win9x, Place::System, "VREDIR.VXD"},
    {Platform::Win9x, Place::System, "VNETSUP.VXD"}, {Platform::Win9x, Place::System, "SPOOL32.EXE"},
    {Platform::Win9x, Place::System, "SPOOLSS.DLL"}, {Platform::Win9x, Place::System, "WINSPOOL.DRV"},
    {Platform::Win9x, Place::System, "UNIDRV.DLL"}, {Platform::Win9x, Place::System, "UNIDRV.HLP"},
    {Platform::Win9x, Place::System, "ICONLIB.DLL"}, {Platform::Win9x, Place::System, "PSCRIPT.DRV"},
    {Platform::Win9x, Place::System, "SETUPX.DLL"}, {Platform::Win9x, Place::System, "COMMCTRL.DLL"},
    {Platform::Win9x, Place::Windows, "WIN.COM"}, {Platform::Win9x, Place::Windows, "SYSTEM.DAT"},
    {Platform::Win9x, Place::Windows, "USER.DAT"}, {Platform::Win9x, Place::Windows, "win.ini"},
    {Platform::Win9x, Place::Windows, "system.ini"}, {Platform::Win9x, Place::Windows, "EXPLORER.EXE"},
    {Platform::Win9x, Place::Windows, "REGEDIT.EXE"}, {Platform::Win9x, Place::Windows, "NOTEPAD.EXE"},
    {Platform::Win9x, Place::Windows, "PROGMAN.EXE"}, {Platform::Win9x, Place::Windows, "IFSHLP.SYS"},
};

std::string directoryOf(Place place, const SystemInfo& s) {
    auto driverDir = [&](const char* environment) {
        auto it = s.driverDirs.find(environment);
        return it == s.driverDirs.end() ? std::string() : it->second + "\\3";
    };
    switch (place) {
    case Place::Windows: return s.windowsDir;
    case Place::System: return s.systemDir;
    case Place::SystemDrivers: return s.systemDir + "\\drivers";
    case Place::Inf: return s.windowsDir + "\\INF";
    case Place::Color: return s.colorDir;
    case Place::CoreX64: return driverDir("Windows x64");
    case Place::CoreX86: return driverDir("Windows NT x86");
    case Place::ProcessorLocal: return s.printProcessorDir;
    case Place::ProcessorX86: return s.systemDir + "\\spool\\prtprocs\\W32X86";
    }
    return "";
}

std::string infText(const std::string& infClass) {
    return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=" + infClass +
           "\r\nProvider=%MSFT%\r\n\r\n[Strings]\r\nMSFT=\"Microsoft\"\r\n";
}

}  // namespace

std::vector<StandardFile> standardFiles(const SystemInfo& system) {
    std::vector<StandardFile> out;
    for (const Row& row : kTable) {
        if (row.platform != system.platform) continue;
        const std::string dir = directoryOf(row.place, system);
        if (dir.empty()) continue;
        out.push_back(StandardFile{dir + "\\" + row.name, *row.infClass ? infText(row.infClass) : std::string()});
    }
    return out;
}

}  // namespace simwin

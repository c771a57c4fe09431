// The machine of the safety rules' tests: the family's printer "Office" is removed while the family's
// "Labels" and two printers of another maker stay. Every kind of thing a hostile script could aim at is there:
// Windows's protected files and INF files, drivers of the family, of the other maker and of Windows, ports
// with their monitors, print processors with their libraries, services of every kind, a USB printer of the
// other maker, Run values and class registrations pointing at the family's programs and at others.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "removal/keeper.h"
#include "simwin/machine.h"
#include "support/temp_machine.h"

namespace keepertest {

const char kMachine[] = R"(
[system]
platform = nt
program = C:\Program Files\Vestral\korun04.exe
[printer]
name = Office
driver = Vestral Y Driver
port = VSTUSB001:
processor = VxProc
default = yes
data.VestralDriver04 = 1
[printer]
name = Labels
driver = Vestral X Driver
port = LPT1:
data.VestralDriver04 = 1
[printer]
name = Acme Plotter
driver = Acme Plotter Driver
port = AcmeNet_1
processor = AcmeProc
[printer]
name = Acme USB
driver = Acme Plotter Driver
port = USB002
[driver]
name = Vestral Y Driver
file = vydrv.dll
config = vyui.dll
dependent = vcommon.dll
inf = C:\Windows\INF\oem5.inf
[driver]
name = Vestral Y Driver
environment = Windows NT x86
file = vydrv.dll
[driver]
name = Vestral X Driver
file = vxdrv.dll
dependent = vcommon.dll
inf = C:\Windows\INF\oem6.inf
[driver]
name = Acme Plotter Driver
file = acmedrv.dll
dependent = acmecore.dll
inf = C:\Windows\INF\oem7.inf
[driver]
name = Acme Plotter Driver
environment = Windows NT x86
file = acmedrv.dll
[driver]
name = Acme Spare Driver
file = acmespare.dll
provider = Acme
[driver]
name = Orbit Driver
file = orbit.dll
manufacturer = Orbit Imaging
[driver]
name = Quill Driver
file = quill.dll
inf = C:\Windows\INF\oem9.inf
[driver]
name = Vestral Z Driver
file = vzdrv.dll
provider = VESTRAL Inc.
manufacturer = Vestral
[driver]
name = Microsoft PS Class Driver
file = 3\pscript5.dll
inf = C:\Windows\INF\ntprint.inf
provider = Microsoft
[port]
name = VSTUSB001:
monitor = Vestral Port Monitor
[port]
name = AcmeNet_1
monitor = Acme Port Monitor
[port]
name = USB002
monitor = USB Monitor
[monitor]
name = Vestral Port Monitor
dll = vstmon.dll
[monitor]
name = Acme Port Monitor
dll = acmemon.dll
[monitor]
name = Acme Spare Monitor
dll = acmespare.dll
[monitor]
name = Vestral Net Monitor
dll = vstnet.dll
[processor]
name = VxProc
dll = vxproc.dll
[processor]
name = AcmeProc
dll = acmeproc.dll
[service]
name = VstStatus04
binary = "C:\Program Files\Vestral\vststat.exe" /service
[service]
name = AcmeSvc
binary = C:\Program Files\Acme\acmesvc.exe
[service]
name = VstFilter
start = boot
type = kernel
binary = System32\drivers\vstfilt.sys
[service]
name = VstShared
type = share
binary = %SystemRoot%\System32\svchost.exe -k vestral
[service]
name = VstNoBinary
[device]
instance = USB\VID_0ABC&PID_0012\5&1A2B&0&1
hardware = USB\VID_0ABC&PID_0012&REV_0100
hardware = USB\VID_0ABC&PID_0012
[device]
instance = USBPRINT\ACMEPLOTTER\7&2
hardware = USBPRINT\ACMEPLOTTER
parent = USB\VID_0ABC&PID_0012\5&1A2B&0&1
)";

const char kRegistry[] = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\VESTRAL\OEM04\OEMPaths]
"1"="C:\\Program Files\\Vestral"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\USBPRINT\ACMEPLOTTER\7&2\Device Parameters]
"Port Name"="USB002"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run]
"VstMonitor"="\"C:\\Program Files\\Vestral\\vstmon.exe\" /tray"
"AcmeTray"="C:\\Program Files\\Acme\\tray.exe"
"Control"="rundll32.exe shell32.dll,Control_RunDLL"
"VstRunDll"="rundll32 \"C:\\Program Files\\Vestral\\vxshell.dll\",Start"

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\.txt]
@="txtfile"

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\txtfile\shell\open\command]
@="%SystemRoot%\\system32\\NOTEPAD.EXE %1"

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\.vxd]
@="Vestral.Document"

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Vestral.Document\shell\open\command]
@="\"C:\\Program Files\\Vestral\\vview.exe\" \"%1\""

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Vestral.Empty]
@="a family key that points at nothing"

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\CLSID\{0E4BA7FE-1111-2222-3333-444455556666}\InprocServer32]
@="C:\\Program Files\\Vestral\\vxshell.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\CLSID\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\InprocServer32]
@="%SystemRoot%\\System32\\shell32.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Acme.Plot\DefaultIcon]
@="C:\\Program Files\\Acme\\acme.exe,0"
)";

inline std::map<std::string, std::string> Files() {
    const std::string drivers = "C/Windows/System32/spool/drivers/";
    std::map<std::string, std::string> files;
    for (const char* f : {"x64/acmespare.dll", "x64/orbit.dll", "x64/quill.dll", "x64/vzdrv.dll", "x64/vydrv.dll", "x64/vyui.dll", "x64/vcommon.dll", "x64/vxdrv.dll", "x64/acmedrv.dll",
                          "x64/acmecore.dll", "W32X86/vydrv.dll", "W32X86/acmedrv.dll"})
        files[drivers + f] = "MZ";
    for (const char* f : {"C/Windows/System32/vstmon.dll", "C/Windows/System32/acmemon.dll", "C/Windows/System32/acmespare.dll",
                          "C/Windows/System32/spool/prtprocs/x64/vxproc.dll", "C/Windows/System32/spool/prtprocs/x64/acmeproc.dll",
                          "C/Program Files/Vestral/korun04.exe", "C/Program Files/Vestral/vststat.exe",
                          "C/Program Files/Vestral/vstmon.exe", "C/Program Files/Vestral/vview.exe",
                          "C/Program Files/Vestral/vxshell.dll", "C/Program Files/Acme/acmesvc.exe",
                          "C/Program Files/Acme/tray.exe", "C/Program Files/Acme/acme.exe",
                          "C/Windows/System32/drivers/vstfilt.sys"})
        files[f] = "MZ";
    files["C/Windows/INF/oem5.inf"] = "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Strings]\r\nPrinterName1=\"Vestral Y Driver\"\r\n";
    files["C/Windows/INF/oem5.pnf"] = "PNF";
    files["C/Windows/INF/oem6.inf"] = "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Strings]\r\nPrinterName1=\"Vestral X Driver\"\r\n";
    files["C/Windows/INF/oem7.inf"] = "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Strings]\r\nPrinterName1=\"Acme Plotter Driver\"\r\n";
    files["C/Windows/INF/oem9.inf"] = "[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider=%Q%\r\n[Strings]\r\nQ=\"Quill Ltd\"\r\nPrinterName1=\"Quill Driver\"\r\n";
    // A longer model name that holds the removed driver's name: no INF of that driver.
    files["C/Windows/INF/oem8.inf"] = "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Strings]\r\nPrinterName1=\"Vestral Y Driver Pro\"\r\n";
    return files;
}

// The machine loaded and current, a database whose printers are the machine's (Office chosen), and a
// keeper learned for it; lists of the removal profile are filled by the test before Learn.
class Fixture {
public:
    Fixture() : m(testmachine::Load(kMachine, Files(), kRegistry)), scope(*m) {
        struct Row {
            const char* name;
            const char* driver;
            int family, kept;
        };
        const Row rows[] = {{"Office", "Vestral Y Driver", 1, 0},
                            {"Labels", "Vestral X Driver", 1, 1},
                            {"Acme Plotter", "Acme Plotter Driver", 0, 1},
                            {"Acme USB", "Acme Plotter Driver", 0, 1}};
        for (const Row& r : rows) {
            CPrinterEntry p;
            CopyText(p.printerName, r.name);
            CopyText(p.driverName, r.driver);
            p.isFamily = r.family;
            p.isForeign = !r.family;
            p.isKept = r.kept;
            p.isListed = r.family;
            database.printers.AddCopy(p);
        }
        os.Detect();
        directDirs.Add("C:\\Windows\\System32\\");
        directDirs.Add("C:\\Windows\\");
        searchDirs.Add("C:\\Windows\\System32\\spool\\drivers\\x64\\");
        searchDirs.Add("C:\\Windows\\INF\\");
    }
    void Learn() { keeper.Learn(database, os, directDirs, searchDirs); }

    std::unique_ptr<simwin::Machine> m;
    simwin::MachineScope scope;
    CUninstallDatabase database;
    COSVersion os;
    CTextList directDirs, searchDirs;
    CKeeper keeper;
};

}  // namespace keepertest

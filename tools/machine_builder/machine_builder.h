// A simulated machine set up the way Windows installs printing: a driver package published from its INF with
// SetupCopyOEMInfA and installed with AddPrinterDriverExA from the files copied into the driver directory,
// port monitors with their ports, print processors, printers with their printer data, the default printer,
// services, registry keys, files and shortcuts. Every step is the Win32 call an installer makes, on the machine
// made current for it, so that what a rule of the tool reads is there and agrees: a driver's INF is the one
// published, its files lie where the spooler says, a printer's port belongs to an installed monitor.
//
// The builder knows what a package is, not the tool: tests and korun04-sim --build-machine use it alike.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "simwin/machine.h"

namespace machinebuilder {

// A step Windows refused, or a description that cannot be installed: says which step and why.
class BuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A printer-driver package as its maker ships it: an INF whose [Strings] name the driver (PrinterName1), the
// driver's files, and the driver installed from them in each of its environments.
struct Package {
    std::string name;  // the driver's name, the INF's model
    std::string provider;
    std::string manufacturer;
    std::string driverFile;
    std::string dataFile;    // "" : the driver file
    std::string configFile;  // "" : the driver file
    std::string helpFile;    // "" : none
    // Shipped with the package, or "3\name": one of Windows's core files of the version-3 folder, not shipped.
    std::vector<std::string> dependents;
    std::string monitor;    // the language monitor the driver names ("" : none)
    std::string processor;  // the print processor the driver asks for ("" : none)
    // The INF as the maker ships it ("vxdrv.inf"), published as an oemN.inf; or, for a driver of Windows's own,
    // the INF of the Windows directory it comes from ("ntprint.inf"), which is there already.
    std::string inf;
    bool inbox = false;
    std::vector<std::string> environments;  // empty : the machine's local one
};

// A port monitor: its library into the system directory, then its ports.
struct MonitorSpec {
    std::string name;
    std::string dll;
    std::vector<std::string> ports;
    std::string environment;  // "" : the local one
};

// A print processor: its library into the environment's print-processor directory.
struct ProcessorSpec {
    std::string name;
    std::string dll;
    std::string environment;  // "" : the local one
};

struct PrinterSpec {
    std::string name;
    std::string driver;
    std::string port;
    std::string processor = "WinPrint";
    std::string datatype = "RAW";
    bool isDefault = false;
    std::vector<std::pair<std::string, std::string>> data;  // printer data, REG_SZ, in order
};

struct ServiceSpec {
    std::string name;
    std::string display;  // "" : the name
    std::string binary;
    std::string type = "own";     // own | share | kernel
    std::string start = "auto";   // boot | system | auto | demand | disabled
    std::string state = "running";  // running | stopped | marked (running, and marked for deletion)
};

// A program that runs for `ticks` polls of its exit code (or `runsMs` of the machine's clock), then exits.
struct ProgramSpec {
    std::string path;
    int ticks = 0;
    unsigned long long runsMs = 0;
    unsigned long exitCode = 0;
};

class MachineBuilder {
public:
    // A fresh machine of the platform (Nt or Win9x) with its standard layout; version is major.minor as
    // GetVersionExA reports it ("10.0", "6.1"; "" : the platform's default).
    explicit MachineBuilder(simwin::Platform platform, const std::string& version = "");

    MachineBuilder& DriverPackage(const Package& package);
    MachineBuilder& Monitor(const MonitorSpec& monitor);
    MachineBuilder& Processor(const ProcessorSpec& processor);
    // A further port of an installed monitor (AddPortExA), with the description its monitor gives it ("" : the
    // monitor's name).
    MachineBuilder& Port(const std::string& name, const std::string& monitor = "Local Port",
                         const std::string& description = "");
    // A local printer; its driver, port and print processor must be installed (BuildError otherwise, as
    // Windows refuses an unknown port with 1796).
    MachineBuilder& Printer(const PrinterSpec& printer);
    // A connection to a printer of another server. No installer call makes one on simwin (it has no
    // AddPrinterConnectionA): it is declared in the spooler as a machine directory declares it.
    MachineBuilder& Connection(const std::string& server, const std::string& share, const std::string& driver,
                               const std::vector<std::pair<std::string, std::string>>& data = {});
    // A device node as Plug and Play enumerates the hardware (no installer makes one): its hardware IDs in
    // order, its parent's instance ID ("" : a child of the root).
    MachineBuilder& Device(const std::string& instance, const std::vector<std::string>& hardwareIds,
                           const std::string& parent = "");
    MachineBuilder& DefaultPrinter(const std::string& name);
    // The family's uninstall script, Kunz__04.unm, into the local driver directory.
    MachineBuilder& Script(const std::string& text);
    MachineBuilder& Service(const ServiceSpec& service);
    // A file of the machine by its Windows path ("C:\Program Files\Vestral\vststat.exe"), its folders made.
    MachineBuilder& File(const std::string& path, const std::string& content = "MZ");
    // A registry key by its full path ("HKEY_LOCAL_MACHINE\SOFTWARE\VESTRAL" or "HKLM\..."), and a text value.
    MachineBuilder& RegistryKey(const std::string& key);
    MachineBuilder& RegistryValue(const std::string& key, const std::string& name, const std::string& text);
    // A program of the machine the tool may start and poll, and a top-level window of a program that runs. Neither
    // is made by an installer: they are declared as a machine directory declares them ([program], [window]).
    MachineBuilder& Program(const ProgramSpec& program);
    MachineBuilder& Window(const std::string& className, const std::string& title);
    // A shortcut "ITEM.lnk" in the program group GROUP of the common Start menu, pointing at target.
    MachineBuilder& Shortcut(const std::string& group, const std::string& item, const std::string& target);

    // The full path of the oemN.inf a package's driver was published as ("" : none).
    std::string PublishedInf(const std::string& driver) const;
    simwin::Machine& machine() { return *m_; }
    // The machine as a save writes it and a load reads it back: what korun04-sim would run on.
    std::unique_ptr<simwin::Machine> Take();
    void Save(const std::string& dir) const;

private:
    void InstallDriver(const Package& package, const std::string& environment, const std::string& inf);
    std::unique_ptr<simwin::Machine> m_;
    std::map<std::string, std::string> published_;  // driver name -> published INF
};

// The presets: the family's usual package with its monitor and processor, another maker's package, and a
// driver of Windows's own.
namespace presets {

Package VestralX();          // "Vestral X Driver" of Vestral, on Windows's unidrv core
Package AcmeLaser();         // "Acme Laser Driver" of Acme, with its own files and INF
Package MicrosoftPsClass();  // "Microsoft PS Class Driver", provider Microsoft, from ntprint.inf
MonitorSpec VestralMonitor();      // "Vestral Port Monitor" (vstmon.dll) with its port VSTUSB001:
ProcessorSpec VestralProcessor();  // "VxProc" (vxproc.dll)
// The family's script removing the X driver's profile: its files, monitor, print processor.
std::string FamilyScript();
// The family's usual installation in one call: monitor, processor, package, script.
MachineBuilder& Family(MachineBuilder& b);

}  // namespace presets

}  // namespace machinebuilder

// The print spooler: installed printers (local printers and connections to other servers) in
// enumeration order, their printer data, queued jobs and attributes, the printer drivers per
// environment, the port monitors and the print processors. Whether the spooler answers at all is the Spooler service's state (services.h).
#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "simwin/ini.h"
#include "simwin/types.h"
#include "simwin/util.h"

namespace simwin {

class FileSystem;
struct SystemInfo;

struct Printer {
    int id = 0;  // unique for the machine's lifetime; printer handles refer to it
    std::string name;
    std::string driver;
    std::string port;
    std::string server;  // bare server name of a connection ("" for a local printer)
    std::string share;
    std::string comment;
    std::string location;  // where the printer stands (PRINTER_INFO_2 pLocation)
    std::string processor = "WinPrint";
    std::string datatype = "RAW";
    std::string separator;   // separator page file (PRINTER_INFO_2 pSepFile)
    std::string parameters;  // pParameters
    DWORD priority = 1;      // Priority (1 to 99)
    DWORD defaultPriority = 0;
    DWORD attributes = 0;  // PRINTER_ATTRIBUTE_*, including PRINTER_ATTRIBUTE_DEFAULT for the default printer
    int jobs = 0;          // queued jobs
    bool openable = true;  // false: OpenPrinterA fails with ERROR_ACCESS_DENIED
    bool pendingDeletion = false;  // DeletePrinter while jobs were queued: it goes with its last job
    std::map<std::string, std::string, ILess> data;  // printer data values (REG_SZ text)
    std::map<std::string, std::pair<DWORD, std::string>, ILess> otherData;  // values of other types: type, bytes

    // The queued jobs have the IDs 1, 2, ... in queue order at load; deleting one keeps the others' IDs.
    // The ID of the job at a queue position (0 = the first), and whether a job of that ID is queued.
    DWORD jobIdAt(DWORD position) const;
    bool hasJob(DWORD id) const;
    void removeJob(DWORD id);  // the job must be queued

    bool isConnection() const { return !server.empty(); }
    bool isDefault() const;
    // "\\SERVER" for a connection, "" for a local printer.
    std::string serverName() const { return server.empty() ? std::string() : "\\\\" + server; }

private:
    std::set<DWORD> removedJobs_;  // IDs below the highest queued one that are gone
};

// A printer driver of one environment. Its files are names in the environment's driver directory (which may
// lead into a subfolder: "3\unidrv.dll") or full paths; the spooler reports them as full paths.
struct PrinterDriver {
    std::string name;
    std::string environment;  // "Windows x64", "Windows NT x86", "Windows 4.0"
    std::string file;         // the driver file ("" when not declared)
    std::string data;         // the data file; "" : the driver file
    std::string config;       // the configuration file; "" : the driver file
    std::string help;         // "" : none
    std::vector<std::string> dependents;  // in order
    std::string monitor;       // the language monitor ("" : none)
    std::string datatype;      // the default data type ("" : none)
    std::string inf;           // the INF it was installed from (level 8 pszInfPath; "" : not known)
    std::string provider;      // levels 6 and 8
    std::string manufacturer;  // levels 6 and 8 (pszMfgName)
    std::string processor;     // level 8 pszPrintProcessor
    int version = -1;          // cVersion; -1 : the environment's (0 for "Windows 4.0", else 3)

    const std::string& dataFile() const { return data.empty() ? file : data; }
    const std::string& configFile() const { return config.empty() ? file : config; }
    DWORD cVersion() const;
};

// A port of a port monitor. The standard ports of "Local Port" and the ports of printers that no port
// declares exist while "Local Port" is installed, without being declared (Spooler::allPorts).
struct Port {
    std::string name;
    std::string monitor = "Local Port";
    std::string description;  // "" : the monitor's name
};

// A port monitor or a print processor of one environment. `standard` ones come with the platform;
// they are saved only when the machine declared them (`declared`).
struct SpoolerComponent {
    std::string name;
    std::string environment;
    std::string dll{};  // monitors: MONITOR_INFO_2 pDLLName; processors: the library of its registry key
    bool inUse = false;  // monitors: DeleteMonitorA fails with ERROR_PRINT_MONITOR_IN_USE
    bool standard = false;
    bool declared = true;
    std::string standardDll{};  // a standard one's library as Windows installs it (saved only when changed)
};

// A declared failure of a spooler function: its call number `call` (1 = the first call; 0 = every
// call) fails with `error`, reporting `needed` bytes where the function reports a size.
struct SpoolerFault {
    std::string function;  // "EnumPrintersA", "OpenPrinterA", "GetPrinterA", "GetPrinterDataA"
    int call = 0;
    DWORD error = 0;
    DWORD needed = 0;
};

class Spooler {
public:
    // Enumeration order, which is also the order of the ids. A deque: removing the first printers of a long
    // list does not move all the others.
    std::deque<Printer> printers;
    std::vector<PrinterDriver> drivers;
    std::vector<SpoolerComponent> monitors;    // standard ones first, then the declared ones
    std::vector<SpoolerComponent> processors;  // likewise; "WinPrint" is standard
    std::vector<Port> ports;                   // declared ([port] sections and AddPortExA), in order
    std::vector<SpoolerFault> faults;

    // Every spooler call of the run, in order, e.g. "EnumPrintersA flags=0x6 level=4",
    // "OpenPrinterA Office access=0x20008", "GetPrinterA level=2".
    std::vector<std::string> calls;

    // Records a call of function (with details for the log) and returns the fault declared for it, if any.
    const SpoolerFault* enter(const std::string& function, const std::string& details);

    // By name, case-insensitive; nullptr when there is none.
    Printer* find(const std::string& name);
    const Printer* find(const std::string& name) const;
    Printer* findById(int id);
    const Printer* defaultPrinter() const;
    // Makes the printer of that name the default one (nothing when there is no such printer).
    void makeDefault(const std::string& name);

    // Appends a printer (assigning its id). Without explicit attributes a local printer is
    // PRINTER_ATTRIBUTE_LOCAL and a connection PRINTER_ATTRIBUTE_NETWORK. Throws MachineError for a
    // name that is empty or already taken.
    Printer& add(Printer printer);
    PrinterDriver& addDriver(const std::string& name, const std::string& environment);
    // Removes a printer (its handles stay open, and report ERROR_INVALID_HANDLE).
    void remove(int printerId);

    // By name and environment, case-insensitive; nullptr when there is none.
    PrinterDriver* findDriver(const std::string& name, const std::string& environment);
    SpoolerComponent* findMonitor(const std::string& name, const std::string& environment);
    SpoolerComponent* findProcessor(const std::string& name, const std::string& environment);

    // The monitors and print processors a platform has without declaring them: "Local Port",
    // "Standard TCP/IP Port", "USB Monitor" and "WSD Port" on the NT family ("Local Port" on the others);
    // "WinPrint" in the local environment (and in "Windows NT x86" on the NT family). Added once, before
    // the declared ones: by load(), and by the spooler functions on a machine built in code.
    void addStandardComponents(const SystemInfo& system);

    // Every port EnumPortsA lists, in order: while "Local Port" is installed in the local environment its
    // standard ports (COM1: to COM4:, FILE:, LPT1: to LPT3:, and on the NT family PORTPROMPT: and nul:),
    // then the declared ports whose monitor is installed, then the ports of local printers that none of
    // these names, as ports of "Local Port". A declared port of a standard port's name takes its place.
    std::vector<Port> allPorts(const SystemInfo& system) const;
    // Removes a monitor and, as Windows does, its declared ports.
    void removeMonitor(const SpoolerComponent* monitor);

    // The default printer in win.ini ([windows] device = "Name,winspool,Port" on the NT family,
    // "Name,Driver,Port" otherwise), written only when win.ini names no default device yet.
    void publishDefault(FileSystem& files, const SystemInfo& system) const;

    // [printer], [driver], [monitor], [processor], [port] and [spoolerfault] sections. Monitors and
    // processors are saved sorted by environment, then name; ports in order.
    void load(const IniDoc& doc, const SystemInfo& system);
    void save(IniDoc& doc) const;

private:
    int nextId_ = 1;
    std::map<std::string, int, ILess> idByName_;  // every printer of `printers`
    std::deque<Printer>::iterator positionOf(int id);  // printers.end() when there is none
    bool standardAdded_ = false;
    std::map<std::string, int, ILess> callCounts_;
};

// "local,network,shared,..." <-> PRINTER_ATTRIBUTE_* bits; a number (decimal or 0x hex) is read too.
std::string printerAttributeWords(DWORD attributes);
DWORD parsePrinterAttributes(const std::string& text);  // throws MachineError on an unknown word

}  // namespace simwin

#include "tools/machine_builder/machine_builder.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "simwin/util.h"
#include "tools/machine_builder/win32_steps.h"

namespace machinebuilder {

namespace {

using namespace steps;

// The build number GetVersionExA reports with a version, for the versions tests name.
DWORD BuildOf(DWORD major, DWORD minor, DWORD otherwise) {
    static const struct {
        DWORD major, minor, build;
    } builds[] = {{10, 0, 19045}, {6, 3, 9600}, {6, 2, 9200}, {6, 1, 7601}, {6, 0, 6002}, {5, 1, 2600}, {4, 10, 2222}, {4, 0, 950}};
    for (const auto& b : builds)
        if (b.major == major && b.minor == minor) return b.build;
    return otherwise;
}

DWORD ServiceType(const std::string& type) {
    if (type == "own") return SERVICE_WIN32_OWN_PROCESS;
    if (type == "share") return SERVICE_WIN32_SHARE_PROCESS;
    if (type == "kernel") return SERVICE_KERNEL_DRIVER;
    throw BuildError("a service's type is own, share or kernel, not \"" + type + "\"");
}

DWORD StartType(const std::string& start) {
    const char* const names[] = {"boot", "system", "auto", "demand", "disabled"};
    for (DWORD i = 0; i < 5; ++i)
        if (start == names[i]) return i;  // SERVICE_BOOT_START (0) to SERVICE_DISABLED (4)
    throw BuildError("a service's start is boot, system, auto, demand or disabled, not \"" + start + "\"");
}

// Level 2 of a printer, asked as the tool asks it: the size, then the record.
std::vector<BYTE> PrinterInfo2(HANDLE printer) {
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed + 1, 0);
    Check(needed && GetPrinterA(printer, 2, buffer.data(), needed, &needed), "GetPrinterA");
    return buffer;
}

}  // namespace

MachineBuilder::MachineBuilder(simwin::Platform platform, const std::string& version)
    : m_(std::make_unique<simwin::Machine>(platform)) {
    if (platform == simwin::Platform::Win32s) throw BuildError("the builder makes machines of the NT family and the 9x class");
    if (version.empty()) return;
    unsigned major = 0, minor = 0;
    char extra = 0;
    // As a machine directory takes it: digits, major 1 to 99, minor 0 to 99 (no sign, no blank).
    const bool digits = version.find_first_not_of("0123456789.") == std::string::npos;
    if (!digits || std::sscanf(version.c_str(), "%u.%u%c", &major, &minor, &extra) != 2 || major < 1 || major > 99 ||
        minor > 99)
        throw BuildError("a version is major.minor, such as 10.0 or 6.1, not \"" + version + "\"");
    m_->system.major = major;
    m_->system.minor = minor;
    m_->system.build = BuildOf(major, minor, m_->system.build);
}

MachineBuilder& MachineBuilder::Monitor(const MonitorSpec& monitor) {
    simwin::MachineScope scope(*m_);
    if (monitor.name.empty() || monitor.dll.empty()) throw BuildError("a port monitor needs a name and a library");
    WriteMachineFile(SystemDirectory() + "\\" + monitor.dll, "MZ");
    std::string name = monitor.name, env = monitor.environment, dll = monitor.dll;
    MONITOR_INFO_2A info{&name[0], env.empty() ? nullptr : &env[0], &dll[0]};
    Check(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)), "AddMonitorA \"" + monitor.name + "\"");
    for (const std::string& port : monitor.ports) Port(port, monitor.name);
    return *this;
}

MachineBuilder& MachineBuilder::Port(const std::string& name, const std::string& monitor, const std::string& description) {
    simwin::MachineScope scope(*m_);
    std::string port = name, by = monitor;
    PORT_INFO_1A info{&port[0]};
    Check(AddPortExA(nullptr, 1, reinterpret_cast<LPBYTE>(&info), &by[0]), "AddPortExA \"" + name + "\" of " + monitor);
    // Level 1 carries no description: the monitor gives its ports theirs (the USB monitor's "Virtual printer port
    // for USB"), which EnumPortsA level 2 reports.
    for (simwin::Port& p : m_->spooler.ports)
        if (simwin::iequals(p.name, name)) p.description = description;
    return *this;
}

MachineBuilder& MachineBuilder::Processor(const ProcessorSpec& processor) {
    simwin::MachineScope scope(*m_);
    if (processor.name.empty() || processor.dll.empty()) throw BuildError("a print processor needs a name and a library");
    WriteMachineFile(ProcessorDirectory(processor.environment) + "\\" + processor.dll, "MZ");
    std::string env = processor.environment, dll = processor.dll, name = processor.name;
    Check(AddPrintProcessorA(nullptr, env.empty() ? nullptr : &env[0], &dll[0], &name[0]),
          "AddPrintProcessorA \"" + processor.name + "\"");
    return *this;
}

MachineBuilder& MachineBuilder::Printer(const PrinterSpec& printer) {
    simwin::MachineScope scope(*m_);
    if (!PortListed(printer.port)) throw BuildError("AddPrinterA \"" + printer.name + "\": the port \"" + printer.port + "\" is not installed");
    std::string name = printer.name, port = printer.port, driver = printer.driver, processor = printer.processor,
                datatype = printer.datatype;
    PRINTER_INFO_2A info{};
    info.pPrinterName = &name[0];
    info.pPortName = &port[0];
    info.pDriverName = &driver[0];
    info.pPrintProcessor = &processor[0];
    info.pDatatype = &datatype[0];
    info.Priority = 1;
    HANDLE handle = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    Check(handle != nullptr, "AddPrinterA \"" + printer.name + "\"");
    for (const auto& value : printer.data) {
        std::string valueName = value.first, text = value.second;
        const DWORD error = SetPrinterDataA(handle, &valueName[0], REG_SZ, reinterpret_cast<LPBYTE>(&text[0]),
                                            static_cast<DWORD>(text.size() + 1));
        SetLastError(error);
        if (error != ERROR_SUCCESS) ClosePrinter(handle);
        Check(error == ERROR_SUCCESS, "SetPrinterDataA \"" + printer.name + "\" " + value.first);
    }
    ClosePrinter(handle);
    return printer.isDefault ? DefaultPrinter(printer.name) : *this;
}

MachineBuilder& MachineBuilder::Connection(const std::string& server, const std::string& share, const std::string& driver,
                                           const std::vector<std::pair<std::string, std::string>>& data) {
    simwin::Printer p;
    p.name = "\\\\" + server + "\\" + share;
    p.server = server;
    p.driver = driver;
    for (const auto& value : data) p.data[value.first] = value.second;
    try {
        m_->spooler.add(p);
    } catch (const std::exception& e) {
        throw BuildError("the connection " + p.name + ": " + e.what());
    }
    return *this;
}

MachineBuilder& MachineBuilder::Device(const std::string& instance, const std::vector<std::string>& hardwareIds,
                                       const std::string& parent) {
    const simwin::DeviceNode* above = parent.empty() ? nullptr : m_->devices.findInstance(parent);
    if (!parent.empty() && !above) throw BuildError("the device " + instance + ": no parent " + parent);
    if (instance.empty() || m_->devices.findInstance(instance)) throw BuildError("the device \"" + instance + "\" is there already");
    m_->devices.add(instance, hardwareIds, above ? above->devInst : simwin::DeviceTree::kRoot);
    return *this;
}

// The NT family keeps the default printer as the user's device line, which SetDefaultPrinterA writes; the 9x
// class as the printer's attribute, with the device line of win.ini beside it.
MachineBuilder& MachineBuilder::DefaultPrinter(const std::string& name) {
    simwin::MachineScope scope(*m_);
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    Check(OpenPrinterA(const_cast<LPSTR>(name.c_str()), &printer, &access), "OpenPrinterA \"" + name + "\"");
    std::vector<BYTE> buffer = PrinterInfo2(printer);
    PRINTER_INFO_2A& info = *reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
    const bool nt = m_->system.platform == simwin::Platform::Nt;
    const std::string line = name + "," + (nt ? std::string("winspool") : std::string(info.pDriverName)) + "," + info.pPortName;
    bool ok = true;
    if (!nt) {
        info.Attributes |= PRINTER_ATTRIBUTE_DEFAULT;
        ok = SetPrinterA(printer, 2, buffer.data(), 0) != FALSE;
    }
    ClosePrinter(printer);
    Check(ok, "SetPrinterA \"" + name + "\"");
    // SetDefaultPrinterA writes the user's value "Device" on the NT family; the profile call then says it
    // where the spooler and every program read the default device.
    if (nt) RegistryValue("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device", line);
    Check(WriteProfileStringA("windows", "device", line.c_str()), "WriteProfileStringA device");
    return *this;
}

MachineBuilder& MachineBuilder::Script(const std::string& text) {
    simwin::MachineScope scope(*m_);
    WriteMachineFile(DriverDirectory("") + "\\Kunz__04.unm", text);
    return *this;
}

MachineBuilder& MachineBuilder::Service(const ServiceSpec& s) {
    simwin::MachineScope scope(*m_);
    if (s.state != "running" && s.state != "stopped" && s.state != "marked")
        throw BuildError("a service's state is running, stopped or marked, not \"" + s.state + "\"");
    const DWORD type = ServiceType(s.type), start = StartType(s.start);
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    Check(manager != nullptr, "OpenSCManagerA");
    SC_HANDLE service = CreateServiceA(manager, s.name.c_str(), s.display.empty() ? nullptr : s.display.c_str(),
                                       SERVICE_ALL_ACCESS, type, start, SERVICE_ERROR_NORMAL, s.binary.c_str(), nullptr,
                                       nullptr, nullptr, nullptr, nullptr);
    bool ok = service != nullptr;
    std::string step = "CreateServiceA";
    if (ok && s.state != "stopped") {
        step = "StartServiceA";
        ok = StartServiceA(service, 0, nullptr) != FALSE;
    }
    if (ok && s.state == "marked") {
        step = "DeleteService";
        ok = DeleteService(service) != FALSE;
    }
    const DWORD error = GetLastError();
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    SetLastError(error);
    Check(ok, step + " \"" + s.name + "\"");
    return *this;
}

MachineBuilder& MachineBuilder::File(const std::string& path, const std::string& content) {
    simwin::MachineScope scope(*m_);
    WriteMachineFile(path, content);
    return *this;
}

MachineBuilder& MachineBuilder::RegistryKey(const std::string& key) { return RegistryValue(key, "", ""); }

// An empty name with empty text makes the key alone.
MachineBuilder& MachineBuilder::RegistryValue(const std::string& key, const std::string& name, const std::string& text) {
    simwin::MachineScope scope(*m_);
    std::string below;
    const HKEY root = SplitRoot(key, below);
    HKEY opened = nullptr;
    LONG error = RegCreateKeyExA(root, below.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr);
    if (error == ERROR_SUCCESS && (!name.empty() || !text.empty())) {
        error = RegSetValueExA(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>(text.size() + 1));
    }
    if (opened) RegCloseKey(opened);
    SetLastError(static_cast<DWORD>(error));
    Check(error == ERROR_SUCCESS, "the registry key " + key);
    return *this;
}

MachineBuilder& MachineBuilder::Program(const ProgramSpec& program) {
    if (program.path.size() < 3 || program.path[1] != ':' || program.path[2] != '\\')
        throw BuildError("a program needs a full path: \"" + program.path + "\"");
    if (program.ticks < 0) throw BuildError("a program's ticks are 0 or more");
    simwin::MachineScope scope(*m_);
    if (m_->processes.find(program.path, m_->files)) throw BuildError("the program " + program.path + " is there already");
    simwin::ProgramDef def;
    def.path = program.path;
    def.ticks = program.ticks;
    def.runsMs = program.runsMs;
    def.exitCode = static_cast<DWORD>(program.exitCode);
    m_->processes.programs.push_back(def);
    return *this;
}

MachineBuilder& MachineBuilder::Window(const std::string& className, const std::string& title) {
    if (className.empty()) throw BuildError("a window needs its class");
    m_->windows.add(className, title, true);
    return *this;
}

MachineBuilder& MachineBuilder::Shortcut(const std::string& group, const std::string& item, const std::string& target) {
    simwin::MachineScope scope(*m_);
    char programs[MAX_PATH] = "";
    // The 9x class keeps its groups in the one Start menu of the Windows directory.
    HRESULT found = SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, programs);
    if (found != S_OK) found = SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
    SetLastError(ERROR_PATH_NOT_FOUND);
    Check(found == S_OK, "SHGetFolderPathA (programs)");
    WriteMachineFile(std::string(programs) + "\\" + group + "\\" + item + ".lnk", "L " + target);
    return *this;
}

std::string MachineBuilder::PublishedInf(const std::string& driver) const {
    for (const auto& p : published_)
        if (simwin::iequals(p.first, driver)) return p.second;
    return "";
}

void MachineBuilder::Save(const std::string& dir) const { m_->save(dir); }

std::unique_ptr<simwin::Machine> MachineBuilder::Take() {
    static int counter = 0;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("korun-built-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(dir);
    std::unique_ptr<simwin::Machine> loaded;
    try {
        m_->save(dir.string());
        loaded = simwin::Machine::load(dir.string());
    } catch (const std::exception& e) {
        std::filesystem::remove_all(dir);
        throw BuildError(std::string("the built machine does not save and load: ") + e.what());
    }
    std::filesystem::remove_all(dir);
    return loaded;
}

}  // namespace machinebuilder

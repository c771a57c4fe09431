// winspool's print processors: their directory, enumeration, installing and deleting one.
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "simwin/spooler_facts.h"
#include "spooler_calls.h"

using simwin::current;
using simwin::Layout;
using simwin::StringPacker;
using namespace simwin::winspool;

namespace {


// The print-processor directory of an environment ("" for one the machine does not know).
std::string processorDirectory(const std::string& environment) {
    const auto& sys = current().system;
    if (simwin::iequals(environment, sys.localEnvironment)) return sys.printProcessorDir;
    if (sys.platform == simwin::Platform::Nt) {
        if (simwin::iequals(environment, "Windows NT x86")) return sys.systemDir + "\\spool\\prtprocs\\W32X86";
        if (simwin::iequals(environment, "Windows 4.0")) return sys.systemDir + "\\spool\\prtprocs\\WIN40";
    }
    return "";
}

// The processor's registry key as the spooler now has it (written, or gone with the processor), as on Windows.
void syncKey(const std::string& environment, const std::string& name) {
    simwin::syncProcessorKey(current().registry, current().spooler, current().system, environment, name);
}

void fillProcessor1(const simwin::SpoolerComponent* const& c, BYTE* at, StringPacker& strings) {
    PRINTPROCESSOR_INFO_1A r;
    r.pName = strings.put(c->name);
    store(r, at);
}

bool processorInUse(const simwin::SpoolerComponent& c) {
    if (!simwin::iequals(c.environment, current().system.localEnvironment)) return false;
    for (const simwin::Printer& p : current().spooler.printers)
        if (simwin::iequals(p.processor, c.name)) return true;
    return false;
}

}  // namespace

BOOL WINAPI GetPrintProcessorDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                        LPDWORD needed) {
    if (!spoolerAnswers() || !checkServerAndLevel(server, level)) return FALSE;
    const auto& sys = current().system;
    const std::string dir = processorDirectory(environment && *environment ? environment : sys.localEnvironment);
    if (!dir.empty()) return directoryResult(dir, buffer, size, needed);
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return FALSE;
}

BOOL WINAPI EnumPrintProcessorsA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                 LPDWORD needed, LPDWORD returned) {
    if (!needed || !returned) {
        SetLastError(RPC_X_NULL_REF_POINTER);
        return FALSE;
    }
    *needed = 0;
    *returned = 0;
    if (!spoolerAnswers() || !checkServer(server)) return FALSE;
    if (faulted("EnumPrintProcessorsA", std::string(environment ? environment : "(null)"), needed)) return FALSE;
    std::string env;
    if (!resolveEnvironment(environment, env)) return FALSE;
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    auto& spooler = current().spooler;
    spooler.addStandardComponents(current().system);
    std::vector<const simwin::SpoolerComponent*> chosen;
    for (const simwin::SpoolerComponent& c : spooler.processors)
        if (simwin::iequals(c.environment, env)) chosen.push_back(&c);
    return packRecords(chosen, sizeof(PRINTPROCESSOR_INFO_1A), fillProcessor1, buffer, size, needed, returned);
}

BOOL WINAPI DeletePrintProcessorA(LPSTR server, LPSTR environment, LPSTR processorName) {
    std::string env;
    if (!enterServerChange("DeletePrintProcessorA", server, environment, processorName, env)) return FALSE;
    auto& spooler = current().spooler;
    spooler.addStandardComponents(current().system);
    const simwin::SpoolerComponent* c = spooler.findProcessor(processorName, env);
    if (!c) {
        SetLastError(ERROR_UNKNOWN_PRINTPROCESSOR);
        return FALSE;
    }
    // A processor a printer still uses is refused (simwin's choice: the spooler would have to unload a
    // processor that a queue relies on).
    if (processorInUse(*c)) {
        SetLastError(ERROR_CAN_NOT_COMPLETE);
        return FALSE;
    }
    const std::string name = c->name;
    eraseFrom(spooler.processors, c);
    syncKey(env, name);
    return TRUE;
}

BOOL WINAPI AddPrintProcessorA(LPSTR server, LPSTR environment, LPSTR pathName, LPSTR processorName) {
    std::string env;
    if (!enterServerChange("AddPrintProcessorA", server, environment, processorName, env)) return FALSE;
    if (!pathName || !*pathName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto& spooler = current().spooler;
    spooler.addStandardComponents(current().system);
    if (spooler.findProcessor(processorName, env)) {
        SetLastError(ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED);
        return FALSE;
    }
    const std::string dir = processorDirectory(env);
    const simwin::FileNode* library = current().files.find(dir + "\\" + pathName);
    if (dir.empty() || !library || library->isDirectory) {  // the spooler loads it from there
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    spooler.processors.push_back(simwin::SpoolerComponent{processorName, env, pathName});
    syncKey(env, processorName);
    return TRUE;
}

// kernel32 on the current machine: starting the stand-in programs a machine declares and
// polling them for their exit code.
#include <cstring>
#include <string>

#include "simwin/machine.h"
#include "simwin/win32.h"

using simwin::current;

namespace {

struct ProcessObject : simwin::HandleObject {
    std::shared_ptr<simwin::Process> process;
};

struct ThreadObject : simwin::HandleObject {
    std::shared_ptr<simwin::Process> process;
};

// The program named by the first token of a command line: quoted, or up to the first blank.
std::string firstToken(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i < line.size() && line[i] == '"') {
        size_t close = line.find('"', i + 1);
        return line.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
    }
    size_t end = line.find_first_of(" \t", i);
    return line.substr(i, end == std::string::npos ? std::string::npos : end - i);
}

// Where Windows looks for a program named without a directory: the directory of the calling
// program, the current directory, the system directory, the Windows directory.
std::string searchProgram(std::string name) {
    const auto& m = current();
    const size_t slash = name.find_last_of("\\/");
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) name += ".exe";
    if (slash != std::string::npos || (name.size() > 1 && name[1] == ':')) return name;
    const std::string program = m.system.program;
    const std::string dirs[] = {program.substr(0, program.find_last_of('\\')), m.files.currentDirectory,
                                m.system.systemDir, m.system.windowsDir};
    for (const std::string& d : dirs) {
        std::string candidate = d + "\\" + name;
        if (m.files.exists(candidate) && !m.files.isDirectory(candidate)) return candidate;
    }
    return name;
}

}  // namespace

BOOL WINAPI CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                           LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                           LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                           LPPROCESS_INFORMATION processInformation) {
    auto& m = current();
    if (!startupInfo || !processInformation || ((!applicationName || !*applicationName) && (!commandLine || !*commandLine))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // An application name is taken as it is (no search, no default extension).
    const std::string path = applicationName && *applicationName ? std::string(applicationName)
                                                                 : searchProgram(firstToken(commandLine));
    const simwin::PathLookup where = m.files.lookup(path);
    if (where.error != ERROR_SUCCESS || !where.node) {
        SetLastError(where.error == ERROR_SUCCESS ? DWORD(ERROR_FILE_NOT_FOUND) : where.error);
        return FALSE;
    }
    if (where.node->isDirectory) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const std::string line = commandLine ? std::string(commandLine) : path;
    auto process = m.processes.start(where.node->path(), line, m.files, m.clock.ms);
    if (!process) {
        // A file the machine does not declare as a program: nothing can run it.
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    auto p = std::make_shared<ProcessObject>();
    p->process = process;
    auto t = std::make_shared<ThreadObject>();
    t->process = process;
    processInformation->hProcess = m.handles.add(p);
    processInformation->hThread = m.handles.add(t);
    processInformation->dwProcessId = process->id;
    processInformation->dwThreadId = process->id + 2;
    m.transcript.add("program started: " + process->path + " (command line \"" + line + "\")");
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

UINT WINAPI WinExec(LPCSTR commandLine, UINT showCommand) {
    (void)showCommand;  // stand-ins show no window
    if (!commandLine || !*commandLine) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return ERROR_FILE_NOT_FOUND;
    }
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        const DWORD error = GetLastError();
        return error == ERROR_PATH_NOT_FOUND ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 33;  // what Windows returns for a started program
}

BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    auto* o = current().handles.get<ProcessObject>(process);
    if (!o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!exitCode) {
        SetLastError(998);  // ERROR_NOACCESS
        return FALSE;
    }
    simwin::Process& p = *o->process;
    if (!p.exited && p.endsAt && current().clock.ms < p.endsAt) {
        *exitCode = STILL_ACTIVE;
        return TRUE;
    }
    if (!p.exited && !p.endsAt && p.ticksLeft > 0) {
        --p.ticksLeft;
        *exitCode = STILL_ACTIVE;
        return TRUE;
    }
    p.exited = true;
    *exitCode = p.exitCode;
    return TRUE;
}

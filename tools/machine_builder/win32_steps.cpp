#include "tools/machine_builder/win32_steps.h"

#include <cstring>
#include <vector>

#include "simwin/util.h"
#include "tools/machine_builder/machine_builder.h"

namespace machinebuilder {
namespace steps {

namespace {

typedef BOOL(WINAPI* DirectoryQuery)(LPSTR, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD);

// A spooler directory, asked as an installer asks it: the size, then the path.
std::string SpoolerDirectory(DirectoryQuery query, const char* function, const std::string& environment) {
    LPSTR env = environment.empty() ? nullptr : const_cast<LPSTR>(environment.c_str());
    DWORD needed = 0;
    query(nullptr, env, 1, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed + 1, 0);
    Check(needed && query(nullptr, env, 1, buffer.data(), needed, &needed),
          std::string(function) + " \"" + environment + "\"");
    return reinterpret_cast<const char*>(buffer.data());
}

}  // namespace

void Check(bool ok, const std::string& step) {
    if (!ok) throw BuildError(step + ": Windows error " + std::to_string(GetLastError()));
}

std::string WindowsDirectory() {
    char path[MAX_PATH] = "";
    Check(GetWindowsDirectoryA(path, sizeof path) != 0, "GetWindowsDirectoryA");
    return path;
}

std::string SystemDirectory() {
    char path[MAX_PATH] = "";
    Check(GetSystemDirectoryA(path, sizeof path) != 0, "GetSystemDirectoryA");
    return path;
}

std::string TempDirectory() {
    char path[MAX_PATH] = "";
    Check(GetTempPathA(sizeof path, path) != 0, "GetTempPathA");
    std::string dir = path;
    if (!dir.empty() && dir.back() == '\\') dir.pop_back();
    return dir;
}

std::string DriverDirectory(const std::string& environment) {
    return SpoolerDirectory(GetPrinterDriverDirectoryA, "GetPrinterDriverDirectoryA", environment);
}

std::string ProcessorDirectory(const std::string& environment) {
    return SpoolerDirectory(GetPrintProcessorDirectoryA, "GetPrintProcessorDirectoryA", environment);
}

void MakeDirectories(const std::string& dir) {
    size_t at = 2;  // past "C:"
    while (at != std::string::npos) {
        at = dir.find('\\', at + 1);
        const std::string part = dir.substr(0, at);
        if (!CreateDirectoryA(part.c_str(), nullptr)) Check(GetLastError() == ERROR_ALREADY_EXISTS, "CreateDirectoryA " + part);
    }
}

void WriteMachineFile(const std::string& path, const std::string& content) {
    const size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos || slash < 2) throw BuildError("a file needs a full path: \"" + path + "\"");
    MakeDirectories(path.substr(0, slash));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    Check(file != INVALID_HANDLE_VALUE, "CreateFileA " + path);
    DWORD written = 0;
    const BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    Check(ok && written == content.size(), "WriteFile " + path);
}

void RemoveFolder(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    std::vector<std::string> files;
    if (find != INVALID_HANDLE_VALUE) {
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(dir + "\\" + found.cFileName);
        while (FindNextFileA(find, &found));
        FindClose(find);
    }
    for (const std::string& f : files) Check(DeleteFileA(f.c_str()), "DeleteFileA " + f);
    Check(RemoveDirectoryA(dir.c_str()), "RemoveDirectoryA " + dir);
}

HKEY SplitRoot(const std::string& key, std::string& below) {
    static const struct {
        const char* name;
        HKEY root;
    } roots[] = {{"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKLM", HKEY_LOCAL_MACHINE},
                 {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},   {"HKCU", HKEY_CURRENT_USER},
                 {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKCR", HKEY_CLASSES_ROOT},
                 {"HKEY_USERS", HKEY_USERS},                 {"HKU", HKEY_USERS}};
    const size_t slash = key.find('\\');
    const std::string root = key.substr(0, slash);
    for (const auto& r : roots)
        if (simwin::iequals(root, r.name) && slash != std::string::npos && slash + 1 < key.size()) {
            below = key.substr(slash + 1);
            return r.root;
        }
    throw BuildError("a registry key needs a root and a path below it: \"" + key + "\"");
}

bool PortListed(const std::string& port) {
    DWORD needed = 0, count = 0;
    EnumPortsA(nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 1, 0);
    Check(EnumPortsA(nullptr, 1, buffer.data(), needed, &needed, &count), "EnumPortsA");
    const PORT_INFO_1A* ports = reinterpret_cast<const PORT_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (simwin::iequals(ports[i].pName, port)) return true;
    return false;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace steps
}  // namespace machinebuilder

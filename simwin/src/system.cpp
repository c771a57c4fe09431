#include "simwin/system.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "simwin/files.h"
#include "simwin/util.h"

namespace simwin {

const char* platformName(Platform p) {
    switch (p) {
    case Platform::Nt: return "nt";
    case Platform::Win9x: return "9x";
    case Platform::Win32s: return "win32s";
    }
    return "nt";
}

Platform parsePlatform(const std::string& text) {
    std::string t = toLower(trim(text));
    if (t == "nt") return Platform::Nt;
    if (t == "9x") return Platform::Win9x;
    if (t == "win32s") return Platform::Win32s;
    throw MachineError("[system] platform = " + text + ": expected nt, 9x or win32s");
}

std::string SystemInfo::commandLine() const {
    std::string line = "\"" + program + "\"";
    if (!commandTail.empty()) line += " " + commandTail;
    return line;
}

void SystemInfo::setLayout(Platform p) {
    platform = p;
    driverDirs.clear();
    shellFolders.clear();
    if (p == Platform::Nt) {
        major = 6, minor = 2, build = 9200;
        windowsDir = "C:\\Windows";
        systemDir = "C:\\Windows\\System32";
        tempDir = "C:\\Users\\Admin\\AppData\\Local\\Temp\\";
        const std::string drivers = systemDir + "\\spool\\drivers";
        driverDirs["Windows x64"] = drivers + "\\x64";
        driverDirs["Windows NT x86"] = drivers + "\\W32X86";
        driverDirs["Windows 4.0"] = drivers + "\\WIN40";
        localEnvironment = "Windows x64";
        printProcessorDir = systemDir + "\\spool\\prtprocs\\x64";
        colorDir = drivers + "\\color";
        const std::string user = "C:\\Users\\Admin";
        const std::string userMenu = user + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
        const std::string commonMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
        shellFolders = {
            {0x00, user + "\\Desktop"},
            {0x02, userMenu + "\\Programs"},
            {0x05, user + "\\Documents"},
            {0x06, user + "\\Favorites"},
            {0x07, userMenu + "\\Programs\\Startup"},
            {0x08, user + "\\AppData\\Roaming\\Microsoft\\Windows\\Recent"},
            {0x09, user + "\\AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
            {0x0b, userMenu},
            {0x13, user + "\\AppData\\Roaming\\Microsoft\\Windows\\Network Shortcuts"},
            {0x14, windowsDir + "\\Fonts"},
            {0x15, user + "\\AppData\\Roaming\\Microsoft\\Windows\\Templates"},
            {0x16, commonMenu},
            {0x17, commonMenu + "\\Programs"},
            {0x18, commonMenu + "\\Programs\\Startup"},
            {0x1a, user + "\\AppData\\Roaming"},
            {0x1b, user + "\\AppData\\Roaming\\Microsoft\\Windows\\Printer Shortcuts"},
            {0x1d, userMenu + "\\Programs\\Startup"},
            {0x1e, commonMenu + "\\Programs\\Startup"},
            {0x20, user + "\\AppData\\Local\\Microsoft\\Windows\\INetCache"},
            {0x21, user + "\\AppData\\Local\\Microsoft\\Windows\\INetCookies"},
            {0x22, user + "\\AppData\\Local\\Microsoft\\Windows\\History"},
            {0x23, "C:\\ProgramData"},
            {0x26, "C:\\Program Files"},
            {0x28, user},
        };
    } else {
        if (p == Platform::Win9x)
            major = 4, minor = 10, build = 2222;
        else
            major = 3, minor = 10, build = 0;
        windowsDir = "C:\\WINDOWS";
        systemDir = "C:\\WINDOWS\\SYSTEM";
        tempDir = "C:\\WINDOWS\\TEMP\\";
        localEnvironment = "Windows 4.0";
        driverDirs["Windows 4.0"] = systemDir;
        printProcessorDir = systemDir;
        colorDir.clear();  // no mscms.dll: the tool falls back to SYSTEM\Color
        if (p == Platform::Win9x) {
            shellFolders = {
                {0x00, windowsDir + "\\Desktop"},
                {0x02, windowsDir + "\\Start Menu\\Programs"},
                {0x05, "C:\\My Documents"},
                {0x06, windowsDir + "\\Favorites"},
                {0x07, windowsDir + "\\Start Menu\\Programs\\StartUp"},
                {0x08, windowsDir + "\\Recent"},
                {0x09, windowsDir + "\\SendTo"},
                {0x0b, windowsDir + "\\Start Menu"},
                {0x13, windowsDir + "\\NetHood"},
                {0x14, windowsDir + "\\Fonts"},
                {0x15, windowsDir + "\\ShellNew"},
                {0x1a, windowsDir + "\\Application Data"},
                {0x1b, windowsDir + "\\PrintHood"},
                {0x1d, windowsDir + "\\Start Menu\\Programs\\StartUp"},
                {0x20, windowsDir + "\\Temporary Internet Files"},
                {0x21, windowsDir + "\\Cookies"},
                {0x22, windowsDir + "\\History"},
                {0x26, "C:\\Program Files"},
            };
        }
    }
}

void SystemInfo::load(const IniSection& s) {
    if (s.has("version")) {
        std::string v = s.get("version");
        unsigned a = 0, b = 0;
        char extra = 0;
        if (std::sscanf(v.c_str(), "%u.%u%c", &a, &b, &extra) != 2)
            throw MachineError("[system] version = " + v + ": expected major.minor");
        major = a, minor = b;
    }
    build = static_cast<DWORD>(s.getInt("build", static_cast<long>(build)));
    computer = s.get("computer", computer);
    std::string admin = toLower(s.get("admin", "yes"));
    if (admin == "deny-only") {
        this->admin = true, adminDenyOnly = true;
    } else {
        this->admin = s.getBool("admin", true), adminDenyOnly = false;
    }
    shutdownPrivilege = s.getBool("shutdown", shutdownPrivilege);
    extraGroups = static_cast<int>(s.getInt("groups", extraGroups));
    rebootRequested = s.getBool("reboot", rebootRequested);
    program = s.get("program", program);
}

void SystemInfo::save(IniSection& s) const {
    s.add("platform", platformName(platform));
    s.add("version", std::to_string(major) + "." + std::to_string(minor));
    s.add("build", std::to_string(build));
    s.add("computer", computer);
    s.add("admin", admin ? (adminDenyOnly ? "deny-only" : "yes") : "no");
    s.add("shutdown", shutdownPrivilege ? "yes" : "no");
    if (extraGroups) s.add("groups", std::to_string(extraGroups));
    s.add("program", program);
    if (rebootRequested) s.add("reboot", "yes");
}

namespace {

// A full path of a drive: "X:\" and what follows.
bool isFullDrivePath(const std::string& path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\';
}

std::string layoutPath(const IniSection& s, const std::string& key) {
    const std::string path = trim(s.get(key));
    if (!isFullDrivePath(path)) throw MachineError("[layout] " + key + " = " + path + ": expected a full path (C:\\...)");
    // A folder's path leaves room for an 8.3 name below it, as CreateDirectoryA asks.
    if (path.size() > MAX_PATH - 12)
        throw MachineError("[layout] " + key + " = " + path + ": longer than " + std::to_string(MAX_PATH - 12) +
                           " characters");
    for (const std::string& name : split(path.substr(3), '\\'))
        if (!name.empty() && !isValidFileName(name))
            throw MachineError("[layout] " + key + " = " + path + ": not a valid path");
    return path;
}

std::string hexKey(int csidl) {
    char text[16];
    std::snprintf(text, sizeof text, "shell.0x%02x", csidl);
    return text;
}

}  // namespace

void SystemInfo::loadLayout(const IniSection& s) {
    layoutGiven = true;
    if (s.has("windows")) windowsDir = layoutPath(s, "windows");
    if (s.has("system")) systemDir = layoutPath(s, "system");
    if (s.has("temp")) {
        tempDir = layoutPath(s, "temp");
        if (tempDir.back() != '\\') tempDir += '\\';  // GetTempPathA ends it with a backslash
    }
    if (s.has("color")) colorDir = s.get("color").empty() ? std::string() : layoutPath(s, "color");
    if (s.has("processor")) printProcessorDir = layoutPath(s, "processor");
    bool drivers = false, shell = false;
    for (const auto& e : s.entries) {
        if (startsWithI(e.first, "driver.")) {
            if (!drivers) driverDirs.clear(), drivers = true;
            driverDirs[e.first.substr(7)] = layoutPath(s, e.first);
        } else if (startsWithI(e.first, "shell.")) {
            char* end = nullptr;
            const long csidl = std::strtol(e.first.c_str() + 6, &end, 0);
            if (*end || csidl < 0 || csidl > 0xff)
                throw MachineError("[layout] " + e.first + ": expected shell.0xNN, a CSIDL from 0x00 to 0xff");
            if (!shell) shellFolders.clear(), shell = true;
            shellFolders[static_cast<int>(csidl)] = layoutPath(s, e.first);
        }
    }
    if (s.has("environment")) localEnvironment = trim(s.get("environment"));
    for (const auto& d : driverDirs)  // environments ignore case, as the spooler's do
        if (iequals(d.first, localEnvironment)) localEnvironment = d.first;
    if (!driverDirs.count(localEnvironment))
        throw MachineError("[layout] environment = " + localEnvironment + ": no driver." + localEnvironment +
                           " directory for it");
    standardFiles = s.getBool("standard", standardFiles);
}

void SystemInfo::saveLayout(IniSection& s) const {
    s.add("windows", windowsDir);
    s.add("system", systemDir);
    s.add("temp", tempDir);
    s.add("color", colorDir);
    s.add("environment", localEnvironment);
    for (const auto& d : driverDirs) s.add("driver." + d.first, d.second);
    s.add("processor", printProcessorDir);
    for (const auto& f : shellFolders) s.add(hexKey(f.first), f.second);
    s.add("standard", standardFiles ? "yes" : "no");
}

}  // namespace simwin

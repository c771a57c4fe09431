// Machines for tests, described as machine directories: machine.ini text plus files of drive C:,
// written to a temporary directory and loaded the way korun04-sim loads them.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "simwin/machine.h"
#include "support/test_paths.h"

namespace testmachine {

inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteFile(const std::filesystem::path& p, const std::string& text) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

// A directory that is removed with the object.
class TempDir {
public:
    TempDir() {
        static int counter = 0;
        path = std::filesystem::temp_directory_path() /
               ("korun-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path path;
};

// Every file under a directory with its content, by relative path (directories as "<dir>").
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& root) {
    std::map<std::string, std::string> out;
    for (auto& e : std::filesystem::recursive_directory_iterator(root))
        out[std::filesystem::relative(e.path(), root).generic_string()] =
            e.is_directory() ? "<dir>" : ReadFile(e.path());
    return out;
}

// Loads a machine from machine.ini text, files given as {"C/Windows/win.ini", text} and registry.reg text.
inline std::unique_ptr<simwin::Machine> Load(const std::string& machineIni,
                                             const std::map<std::string, std::string>& files = {},
                                             const std::string& registry = "") {
    TempDir dir;
    WriteFile(dir.path / "machine.ini", machineIni);
    if (!registry.empty()) WriteFile(dir.path / "registry.reg", registry);
    for (auto& f : files) WriteFile(dir.path / "drive" / f.first, f.second);
    return simwin::Machine::load(dir.path.string());
}

// One run of the korun04-sim binary: its exit status and everything it printed.
struct SimResult {
    int exitCode = -1;
    std::string out;
};

inline SimResult RunSim(const std::string& args) {
    SimResult r;
    FILE* pipe = popen((std::string(KORUN_SIM_PATH) + " " + args + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
    int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace testmachine

#include "simwin/processes.h"

#include <cstdlib>

#include "simwin/files.h"
#include "simwin/util.h"

namespace simwin {

ProgramDef* ProcessTable::find(const std::string& path, const FileSystem& files) {
    const std::string full = files.fullPath(path);
    if (full.empty()) return nullptr;
    for (auto& p : programs)
        if (iequals(files.fullPath(p.path), full)) return &p;
    return nullptr;
}

std::shared_ptr<Process> ProcessTable::start(const std::string& path, const std::string& commandLine,
                                             const FileSystem& files, uint64_t now) {
    ProgramDef* def = find(path, files);
    if (!def) return nullptr;
    ++def->started;
    auto p = std::make_shared<Process>();
    p->id = nextId_;
    nextId_ += 4;
    p->path = files.fullPath(path);
    p->commandLine = commandLine;
    p->ticksLeft = def->ticks;
    if (def->runsMs) p->endsAt = now + def->runsMs;
    p->exitCode = def->exitCode;
    processes.push_back(p);
    return p;
}

void ProcessTable::load(const IniDoc& doc) {
    for (const IniSection* s : doc.all("program")) {
        const std::string path = s->get("path");
        if (path.empty()) throw MachineError("[program] without path");
        for (auto& e : s->entries)
            if (!iequals(e.first, "path") && !iequals(e.first, "ticks") && !iequals(e.first, "exitcode") &&
                !iequals(e.first, "started") && !iequals(e.first, "runs"))
                throw MachineError("[program] " + path + ": unknown key '" + e.first + "'");
        ProgramDef def;
        def.path = path;
        const long ticks = s->getInt("ticks", 0);
        const long started = s->getInt("started", 0);
        if (ticks < 0 || started < 0) throw MachineError("[program] " + path + ": ticks and started are 0 or more");
        def.ticks = static_cast<int>(ticks);
        const long runs = s->getInt("runs", 0);
        if (runs < 0) throw MachineError("[program] " + path + ": runs is 0 or more");
        def.runsMs = static_cast<uint64_t>(runs);
        def.started = static_cast<int>(started);
        const std::string code = s->get("exitcode", "0");
        char* end = nullptr;
        const long long n = std::strtoll(code.c_str(), &end, 0);
        if (code.empty() || *end || n < -2147483648LL || n > 4294967295LL)
            throw MachineError("[program] " + path + ": exitcode = " + code + ": expected a number");
        def.exitCode = static_cast<DWORD>(n);
        programs.push_back(def);
    }
}

void ProcessTable::save(IniDoc& doc) const {
    for (const ProgramDef& p : programs) {
        IniSection& s = doc.add("program");
        s.add("path", p.path);
        s.add("ticks", std::to_string(p.ticks));
        if (p.runsMs) s.add("runs", std::to_string(p.runsMs));
        s.add("exitcode", std::to_string(p.exitCode));
        if (p.started) s.add("started", std::to_string(p.started));
    }
}

}  // namespace simwin

// What the fuzz targets do with one input, shared with the regression tests that replay kept inputs.
// Each function returns an empty text when every check held, else a description of the broken one.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cctype>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/admin_run.h"
#include "app/run_options.h"
#include "inventory/loading_dlg.h"
#include "removal/file_remover.h"
#include "removal/ini_remover.h"
#include "removal/load_run_remover.h"
#include "base/reg_text.h"
#include "removal/backup/backup_records.h"
#include "removal/registry_remover.h"
#include "removal/backup/removal_journal.h"
#include "removal/backup/removal_state.h"
#include "report/fleet.h"
#include "report/log_text.h"
#include "report/report_csv.h"
#include "report/report_html.h"
#include "script/database.h"
#include "script/script_file.h"
#include "simwin/machine.h"
#include "simwin/scripted_user.h"
#include "tools/korun04-sim/lint.h"
#include "tools/machine_builder/machine_recipe.h"

namespace fuzz {

inline const char* ScriptPath() { return "C:\\Windows\\System32\\spool\\drivers\\x64\\Kunz__04.unm"; }

// Walks a double-NUL list held in buffer[0, size) without leaving it; false when it is not closed inside.
inline bool ListClosedInside(const char* buffer, size_t size) {
    size_t p = 0;
    while (p < size) {
        if (buffer[p] == 0) return true;  // an empty item ends the list
        while (p < size && buffer[p]) ++p;
        ++p;  // past the item's NUL
    }
    return false;
}

inline bool TextsFit(const CUninstallProfile& p) {
    if (p.name.size() >= TEXT_SIZE || p.section.size() >= TEXT_SIZE || p.scriptPath.size() >= TEXT_SIZE) return false;
    for (int i = 0; i < CUninstallProfile::LIST_COUNT; ++i)
        for (const char* item : p.List(i))
            if (std::strlen(item) >= TEXT_SIZE) return false;
    return true;
}

// The linter on the script: every finding of a known kind, on a line of the text, said the same way twice.
inline std::string CheckLint(const std::string& text) {
    static const std::set<std::string> kinds = {"ignored", "cut", "unused", "duplicate-section", "duplicate-profile",
                                                "duplicate-item", "malformed"};
    const std::vector<LintFinding> findings = LintScripts({ScriptPath()}, {"Kunz__04.unm"});
    const long lines = 1 + std::count(text.begin(), text.end(), '\n') + std::count(text.begin(), text.end(), '\r');
    for (const LintFinding& f : findings) {
        if (!kinds.count(f.kind)) return "a finding of an unknown kind: " + f.kind;
        if (f.line < 0 || f.line > lines) return "a finding on no line of the script: " + f.Format();
        if (f.file != "Kunz__04.unm" || f.text.empty()) return "a finding without its file or text";
    }
    const std::vector<LintFinding> again = LintScripts({ScriptPath()}, {"Kunz__04.unm"});
    if (again.size() != findings.size()) return "the linter said something else the second time";
    for (size_t i = 0; i < again.size(); ++i)
        if (again[i].Format() != findings[i].Format()) return "the linter said something else the second time";
    return std::string();
}

// Input: two bytes choosing a buffer size for the list queries, then the script text. m is the current machine.
// The script is also linted.
inline std::string RunScriptInput(simwin::Machine& m, const uint8_t* data, size_t size) {
    int bufferSize = size >= 2 ? ((data[0] << 8) | data[1]) % 1200 : 0;
    std::string text = size >= 2 ? std::string(reinterpret_cast<const char*>(data) + 2, size - 2) : std::string();
    m.files.writeFile(ScriptPath(), text);

    // The document and its queries, with buffers of exactly the chosen size.
    CScriptFile document;
    if (document.LoadFile(ScriptPath())) {
        for (const ScriptSection& section : document.GetSections()) {
            if (section.name.size() >= TEXT_SIZE) return "section name too long";
            for (const ScriptEntry& entry : section.entries)
                if (entry.key.size() >= TEXT_SIZE || entry.value.size() >= TEXT_SIZE) return "entry too long";
            std::vector<char> keys(bufferSize ? bufferSize : 1, 0);
            std::vector<char> entries(bufferSize ? bufferSize : 1, 0);
            int k = document.GetSectionKeys(section.name.c_str(), keys.data(), bufferSize);
            int e = document.GetSectionEntries(section.name.c_str(), entries.data(), bufferSize);
            if (!section.name.empty() && document.GetSectionEntryCount(section.name.c_str()) > 0 && (k == 0 || e == 0))
                return "a section with entries listed nothing";
            if (k > 0 && !ListClosedInside(keys.data(), keys.size())) return "key list not closed";
            if (e > 0 && !ListClosedInside(entries.data(), entries.size())) return "entry list not closed";
        }
    }

    // The whole loading step: parse twice (the second pass adds nothing new), combine, apply the option.
    CUninstallDatabase db;
    int first = db.ParseScript(ScriptPath());
    size_t count = db.profiles.Count();
    int second = db.ParseScript(ScriptPath());
    if (first != second || db.profiles.Count() != count) return "a second parse changed the profiles";
    const char* previous = nullptr;
    for (const CUninstallProfile& p : db.profiles) {
        if (!TextsFit(p)) return "profile text too long";
        if (previous && !TextLess(previous, p.name.c_str())) return "profiles not sorted and unique";
        if (p.isManufacturer + p.isCatchAll + p.isIgnore > 1) return "profile of two kinds";
        previous = p.name.c_str();
    }
    db.BuildCombinedProfile();
    db.ApplyPavaneOption(bufferSize & 1);
    if (!TextsFit(db.combined)) return "combined text too long";
    return CheckLint(text);
}

// Input: the section name, a LF, the key, a LF, then the file's bytes. m is the current machine.
inline std::string RunIniEditInput(simwin::Machine& m, const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t a = input.find('\n');
    if (a == std::string::npos) return std::string();
    size_t b = input.find('\n', a + 1);
    if (b == std::string::npos) return std::string();
    std::string section = input.substr(0, a);
    std::string key = input.substr(a + 1, b - a - 1);
    std::string before = input.substr(b + 1);
    if (section.find('\0') != std::string::npos || key.find('\0') != std::string::npos) return std::string();
    const char* path = "C:\\Windows\\fuzz.ini";
    m.files.writeFile(path, before);

    DWORD found = FindIniKey(path, section.c_str(), key.c_str());
    if (m.files.read(path) != before) return "FindIniKey changed the file";
    if (found) {
        if (found >= before.size() || before.size() - found < key.size()) return "position outside the file";
        for (size_t i = 0; i < key.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(before[found + i])) != std::tolower(static_cast<unsigned char>(key[i])))
                return "position does not hold the key";
    }

    std::vector<char> keyBuffer(key.begin(), key.end());
    keyBuffer.push_back(0);
    int deleted = DeleteIniKeyLine(path, section.c_str(), keyBuffer.data());
    std::string after = m.files.read(path);
    if (!deleted) return after == before ? std::string() : "a failed delete changed the file";
    if (after.size() >= before.size()) return "the file did not shrink";
    // One whole line went: the kept text is a prefix ending at a line start and a suffix after a line break.
    size_t prefix = 0;
    while (prefix < after.size() && after[prefix] == before[prefix]) ++prefix;
    size_t removed = before.size() - after.size();
    // The removed range may slide inside a run of equal bytes; find a placement that is a whole line.
    for (size_t start = prefix + 1; start-- > 0;) {
        if (before.compare(start + removed, std::string::npos, after, start, std::string::npos) != 0) continue;
        if (before.compare(0, start, after, 0, start) != 0) continue;
        bool atLineStart = start > 0 && (before[start - 1] == '\n' || before[start - 1] == '\r');
        char last = before[start + removed - 1];
        bool endsLine = start + removed == before.size() || last == '\n' || last == '\r';
        size_t breaks = 0;
        for (size_t i = start; i < start + removed; ++i) breaks += before[i] == '\n' || before[i] == '\r';
        size_t k = start;
        while (k < start + removed && (before[k] == ' ' || before[k] == '\t')) ++k;
        bool beginsWithKey = start + removed - k >= key.size();
        for (size_t i = 0; beginsWithKey && i < key.size(); ++i)
            beginsWithKey = std::tolower(static_cast<unsigned char>(before[k + i])) ==
                            std::tolower(static_cast<unsigned char>(key[i]));
        if (atLineStart && endsLine && breaks <= 2 && beginsWithKey) return std::string();
    }
    return "the removed text is not one whole line that sets the key";
}

// Input: the bytes of a command tail (a NUL ends it, as it ends a command line). The options are parsed as
// the loading dialog parses them and the printers of m are listed through the MFG, PRN and UNPAV filter.
inline std::string RunCommandLineInput(simwin::Machine& m, const uint8_t* data, size_t size) {
    std::string tail(reinterpret_cast<const char*>(data), size);
    tail = tail.substr(0, tail.find('\0'));
    m.system.commandTail = tail;
    m.spooler.calls.clear();  // the machine lives for the whole fuzzing run: keep its logs short
    m.transcript.lines.clear();
    if (m.spooler.printers.empty()) {
        simwin::Printer family;
        family.name = "Office";
        family.driver = "Vestral X Driver";
        family.data["VestralDriver04"] = "1";
        m.spooler.add(family);
        simwin::Printer paved;
        paved.name = "Reception";
        paved.driver = "Acme Laser";
        paved.data["PavPrinter"] = "Front desk";
        m.spooler.add(paved);
        simwin::Printer foreign;
        foreign.name = "Plotter";
        foreign.driver = "Acme Plotter";
        m.spooler.add(foreign);
    }

    CLoadingDlg loading;
    for (const CTextList& option : loading.options) {
        if (option.Count() == 0) return "an option without a name";
        for (const char* text : option)
            if (std::strlen(text) >= TEXT_SIZE) return "option text too long";
    }
    DWORD untouched = 7;
    if (loading.options.GetOptionValues("", nullptr, &untouched) || untouched != 7) return "an empty name answered";
    for (const char* name : {"MFG", "PRN", "UNPAV", "mfg"}) {
        DWORD needed = 0;
        loading.options.GetOptionValues(name, nullptr, &needed);
        std::vector<char> values(needed + 1, '\x7f');
        DWORD size = static_cast<DWORD>(values.size());
        int ok = loading.options.GetOptionValues(name, values.data(), &size);
        if (size != needed) return "the value list changed size between two queries";
        if (needed > 0 && (!ok || !ListClosedInside(values.data(), needed))) return "value list not closed";
        if (needed > COptionList::VALUES_SIZE + 1) return "value list larger than its working area";
    }

    CPrinterList printers;
    int count = loading.BuildListOfInstalledPrinters(printers);
    if (count != static_cast<int>(m.spooler.printers.size())) return "not every printer was listed";
    for (const CPrinterEntry& p : printers) {
        if (p.isListed == p.isKept) return "listed and kept are not opposite";
        if (!p.isListed && !loading.options.HasOption("UNPAV") && !loading.options.HasOption("MFG") &&
            !loading.options.HasOption("PRN"))
            return "an unfiltered printer was hidden";
    }
    return std::string();
}

// Input: the text of a registry.reg file. It loads or is refused with a MachineError; what loads saves to a
// text that loads and saves to the same bytes again.
inline std::string RunRegistryInput(simwin::Machine&, const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    simwin::Registry first;
    try {
        first.loadReg(text, "fuzz.reg");
    } catch (const simwin::MachineError&) {
        return std::string();
    }
    std::string saved = first.saveReg();
    simwin::Registry second;
    try {
        second.loadReg(saved, "saved.reg");
    } catch (const simwin::MachineError& e) {
        return std::string("a saved registry does not load: ") + e.what();
    }
    if (second.saveReg() != saved) return "a saved registry saves differently";
    return std::string();
}

// The text of a machine directory's machine.ini: it loads or is refused with a message naming the file and
// line or the section; what loads saves as a machine directory, which loads and saves again to the same
// machine.ini.
inline std::string RunMachineInput(simwin::Machine&, const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<simwin::Machine> first;
    try {
        first = simwin::Machine::fromIni(text, "machine.ini");
    } catch (const simwin::MachineError& e) {
        if (std::string(e.what()).rfind("machine.ini", 0) != 0 && std::string(e.what()).find('[') == std::string::npos)
            return std::string("a refusal that names neither the file nor the section: ") + e.what();
        return std::string();
    }
    // In memory when it can be (/dev/shm): the save and load go through the host's files as always, without
    // a disk's inode and journal work for every input.
    static const std::string dir =
        (::access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::filesystem::temp_directory_path().string()) +
        "/korun-fuzz-machine-" + std::to_string(static_cast<long>(::getpid()));
    const std::string saved = first->saveIni();
    std::unique_ptr<simwin::Machine> second;
    try {
        first->save(dir);
        second = simwin::Machine::load(dir);
    } catch (const simwin::MachineError& e) {
        return std::string("a saved machine does not load: ") + e.what() + "\n" + saved;
    }
    std::filesystem::remove_all(dir);
    if (second->saveIni() != saved) return "a saved machine saves differently:\n" + saved;
    return std::string();
}

// The text of a machine RECIPE (korun04-sim --build-machine): it builds or is refused with a message naming the
// RECIPE; on what builds, every local printer's driver and port are installed and every driver's INF is there.
inline std::string RunMachineRecipeInput(simwin::Machine&, const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<simwin::Machine> m;
    try {
        m = machinebuilder::BuildFromRecipe(text, "recipe.ini", nullptr);
    } catch (const machinebuilder::BuildError& e) {
        if (std::string(e.what()).find("recipe.ini") == std::string::npos)
            return std::string("a refusal that does not name the RECIPE: ") + e.what();
        return std::string();
    }
    std::set<std::string> ports;
    for (const simwin::Port& p : m->spooler.allPorts(m->system)) ports.insert(p.name);
    for (const simwin::Printer& p : m->spooler.printers) {
        if (!m->spooler.findDriver(p.driver, m->system.localEnvironment)) return "a printer on a driver not installed: " + p.name;
        if (!ports.count(p.port)) return "a printer on a port not installed: " + p.name;
    }
    for (const simwin::PrinterDriver& d : m->spooler.drivers)
        if (!d.inf.empty() && !m->files.exists(d.inf)) return "a driver whose INF is not there: " + d.name;
    return std::string();
}

// A user file of korun04-sim: it is read or refused with a message naming its line; what is read writes
// back (one describe() line per action) as a file that reads as the same actions.
inline std::string RunUserFileInput(simwin::Machine&, const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<simwin::UserAction> actions;
    try {
        actions = simwin::ScriptedUser::parse(text, "user.txt");
    } catch (const std::runtime_error& e) {
        if (std::string(e.what()).rfind("user.txt:", 0) != 0) return std::string("a refusal without the file: ") + e.what();
        return std::string();
    }
    std::string written;
    for (const simwin::UserAction& a : actions) written += a.describe() + "\n";
    std::vector<simwin::UserAction> again;
    try {
        again = simwin::ScriptedUser::parse(written, "written.txt");
    } catch (const std::runtime_error& e) {
        return std::string("a written user file is refused: ") + e.what();
    }
    if (again.size() != actions.size()) return "a written user file has another number of actions";
    for (size_t i = 0; i < actions.size(); ++i)
        if (again[i].describe() != actions[i].describe()) return "an action reads back differently: " + actions[i].describe();
    return std::string();
}

// The keys and directories Windows needs that the removal items must leave: sentinels that only they hold.
inline const char* const* RemovalSentinelKeys() {
    static const char* const keys[] = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                                       "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Spooler",
                                       "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{00000000-0000-0000-0000-000000000001}",
                                       "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", nullptr};
    return keys;
}
inline const char* const* RemovalSentinelDirs() {
    static const char* const dirs[] = {"C:\\Windows\\System32\\drivers", "C:\\Windows\\System32\\spool\\drivers\\x64",
                                       "C:\\Program Files", "C:\\Users\\Admin", nullptr};
    return dirs;
}

// A fresh machine with the sentinels, built once: every input runs on a copy of its registry and files (what
// the removers change), so that each starts from the same machine without building one.
inline const simwin::Machine& RemovalItemsMachine() {
    static const std::unique_ptr<simwin::Machine> base = [] {
        auto m = std::make_unique<simwin::Machine>();
        for (const char* const* k = RemovalSentinelKeys(); *k; ++k) m->registry.setString(*k, "sentinel", "1");
        for (const char* const* d = RemovalSentinelDirs(); *d; ++d) m->files.writeFile(std::string(*d) + "\\sentinel.txt", "keep");
        return m;
    }();
    return *base;
}

// Makes m the machine of RemovalItemsMachine again: its registry and files (what the removers change), with the
// logs of the run emptied.
inline void PutBackRemovalItemsMachine(simwin::Machine& m) {
    const simwin::Machine& base = RemovalItemsMachine();
    m.registry = base.registry;
    m.files = base.files;
    m.transcript.lines.clear();
    m.spooler.calls.clear();
}

// Whether m holds the sentinels (a machine put back by PutBackRemovalItemsMachine), the first of each kind.
inline bool HoldsRemovalSentinels(const simwin::Machine& m) {
    return m.registry.hasValue(RemovalSentinelKeys()[0], "sentinel") &&
           m.files.exists(std::string(RemovalSentinelDirs()[0]) + "\\sentinel.txt");
}

// The removers on a profile's lists made of the input; the keys and directories Windows needs must all be there
// afterwards.
inline std::string RemoveItemsOfInput(simwin::Machine& m, const uint8_t* data, size_t size) {
    simwin::MachineScope scope(m);
    CUninstallDatabase database;
    CTextResources texts;
    CTextList direct, search;
    direct.Add("C:\\Windows\\System32\\");
    search.Add("C:\\Windows\\System32\\spool\\drivers\\x64\\");
    CRemovalContext context{&database, NULL, COSVersion(), &texts, &direct, &search, 0, {}, {}};
    context.osVersion.Detect();
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (line.size() < 2 || line[1] != ' ' || line.find('\0') != std::string::npos) continue;
        std::string item = line.substr(2);
        CUninstallProfile& r = database.removal;
        CTextList* list = line[0] == 'R' ? &r.registryKeys : line[0] == 'I' ? &r.deleteIni : line[0] == 'L' ? &r.deleteLoadRun
                          : line[0] == 'F' ? &r.files : line[0] == 'O' ? &r.oemPaths : nullptr;
        if (list) list->Add(item.c_str());
    }
    CKeeper keeper;
    keeper.Learn(database, context.osVersion, direct, search);
    context.keeper = &keeper;
    RemoveRegistryKeys(context);
    RemoveIniEntries(context);
    RemoveLoadRunEntries(context);
    RemoveFiles(context);
    for (const char* const* k = RemovalSentinelKeys(); *k; ++k)
        if (!m.registry.find(*k)) return std::string("a key Windows needs was deleted: ") + *k;
    for (const char* const* d = RemovalSentinelDirs(); *d; ++d)
        if (!m.files.exists(*d)) return std::string("a directory Windows needs was removed: ") + *d;
    return std::string();
}

// Lines of a removal profile's lists, as a script could name them: "R " registry item, "I " INI item,
// "L " load/run item, "F " file, "O " OEM path. The removers run on the machine of RemovalItemsMachine; the
// keys and directories Windows needs must all be there afterwards. m is put back at the end (the fuzz target's
// machine then starts the next input as it is, and an input leaves the heap as it found it: libFuzzer has no
// leak to look for); a machine without the sentinels is made the machine of RemovalItemsMachine first.
inline std::string RunRemovalItemsInput(simwin::Machine& m, const uint8_t* data, size_t size) {
    if (!HoldsRemovalSentinels(m)) PutBackRemovalItemsMachine(m);
    const std::string broken = RemoveItemsOfInput(m, data, size);
    PutBackRemovalItemsMachine(m);
    return broken;
}


// What the administrator's options must look like after a parse that accepted them.
inline std::string CheckAcceptedOptions(const CRunOptions& o) {
    auto plainText = [](const std::string& t) {
        return !t.empty() && t.size() < static_cast<size_t>(TEXT_SIZE) && t.find('"') == std::string::npos &&
               t.find('\0') == std::string::npos;
    };
    if (o.mode == CRunOptions::MODE_QUIET && !o.selectGiven) return "/QUIET accepted without /SELECT";
    if (o.selectAll && !o.selectNames.empty()) return "ALL accepted beside names";
    if (o.selectGiven && !o.selectAll && o.selectNames.empty()) return "an empty /SELECT accepted";
    for (const std::string& name : o.selectNames)
        if (!plainText(name)) return "a printer name that is empty, too long or quoted: " + name;
    if (!o.logPath.empty() && !plainText(o.logPath)) return "a bad /LOG path accepted";
    if ((o.mode == CRunOptions::MODE_PLAN) != !o.planPath.empty()) return "the plan mode and its path disagree";
    if (!o.planPath.empty() && !plainText(o.planPath)) return "a bad /PLAN path accepted";
    if ((o.mode == CRunOptions::MODE_REPORT) != !o.reportFolder.empty() || o.reportFolder.empty() != o.outPath.empty())
        return "the report mode, its folder and its page disagree";
    return std::string();
}

// The accepted options written back as a command line: it reads as the same options.
inline std::string WriteOptions(const CRunOptions& o) {
    std::string line = "korun04.exe";
    if (o.mode == CRunOptions::MODE_QUIET) line += " /QUIET";
    if (o.selectAll) line += " /SELECT:ALL";
    if (!o.selectNames.empty()) {
        line += " /SELECT:";
        for (size_t i = 0; i < o.selectNames.size(); ++i) line += (i ? ",\"" : "\"") + o.selectNames[i] + "\"";
    }
    if (o.restart) line += " /RESTART";
    if (!o.logPath.empty()) line += " /LOG:\"" + o.logPath + "\"";
    if (!o.planPath.empty()) line += " /PLAN:\"" + o.planPath + "\"";
    if (!o.capturePath.empty()) line += " /CAPTURE:\"" + o.capturePath + "\"";
    if (!o.reportFolder.empty()) line += " /REPORT:\"" + o.reportFolder + "\" /OUT:\"" + o.outPath + "\"";
    return line;
}

// A run made of the options of m's command tail: its log opens (or is dropped), a bad command line of an
// unattended mode is logged and ends with 87, and message boxes are answered unseen.
inline std::string CheckRunOfOptions(simwin::Machine& m, const CRunOptions& o, bool accepted) {
    {
        CAdminRun run;
        if (DialogsHidden() != run.IsUnattended()) return "the dialogs are not hidden exactly in the unattended modes";
        if (run.IsUnattended()) {
            if (RunMessageBox(NULL, "text", "caption", MB_YESNO) != IDNO) return "an unattended question was not answered No";
            if (RunMessageBox(NULL, "text", "caption", MB_YESNO, QUIET_ANSWER_RESTART) != (run.options.restart ? IDYES : IDNO))
                return "the restart question did not follow /RESTART";
            if (RunMessageBox(NULL, "text", "caption", MB_OK) != IDOK) return "an unattended box was not answered OK";
            if (m.transcript.count("message box")) return "an unattended message box was shown";
        }
        const int code = run.ExitCode(1);
        if (run.IsUnattended() && !accepted && code != 87) return "a bad command line did not end with 87";
        if (!run.IsUnattended() && code != 1) return "the interactive mode changed its exit code";
        if (run.log.IsOpen()) {
            const std::string path = run.log.Path();
            run.log.Close();
            const std::string text = m.files.read(path);
            if (text.rfind("==== korun04 ", 0) != 0) return "the log does not begin with its header";
            // The log writes a line break of the reason as "\n" and drops carriage returns.
            std::string reason;
            for (char c : o.error.substr(0, 40)) reason += c == '\n' ? std::string("\\n") : c == '\r' ? std::string() : std::string(1, c);
            if (run.IsUnattended() && !accepted && text.find("bad command line: " + reason) == std::string::npos)
                return "the log does not say why the command line is bad";
            DeleteFileA(path.c_str());  // the machine lives for the whole fuzzing run
        }
    }
    if (DialogsHidden()) return "the dialogs stay hidden after the run";
    return std::string();
}

// Input: the bytes of a command tail (a NUL ends it). The administrator's options are parsed, checked,
// written back and parsed again; then a run is made of them on m: its log opens (or is dropped), a bad
// command line of an unattended mode is logged and ends with 87, and message boxes are answered unseen.
inline std::string RunRunOptionsInput(simwin::Machine& m, const uint8_t* data, size_t size) {
    std::string tail(reinterpret_cast<const char*>(data), size);
    tail = tail.substr(0, tail.find('\0'));
    const std::string line = "\"C:\\Program Files\\Vestral\\korun04.exe\" " + tail;
    CRunOptions o;
    const bool accepted = o.Parse(line.c_str());
    if (accepted != o.error.empty()) return "the result and the reason disagree";
    CRunOptions again;
    again.Parse(line.c_str());
    if (again.error != o.error || again.mode != o.mode || again.selectNames != o.selectNames) return "a second parse differs";
    if (accepted) {
        std::string broken = CheckAcceptedOptions(o);
        if (!broken.empty()) return broken;
        CRunOptions written;
        if (!written.Parse(WriteOptions(o).c_str())) return "the written options are refused: " + written.error;
        if (written.mode != o.mode || written.selectAll != o.selectAll || written.selectNames != o.selectNames ||
            written.restart != o.restart || written.logPath != o.logPath || written.planPath != o.planPath ||
            written.reportFolder != o.reportFolder || written.outPath != o.outPath)
            return "the written options read differently: " + WriteOptions(o);
    }

    // The machine lives for the whole fuzzing run: what the run adds to it (its message boxes, its event) goes
    // again before the input ends, so that an input leaves the heap as it found it and libFuzzer has no leak
    // to look for.
    m.system.commandTail = tail;
    m.transcript.lines.clear();
    const size_t events = m.eventLog.events.size();
    const std::string broken = CheckRunOfOptions(m, o, accepted);
    m.eventLog.events.resize(events);
    m.transcript.lines.clear();
    return broken;
}

// What a backup set holds, read back as outside input: the first byte chooses the reader (the journal, the
// state of a removal, a record, registry text). Whatever reads without an error writes back to text that reads
// to the same thing.
inline std::string RunBackupSetInput(simwin::Machine&, const uint8_t* data, size_t size) {
    if (!size) return std::string();
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string error;
    switch (data[0] % 4) {
    case 0: {
        const CJournalText journal = ParseJournal(text);
        for (const CJournalItem& item : journal.items)
            if (!item.number || item.stage > 17) return "a journal item without its number or with a stage beyond 17";
        return std::string();
    }
    case 1: {
        CUninstallDatabase database;
        CRemovalContext context{};
        int stage = 0;
        if (!ReadRemovalState(text, database, context, stage, error)) return error.rfind("line ", 0) == 0 ? "" : "an error without its line: " + error;
        const std::string written = WriteRemovalState(database, context, stage);
        CUninstallDatabase again;
        CRemovalContext againContext{};
        int againStage = 0;
        if (!ReadRemovalState(written, again, againContext, againStage, error)) return "a written state does not read: " + error;
        if (WriteRemovalState(again, againContext, againStage) != written) return "a state reads back differently";
        return std::string();
    }
    case 2: {
        CBackupRecord record;
        if (!record.Parse(text, error)) return std::string();
        CBackupRecord again;
        if (!again.Parse(record.Text(), error)) return "a written record does not read: " + error;
        if (again.Text() != record.Text()) return "a record reads back differently";
        return std::string();
    }
    default: {
        std::vector<CRegistryTextKey> keys;
        ParseRegistryText(text, keys, error);
        return std::string();
    }
    }
}

// The keys in root\path and below it.
inline size_t CountKeys(HKEY root, const std::string& path) {
    HKEY key = NULL;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    size_t count = 1;
    char child[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, child, sizeof child) == ERROR_SUCCESS; ++i) count += CountKeys(root, path + "\\" + child);
    RegCloseKey(key);
    return count;
}

// Whether a text read back names exactly the keys and values below HKCU\base that the registry holds.
inline std::string SameAsRegistry(const std::string& text, const std::string& base, size_t expectedKeys) {
    std::vector<CRegistryTextKey> keys;
    std::string error;
    if (!ParseRegistryText(text, keys, error)) return "an export does not read back: " + error;
    if (keys.size() != expectedKeys) return "an export reads back as " + std::to_string(keys.size()) + " keys";
    for (const CRegistryTextKey& k : keys) {
        if (k.root != HKEY_CURRENT_USER || (k.subKey != base && k.subKey.compare(0, base.size() + 1, base + "\\") != 0))
            return "an export names a key outside its own: " + k.subKey;
        HKEY key = NULL;
        if (RegOpenKeyExA(k.root, k.subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "an export names a key that is not there";
        for (const CRegistryTextValue& v : k.values) {
            DWORD type = 0, size = 0;
            std::vector<BYTE> data(v.data.size() + 1);
            size = static_cast<DWORD>(data.size());
            const LONG r = RegQueryValueExA(key, v.name.empty() ? NULL : v.name.c_str(), NULL, &type, data.data(), &size);
            if (r != ERROR_SUCCESS || type != v.type || std::string(reinterpret_cast<char*>(data.data()), size) != v.data) {
                RegCloseKey(key);
                return "an export reads back a value other than the registry's";
            }
        }
        RegCloseKey(key);
    }
    return std::string();
}

// Input: a byte n and n bytes of a key name, a byte m and m bytes of a value name, then the bytes of a string.
// The key is made below the family's key in HKEY_CURRENT_USER with that value; its export (the whole key,
// and the value alone) is refused with a reason or reads back as exactly those keys and values.
inline std::string RunRegTextInput(simwin::Machine&, const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t at = 0;
    auto take = [&]() {
        const size_t n = at < input.size() ? static_cast<unsigned char>(input[at++]) : 0;
        const std::string part = input.substr(std::min(at, input.size()), n);
        at = std::min(input.size(), at + n);
        return std::string(part.c_str());  // the ANSI calls see a name up to its first NUL
    };
    const std::string keyName = take(), valueName = take(), bytes = input.substr(at);
    const std::string base = "SOFTWARE\\VESTRAL\\Fuzz";
    const std::string path = keyName.empty() ? base : base + "\\" + keyName;
    DeleteRegistryTree(HKEY_CURRENT_USER, base.c_str());
    HKEY key = NULL;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return std::string();
    const LONG set = RegSetValueExA(key, valueName.empty() ? NULL : valueName.c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    std::string broken;
    std::string text = RegistryTextHeader(), why;
    if (!ExportRegistryKey(HKEY_CURRENT_USER, base.c_str(), text, &why)) {
        if (why.empty()) broken = "a key that is there is not exported and not refused";
    } else {
        broken = SameAsRegistry(text, base, CountKeys(HKEY_CURRENT_USER, base));
    }
    std::string valueText = RegistryTextHeader(), valueWhy;
    if (broken.empty() && set == ERROR_SUCCESS) {
        if (!ExportRegistryValue(HKEY_CURRENT_USER, path.c_str(), valueName.c_str(), valueText, &valueWhy)) {
            if (valueWhy.empty()) broken = "a value that is there is not exported and not refused";
        } else {
            broken = SameAsRegistry(valueText, base, 1);
        }
    }
    DeleteRegistryTree(HKEY_CURRENT_USER, base.c_str());
    return broken;
}

// The bytes of a log (logs, if the input holds "\f", one log per part): read, made into a fleet, written as the
// page and the CSV. Every run is one machine's or another's, the page is UTF-8 whatever the bytes were, no text
// of a log makes markup, and the CSV has one record per machine besides its header.
inline std::string RunLogReaderInput(simwin::Machine&, const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    LogFolder folder;
    size_t runs = 0;
    for (size_t at = 0, n = 0; at <= bytes.size(); ++n) {
        size_t end = bytes.find('\f', at);
        if (end == std::string::npos) end = bytes.size();
        folder.logs.push_back(ReadLogText(bytes.substr(at, end - at), "C:\\logs\\log" + std::to_string(n) + ".log"));
        runs += folder.logs.back().runs.size();
        at = end + 1;
    }
    const Fleet fleet = MakeFleet(folder);
    unsigned machines = 0;
    for (unsigned n : fleet.byOutcome) machines += n;
    if (machines != fleet.machines.size()) return "the outcomes do not add up to the machines";
    if (fleet.runs != runs) return "a run was lost or counted twice";
    const std::string page = FleetHtml(fleet);
    if (!IsValidUtf8(page)) return "the page is not UTF-8";
    auto count = [&page](const char* what) {
        size_t n = 0;
        for (size_t at = page.find(what); at != std::string::npos; at = page.find(what, at + 1)) ++n;
        return n;
    };
    if (count("<script") != 1 || count("<tr data-outcome=") != OUTCOME_COUNT + fleet.machines.size() || count("<img") ||
        count("<a "))
        return "a text of the log made markup";
    const std::string csv = FleetCsv(fleet);
    size_t records = 0;
    bool quoted = false;
    for (size_t i = 0; i < csv.size(); ++i) {
        if (csv[i] == '"') quoted = !quoted;
        if (!quoted && csv.compare(i, 2, "\r\n") == 0) ++records;
    }
    if (quoted || records != fleet.machines.size() + 1) return "the CSV does not have one record per machine";
    return "";
}

}  // namespace fuzz

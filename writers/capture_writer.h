// CCaptureWriter: the machine the tool runs on, written as a machine directory (docs/machine-format.md) for
// the simulator, so that `korun04-sim --machine FOLDER --plan` shows what /PLAN shows here. It holds what
// the tool reads and what the scripts name, and nothing else:
//
//   machine.ini   [system], [layout] (the folders as this machine names them), [spooler], the printers
//                 (level 2, their family and Pavane printer data, UniqueID), the drivers of every
//                 environment, the monitors and their ports, the print processors, the services the scripts
//                 name, the USB and USBPRINT device nodes, and one [file] per captured file whose attributes
//                 or protection the safety rules read
//   registry.reg  the keys the tool reads and those the scripts name, each with its subtree, bounded
//   drive/...     the scripts, win.ini, system.ini and the INI files the scripts name, the OEM INF files (their
//                 text); every other file the tool would meet (a listed file where the file removal looks, a
//                 driver's, monitor's, processor's or service's program, the OEM directories, the program
//                 groups) as an empty file
//   capture.txt   what was captured, from where, and what a bound cut
//
// It only reads the machine: no spooler restart, no window closed, nothing written outside the folder.
// Text goes as this machine's ANSI bytes (names outside ASCII stay in its code page).
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/platform.h"
#include "script/database.h"

class CCaptureWriter {
public:
    // Bounds: a registry subtree stops at this depth below the key named, the registry at this many keys in
    // all; a folder walk at this many files. capture.txt says where a bound cut.
    static const int kRegistryDepth = 8;
    static const size_t kRegistryKeys = 20000;
    static const size_t kFiles = 20000;

    CCaptureWriter() = default;
    ~CCaptureWriter();
    CCaptureWriter(const CCaptureWriter&) = delete;
    CCaptureWriter& operator=(const CCaptureWriter&) = delete;

    // Captures the machine into folder (made when missing). False, with why, when the folder cannot be made
    // or written; the machine itself is never changed.
    bool Write(const std::string& folder, std::string& why);
    // The lines of capture.txt (also after a failure: what was done until then).
    const std::vector<std::string>& Report() const { return report; }

private:
    struct CapturedFile {
        std::string path;
        bool withText = false;  // its text goes into drive/ (scripts, INI and INF files)
    };

    void LearnScripts();
    void CaptureSystem();
    void CaptureLayout();
    void CaptureSpooler();
    void CapturePrinters();
    void PrinterSection(const PRINTER_INFO_2A& printer);
    void PrinterData(HANDLE printer, const char* name);
    void CaptureDrivers();
    void CaptureMonitorsAndPorts();
    void CaptureProcessors();
    void CaptureServices();
    void ServiceSection(const char* name, const QUERY_SERVICE_CONFIGA& config);
    void CaptureDevices();
    void CaptureRegistry();
    void CaptureStartupPrograms();
    void CaptureNamedFiles();
    void CaptureIniFiles();
    void CaptureOemInfs();

    void Section(const std::string& name);
    void Key(const std::string& key, const std::string& value);
    void AddFile(const std::string& path, bool withText = false);
    void AddFolderTree(const std::string& folder, int depth);
    void AddMatches(const std::string& folder, const std::string& name, int depth);
    void AddRegistryTree(HKEY root, const std::string& subKey, int depth);
    bool WriteOut(const std::string& folder, std::string& why);
    std::string FileSection(const std::string& path);
    bool IsProtected(const std::string& path);
    void Note(const std::string& line) { report.push_back(line); }

    CUninstallDatabase database;
    CTextList scripts;
    // Everything the scripts name, over every profile (ignore profiles too).
    CUninstallProfile named;
    std::string windowsDir, systemDir, programPath;
    std::string colorDir;  // as the file removal names it: ending in a backslash
    bool winNT = false;

    std::string ini;       // machine.ini
    std::string registry;  // registry.reg
    std::vector<CapturedFile> files;
    std::set<std::string> fileKeys;      // lower-cased full paths already captured
    std::set<std::string> registryKeys;  // lower-cased keys already exported
    size_t registryCount = 0;
    bool registryCut = false, filesCut = false;
    std::vector<std::string> report;
    void* sfcIsFileProtected = nullptr;
    HMODULE sfcLibrary = NULL;
};

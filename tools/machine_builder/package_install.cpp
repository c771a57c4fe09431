// A driver package installed as Windows's printer installer does it: the maker's folder (its INF and files)
// lies in the temporary folder, SetupCopyOEMInfA publishes the INF, the files are copied into the driver
// directory of each environment, AddPrinterDriverExA installs the driver with the published INF's path, and
// the folder goes.
#include <cctype>
#include <cstring>
#include <vector>

#include "tools/machine_builder/machine_builder.h"
#include "tools/machine_builder/win32_steps.h"

namespace machinebuilder {

namespace {

using namespace steps;

bool IsCoreFile(const std::string& name) { return name.rfind("3\\", 0) == 0; }

// The files the maker ships, each once, in the order the driver names them.
std::vector<std::string> ShippedFiles(const Package& p) {
    std::vector<std::string> files;
    std::vector<std::string> all = {p.driverFile, p.dataFile, p.configFile, p.helpFile};
    all.insert(all.end(), p.dependents.begin(), p.dependents.end());
    for (const std::string& f : all) {
        if (f.empty() || IsCoreFile(f)) continue;
        bool seen = false;
        for (const std::string& s : files) seen = seen || simwin::iequals(s, f);
        if (!seen) files.push_back(f);
    }
    return files;
}

// The install section's name: the driver file's name without its extension, in capitals ("VXDRV").
std::string InstallSection(const Package& p) {
    std::string stem = BaseName(p.driverFile);
    stem = stem.substr(0, stem.find('.'));
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return stem.empty() ? "DRIVER" : stem;
}

// The INF a maker writes for one model: the printer class, the files copied into the driver directory
// (DestinationDirs 66000), and the model's name in [Strings] as PrinterName1.
std::string InfText(const Package& p, const std::vector<std::string>& shipped) {
    const std::string section = InstallSection(p);
    std::string t = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
                    "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\nProvider=%Provider%\r\n"
                    "DriverVer=04/01/2021,4.2.0.0\r\nCatalogFile=" + section + ".cat\r\n\r\n";
    t += "[Manufacturer]\r\n%Manufacturer%=Models,NTamd64\r\n\r\n[Models.NTamd64]\r\n%PrinterName1%=" + section + "\r\n\r\n";
    t += "[" + section + "]\r\nCopyFiles=" + section + "_FILES\r\nDriverFile=" + BaseName(p.driverFile) + "\r\n";
    if (!p.dataFile.empty()) t += "DataFile=" + BaseName(p.dataFile) + "\r\n";
    if (!p.configFile.empty()) t += "ConfigFile=" + BaseName(p.configFile) + "\r\n";
    if (!p.helpFile.empty()) t += "HelpFile=" + BaseName(p.helpFile) + "\r\n";
    t += "\r\n[" + section + "_FILES]\r\n";
    for (const std::string& f : shipped) t += f + "\r\n";
    t += "\r\n[DestinationDirs]\r\nDefaultDestDir=66000\r\n\r\n[SourceDisksNames.amd64]\r\n1=%Disk1%,,,\r\n\r\n"
         "[SourceDisksFiles.amd64]\r\n";
    for (const std::string& f : shipped) t += f + "=1\r\n";
    t += "\r\n[Strings]\r\nProvider=\"" + p.provider + "\"\r\nManufacturer=\"" + p.manufacturer + "\"\r\nDisk1=\"" +
         p.manufacturer + " Driver Disk\"\r\nPrinterName1=\"" + p.name + "\"\r\n";
    return t;
}

// The published INF's compiled form beside it, when SetupCopyOEMInfA left none: Windows writes it with the INF.
void EnsurePnf(const std::string& inf) {
    const std::string pnf = inf.substr(0, inf.size() - 4) + ".pnf";
    if (GetFileAttributesA(pnf.c_str()) == INVALID_FILE_ATTRIBUTES) WriteMachineFile(pnf, "PNF");
}

// Publishes the maker's INF from its folder: the full path of the oemN.inf it became.
std::string PublishInf(const std::string& folder, const std::string& infName) {
    const std::string source = folder + "\\" + infName;
    char published[MAX_PATH] = "";
    DWORD needed = 0;
    Check(SetupCopyOEMInfA(source.c_str(), folder.c_str(), SPOST_PATH, 0, published, sizeof published, &needed, nullptr),
          "SetupCopyOEMInfA " + source);
    EnsurePnf(published);
    return published;
}

// A multi-string of the dependent files' names.
std::string DependentList(const Package& p) {
    std::string list;
    for (const std::string& f : p.dependents) list += BaseName(f) + '\0';
    return list + '\0';
}

// A file as the driver record names it: the full path in the driver directory (the version-3 folder for a core
// file); "" stays empty.
std::string InDirectory(const std::string& dir, const std::string& name) {
    return name.empty() ? "" : dir + "\\" + name;
}

// A model's GPD file as Windows's unidrv models have one: its name, the standard names it includes.
std::string GpdText(const std::string& model) {
    return "*GPDFileVersion: \"1.0\"\r\n*GPDSpecVersion: \"1.0\"\r\n*ModelName: \"" + model +
           "\"\r\n*Include: \"StdNames.gpd\"\r\n";
}

// A driver of Windows's own takes its files from Windows's package: the core files are there already, a model's
// own files (its GPD) are copied into the version-3 folder beside them.
void CopyInboxModelFiles(const Package& p, const std::string& dir) {
    std::vector<std::string> all = {p.driverFile, p.dataFile, p.configFile, p.helpFile};
    all.insert(all.end(), p.dependents.begin(), p.dependents.end());
    for (const std::string& f : all) {
        const std::string path = dir + "\\" + f;
        if (!IsCoreFile(f) || GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        const std::string stem = BaseName(f), ext = stem.size() > 4 ? stem.substr(stem.size() - 4) : "";
        WriteMachineFile(path, simwin::iequals(ext, ".gpd") ? GpdText(p.name) : "MZ");
    }
}

}  // namespace

MachineBuilder& MachineBuilder::DriverPackage(const Package& package) {
    simwin::MachineScope scope(*m_);
    if (package.name.empty() || package.driverFile.empty())
        throw BuildError("a driver package needs a name and a driver file");
    const bool nt = m_->system.platform == simwin::Platform::Nt;
    std::string inf;
    if (package.inbox) {
        inf = package.inf.empty() ? "" : WindowsDirectory() + "\\INF\\" + package.inf;
        if (!inf.empty() && GetFileAttributesA(inf.c_str()) == INVALID_FILE_ATTRIBUTES)
            throw BuildError("the driver \"" + package.name + "\" comes from " + inf + ", which Windows does not have here");
    }
    const std::vector<std::string> shipped = ShippedFiles(package);
    const bool published = !package.inbox && nt;
    const std::string folder = TempDirectory() + "\\" + InstallSection(package);
    for (const std::string& f : shipped) WriteMachineFile(folder + "\\" + f, "MZ");
    if (published) {
        const std::string infName = package.inf.empty() ? InstallSection(package) + ".inf" : package.inf;
        WriteMachineFile(folder + "\\" + infName, InfText(package, shipped));
        inf = PublishInf(folder, infName);
        published_[package.name] = inf;
    }
    const std::vector<std::string> environments = package.environments.empty() ? std::vector<std::string>{""}
                                                                                  : package.environments;
    for (const std::string& environment : environments) {
        const std::string dir = DriverDirectory(environment);
        for (const std::string& f : shipped)
            Check(CopyFileA((folder + "\\" + f).c_str(), (dir + "\\" + f).c_str(), FALSE), "CopyFileA " + f);
        if (package.inbox) CopyInboxModelFiles(package, dir);
        InstallDriver(package, environment, inf);
    }
    if (!shipped.empty() || published) RemoveFolder(folder);
    return *this;
}

void MachineBuilder::InstallDriver(const Package& p, const std::string& environment, const std::string& inf) {
    const std::string dir = DriverDirectory(environment);
    std::string name = p.name, env = environment, file = InDirectory(dir, p.driverFile), data = InDirectory(dir, p.dataFile),
                config = InDirectory(dir, p.configFile), help = InDirectory(dir, p.helpFile), dependents = DependentList(p),
                monitor = p.monitor, mfg = p.manufacturer, provider = p.provider, processor = p.processor, infPath = inf;
    auto text = [](std::string& s) { return s.empty() ? nullptr : &s[0]; };
    DRIVER_INFO_8A d;
    std::memset(&d, 0, sizeof d);
    d.cVersion = m_->system.platform == simwin::Platform::Nt && environment != "Windows 4.0" ? 3 : 0;
    d.pName = &name[0];
    d.pEnvironment = text(env);
    d.pDriverPath = &file[0];
    d.pDataFile = data.empty() ? &file[0] : &data[0];
    d.pConfigFile = config.empty() ? &file[0] : &config[0];
    d.pHelpFile = text(help);
    d.pDependentFiles = &dependents[0];
    d.pMonitorName = text(monitor);
    d.pszMfgName = text(mfg);
    d.pszProvider = text(provider);
    d.pszPrintProcessor = text(processor);
    d.pszInfPath = text(infPath);
    // The 9x class knows the records up to level 3 only.
    const DWORD level = m_->system.platform == simwin::Platform::Nt ? 8 : 3;
    Check(AddPrinterDriverExA(nullptr, level, reinterpret_cast<LPBYTE>(&d), APD_COPY_NEW_FILES),
          "AddPrinterDriverExA \"" + p.name + "\"" + (environment.empty() ? "" : " (" + environment + ")"));
}

}  // namespace machinebuilder

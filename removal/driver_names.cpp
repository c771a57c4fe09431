#include "removal/driver_names.h"

#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "base/library_loading.h"

namespace {

// Whether an INF's model names ("PrinterName1", one name or a list separated by commas or semicolons, each
// perhaps in double quotes) hold the driver's name as a whole. Letter case counts.
bool NamesModel(const char* models, const char* driverName) {
    std::string all = models;
    for (size_t at = 0; at <= all.size();) {
        size_t end = all.find_first_of(",;", at);
        if (end == std::string::npos) end = all.size();
        std::string model = all.substr(at, end - at);
        model.erase(0, model.find_first_not_of(" \t\""));
        model.erase(model.find_last_not_of(" \t\"") + 1);
        if (model == driverName) return true;
        at = end + 1;
    }
    return false;
}

}  // namespace

void DriverCandidates(const CUninstallDatabase& db, CTextList& candidates) {
    for (const char* name : db.removal.drivers) candidates.Add(name);
    // The drivers of the printers that stay, looked up once for all printers.
    std::set<std::string> keptDrivers;
    for (const CPrinterEntry& p : db.printers)
        if (p.isKept) keptDrivers.insert(TextKey(p.driverName.c_str()));
    std::set<std::string> added;
    for (const CPrinterEntry& p : db.printers) {
        if (p.isKept || p.isForeign) continue;
        std::string driver = TextKey(p.driverName.c_str());
        if (!keptDrivers.count(driver) && added.insert(driver).second) candidates.Add(p.driverName.c_str());
    }
    candidates.Sort();
    candidates.Unique();
}

void FindOemInf(char* out, const char* driverName) {
    HMODULE setupapi = LoadSystemLibrary("setupapi.dll");
    if (!setupapi) return;
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    DWORD needed = 0;
    SetupGetInfFileListA(NULL, INF_STYLE_WIN4, NULL, 0, &needed);
    std::vector<char> list(needed ? needed + 2 : 2, 0);
    if (needed && SetupGetInfFileListA(NULL, INF_STYLE_WIN4, list.data(), needed, &needed)) {
        for (const char* name = list.data(); *name; name += strlen(name) + 1) {
            if (_strnicmp(name, "OEM", 3) != 0) continue;
            char path[2 * MAX_PATH];
            snprintf(path, sizeof path, "%s\\INF\\%s", windows, name);
            char models[1024] = "";
            if (GetPrivateProfileStringA("Strings", "PrinterName1", NULL, models, sizeof models, path) &&
                NamesModel(models, driverName)) {
                CopyTextN(out, name, MAX_PATH);
                break;
            }
            out[0] = 0;
        }
    }
    FreeLibrary(setupapi);
}

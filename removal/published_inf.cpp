#include "removal/published_inf.h"

#include <vector>

#include "base/library_loading.h"
#include "base/platform.h"
#include "removal/keeper_text.h"

namespace {

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// SetupGetInfPublishedNameA's answer for a store path: size query, then fetch; false with the reason.
bool AskSetupApi(SetupGetInfPublishedNameFn published, const std::string& infPath, std::string& name, std::string& why) {
    DWORD needed = 0;
    published(infPath.c_str(), NULL, 0, &needed);
    std::vector<char> buffer(needed > MAX_PATH ? needed : MAX_PATH, 0);
    if (!published(infPath.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), &needed)) {
        why = "setupapi knows no published INF of " + infPath + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    name = FileNameOf(buffer.data());
    return true;
}

}  // namespace

bool PublishedInfName(const std::string& infPath, const std::string& infDirectory, std::string& name, std::string& why) {
    const std::string directory = DirectoryOf(infPath);
    if (directory.empty() || Lower(directory) == Lower(infDirectory)) {
        name = FileNameOf(infPath);
        return true;
    }
    HMODULE setupapi = LoadSystemLibrary("setupapi.dll");
    SetupGetInfPublishedNameFn published = setupapi ? reinterpret_cast<SetupGetInfPublishedNameFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(setupapi, "SetupGetInfPublishedNameA"))) : NULL;
    bool known = false;
    if (published)
        known = AskSetupApi(published, infPath, name, why);
    else
        why = "setupapi.dll cannot tell the published INF of " + infPath;
    if (setupapi) FreeLibrary(setupapi);
    return known;
}

std::string DriverStoreCopy(const std::string& publishedInf) {
    HMODULE setupapi = LoadSystemLibrary("setupapi.dll");
    SetupGetInfDriverStoreLocationFn location = setupapi ? reinterpret_cast<SetupGetInfDriverStoreLocationFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(setupapi, "SetupGetInfDriverStoreLocationA"))) : NULL;
    char buffer[MAX_PATH] = "";
    DWORD needed = 0;
    const bool found = location && location(publishedInf.c_str(), NULL, NULL, buffer, sizeof buffer, &needed);
    if (setupapi) FreeLibrary(setupapi);
    // Before the store (Windows 7, Wine) the published INF is the only copy.
    const std::string copy = found ? buffer : "";
    return Lower(copy) == Lower(publishedInf) || GetFileAttributesA(copy.c_str()) == INVALID_FILE_ATTRIBUTES ? std::string()
                                                                                                         : copy;
}

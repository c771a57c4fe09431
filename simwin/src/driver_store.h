// The driver store of Windows 8 and later (a machine of version 6.2 or later on the NT family): every installed
// driver package keeps its INF in a folder of its own,
// C:\Windows\System32\DriverStore\FileRepository\<name>.inf_amd64_<hash>\<name>.inf, and the copy Windows
// reads from the INF directory is its published INF: oemN.inf for a third-party package, the INF's own name for
// one of Windows (ntprint.inf). The store is plain files of the machine's drive; a published INF and its store
// copy belong together when their texts are the same (a published INF without a store copy, as a machine
// written before the store has, stands alone). Private to simwin's src/.
#pragma once

#include <string>

#include "simwin/machine.h"

namespace simwin {
namespace driverstore {

// Whether the machine keeps a driver store (nt, version 6.2 or later).
bool present(const Machine& m);
std::string infDirectory(const Machine& m);
std::string repository(const Machine& m);  // ...\System32\DriverStore\FileRepository

// The store folder of an INF by its own file name and text: "<name>_amd64_<16 hex digits of the text>".
std::string folderFor(const Machine& m, const std::string& infName, const std::string& text);

// A path of the INF directory ("oem3.inf" or "C:\Windows\INF\oem3.inf") as a full path there; "" for
// another path.
std::string publishedPath(const Machine& m, const std::string& name);
// Whether a full path lies in the store's repository.
bool inStore(const Machine& m, const std::string& fullPath);

// The store copy of a published INF (its full path), "" when it has none.
std::string storeCopyOf(const Machine& m, const std::string& publishedFullPath);
// The published INF of a store copy: an oem*.inf of the same text, else the INF of its own name and text
// (Windows's own); "" when there is none.
std::string publishedOf(const Machine& m, const std::string& storeFullPath);

// Puts an INF's text into the store under its own name (nothing when it is there already); the INF's path.
std::string add(Machine& m, const std::string& infName, const std::string& text);
// Removes the store folder of a published INF (nothing when it has none).
void removeCopyOf(Machine& m, const std::string& publishedFullPath);

// What level 8 reports as pszInfPath for a driver's INF as the machine names it: with a store, the store copy
// of a published INF; else (or without a copy) the path as given.
std::string reportedInfPath(const Machine& m, const std::string& inf);

}  // namespace driverstore
}  // namespace simwin

// The INF a driver came from, under the name the INF directory publishes it. Level 8 of the spooler names
// that INF (pszInfPath): Windows 8 and later give the driver store's copy
// (...\DriverStore\FileRepository\vxdrv.inf_amd64_<hash>\vxdrv.inf), for Windows's own drivers and another
// maker's alike; older Windows and Wine give the published INF itself (C:\Windows\INF\oem3.inf). Whose a
// driver is shows in the published name: oemN.inf for a third-party package, the INF's own name for one of
// Windows; setupapi's SetupGetInfPublishedNameA tells it for a store copy.
#pragma once

#include <string>

// The published file name (no directory) of the INF at infPath. A path of the INF directory (infDirectory)
// or a bare name is its own published INF and is taken as it is; another path is asked of setupapi. False,
// with a sentence for the log in why, when setupapi cannot tell (no such function, or no published INF).
bool PublishedInfName(const std::string& infPath, const std::string& infDirectory, std::string& name, std::string& why);

// The driver store's copy of a published INF (C:\Windows\INF\oem3.inf), "" where there is none (a Windows
// before the store, Wine, or an INF the store does not hold).
std::string DriverStoreCopy(const std::string& publishedInf);

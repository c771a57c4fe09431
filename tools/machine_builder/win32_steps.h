// The small Win32 steps the builder is made of, each on the current machine, each failing with a BuildError
// that names the step and Windows's error.
#pragma once

#include <string>

#include "simwin/win32.h"

namespace machinebuilder {
namespace steps {

// Throws BuildError "STEP: Windows error N" (the last error) when ok is false.
void Check(bool ok, const std::string& step);

std::string WindowsDirectory();
std::string SystemDirectory();
std::string TempDirectory();  // without its trailing backslash
// The printer-driver and print-processor directories of an environment ("" : the local one).
std::string DriverDirectory(const std::string& environment);
std::string ProcessorDirectory(const std::string& environment);

// Every folder of a full path, from the drive down.
void MakeDirectories(const std::string& dir);
// A file of the machine, its folders made, its content replaced.
void WriteMachineFile(const std::string& path, const std::string& content);
// Removes a folder and the files in it (not below).
void RemoveFolder(const std::string& dir);

// The predefined key of a full key path's root ("HKEY_LOCAL_MACHINE" or "HKLM" ...) and the path below it.
HKEY SplitRoot(const std::string& key, std::string& below);

// Whether EnumPortsA lists the port.
bool PortListed(const std::string& port);

// The name's last component ("3\unidrv.dll" -> "unidrv.dll").
std::string BaseName(const std::string& path);

}  // namespace steps
}  // namespace machinebuilder

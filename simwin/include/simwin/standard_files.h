// The files of Windows itself that every machine of a platform has without declaring them: system
// libraries and programs, Windows's own INF files, the printer-driver core files and the print processor
// of the NT family; the kernel, VxDs, registry hives and INI files of the 9x class. One table, below in
// standard_files.cpp; Win32s has none.
//
// They are made when a machine is built or loaded (a file of that name that the machine has already is the
// machine's own and stays as it is) and are saved only when a run changed them: a machine directory holds
// what is particular to it, so existing machines save as before. A standard file a run deleted is saved as
// a [removed] section, so that it stays deleted when the machine is loaded again.
//
// They are the files SfcIsFileProtected (sfc.dll) reports as protected.
#pragma once

#include <string>
#include <vector>

namespace simwin {

struct SystemInfo;

struct StandardFile {
    std::string path;     // full path
    std::string content;  // what the file holds when nothing changed it (empty for most)
};

// The standard files of the machine's platform and layout, in table order.
std::vector<StandardFile> standardFiles(const SystemInfo& system);

}  // namespace simwin

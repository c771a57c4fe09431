// The profile files that live in the registry on the NT family (IniFileMapping): win.ini's [windows],
// [Devices] and [PrinterPorts] are the values of three keys of the user's registry,
// HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Windows, \Devices and \PrinterPorts.
// The profile functions read and write those keys instead of the file, whatever directory the win.ini is
// named in; the file on disk keeps what it held.
//
// A machine directory may still bring a win.ini with lines in those sections (the machines written before
// the mapping did, and a Windows 9x machine has nothing else): on the NT family load() reads each such line
// into its key when the registry has no value of that name yet, and save() leaves out of registry.reg every
// value read that way which the run did not change (and the keys made only for them), so that the machine
// saves as it was loaded.
#pragma once

#include <string>
#include <vector>

#include "simwin/registry.h"
#include "simwin/system.h"

namespace simwin {

class FileSystem;

// The full registry path of the key a profile section maps to ("HKEY_CURRENT_USER\...\Windows"), or "" when
// the section of that file is an ordinary one (another file or section, or a platform without the mapping).
std::string mappedProfileKey(Platform platform, const std::string& file, const std::string& section);

class IniMapping {
public:
    // Reads win.ini's mapped sections into the registry (NT family only), remembering what it read.
    void load(const SystemInfo& system, const FileSystem& files, Registry& registry);
    // Whether a save leaves this value out: it was read from win.ini at load and still holds that text.
    bool fromFile(const RegKey& key, const RegValue& value) const;
    // Whether a save leaves this key out: made at load only for values read from win.ini, and left with
    // nothing a save writes (no value kept, no subkey kept).
    bool madeForFile(const RegKey& key) const;

private:
    struct Read {
        std::string keyPath;  // as Registry::pathOf writes it
        std::string name;
        std::string text;
    };
    std::vector<Read> read_;
    std::vector<std::string> madeKeys_;  // full paths of the keys load() created
};

}  // namespace simwin

// Registry text in regedit's format ("REGEDIT4", ANSI text): how the tool keeps keys and values outside the
// registry (the backup set of a removal) and writes them back. Every value type survives the round trip:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\VESTRAL\VXDRV]
//   @="default value"
//   "Version"="4.2"
//   "Flags"=dword:00000001
//   "Path"=hex(2):25,53,79,73,00
//   "Blob"=hex:01,02,03
//   "Size"=hex(b):00,10,00,00,00,00,00,00
//
// Strings and value names escape "\" and a double quote with a backslash; a string that holds a line break or
// lacks its terminating NUL is written as hex(1): bytes, so the text gives back exactly what the registry
// held. A name the text cannot give back exactly (a key or value name with a line break: it would end its
// line and start one of the name's choosing) is not written: the export is refused with the reason. The
// text is read back as outside input: a line that is not a key, a value, an indented continuation of a
// value's bytes, a comment or blank is an error with its line number, never a guess.
#pragma once

#include <string>
#include <vector>

#include "base/platform.h"

// Each export leaves text unchanged when it fails; refusal (when given) then says why the item cannot be
// written as registry text (or read whole), or is "" when the item is simply not there.
//
// Appends root\subKey with its values and, depth first, every subkey (each its own section) to text;
// false when the key does not open or any name or value of the tree cannot be written.
bool ExportRegistryKey(HKEY root, const char* subKey, std::string& text, std::string* refusal = nullptr);
// Appends the section of root\subKey with its values, without its subkeys; false when the key does not open
// or a value cannot be read or written.
bool ExportRegistryValuesOf(HKEY root, const char* subKey, std::string& text, std::string* refusal = nullptr);
// Appends the section of root\subKey holding one value ("" or null: the default value); false when the key
// or the value is not there or cannot be written.
bool ExportRegistryValue(HKEY root, const char* subKey, const char* value, std::string& text,
                         std::string* refusal = nullptr);
// The header every export begins with.
const char* RegistryTextHeader();

// One value as the text holds it.
struct CRegistryTextValue {
    std::string name;  // "" for the default value
    DWORD type = REG_SZ;
    std::string data;  // the bytes RegSetValueExA takes
};
// One key of the text and its values, in order.
struct CRegistryTextKey {
    HKEY root = NULL;
    std::string subKey;
    std::vector<CRegistryTextValue> values;
};

// The full path of a key of the text as regedit names it ("HKEY_LOCAL_MACHINE\\SOFTWARE\\...").
std::string RegistryKeyPath(const CRegistryTextKey& key);
// Parses a text; false with error ("line N: what") on the first line that is not of the format.
bool ParseRegistryText(const std::string& text, std::vector<CRegistryTextKey>& keys, std::string& error);
// Creates each key and sets its values; false with error at the first call that fails (what was written
// before stays). written counts the keys created and the values set.
bool ImportRegistryText(const std::string& text, std::string& error, unsigned* written = nullptr);

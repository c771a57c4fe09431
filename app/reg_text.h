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
// Strings escape "\" and a double quote with a backslash; a string that holds a line break or lacks its
// terminating NUL is written as hex(1): bytes, so the text gives back exactly what the registry held. The
// text is read back as outside input: a malformed line is an error with its line number, never a guess.
#pragma once

#include <string>
#include <vector>

#include "app/platform.h"

// Appends root\subKey with its values and, depth first, every subkey (each its own section) to text;
// false (text unchanged) when the key does not open.
bool ExportRegistryKey(HKEY root, const char* subKey, std::string& text);
// Appends the section of root\subKey holding one value ("" or null: the default value); false when the key
// or the value is not there.
bool ExportRegistryValue(HKEY root, const char* subKey, const char* value, std::string& text);
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

// Parses a text; false with error ("line N: what") on the first line that is not of the format.
bool ParseRegistryText(const std::string& text, std::vector<CRegistryTextKey>& keys, std::string& error);
// Creates each key and sets its values; false with error at the first call that fails (what was written
// before stays). written counts the keys created and the values set.
bool ImportRegistryText(const std::string& text, std::string& error, unsigned* written = nullptr);

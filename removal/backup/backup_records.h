// The records a backup set keeps of what a removal took away, as INI text (one [record] section, keys in
// this order), written just before each item goes and read back by the restore. Registry keys and values
// are kept as registry text (app/reg_text.h), files as copies of their bytes; these are the others:
//
//   printer   name, driver, port, processor, datatype, share, comment, location, separator, parameters,
//             attributes (number), priority, defaultPriority, startTime, untilTime, default (0/1),
//             and data.NAME = hex bytes with type (one line per printer-data value: "data.NAME = TYPE:HEX")
//   driver    name, environment, version, driverPath, dataFile, configFile, helpFile, dependentFile (one
//             line each), monitor, defaultDatatype, and savedFile = NUMBER|PATH for each of its files kept as a
//             copy of its own
//   monitor   name, environment, library, port (one line each: "NAME|DESCRIPTION")
//   processor name, environment, library
//   service   name, display, type, start, errorControl, binary, group, dependency (one line each), account
//   ini       file, section, key, value, line (the whole line), next (the key of the line after it)
//   loadline  line (the whole [windows] load line before a word went)
//   folder    path
//   connection name (a connection to a printer of another computer)
//   default   previous, successor (the default printer the removal took away, and the one it made default)
//
// Read back they are outside input: a record that is not of this form (an unknown key, a number that is not
// one, a text too long for the spooler's or the service manager's calls) is refused with the reason.
#pragma once

#include <string>
#include <vector>

#include "base/platform.h"

struct CBackupRecord {
    std::string kind;  // "printer", "driver", ...
    // The keys in the order written; a key may repeat (dependentFile, port, dependency, data.NAME).
    std::vector<std::pair<std::string, std::string>> fields;

    void Add(const std::string& key, const std::string& value) { fields.emplace_back(key, value); }
    void Add(const std::string& key, unsigned long value) { Add(key, std::to_string(value)); }
    // The first value of a key ("" when absent), every value of a key.
    std::string Get(const std::string& key) const;
    std::vector<std::string> All(const std::string& key) const;

    std::string Text() const;
    // Parses one record; false with the reason when the text is not a record of a known kind.
    bool Parse(const std::string& text, std::string& error);
};

// The records of the machine's things as they are now (false when the thing cannot be read).
bool RecordPrinter(const char* name, CBackupRecord& record);
bool RecordDriver(const char* name, const char* environment, CBackupRecord& record);
bool RecordMonitor(const char* name, CBackupRecord& record);
// A print processor's library is read from its key (the one the processor stage deletes).
bool RecordProcessor(const char* name, const char* environment, const char* key, CBackupRecord& record);
bool RecordService(const char* name, CBackupRecord& record);
// An INI line as it stands in its file: the value, the whole line, and the key of the line after it in its
// section (so that the restore puts it back where it was).
CBackupRecord RecordIniLine(const std::string& path, const std::string& section, const std::string& key);
// Writes an INI record's line back: before the line it preceded when that is still there, else at the end of
// its section (WritePrivateProfileStringA). False when the file cannot be written.
bool PutIniLineBack(const CBackupRecord& record);

// The classic event logs (Application, System ...): the events ReportEventA wrote, in the order they were
// written. A source is a name; which log it writes into is the registry's business (a source is registered
// as a subkey of its log under HKLM\SYSTEM\CurrentControlSet\Services\EventLog), and a source nobody
// registered writes into the Application log, as on Windows.
//
// A save writes each event as an [event] section of machine.ini; a load reads them back (docs/machine-format.md).
#pragma once

#include <string>
#include <vector>

#include "simwin/ini.h"
#include "simwin/registry.h"
#include "simwin/types.h"

namespace simwin {

struct LoggedEvent {
    std::string log = "Application";
    std::string source;
    DWORD id = 0;
    WORD type = 4;  // EVENTLOG_INFORMATION_TYPE
    WORD category = 0;
    std::vector<std::string> strings;  // the insertion strings, in order
};

class EventLog {
public:
    std::vector<LoggedEvent> events;

    // The log a source writes into: the one whose key holds a subkey of the source's name; else "Application".
    static std::string logOf(const Registry& registry, const std::string& source);

    void load(const IniDoc& doc);  // throws MachineError on a type word it does not know
    void save(IniDoc& doc) const;
};

// The [event] type words and back: success (0), error (1), warning (2), information (4), audit-success (8),
// audit-failure (16).
WORD parseEventType(const std::string& word);
std::string eventTypeWord(WORD type);
// Whether ReportEventA knows the type (one of the six above).
bool isEventType(WORD type);

// An insertion string as machine.ini holds it and back: '%', CR, LF, and a space at either end are written
// %25, %0D, %0A and %20, so that any string survives a save and a load.
std::string escapeEventString(const std::string& text);
std::string unescapeEventString(const std::string& text);

}  // namespace simwin

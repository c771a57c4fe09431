#include "simwin/event_log.h"

#include <cerrno>
#include <cstdlib>

#include "simwin/util.h"

namespace simwin {

namespace {

const char kEventLogKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog";

struct TypeWord {
    WORD type;
    const char* word;
};
const TypeWord kTypeWords[] = {{0, "success"},       {1, "error"},          {2, "warning"},
                               {4, "information"},   {8, "audit-success"},  {16, "audit-failure"}};

DWORD parseEventId(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long id = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || *end || errno == ERANGE || id > 0xFFFFFFFFull || text[0] == '-')
        throw MachineError("[event] id = " + text + ": expected a number from 0 to 4294967295");
    return static_cast<DWORD>(id);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

LoggedEvent loadEvent(const IniSection& s) {
    LoggedEvent e;
    e.source = s.get("source");
    if (e.source.empty()) throw MachineError("[event] without source");
    e.log = s.get("log", "Application");
    e.id = parseEventId(s.get("id", "0"));
    e.type = parseEventType(s.get("type", "information"));
    e.category = static_cast<WORD>(s.getInt("category", 0));
    for (const auto& entry : s.entries)
        if (iequals(entry.first, "string")) e.strings.push_back(unescapeEventString(entry.second));
    return e;
}

}  // namespace

WORD parseEventType(const std::string& word) {
    for (const TypeWord& t : kTypeWords)
        if (iequals(word, t.word)) return t.type;
    throw MachineError("[event] type = " + word +
                       ": expected success, error, warning, information, audit-success or audit-failure");
}

std::string eventTypeWord(WORD type) {
    for (const TypeWord& t : kTypeWords)
        if (t.type == type) return t.word;
    return "success";  // ReportEventA records no other type
}

bool isEventType(WORD type) {
    for (const TypeWord& t : kTypeWords)
        if (t.type == type) return true;
    return false;
}

std::string escapeEventString(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool edgeSpace = c == ' ' && (i == 0 || i + 1 == text.size());
        if (c == '%') out += "%25";
        else if (c == '\r') out += "%0D";
        else if (c == '\n') out += "%0A";
        else if (edgeSpace) out += "%20";
        else out += c;
    }
    return out;
}

std::string unescapeEventString(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const int high = i + 2 < text.size() && text[i] == '%' ? hexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(text[i + 2]) : -1;
        if (low < 0) {
            out += text[i];
            continue;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string EventLog::logOf(const Registry& registry, const std::string& source) {
    if (const RegKey* logs = registry.find(kEventLogKey))
        for (const auto& log : logs->subkeys)
            if (log.second->child(source)) return log.second->name;
    return "Application";
}

void EventLog::load(const IniDoc& doc) {
    for (const IniSection* s : doc.all("event")) events.push_back(loadEvent(*s));
}

void EventLog::save(IniDoc& doc) const {
    for (const LoggedEvent& e : events) {
        IniSection& s = doc.add("event");
        s.add("source", e.source);
        if (!iequals(e.log, "Application")) s.add("log", e.log);
        s.add("id", std::to_string(e.id));
        s.add("type", eventTypeWord(e.type));
        if (e.category) s.add("category", std::to_string(e.category));
        for (const std::string& text : e.strings) s.add("string", escapeEventString(text));
    }
}

}  // namespace simwin

// The administrator's options: split like the loading phase's options, then checked one by one. Only the
// first problem is kept; it is what the log and the exit code 87 report.
#include "app/run_options.h"

#include <stdlib.h>
#include <string.h>

#include "base/text.h"

namespace {

// The options the tool knows: the loading phase's filters and the administrator's.
const char* const kKnownOptions[] = {"MFG", "PRN", "UNPAV", "LOG", "PLAN", "QUIET", "SELECT", "RESTART",
                                     "RESTORE", "RESUME", "KEEPBACKUPS", "CAPTURE", "REPORT", "OUT", "?", "HELP"};

bool IsKnown(const char* name) {
    for (const char* known : kKnownOptions)
        if (_strcmpi(name, known) == 0) return true;
    return false;
}

bool QuotesBalanced(const char* text) {
    int quotes = 0;
    for (const char* p = text; *p; ++p) quotes += *p == '"';
    return quotes % 2 == 0;
}

// One option as written: its name and its values, split at "," outside double quotes (quotes kept).
struct WrittenOption {
    std::string name;
    std::vector<std::string> values;
};

WrittenOption SplitOption(char* token) {
    WrittenOption option;
    char* name = token + 1;
    char* values = NextTokenQuoted(name, ':');
    option.name = name;
    for (char* value = values; value;) {
        char* next = NextTokenQuoted(value, ',');
        option.values.push_back(value);
        value = next;
    }
    return option;
}

// A value without the double quotes around it; false (and why) when it is empty, too long or malformed.
bool Unquote(const std::string& written, const std::string& option, const char* what, std::string& value,
             std::string& why) {
    if (!QuotesBalanced(written.c_str())) {
        why = "/" + option + ": a value with unbalanced double quotes: " + written;
        return false;
    }
    std::vector<char> text(written.begin(), written.end());
    text.push_back(0);
    value = TrimChar(text.data(), '"');
    if (value.empty()) {
        why = "/" + option + ": an empty " + what;
        return false;
    }
    if (value.size() >= static_cast<size_t>(TEXT_SIZE)) {
        why = "/" + option + ": a " + what + " longer than " + std::to_string(TEXT_SIZE - 1) + " characters";
        return false;
    }
    if (value.find('"') != std::string::npos) {
        why = "/" + option + ": a " + what + " holds no double quote: " + written;
        return false;
    }
    return true;
}

}  // namespace

bool CRunOptions::Parse(const char* commandLine) {
    *this = CRunOptions();
    std::string line = commandLine ? commandLine : "";
    auto fail = [this](const std::string& why) {
        if (error.empty()) error = why;
    };
    if (line.size() > kLongestCommandLine) {
        fail("the command line is longer than " + std::to_string(kLongestCommandLine) + " characters");
        line.resize(kLongestCommandLine);
    }
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);

    bool quiet = false, plan = false, logGiven = false, capture = false, report = false, out = false;
    char* rest = buffer.data();
    bool program = true;  // the first token is the program's path
    while (rest && *rest) {
        char* token = rest;
        rest = NextTokenQuoted(token, ' ');
        if (program) {
            program = false;
            continue;
        }
        if (!token[0]) continue;  // a second blank
        if (token[0] != '/' && token[0] != '-') {
            fail(std::string("an argument that is not an option: ") + token +
                 " (a name or path with blanks needs double quotes)");
            continue;
        }
        WrittenOption o = SplitOption(token);
        if (!IsKnown(o.name.c_str())) {
            fail("unknown option /" + o.name);
            continue;
        }
        const char* name = o.name.c_str();
        if (_strcmpi(name, "?") == 0 || _strcmpi(name, "HELP") == 0) {
            help = true;
        } else if (_strcmpi(name, "QUIET") == 0 || _strcmpi(name, "RESTART") == 0 || _strcmpi(name, "RESUME") == 0) {
            if (!o.values.empty()) fail("/" + o.name + " takes no value");
            if (_strcmpi(name, "QUIET") == 0) quiet = true;
            else if (_strcmpi(name, "RESUME") == 0) resume = true;
            else restart = true;
        } else if (_strcmpi(name, "RESTORE") == 0) {
            if (restore) fail("/RESTORE given twice");
            restore = true;
            std::string value, why;
            if (o.values.size() != 1) {
                fail("/RESTORE takes LAST or one folder: /RESTORE:LAST or /RESTORE:\"folder\"");
            } else if (_strcmpi(o.values[0].c_str(), "LAST") == 0) {
                restoreFolder.clear();
            } else if (!Unquote(o.values[0], o.name, "folder", value, why)) {
                fail(why);
            } else {
                restoreFolder = value;
            }
        } else if (_strcmpi(name, "KEEPBACKUPS") == 0) {
            const std::string& n = o.values.empty() ? std::string() : o.values[0];
            if (o.values.size() != 1 || n.empty() || n.size() > 4 || n.find_first_not_of("0123456789") != std::string::npos)
                fail("/KEEPBACKUPS takes a number of backup sets from 1 to 9999: /KEEPBACKUPS:10");
            else if (atoi(n.c_str()) < 1)
                fail("/KEEPBACKUPS keeps at least the backup set of this run: /KEEPBACKUPS:1");
            else
                keepBackups = static_cast<unsigned>(atoi(n.c_str()));
        } else if (_strcmpi(name, "LOG") == 0 || _strcmpi(name, "PLAN") == 0 || _strcmpi(name, "CAPTURE") == 0 ||
                   _strcmpi(name, "REPORT") == 0 || _strcmpi(name, "OUT") == 0) {
            const bool isLog = _strcmpi(name, "LOG") == 0, isPlan = _strcmpi(name, "PLAN") == 0;
            const bool isReport = _strcmpi(name, "REPORT") == 0, isOut = _strcmpi(name, "OUT") == 0;
            bool& given = isLog ? logGiven : isPlan ? plan : isReport ? report : isOut ? out : capture;
            std::string& path = isLog ? logPath : isPlan ? planPath : isReport ? reportFolder : isOut ? outPath : capturePath;
            const char* what = isLog || isPlan || isOut ? "file name" : "folder name";
            std::string value, why;
            if (given) fail("/" + o.name + " given twice");
            given = true;
            if (o.values.size() != 1) {
                fail("/" + o.name + " takes one " + what + ": /" + o.name + ":\"path\"");
            } else if (!Unquote(o.values[0], o.name, what, value, why)) {
                fail(why);
            } else {
                path = value;
            }
        } else if (_strcmpi(name, "SELECT") == 0) {
            selectGiven = true;
            if (o.values.empty()) fail("/SELECT needs ALL or printer names: /SELECT:\"name\",\"name\"");
            for (const std::string& written : o.values) {
                if (_strcmpi(written.c_str(), "ALL") == 0) {
                    selectAll = true;  // "ALL" in double quotes is a printer of that name
                    continue;
                }
                std::string value, why;
                if (Unquote(written, o.name, "printer name", value, why))
                    selectNames.push_back(value);
                else
                    fail(why);
            }
            if (selectAll && !selectNames.empty()) fail("/SELECT:ALL stands alone, without printer names");
        }
        // MFG, PRN and UNPAV belong to the loading phase, which reads them itself.
    }
    mode = report ? MODE_REPORT : capture ? MODE_CAPTURE : plan ? MODE_PLAN : quiet ? MODE_QUIET : MODE_INTERACTIVE;
    // The report only reads a folder of logs: it goes with /OUT alone, and /OUT with it.
    if (report && (capture || plan || quiet || selectGiven || restart || restore || resume || logGiven))
        fail("/REPORT stands alone (with /OUT): it reads logs and touches nothing else");
    if (report && !out) fail("/REPORT needs the page to write: /OUT:\"report.html\"");
    if (out && !report) fail("/OUT goes with /REPORT only");
    // The capture only reads the machine: it goes with /LOG alone.
    if (capture && (plan || quiet || selectGiven || restart || restore || resume))
        fail("/CAPTURE stands alone (with /LOG at most): it neither plans nor removes");
    if (restore && resume) fail("/RESTORE and /RESUME do not go together");
    if (mode == MODE_PLAN && (restore || resume)) fail("/PLAN removes nothing: it does not go with /RESTORE or /RESUME");
    if ((restore || resume) && selectGiven) fail("/RESTORE and /RESUME choose no printers: they take no /SELECT");
    if (mode == MODE_QUIET && !selectGiven && !restore && !resume)
        fail("/QUIET needs /SELECT:ALL or /SELECT:\"name\",\"name\"");
    return error.empty();
}

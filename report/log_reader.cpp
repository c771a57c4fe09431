#include "report/log_reader.h"

#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/platform.h"
#include "base/text_lines.h"
#include "base/whole_file.h"
#include "report/log_text.h"

namespace {

const char kHeader[] = "==== korun04 ";
const char kSeparator[] = " | ";

bool StartsWith(const std::string& text, const char* prefix) { return text.compare(0, strlen(prefix), prefix) == 0; }

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "HH:MM:SS " at the start of a line.
bool HasClock(const std::string& line) {
    if (line.size() < 9 || line[8] != ' ' || line[2] != ':' || line[5] != ':') return false;
    for (int i : {0, 1, 3, 4, 6, 7})
        if (line[i] < '0' || line[i] > '9') return false;
    return true;
}

// The header: "==== korun04 DATE TIME COMPUTER | COMMAND LINE | platform P, version class V". An older
// header that stops early leaves the rest empty.
void ReadHeader(const std::string& line, LoggedRun& run) {
    std::string rest = line.substr(strlen(kHeader));
    const size_t bar = rest.find(kSeparator);
    const std::string stamp = rest.substr(0, bar);
    std::vector<std::string> words = SplitFields(stamp, " ");
    if (words.size() >= 3 && words[0].size() == 10 && words[1].size() == 8) {
        run.date = words[0];
        run.time = words[1];
        run.computer = stamp.substr(words[0].size() + words[1].size() + 2);
    } else {
        run.computer = stamp;
    }
    if (run.computer == "(no computer name)") run.computer.clear();
    if (bar == std::string::npos) return;
    rest = rest.substr(bar + 3);
    const size_t platform = rest.rfind(" | platform ");
    run.commandLine = rest.substr(0, platform);
}

struct OutcomeWord {
    const char* word;
    ItemOutcome outcome;
};
// Longest first, so that no word is read as the start of another.
const OutcomeWord kOutcomeWords[] = {
    {"scheduled for restart", ITEM_SCHEDULED}, {"pending deletion", ITEM_PENDING}, {"not there", ITEM_NOT_THERE},
    {"removed", ITEM_REMOVED}, {"refused", ITEM_REFUSED}, {"failed", ITEM_FAILED}, {"called", ITEM_CALLED},
    {"kept", ITEM_KEPT},
};

// The rule that starts a detail ("windows-file: Windows protects it"): lower-case letters and dashes.
std::string RuleOf(const std::string& detail) {
    const size_t colon = detail.find(": ");
    if (colon == std::string::npos || colon == 0) return "";
    const std::string rule = detail.substr(0, colon);
    for (char c : rule)
        if (!(c >= 'a' && c <= 'z') && c != '-') return "";
    return rule;
}

// "OUTCOME[ (DETAIL)][, error E]"; false when it is not of that form.
bool ReadOutcome(std::string text, LoggedItem& item) {
    const size_t comma = text.rfind(", error ");
    if (comma != std::string::npos && AllDigits(text.substr(comma + 8))) {
        item.error = strtoul(text.c_str() + comma + 8, NULL, 10);
        text.resize(comma);
    }
    for (const OutcomeWord& known : kOutcomeWords) {
        if (!StartsWith(text, known.word)) continue;
        std::string rest = text.substr(strlen(known.word));
        if (!rest.empty() && (!StartsWith(rest, " (") || rest.back() != ')')) return false;
        item.outcome = known.outcome;
        item.detail = rest.empty() ? rest : rest.substr(2, rest.size() - 3);
        const std::string rule = RuleOf(item.detail);
        if (known.outcome == ITEM_REFUSED || (known.outcome == ITEM_KEPT && rule == "staying-printer")) item.rule = rule;
        return true;
    }
    return false;
}

// "KIND | ITEM | OUTCOME..."; false when the text is not an item.
bool ReadItem(const std::string& text, int stage, LoggedItem& item) {
    const size_t first = text.find(kSeparator), last = text.rfind(kSeparator);
    if (first == std::string::npos || first == last || first == 0) return false;
    item.stage = stage;
    item.kind = text.substr(0, first);
    item.item = text.substr(first + 3, last - first - 3);
    return ReadOutcome(text.substr(last + 3), item);
}

void CountItem(LoggedRun& run, const LoggedItem& item) {
    ++run.counts[item.outcome];
    if (item.outcome == ITEM_FAILED || !item.rule.empty() || item.kind == "printer") run.items.push_back(item);
}

// "loading | printer | NAME | ABOUT | LISTING": a printer of the family when ABOUT says so.
bool ReadLoading(const std::string& text, LoggedRun& run) {
    if (!StartsWith(text, "printer | ")) return true;  // the scripts read, a failed enumeration, a restart
    std::vector<std::string> fields = SplitFields(text, kSeparator);
    if (fields.size() < 4) return false;
    const std::string& about = fields[fields.size() - 2];
    std::string name = fields[1];
    for (size_t i = 2; i + 2 < fields.size(); ++i) name += kSeparator + fields[i];
    if (about.find(", of the family") != std::string::npos) run.familyPrinters.push_back(name);
    return true;
}

// "exit code N (MEANING)".
bool ReadEnd(const std::string& text, LoggedRun& run) {
    if (!StartsWith(text, "exit code ")) return false;
    const std::string rest = text.substr(10);
    const size_t blank = rest.find(' ');
    const std::string number = rest.substr(0, blank);
    const bool negative = !number.empty() && number[0] == '-';
    if (!AllDigits(negative ? number.substr(1) : number)) return false;
    run.hasExitCode = true;
    run.exitCode = strtol(number.c_str(), NULL, 10);
    if (blank != std::string::npos && rest.size() > blank + 2 && rest[blank + 1] == '(' && rest.back() == ')')
        run.exitMeaning = rest.substr(blank + 2, rest.size() - blank - 3);
    return true;
}

bool ReadRunText(const std::string& text, LoggedRun& run) {
    LoggedItem item;
    if (ReadItem(text, -1, item)) {
        CountItem(run, item);
        return true;
    }
    if (run.mode.empty() && run.lines == 2) run.mode = text;  // the line after the header says what the run is
    if (StartsWith(text, "backup set ")) {
        run.backupSet = text.substr(11);
        run.removalBegan = true;
    }
    if (StartsWith(text, "the removal cut short is finished")) run.resumed = run.removalBegan = true;
    return true;
}

bool ReadRestore(const std::string& text, LoggedRun& run) {
    run.restore = true;
    LoggedItem item;
    if (ReadItem(text, -1, item)) return true;  // a restore item has its own words ("restored", "already there")
    std::vector<std::string> fields = SplitFields(text, kSeparator);
    if (fields.size() >= 3 && fields[0] == "printer" && fields.back() == "restored") run.restoredPrinters.push_back(fields[1]);
    if (text.find("; a restart is needed") != std::string::npos) run.restartNeeded = true;
    return true;
}

// "stage N | ...": an item, or stage 0's line of the printers removed and staying.
bool ReadStage(const std::string& place, const std::string& text, LoggedRun& run) {
    const std::string number = place.substr(6);
    if (!AllDigits(number)) return false;
    const int stage = atoi(number.c_str());
    if (stage >= 1) run.removalBegan = true;
    LoggedItem item;
    if (ReadItem(text, stage, item)) {
        CountItem(run, item);
        return true;
    }
    return stage == 0 && StartsWith(text, "removing ");
}

// One line after a header; false when the reader does not know it.
bool ReadLine(const std::string& line, LoggedRun& run) {
    if (!HasClock(line)) return false;
    const size_t bar = line.find(kSeparator, 9);
    if (bar == std::string::npos) return false;
    const std::string place = line.substr(9, bar - 9), text = line.substr(bar + 3);
    if (StartsWith(place, "stage ")) return ReadStage(place, text, run);
    if (place == "run") return ReadRunText(text, run);
    if (place == "loading") return ReadLoading(text, run);
    if (place == "end") return ReadEnd(text, run);
    if (place == "restore") return ReadRestore(text, run);
    if (place == "done") {
        run.hasSummary = true;
        run.restartNeeded = EndsWith(text, "| restart needed");
        return true;
    }
    return place == "message box" || place == "capture" || place == "options" || place == "event";
}

std::string NameWithoutFolder(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

}  // namespace

const char* ItemOutcomeWord(ItemOutcome outcome) {
    for (const OutcomeWord& known : kOutcomeWords)
        if (known.outcome == outcome) return known.word;
    return "?";
}

bool LooksLikeLog(const std::string& bytes) {
    size_t at = StartsWith(bytes, "\xEF\xBB\xBF") ? 3 : 0;
    while (at < bytes.size() && (bytes[at] == '\r' || bytes[at] == '\n')) ++at;
    return bytes.compare(at, strlen(kHeader), kHeader) == 0;
}

LogFile ReadLogText(const std::string& bytes, const std::string& path) {
    LogFile log;
    log.path = path;
    log.fileName = NameWithoutFolder(path);
    const size_t bom = StartsWith(bytes, "\xEF\xBB\xBF") ? 3 : 0;
    for (const std::string& raw : TextLines(bytes.substr(bom))) {
        if (raw.empty()) continue;
        LineEncoding how = LINE_UTF8;
        const std::string line = LineToUtf8(raw, &how);
        log.cp932Lines += how == LINE_CP932;
        log.escapedLines += how == LINE_ESCAPED;
        if (StartsWith(line, kHeader)) {
            log.runs.emplace_back();
            log.runs.back().lines = 1;
            ReadHeader(line, log.runs.back());
            continue;
        }
        if (log.runs.empty()) {
            ++log.linesBeforeFirstRun;
            continue;
        }
        LoggedRun& run = log.runs.back();
        ++run.lines;
        if (!ReadLine(line, run)) ++run.unread;
    }
    return log;
}

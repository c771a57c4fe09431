#include "removal/backup/state_parts.h"

#include <algorithm>
#include <cstdio>

namespace {

const char kEnd[] = "[end]\r\ncheck = ";
const size_t kEndLine = 7;  // "[end]\r\n"
const size_t kCheckLine = sizeof kEnd - 1 + 8 + 2;

size_t LineOf(const std::string& text, size_t at) {
    return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

// The next "[end]" line with its check line at a line start from at, or npos.
size_t FindEnd(const std::string& text, size_t at) {
    for (size_t e = text.find(kEnd, at); e != std::string::npos; e = text.find(kEnd, e + 1))
        if (e == 0 || text[e - 1] == '\n') return e;
    return std::string::npos;
}

// Whether the part [from, end) with its check line at end holds.
bool PartHolds(const std::string& text, size_t from, size_t end) {
    return end + kCheckLine <= text.size() && text.compare(end + kCheckLine - 2, 2, "\r\n") == 0 &&
           text.compare(end + sizeof kEnd - 1, 8, StateCheck(text, from, end + kEndLine)) == 0;
}

}  // namespace

void CloseStatePart(std::string& out, size_t from) {
    out += "[end]\r\n";
    out += "check = " + StateCheck(out, from, out.size()) + "\r\n";
}

std::string StateCheck(const std::string& text, size_t from, size_t to) {
    unsigned hash = 2166136261u;
    for (size_t i = from; i < to; ++i) hash = (hash ^ static_cast<unsigned char>(text[i])) * 16777619u;
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", hash);
    return digits;
}

bool WholeStateLength(const std::string& text, size_t& length, size_t& records, std::string& error) {
    length = text.size();
    records = 0;
    size_t end = FindEnd(text, 0);
    if (end == std::string::npos) return true;  // written in one piece
    for (size_t from = 0;; end = FindEnd(text, from)) {
        const bool holds = end != std::string::npos && PartHolds(text, from, end);
        if (!holds) {
            // Only the last part can have been cut short; the first is written whole before it replaces the file.
            const bool later = end != std::string::npos && FindEnd(text, end + 1) != std::string::npos;
            if (from == 0 || later) {
                error = "line " + std::to_string(LineOf(text, from)) + ": a part of the state whose check fails";
                return false;
            }
            length = from;
            return true;
        }
        from = end + kCheckLine;
        if (from == text.size()) {
            length = from;
            return true;
        }
        ++records;
    }
}

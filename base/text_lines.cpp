#include "base/text_lines.h"

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

std::vector<std::string> SplitFields(const std::string& line, const std::string& separator) {
    std::vector<std::string> fields;
    for (size_t from = 0;;) {
        const size_t cut = separator.empty() ? std::string::npos : line.find(separator, from);
        fields.push_back(line.substr(from, cut == std::string::npos ? std::string::npos : cut - from));
        if (cut == std::string::npos) break;
        from = cut + separator.size();
    }
    return fields;
}

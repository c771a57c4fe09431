// What a person would see or what leaves the machine, one event per line, in order.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace simwin {

class Transcript {
public:
    void add(const std::string& line) {
        lines.push_back(line);
        if (echo) echo(line);
    }
    // Number of lines that contain text.
    size_t count(const std::string& text) const {
        size_t n = 0;
        for (auto& l : lines)
            if (l.find(text) != std::string::npos) ++n;
        return n;
    }
    std::vector<std::string> lines;
    std::function<void(const std::string&)> echo;  // e.g. print as it happens
};

}  // namespace simwin

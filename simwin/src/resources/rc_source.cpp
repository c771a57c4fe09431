#include "rc_source.h"

#include <algorithm>

namespace simwin::rc {

std::map<std::string, std::string>::const_iterator findFile(const std::map<std::string, std::string>& files,
                                                           const std::string& name) {
    auto exact = files.find(name);
    if (exact != files.end()) return exact;
    auto normal = [](std::string s) {
        std::replace(s.begin(), s.end(), '\\', '/');
        return toLower(s);
    };
    std::string wanted = normal(name);
    for (auto it = files.begin(); it != files.end(); ++it)
        if (normal(it->first) == wanted) return it;
    return files.end();
}

}  // namespace simwin::rc

// Small helpers shared by the simwin subsystems: Windows-style case-insensitive names.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace simwin {

// Raised for a machine description that cannot be understood; the message says where.
struct MachineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string toUpper(std::string s);
std::string toLower(std::string s);
bool iequals(const std::string& a, const std::string& b);
// Ordinal, case-insensitive ordering by upper-cased characters, as the registry and NTFS sort names.
bool iless(std::string_view a, std::string_view b);
// A map or set of names ordered by iless; a lookup may pass a part of a longer text without copying it.
struct ILess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return iless(a, b); }
};
std::string trim(const std::string& s);
std::vector<std::string> split(const std::string& s, char sep);
bool startsWithI(const std::string& s, const std::string& prefix);

}  // namespace simwin

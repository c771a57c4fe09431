// Reading resource scripts in tests: the window, dialog and menu bits the tests spell out, a script parsed
// with <windows.h> included, the error a script gives, and a dialog's controls by ID.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/resource_set.h"

namespace rcscript {

using simwin::DialogItemTemplate;
using simwin::DialogTemplate;
using simwin::MenuItemTemplate;
using simwin::ResourceName;
using simwin::ResourceSet;

// Window, static and button bits the tests spell out (values of the SDK headers).
constexpr DWORD kChild = 0x40000000, kVisible = 0x10000000, kPopup = 0x80000000, kCaption = 0x00C00000,
                kBorder = 0x00800000, kSysMenu = 0x00080000, kMinimizeBox = 0x00020000, kGroup = 0x00020000,
                kTabStop = 0x00010000, kModalFrame = 0x80, kSetFont = 0x40, kControl = 0x400;
constexpr UINT kMfGrayed = 1, kMfDisabled = 2, kMfChecked = 8, kMfPopup = 0x10, kMfMenuBarBreak = 0x20,
               kMfSeparator = 0x800, kMfHelp = 0x4000;

inline ResourceSet parse(const std::string& rc, const std::map<std::string, std::string>& files = {}) {
    return ResourceSet::parse("#include <windows.h>\n" + rc, files);
}

// The message of the MachineError that parsing throws; "" when it parses.
inline std::string parseError(const std::string& rc, const std::map<std::string, std::string>& files = {}) {
    try {
        ResourceSet::parse(rc, files, false, "test.rc");
    } catch (const simwin::MachineError& e) {
        return e.what();
    }
    return "";
}

inline const DialogItemTemplate& item(const DialogTemplate& d, int id) {
    for (const DialogItemTemplate& c : d.items)
        if (c.id == id) return c;
    static DialogItemTemplate none;
    ADD_FAILURE() << "dialog " << d.name.text() << " has no control " << id;
    return none;
}

inline std::vector<int> itemIds(const DialogTemplate& d) {
    std::vector<int> ids;
    for (const DialogItemTemplate& c : d.items) ids.push_back(c.id);
    return ids;
}

}  // namespace rcscript

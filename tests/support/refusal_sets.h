// The items a plan's [refused] section names and the items a run's log refused (or kept by the
// staying-printer rule), each as "ITEM | RULE" in one form, so that a test can hold the plan to the run: a
// driver without its environment, a registry item of a script as the key (and value) the log names.
#pragma once

#include <set>
#include <string>

#include "removal/registry_remover.h"
#include "support/tool_run.h"

namespace refusalsets {

// "RULE" of a refusal's text "RULE: why".
inline std::string RuleOf(const std::string& text) { return text.substr(0, text.find(':')); }

inline std::string RootText(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    return "HKEY_USERS";
}

// The [refused] section of a plan: "LIST = ITEM | RULE: why" lines.
inline std::set<std::string> FromPlan(const std::string& plan) {
    std::set<std::string> out;
    const size_t section = plan.find("[refused]\n");
    if (section == std::string::npos) return out;
    size_t at = section + 10;
    while (at < plan.size() && plan[at] != '[') {
        size_t end = plan.find('\n', at);
        if (end == std::string::npos) end = plan.size();
        const std::string line = plan.substr(at, end - at);
        at = end + 1;
        const size_t eq = line.find(" = "), bar = line.rfind(" | ");
        if (eq == std::string::npos || bar == std::string::npos || bar < eq) continue;
        const std::string list = line.substr(0, eq);
        std::string item = line.substr(eq + 3, bar - eq - 3);
        CRegistryItem key;
        if (list == "registryKeys" && ParseRegistryItem(item.c_str(), key))
            item = RootText(key.root) + "\\" + key.subKey + (key.value.empty() ? "" : "\\" + key.value);
        out.insert(item + " | " + RuleOf(line.substr(bar + 3)));
    }
    return out;
}

// The item lines of a log that a rule kept: "refused (RULE: why)", and "kept (staying-printer: why)".
inline std::set<std::string> FromLog(const std::string& log) {
    std::set<std::string> out;
    for (const toolrun::Line& l : toolrun::Lines(log)) {
        if (!l.IsItem()) continue;
        const std::string& outcome = l.Outcome();
        std::string rule;
        if (l.OutcomeIs("refused ("))
            rule = RuleOf(outcome.substr(9));
        else if (l.OutcomeIs("kept (staying-printer:"))
            rule = "staying-printer";
        else
            continue;
        std::string item = l.Item();
        // A driver or processor is logged once per environment, "NAME (ENVIRONMENT)".
        if ((l.Kind() == "driver" || l.Kind() == "processor") && item.back() == ')')
            item = item.substr(0, item.rfind(" ("));
        out.insert(item + " | " + rule);
    }
    return out;
}

}  // namespace refusalsets

#include "removal/item_kind.h"

namespace {

struct KindName {
    ItemKind kind;
    const char* name;
};

// In the order of the enumeration.
const KindName kNames[] = {
    {ItemKind::Printer, "printer"},
    {ItemKind::DefaultPrinter, "default printer"},
    {ItemKind::Job, "job"},
    {ItemKind::Driver, "driver"},
    {ItemKind::Inf, "INF"},
    {ItemKind::Device, "device"},
    {ItemKind::Monitor, "monitor"},
    {ItemKind::Processor, "processor"},
    {ItemKind::Service, "service"},
    {ItemKind::Hook, "hook"},
    {ItemKind::File, "file"},
    {ItemKind::Shortcut, "shortcut"},
    {ItemKind::Folder, "folder"},
    {ItemKind::RegistryKey, "registry key"},
    {ItemKind::RegistryValue, "registry value"},
    {ItemKind::RunValue, "Run value"},
    {ItemKind::IniKey, "INI key"},
};

}  // namespace

const char* ItemKindName(ItemKind kind) {
    const size_t index = static_cast<size_t>(kind);
    return index < sizeof kNames / sizeof kNames[0] ? kNames[index].name : "item";
}

ItemKind ItemKindNamed(const std::string& name) {
    for (const KindName& entry : kNames)
        if (name == entry.name) return entry.kind;
    return ItemKind::Other;
}

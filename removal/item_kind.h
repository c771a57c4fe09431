// The kinds of item a removal handles. The log and the journal write an item's kind as its name here; a
// restore reads the name back. Other names (a journal of another version, or damaged) read as ItemKind::Other.
#pragma once

#include <string>

enum class ItemKind {
    Printer,
    DefaultPrinter,
    Job,
    Driver,
    Inf,
    Device,
    Monitor,
    Processor,
    Service,
    Hook,
    File,
    Shortcut,
    Folder,
    RegistryKey,
    RegistryValue,
    RunValue,
    IniKey,
    Other,
};

// The name the log and the journal give the kind ("printer", "INF", "registry key", ...).
const char* ItemKindName(ItemKind kind);
// The kind a name stands for, exactly as ItemKindName spells it; ItemKind::Other for any other name.
ItemKind ItemKindNamed(const std::string& name);

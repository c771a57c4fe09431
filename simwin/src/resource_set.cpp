// The resource-script reader and the resource set of a module.
//
// Three stages, each a unit of resources/: the lexer cuts one file's text into tokens (words, strings,
// punctuation, preprocessor lines); the preprocessor follows #include and the conditionals and expands
// macros into one token stream; the parser turns that stream into the ResourceSet. Every token remembers
// its file and line, so an error names the place the way a compiler would.
#include "simwin/resource_set.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "resources/rc_parser.h"
#include "resources/rc_preprocessor.h"
#include "simwin/program.h"
#include "simwin/util.h"

namespace simwin {

// --- ResourceName --------------------------------------------------------------------------------------

ResourceName ResourceName::fromId(WORD id) {
    ResourceName n;
    n.isId = true;
    n.id = id;
    return n;
}

ResourceName ResourceName::fromName(const std::string& name) {
    ResourceName n;
    n.isId = false;
    n.name = name;
    return n;
}

ResourceName ResourceName::fromArgument(LPCSTR nameOrId) {
    if (IS_INTRESOURCE(nameOrId)) return fromId(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(nameOrId)));
    std::string s = nameOrId;
    bool digits = s.size() > 1 && s[0] == '#' &&
                  std::all_of(s.begin() + 1, s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    if (digits) return fromId(static_cast<WORD>(std::strtoul(s.c_str() + 1, nullptr, 10)));
    return fromName(s);
}

bool ResourceName::matches(const ResourceName& other) const {
    if (isId != other.isId) return false;
    return isId ? id == other.id : iequals(name, other.name);
}

std::string ResourceName::text() const { return isId ? std::to_string(id) : name; }

// --- ResourceSet ---------------------------------------------------------------------------------------

ResourceSet ResourceSet::parse(const std::string& rcText, const std::map<std::string, std::string>& files) {
    return parse(rcText, files, false);
}

ResourceSet ResourceSet::parse(const std::string& rcText, const std::map<std::string, std::string>& files,
                               bool allowMissingFiles, const std::string& sourceName) {
    rc::SourceNames names;
    std::vector<rc::Token> tokens = rc::preprocess(rcText, sourceName, files, names);
    ResourceSet set;
    rc::parseScript(std::move(tokens), files, allowMissingFiles, names, set);
    return set;
}

namespace {
template <typename T>
const T* findByName(const std::vector<T>& list, const ResourceName& name) {
    for (const T& item : list)
        if (item.name.matches(name)) return &item;
    return nullptr;
}
}  // namespace

const DialogTemplate* ResourceSet::dialog(const ResourceName& name) const { return findByName(dialogs, name); }
const MenuTemplate* ResourceSet::menu(const ResourceName& name) const { return findByName(menus, name); }
const BitmapResource* ResourceSet::bitmap(const ResourceName& name) const { return findByName(bitmaps, name); }
const IconResource* ResourceSet::icon(const ResourceName& name) const { return findByName(icons, name); }

const UserResource* ResourceSet::user(const ResourceName& type, const ResourceName& name) const {
    for (const UserResource& u : userResources)
        if (u.type.matches(type) && u.name.matches(name)) return &u;
    return nullptr;
}

// --- The program's own resources -------------------------------------------------------------------------

const std::map<std::string, std::string>& programResourceFiles() { return hostProgram().files; }

ResourceSet& programResources() {
    static ResourceSet set = [] {
        const ProgramImage& program = hostProgram();
        auto script = program.files.find(program.resourceScript);
        if (script == program.files.end())
            throw MachineError("the program's resource script " + program.resourceScript + " is not among its files");
        return ResourceSet::parse(script->second, program.files, false, program.resourceScript);
    }();
    return set;
}

}  // namespace simwin

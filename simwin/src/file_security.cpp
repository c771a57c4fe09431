// Inherited and explicit security of files and directories (file_security.h).
#include "file_security.h"

#include "simwin/util.h"

namespace simwin {

namespace {

const BYTE kObjectInherit = 0x01, kContainerInherit = 0x02, kNoPropagate = 0x04, kInheritOnly = 0x08, kInherited = 0x10;
const WORD kDaclPresent = 0x0004, kAutoInherited = 0x0400, kProtected = 0x1000;

// Generic rights mapped to the file rights they stand for, as an ACE that applies to an object is given them.
DWORD mapGeneric(DWORD mask) {
    const DWORD generic[4][2] = {{0x10000000, 0x1F01FF}, {0x80000000, 0x120089}, {0x40000000, 0x120116}, {0x20000000, 0x1200A0}};
    for (const auto& g : generic)
        if (mask & g[0]) mask = (mask & ~g[0]) | g[1];
    return mask;
}

std::string creatorOwnerSid() {
    std::string s;
    parseSidText("S-1-3-0", s);
    return s;
}

// The ACEs a directory's DACL passes on to a new file or directory in it.
std::vector<Ace> inheritedAces(const std::vector<Ace>& parent, bool directory, const std::string& owner) {
    std::vector<Ace> out;
    const std::string creator = creatorOwnerSid();
    for (const Ace& a : parent) {
        const bool toObjects = a.flags & kObjectInherit, toContainers = a.flags & kContainerInherit;
        if (!directory) {
            if (!toObjects) continue;
            Ace e = a;
            e.flags = kInherited;
            e.mask = mapGeneric(a.mask);
            if (e.sid == creator) e.sid = owner;
            out.push_back(e);
            continue;
        }
        if (toContainers) {
            Ace e = a;
            const bool creatorAce = a.sid == creator;
            const bool keepsPassing = !(a.flags & kNoPropagate);
            if (creatorAce || (a.mask & 0xF0000000)) {
                // The effective ACE for the directory itself, and (passing on) an inherit-only one as it was.
                Ace effective = a;
                effective.flags = kInherited;
                effective.mask = mapGeneric(a.mask);
                if (creatorAce) effective.sid = owner;
                out.push_back(effective);
                if (keepsPassing) {
                    e.flags = static_cast<BYTE>((a.flags & (kObjectInherit | kContainerInherit)) | kInheritOnly | kInherited);
                    out.push_back(e);
                }
                continue;
            }
            e.flags = static_cast<BYTE>((keepsPassing ? a.flags & (kObjectInherit | kContainerInherit) : 0) | kInherited);
            out.push_back(e);
        } else if (toObjects && !(a.flags & kNoPropagate)) {
            Ace e = a;  // for the files below it only
            e.flags = kObjectInherit | kInheritOnly | kInherited;
            out.push_back(e);
        }
    }
    return out;
}

SecurityDescriptor rootSecurity() {
    SecurityDescriptor sd;
    parseSddl("O:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", sd);
    return sd;
}

// The common application data folder of an NT layout (C:\ProgramData), as Windows installs it: SYSTEM's, users
// may read everything and, in this folder and the folders below it, create files and folders (whose creator
// then owns them) but not delete or change what others made.
SecurityDescriptor commonAppDataSecurity() {
    SecurityDescriptor sd;
    parseSddl("O:SYG:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)(A;CI;DCLCRPCR;;;BU)", sd);
    return sd;
}

bool isCommonAppData(const FileNode& node, const SystemInfo& system) {
    if (!node.isDirectory || !node.parent || !node.parent->isRoot()) return false;
    const auto folder = system.shellFolders.find(0x23);  // CSIDL_COMMON_APPDATA
    return folder != system.shellFolders.end() && iequals(folder->second, node.path());
}

}  // namespace

std::string creatorOwner(const SystemInfo& system) {
    return system.admin && !system.adminDenyOnly ? administratorsSid() : userSid();
}

SecurityDescriptor effectiveSecurity(const FileNode& node, const SystemInfo& system) {
    if (node.security) return *node.security;
    if (!node.parent) return rootSecurity();  // a drive root, or a node cut from its tree
    if (isCommonAppData(node, system)) return commonAppDataSecurity();
    const SecurityDescriptor parent = effectiveSecurity(*node.parent, system);
    SecurityDescriptor sd;
    sd.owner = creatorOwner(system);
    sd.control = kDaclPresent | kAutoInherited;
    sd.dacl = inheritedAces(parent.dacl, node.isDirectory, sd.owner);
    return sd;
}

std::shared_ptr<const SecurityDescriptor> securityForNew(const FileNode& parent, bool directory,
                                                         const SecurityDescriptor& given, const SystemInfo& system) {
    auto sd = std::make_shared<SecurityDescriptor>();
    sd->owner = given.owner.empty() ? creatorOwner(system) : given.owner;
    sd->group = given.group;
    const bool ownDacl = given.control & kDaclPresent;
    sd->control = kDaclPresent;
    if (ownDacl) {
        sd->dacl = given.dacl;
        sd->control = static_cast<WORD>(sd->control | (given.control & kProtected));
    }
    if (!(sd->control & kProtected)) {
        const std::vector<Ace> passed = inheritedAces(effectiveSecurity(parent, system).dacl, directory, sd->owner);
        sd->dacl.insert(sd->dacl.end(), passed.begin(), passed.end());
        sd->control |= kAutoInherited;
    }
    return sd;
}

}  // namespace simwin

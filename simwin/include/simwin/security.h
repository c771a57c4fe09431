// Security descriptors of files and directories, as far as the tool sets and reads them: an owner, a group
// and a DACL of allow and deny ACEs with their inheritance flags; the SDDL text that describes them and the
// self-relative binary form the Win32 functions pass around.
//
// SDDL subset: "O:" and "G:" with a SID, "D:" with the flags P, AR and AI and ACEs "(type;flags;rights;;;sid)"
// of the types A and D, the flags OI, CI, NP, IO, ID, the rights by name (FA, FR, FW, FX, GA, GR, GW, GX, RC,
// SD, WD, WO and the others SDDL names, alone or concatenated) or as a number (0x1f01ff, 2032127), and the SIDs BA, SY, BU, BG, WD, AU, CO, CG, LS, NS, AN, IU
// or "S-1-...". Anything else (a SACL "S:", object ACEs, conditional ACEs) is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "simwin/types.h"

namespace simwin {

struct Ace {
    BYTE type = 0;     // ACCESS_ALLOWED_ACE_TYPE (0) or ACCESS_DENIED_ACE_TYPE (1)
    BYTE flags = 0;    // OBJECT_INHERIT_ACE (1), CONTAINER_INHERIT_ACE (2), NO_PROPAGATE (4), INHERIT_ONLY (8), INHERITED (0x10)
    DWORD mask = 0;
    std::string sid;   // binary
    bool operator==(const Ace& o) const { return type == o.type && flags == o.flags && mask == o.mask && sid == o.sid; }
};

struct SecurityDescriptor {
    WORD control = 0;   // SE_DACL_PRESENT, SE_DACL_PROTECTED, SE_DACL_AUTO_INHERITED, ... (never SE_SELF_RELATIVE)
    std::string owner;  // binary SID; "" : none
    std::string group;
    std::vector<Ace> dacl;  // meaningful with SE_DACL_PRESENT
    bool operator==(const SecurityDescriptor& o) const {
        return control == o.control && owner == o.owner && group == o.group && dacl == o.dacl;
    }
};

// SDDL text -> descriptor; false for text outside the subset, with the error Windows gives: ERROR_INVALID_ACL
// (1336) for a DACL it cannot read, ERROR_INVALID_PARAMETER (87) for the rest.
bool parseSddl(const std::string& text, SecurityDescriptor& out, DWORD* error = nullptr);
// Descriptor -> SDDL text, the parts `information` asks for (OWNER_SECURITY_INFORMATION,
// GROUP_SECURITY_INFORMATION, DACL_SECURITY_INFORMATION), as Windows writes them: well-known SIDs by their
// two-letter names, rights by the name they equal, else as the names of their bits (lowest first, "GXGR"),
// else in lower-case hexadecimal ("0x1200a9").
std::string formatSddl(const SecurityDescriptor& sd, DWORD information);

// The self-relative form: the 20-byte header, then the owner, the group and the DACL, as
// ConvertStringSecurityDescriptorToSecurityDescriptorA lays them out (only the parts `information` asks
// for). And back, from a self-relative or an absolute descriptor in memory; false when it is not valid.
std::string toSelfRelative(const SecurityDescriptor& sd, DWORD information);
bool fromMemory(const void* descriptor, SecurityDescriptor& out);

// "S-1-5-32-544" <-> binary; false for text that is no SID.
bool parseSidText(const std::string& text, std::string& sid);
std::string sidText(const std::string& sid);

// Well-known SIDs.
std::string administratorsSid();  // BA
std::string systemSid();          // SY
std::string usersSid();           // BU
std::string userSid();            // the machine's interactive user (S-1-5-21-...-1001)

}  // namespace simwin

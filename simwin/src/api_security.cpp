// advapi32 on the current machine: security descriptors as SDDL text and in binary, and those of files and
// directories.
#include <cstdlib>
#include <cstring>
#include <string>

#include "simwin/machine.h"
#include "simwin/security.h"
#include "simwin/win32.h"

#include "file_security.h"

using simwin::current;

namespace {

const DWORD kParts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// A copy of bytes in local memory (LocalFree frees it).
void* localCopy(const std::string& bytes) {
    void* p = LocalAlloc(LMEM_FIXED, bytes.size());
    if (p) std::memcpy(p, bytes.data(), bytes.size());
    return p;
}

// What a drive that keeps no descriptors reports for every file: its user owns it, with full control for
// that user and SYSTEM (as Wine derives it from a file's Unix owner).
simwin::SecurityDescriptor plainSecurity() {
    simwin::SecurityDescriptor sd;
    simwin::parseSddl("O:" + simwin::sidText(simwin::userSid()) + "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" +
                          simwin::sidText(simwin::userSid()) + ")",
                      sd);
    return sd;
}

// The node of a path for the security functions: found, and not denied; else the error is set.
simwin::FileNode* securedNode(LPCSTR fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    simwin::PathLookup l = current().files.lookup(fileName);
    if (l.error) {
        SetLastError(l.error);
        return nullptr;
    }
    if (simwin::FileSystem::isDenied(l.node)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return l.node;
}

}  // namespace

BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD revision,
                                                                 PSECURITY_DESCRIPTOR* descriptor, PULONG size) {
    if (!text || !descriptor) return fail(ERROR_INVALID_PARAMETER);
    if (revision != SDDL_REVISION_1) return fail(ERROR_UNKNOWN_REVISION);
    simwin::SecurityDescriptor sd;
    DWORD error = ERROR_INVALID_PARAMETER;
    if (!simwin::parseSddl(text, sd, &error)) return fail(error);
    const std::string bytes = simwin::toSelfRelative(sd, kParts);
    *descriptor = localCopy(bytes);
    if (size) *size = static_cast<ULONG>(bytes.size());
    return TRUE;
}

BOOL WINAPI ConvertSecurityDescriptorToStringSecurityDescriptorA(PSECURITY_DESCRIPTOR descriptor, DWORD revision,
                                                                 SECURITY_INFORMATION information, LPSTR* text,
                                                                 PULONG length) {
    if (!descriptor || !text) return fail(ERROR_INVALID_PARAMETER);
    if (revision != SDDL_REVISION_1) return fail(ERROR_UNKNOWN_REVISION);
    simwin::SecurityDescriptor sd;
    if (!simwin::fromMemory(descriptor, sd)) return fail(ERROR_INVALID_SECURITY_DESCR);
    const std::string sddl = simwin::formatSddl(sd, information);
    *text = static_cast<LPSTR>(localCopy(sddl + '\0'));
    if (length) *length = static_cast<ULONG>(sddl.size() + 1);
    return TRUE;
}

BOOL WINAPI GetFileSecurityA(LPCSTR fileName, SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR descriptor,
                             DWORD size, LPDWORD needed) {
    if (!needed) return fail(ERROR_INVALID_PARAMETER);
    simwin::FileNode* n = securedNode(fileName);
    if (!n) return FALSE;
    if (requested & SACL_SECURITY_INFORMATION) return fail(ERROR_PRIVILEGE_NOT_HELD);
    const std::string bytes = simwin::toSelfRelative(
        current().files.keepsDescriptors(n->path()) ? simwin::effectiveSecurity(*n, current().system) : plainSecurity(),
        requested & kParts);
    *needed = static_cast<DWORD>(bytes.size());
    if (!descriptor || size < bytes.size()) return fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(descriptor, bytes.data(), bytes.size());
    return TRUE;
}

BOOL WINAPI SetFileSecurityA(LPCSTR fileName, SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor) {
    simwin::FileNode* n = securedNode(fileName);
    if (!n) return FALSE;
    if (information & SACL_SECURITY_INFORMATION) return fail(ERROR_PRIVILEGE_NOT_HELD);
    simwin::SecurityDescriptor given;
    if (!descriptor || !simwin::fromMemory(descriptor, given)) return fail(ERROR_INVALID_SECURITY_DESCR);
    auto sd = std::make_shared<simwin::SecurityDescriptor>(simwin::effectiveSecurity(*n, current().system));
    if (information & OWNER_SECURITY_INFORMATION) {
        if (given.owner.empty()) return fail(ERROR_INVALID_OWNER);
        sd->owner = given.owner;
    }
    if (information & GROUP_SECURITY_INFORMATION) sd->group = given.group;
    if (information & DACL_SECURITY_INFORMATION) {
        const WORD daclBits = SE_DACL_PRESENT | SE_DACL_AUTO_INHERIT_REQ | SE_DACL_AUTO_INHERITED | SE_DACL_PROTECTED;
        sd->control = static_cast<WORD>((sd->control & ~daclBits) | (given.control & daclBits) | SE_DACL_PRESENT);
        if (information & PROTECTED_DACL_SECURITY_INFORMATION) sd->control |= SE_DACL_PROTECTED;
        if (information & UNPROTECTED_DACL_SECURITY_INFORMATION) sd->control &= ~SE_DACL_PROTECTED;
        sd->dacl = given.dacl;
    }
    n->security = sd;
    return TRUE;
}

BOOL WINAPI ConvertSidToStringSidA(PSID sid, LPSTR* text) {
    if (!sid || !text) return fail(ERROR_INVALID_PARAMETER);
    const BYTE* p = static_cast<const BYTE*>(sid);
    if (p[0] != 1 || p[1] > 15) return fail(ERROR_INVALID_SID);
    const std::string binary(reinterpret_cast<const char*>(p), 8 + 4 * p[1]);
    const std::string out = simwin::sidText(binary);
    *text = static_cast<LPSTR>(localCopy(out + '\0'));
    return TRUE;
}

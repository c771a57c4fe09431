// The security of files and directories (private to simwin's src/): what a node has, explicitly or by
// inheritance, and what a new one gets from the descriptor its creator passes.
#pragma once

#include <memory>

#include "simwin/files.h"
#include "simwin/security.h"
#include "simwin/system.h"

namespace simwin {

// The owner of what the process creates: Administrators for a full administrator (an elevated token's
// default owner), the user otherwise.
std::string creatorOwner(const SystemInfo& system);

// A node's descriptor: its own, or, as Windows would have given it when the node was made, the creator's owner
// and the ACEs its directories pass on (OI to files, CI to directories, marked inherited; CREATOR OWNER made the
// owner). A drive root has "O:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)".
SecurityDescriptor effectiveSecurity(const FileNode& node, const SystemInfo& system);

// The descriptor a new node in `parent` keeps when its creator gives one (CreateDirectoryA, CreateFileA): the
// owner it names or the creator's, its DACL followed, unless it is protected (P), by what the parent passes on.
std::shared_ptr<const SecurityDescriptor> securityForNew(const FileNode& parent, bool directory,
                                                         const SecurityDescriptor& given, const SystemInfo& system);

}  // namespace simwin

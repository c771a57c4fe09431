// DDE on the machine: Program Manager (Win32s class) as the one DDE server, with its program
// groups and items, and the client state of the DDEML calls (instances, string handles,
// conversations). Program Manager answers service and topic "PROGMAN" only where the machine
// declares it ([progman] sections).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "simwin/ini.h"
#include "simwin/transcript.h"
#include "simwin/types.h"

namespace simwin {

struct ProgmanGroup {
    std::string name;
    std::vector<std::string> items;  // item titles, in order
};

class ProgramManager {
public:
    bool present = false;  // it runs and answers DDE
    std::vector<ProgmanGroup> groups;
    std::string activeGroup;  // the group the last CreateGroup / ShowGroup made active

    ProgmanGroup* findGroup(const std::string& name);

    // Executes a command string of the form "[Command(arg,...)][Command(...)]" as Program Manager
    // does: in order, stopping at the first command that fails. Known commands: CreateGroup(name),
    // ShowGroup(name,n), DeleteGroup(name), AddItem(command[,title]), DeleteItem(title) (in the
    // active group). Arguments are trimmed, one pair of double quotes removed. Each executed
    // command writes `progman [COMMAND] -> done` or `-> refused` to the transcript. True when
    // every command was carried out.
    bool execute(const std::string& commands, Transcript& transcript);

    // [progman] sections: group, item (repeated). Any section makes Program Manager present.
    void load(const IniDoc& doc);
    void save(IniDoc& doc) const;

private:
    bool run(const std::string& name, const std::vector<std::string>& args);
};

// The DDEML client state of the process.
class DdeTable {
public:
    struct Instance {
        UINT lastError = 0;
    };
    struct Conversation {
        uint32_t instance = 0;
        bool connected = true;
    };

    std::map<uint32_t, Instance> instances;
    std::map<uintptr_t, std::string> strings;           // string handle -> text
    std::map<uintptr_t, int> stringRefs;                 // string handle -> references
    std::map<uintptr_t, Conversation> conversations;     // conversation handle -> state
    uint32_t nextInstance = 0x10001;
    uintptr_t nextConversation = 0x5000010;
};

}  // namespace simwin

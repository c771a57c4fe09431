// DDE on the current machine: Program Manager's command language and the DDEML client calls.
#include "simwin/dde.h"

#include <cstring>

#include "simwin/machine.h"
#include "simwin/util.h"
#include "simwin/win32.h"

namespace simwin {

namespace {

std::string trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string unquoted(const std::string& s) {
    std::string t = trimmed(s);
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
    return t;
}

// The arguments between the parentheses, split at commas outside double quotes.
std::vector<std::string> splitArgs(const std::string& text) {
    std::vector<std::string> args;
    std::string cur;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            args.push_back(unquoted(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!trimmed(cur).empty() || !args.empty()) args.push_back(unquoted(cur));
    return args;
}

// The end of the bracketed command that starts at i (the index of its "]"), npos when unclosed.
size_t commandEnd(const std::string& s, size_t i) {
    bool quoted = false;
    for (; i < s.size(); ++i) {
        if (s[i] == '"') quoted = !quoted;
        if (s[i] == ']' && !quoted) return i;
    }
    return std::string::npos;
}

std::string fileTitle(const std::string& command) {
    std::string path = trimmed(command);
    const size_t blank = path.find(' ');
    if (blank != std::string::npos) path = path.substr(0, blank);
    const size_t slash = path.find_last_of("\\/:");
    if (slash != std::string::npos) path = path.substr(slash + 1);
    const size_t dot = path.find_last_of('.');
    return dot == std::string::npos ? path : path.substr(0, dot);
}

}  // namespace

ProgmanGroup* ProgramManager::findGroup(const std::string& name) {
    for (auto& g : groups)
        if (iequals(g.name, name)) return &g;
    return nullptr;
}

bool ProgramManager::run(const std::string& name, const std::vector<std::string>& args) {
    const std::string first = args.empty() ? "" : args[0];
    if (iequals(name, "CreateGroup")) {
        if (first.empty()) return false;
        if (!findGroup(first)) groups.push_back(ProgmanGroup{first, {}});
        activeGroup = findGroup(first)->name;
        return true;
    }
    if (iequals(name, "ShowGroup")) {
        ProgmanGroup* g = findGroup(first);
        if (!g || args.size() < 2) return false;
        activeGroup = g->name;
        return true;
    }
    if (iequals(name, "DeleteGroup")) {
        for (auto it = groups.begin(); it != groups.end(); ++it) {
            if (!iequals(it->name, first)) continue;
            if (iequals(activeGroup, it->name)) activeGroup.clear();
            groups.erase(it);
            return true;
        }
        return false;
    }
    ProgmanGroup* active = activeGroup.empty() ? nullptr : findGroup(activeGroup);
    if (iequals(name, "AddItem")) {
        if (!active || first.empty()) return false;
        active->items.push_back(args.size() > 1 && !args[1].empty() ? args[1] : fileTitle(first));
        return true;
    }
    if (iequals(name, "DeleteItem")) {
        if (!active) return false;
        for (auto it = active->items.begin(); it != active->items.end(); ++it)
            if (iequals(*it, first)) {
                active->items.erase(it);
                return true;
            }
        return false;
    }
    return false;  // a command this Program Manager does not know
}

bool ProgramManager::execute(const std::string& commands, Transcript& transcript) {
    size_t i = 0;
    bool any = false;
    while (true) {
        i = commands.find_first_not_of(" \t\r\n", i);
        if (i == std::string::npos) return any;
        const size_t end = commands[i] == '[' ? commandEnd(commands, i) : std::string::npos;
        if (end == std::string::npos) {
            transcript.add("progman " + commands.substr(i) + " -> refused");
            return false;
        }
        const std::string inner = commands.substr(i + 1, end - i - 1);
        const size_t open = inner.find('(');
        const size_t close = inner.rfind(')');
        bool ok = false;
        if (open != std::string::npos && close != std::string::npos && close > open)
            ok = run(trimmed(inner.substr(0, open)), splitArgs(inner.substr(open + 1, close - open - 1)));
        transcript.add("progman " + commands.substr(i, end - i + 1) + (ok ? " -> done" : " -> refused"));
        if (!ok) return false;
        any = true;
        i = end + 1;
    }
}

void ProgramManager::load(const IniDoc& doc) {
    for (const IniSection* s : doc.all("progman")) {
        present = true;
        const std::string name = s->get("group");
        std::vector<std::string> items;
        for (auto& e : s->entries)
            if (iequals(e.first, "item")) {
                if (e.second.empty()) throw MachineError("[progman] " + name + ": an empty item");
                items.push_back(e.second);
            }
        if (name.empty()) {
            if (!items.empty()) throw MachineError("[progman] items without a group");
            continue;
        }
        if (findGroup(name)) throw MachineError("[progman] group " + name + " declared twice");
        groups.push_back(ProgmanGroup{name, items});
    }
}

void ProgramManager::save(IniDoc& doc) const {
    if (!present) return;
    if (groups.empty()) doc.add("progman");  // it still answers
    for (const ProgmanGroup& g : groups) {
        IniSection& s = doc.add("progman");
        s.add("group", g.name);
        for (const std::string& item : g.items) s.add("item", item);
    }
}

}  // namespace simwin

// ---------------------------------------------------------------------------------------------
// DDEML

using simwin::current;
using simwin::DdeTable;

namespace {

DdeTable& dde() { return current().dde; }

DdeTable::Instance* instanceOf(DWORD id) {
    auto it = dde().instances.find(id);
    return it == dde().instances.end() ? nullptr : &it->second;
}

void setDdeError(DWORD id, UINT error) {
    if (DdeTable::Instance* i = instanceOf(id)) i->lastError = error;
}

// A string handle is its atom: the same text (ignoring case) gives the same handle.
uintptr_t atomOf(const std::string& text) {
    for (auto& s : dde().strings)
        if (simwin::iequals(s.second, text)) return s.first;
    const uintptr_t atom = 0xC000 + dde().strings.size();
    dde().strings[atom] = text;
    return atom;
}

const std::string* textOf(HSZ hsz) {
    auto it = dde().strings.find(reinterpret_cast<uintptr_t>(hsz));
    return it == dde().strings.end() ? nullptr : &it->second;
}

// Null names any service or topic; Program Manager answers "PROGMAN".
bool progmanAnswers(HSZ name) {
    if (!name) return true;
    const std::string* t = textOf(name);
    return t && simwin::iequals(*t, "PROGMAN");
}

DdeTable::Conversation* conversationOf(HCONV h) {
    auto it = dde().conversations.find(reinterpret_cast<uintptr_t>(h));
    return it == dde().conversations.end() ? nullptr : &it->second;
}

}  // namespace

UINT WINAPI DdeInitializeA(LPDWORD pidInst, PFNCALLBACK pfnCallback, DWORD afCmd, DWORD ulRes) {
    (void)afCmd;
    if (!pidInst || !pfnCallback || ulRes) return DMLERR_INVALIDPARAMETER;
    if (*pidInst) return instanceOf(*pidInst) ? DMLERR_NO_ERROR : DMLERR_INVALIDPARAMETER;
    const uint32_t id = dde().nextInstance++;
    dde().instances[id] = DdeTable::Instance{};
    *pidInst = id;
    return DMLERR_NO_ERROR;
}

BOOL WINAPI DdeUninitialize(DWORD idInst) {
    if (!instanceOf(idInst)) return FALSE;
    for (auto& c : dde().conversations)
        if (c.second.instance == idInst) c.second.connected = false;
    dde().instances.erase(idInst);
    return TRUE;
}

HSZ WINAPI DdeCreateStringHandleA(DWORD idInst, LPCSTR psz, int iCodePage) {
    if (!instanceOf(idInst)) return nullptr;
    if (!psz || !*psz || (iCodePage != 0 && iCodePage != CP_WINANSI)) {
        setDdeError(idInst, DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    const uintptr_t atom = atomOf(psz);
    ++dde().stringRefs[atom];
    return reinterpret_cast<HSZ>(atom);
}

BOOL WINAPI DdeFreeStringHandle(DWORD idInst, HSZ hsz) {
    const uintptr_t atom = reinterpret_cast<uintptr_t>(hsz);
    if (!instanceOf(idInst) || !dde().stringRefs.count(atom)) return FALSE;
    if (--dde().stringRefs[atom] <= 0) dde().stringRefs.erase(atom);  // the text stays: the atom is stable
    return TRUE;
}

HCONV WINAPI DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, PCONVCONTEXT pCC) {
    (void)pCC;
    if (!instanceOf(idInst)) return nullptr;
    if (!current().progman.present || !progmanAnswers(hszService) || !progmanAnswers(hszTopic)) {
        setDdeError(idInst, DMLERR_NO_CONV_ESTABLISHED);
        return nullptr;
    }
    const uintptr_t h = dde().nextConversation;
    dde().nextConversation += 0x10;
    dde().conversations[h] = DdeTable::Conversation{idInst, true};
    return reinterpret_cast<HCONV>(h);
}

BOOL WINAPI DdeDisconnect(HCONV hConv) {
    DdeTable::Conversation* c = conversationOf(hConv);
    if (!c || !c->connected) {
        if (c) setDdeError(c->instance, DMLERR_NO_CONV_ESTABLISHED);
        return FALSE;
    }
    c->connected = false;
    return TRUE;
}

HDDEDATA WINAPI DdeClientTransaction(LPBYTE pData, DWORD cbData, HCONV hConv, HSZ hszItem, UINT wFmt, UINT wType,
                                     DWORD dwTimeout, LPDWORD pdwResult) {
    (void)hszItem, (void)wFmt;
    if (pdwResult) *pdwResult = 0;
    DdeTable::Conversation* c = conversationOf(hConv);
    if (!c || !instanceOf(c->instance)) return nullptr;
    if (!c->connected) {
        setDdeError(c->instance, DMLERR_NO_CONV_ESTABLISHED);
        return nullptr;
    }
    if (dwTimeout == TIMEOUT_ASYNC || (wType == XTYP_EXECUTE && (!pData || cbData == 0 || cbData == DWORD(-1)))) {
        setDdeError(c->instance, DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    if (wType != XTYP_EXECUTE) {  // this Program Manager offers no data items
        setDdeError(c->instance, DMLERR_NOTPROCESSED);
        return nullptr;
    }
    const char* text = reinterpret_cast<const char*>(pData);
    const std::string commands(text, strnlen(text, cbData));
    if (!current().progman.execute(commands, current().transcript)) {
        setDdeError(c->instance, DMLERR_NOTPROCESSED);
        return nullptr;
    }
    if (pdwResult) *pdwResult = DDE_FACK;
    return reinterpret_cast<HDDEDATA>(static_cast<uintptr_t>(TRUE));
}

BOOL WINAPI DdeFreeDataHandle(HDDEDATA hData) { return hData != nullptr; }

UINT WINAPI DdeGetLastError(DWORD idInst) {
    DdeTable::Instance* i = instanceOf(idInst);
    if (!i) return DMLERR_DLL_NOT_INITIALIZED;
    const UINT e = i->lastError;
    i->lastError = DMLERR_NO_ERROR;
    return e;
}

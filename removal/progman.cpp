#include "removal/progman.h"

#include <stdio.h>
#include <string.h>

#include "base/platform.h"

namespace {

const DWORD kTimeoutMs = 5000;

HDDEDATA CALLBACK NoTransactions(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return NULL; }

// One conversation with Program Manager executing one command; whether it accepted it.
bool Execute(const char* command) {
    DWORD instance = 0;
    if (DdeInitializeA(&instance, NoTransactions, APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS, 0) != DMLERR_NO_ERROR)
        return false;
    bool accepted = false;
    HSZ name = DdeCreateStringHandleA(instance, "PROGMAN", 0);
    HCONV conversation = name ? DdeConnect(instance, name, name, NULL) : NULL;
    if (conversation) {
        HDDEDATA result = DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(command)),
                                               static_cast<DWORD>(strlen(command) + 1), conversation, NULL, CF_TEXT,
                                               XTYP_EXECUTE, kTimeoutMs, NULL);
        accepted = result != NULL;
        DdeDisconnect(conversation);
    }
    if (name) DdeFreeStringHandle(instance, name);
    DdeUninitialize(instance);
    return accepted;
}

}  // namespace

int DeleteProgramManagerItem(const char* group, const char* item) {
    char command[600];
    snprintf(command, sizeof command, "[ShowGroup(%s,1)]", group);
    if (!Execute(command)) return 0;
    snprintf(command, sizeof command, "[DeleteItem(%s)]", item);
    return Execute(command) ? 1 : 0;
}

// Program Manager's groups and items, over DDE (the Win32s class).
#pragma once

// Deletes one item of a Program Manager group; 1 when Program Manager accepted the delete command.
int DeleteProgramManagerItem(const char* group, const char* item);

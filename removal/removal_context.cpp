#include "removal/removal_context.h"

#include <stdio.h>

void ReportRefusedItem(const char* kind, const char* item, const char* why) {
    char line[1024];
    snprintf(line, sizeof line, "korun04: refused %s item \"%s\": %s\n", kind, item, why);
    OutputDebugStringA(line);
}

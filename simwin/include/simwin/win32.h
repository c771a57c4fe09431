// The Win32 surface of simwin: what the tool's logic sees on the host build, with the names,
// constants and structure layouts of the Windows SDK.
#pragma once

#include "simwin/types.h"
#include "simwin/api/crt.h"
#include "simwin/api/kernel.h"
#include "simwin/api/fileapi.h"
#include "simwin/api/winreg.h"
#include "simwin/api/advapi.h"
#include "simwin/api/user.h"
#include "simwin/api/gdi.h"
#include "simwin/api/commctrl.h"
#include "simwin/api/shell.h"
#include "simwin/api/winspool.h"
#include "simwin/api/setupapi.h"
#include "simwin/api/sfc.h"
#include "simwin/api/resources.h"
#include "simwin/api/version.h"
#include "simwin/api/ddeml.h"

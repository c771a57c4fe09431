// kernel32: files, directories, searches, paths, profile (INI) functions.
#pragma once

#include "simwin/types.h"

// The Microsoft C runtime routines the tool uses that glibc does not have.
#pragma once

#include <cstddef>

#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

int _strcmpi(const char* a, const char* b);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t n);
char* _strlwr(char* s);
char* _strupr(char* s);
// Splits a path into drive ("C:"), directory (with trailing "\"), name and extension (with ".").
// Any output may be null.
void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);
void _makepath(char* path, const char* drive, const char* dir, const char* fname, const char* ext);

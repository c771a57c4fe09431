// ANSI texts of the script subsystem and the small routines on them.
//
// Every name, entry and path of the uninstall database holds at most TEXT_SIZE - 1 characters: in an
// array of TEXT_SIZE characters where a Win32 call or a parse fills a buffer, in a std::string as long as
// it is where a list or record keeps it. Longer input is cut, never overflows.
// Texts compare case-insensitively in the ASCII sense (_strcmpi).
#pragma once

#include <string>

#include "base/platform.h"

const int TEXT_SIZE = MAX_PATH;

// Copy-or-empty: dst (TEXT_SIZE characters) receives src, cut to fit; a null or empty src empties dst.
char* CopyText(char* dst, const char* src);
// The same for a text held as long as it is: dst receives src, cut to TEXT_SIZE - 1 characters.
void CopyText(std::string& dst, const char* src);
// Copy-or-empty into a buffer of dstSize characters (dstSize >= 1).
char* CopyTextN(char* dst, const char* src, size_t dstSize);
// Append-if-not-empty: appends src to dst (TEXT_SIZE characters) when src is non-empty, cut to fit.
char* AppendText(char* dst, const char* src);
// Clears a TEXT_SIZE-character buffer to NULs.
void ClearText(char* text);
// Case-insensitive equality and ordering of whole texts; a null text counts as empty.
bool TextEqual(const char* a, const char* b);
bool TextLess(const char* a, const char* b);
// True for a null text or one of length 0.
bool TextEmpty(const char* text);
// The text lower-cased in the ASCII sense: the key under which texts that TextEqual finds equal meet in a
// set or a map (a null text gives the empty key).
std::string TextKey(const char* text);
// Appends the key of text to out (a key made of several parts without a string for each).
void AppendTextKey(std::string& out, const char* text);

// Walks a double-NUL list (separator 0) or splits text at its first separator. With separator 0 it returns
// the item after text, or null at the end of the list. Otherwise it replaces the first separator by NUL and
// returns the text after it, or null (text unchanged) when text is empty or holds no separator.
char* NextToken(char* text, char separator);
// As NextToken, but a separator between double quotes does not split; the quotes stay in the text.
char* NextTokenQuoted(char* text, char separator);
// Removes every leading and trailing occurrence of character from text, in place; returns text.
char* TrimChar(char* text, char character);

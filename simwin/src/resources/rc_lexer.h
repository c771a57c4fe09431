// The tokens of resource-script text: words, strings, punctuation and preprocessor lines, each with the
// file and line it comes from, and what the later stages ask of a token.
#pragma once

#include <string>
#include <vector>

#include "simwin/types.h"

namespace simwin::rc {

struct Token {
    enum Kind { End, Word, String, Punct, Directive };
    Kind kind = End;
    std::string text;   // Word and Punct as written, String decoded to UTF-8, Directive the line after '#'
    bool wide = false;  // L"..."
    int file = 0;       // index into the preprocessor's file names
    int line = 0;
};

// Cuts one file's text into tokens (without a closing End token). Comments are skipped; a '#' that begins
// a line makes a Directive token of the whole line (continuation lines joined, comments removed). file
// is the index every token carries; lines count from firstLine.
std::vector<Token> tokenize(const std::string& text, int file, int firstLine = 1);

bool isWordChar(char c);
bool isWord(const Token& t, const char* word);
bool isPunct(const Token& t, const char* p);
bool isBegin(const Token& t);
bool isEnd(const Token& t);
bool isNumber(const Token& t);

// A number as C writes it (0x hex, 0 octal, 0o octal as the Microsoft compiler reads it, an L or U
// suffix), kept to 32 bits. False when the word is not a number.
bool parseNumber(const std::string& word, DWORD& value, bool* isLong = nullptr);

// "0x1F": how a constant stands in the token stream.
std::string hexText(DWORD v);

// A token as an error message names it: "the end of the script", "\"text\"" or 'word'.
std::string describe(const Token& t);

}  // namespace simwin::rc

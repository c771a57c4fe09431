// The text of a log line made fit for a UTF-8 page. The tool writes its log in the ANSI code page of the
// machine it ran on: UTF-8 where the system says so (and in the simulator), code page 932 on a Japanese
// Windows, whose message texts fill the log's message box lines. A line that is valid UTF-8 is taken as it
// is; any other is read as code page 932 through MultiByteToWideChar and WideCharToMultiByte. Where the
// system has no code page 932, the line's bytes are kept in a lossless escape: every byte from 0x80 on is
// written "\xNN" and a backslash "\\", so the page shows what was there and nothing is guessed.
#pragma once

#include <string>

enum LineEncoding {
    LINE_UTF8,       // valid UTF-8 (ASCII included): taken as it is
    LINE_CP932,      // converted from code page 932
    LINE_ESCAPED,    // neither: the bytes kept in the escape above
};

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates, nothing beyond U+10FFFF).
bool IsValidUtf8(const std::string& text);

// The line as UTF-8, and how it was read.
std::string LineToUtf8(const std::string& line, LineEncoding* how = nullptr);

// The lossless escape of a line's bytes (used when code page 932 cannot be converted).
std::string EscapeBytes(const std::string& line);

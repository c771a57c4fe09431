// CScriptFile: an INI-style text document read whole into ordered sections of key/value entries, and the
// two in-place edits of INI files on disk (FindIniKey, DeleteIniKeyLine).
#pragma once

#include <string>

#include "base/platform.h"
#include "script/linked_list.h"
#include "base/text.h"

// The key and value hold at most TEXT_SIZE - 1 characters: a longer one is cut, as the reader always did.
struct ScriptEntry {
    std::string key;    // trimmed of spaces; may be empty
    std::string value;  // trimmed of spaces; empty without "=" or with nothing after it
    int line = 0;       // the line of the file it was read from, counted from 1
};

struct ScriptSection {
    std::string name;  // exactly as written between the brackets (at most TEXT_SIZE - 1 characters)
    CLinkedList<ScriptEntry> entries;
    int line = 0;  // the line of its header
};

class CScriptFile {
public:
    // Largest file LoadFile reads; scripts are small text files.
    static const DWORD MAX_FILE_SIZE = 16 * 1024 * 1024;

    CScriptFile();
    virtual ~CScriptFile();
    // Reads and parses the file. 1 on success (also for a file without sections), 0 when the document is
    // not empty or the file cannot be opened, is empty or cannot be read.
    virtual int LoadFile(const char* path);

    // Entry count of the first section named sectionName; 0 when there is none.
    int GetSectionEntryCount(const char* sectionName) const;
    // The keys of the first section named sectionName as a double-NUL list. Returns the characters the whole
    // list needs without its closing NUL, negated when not every item fitted in bufferSize; 0 (buffer not
    // touched) when there is no such section or it has no entries.
    int GetSectionKeys(const char* sectionName, char* buffer, int bufferSize) const;
    // As GetSectionKeys, each item being key=value, or the bare key when the value is empty.
    int GetSectionEntries(const char* sectionName, char* buffer, int bufferSize) const;
    // Writes the document to path; 1 when at least one entry was written.
    int SaveFile(const char* path);

    const char* GetPath() const { return path; }
    const CLinkedList<ScriptSection>& GetSections() const { return sections; }

private:
    CScriptFile(const CScriptFile&) = delete;
    CScriptFile& operator=(const CScriptFile&) = delete;

    void Parse(char* text);
    const ScriptSection* FindSection(const char* sectionName) const;
    int BuildList(const char* sectionName, char* buffer, int bufferSize, bool withValues) const;

    char path[TEXT_SIZE];
    CLinkedList<ScriptSection> sections;
};

// The position (characters from the start of the file, 1 or more) of keyName on the line that sets it in a
// section sectionName of the INI file, or 0 when the file cannot be opened or read, is empty, has no such
// section or the section does not set the key. A line sets the key when, after optional blanks, it begins
// with keyName (case-insensitively) followed by optional blanks and "=" or by the end of the line; a
// keyName that itself holds "=" needs only to begin the line. A section runs from its header's "[" to the
// next "[" of the text; later headers of the same name are searched too. The file is opened for reading and
// writing, so a read-only or locked file reports 0. The header text ("[" + sectionName + "]") and keyName
// hold at most 63 characters, and keyName no line break; other names report 0.
DWORD FindIniKey(const char* filePath, const char* sectionName, const char* keyName);
// Lower-cases keyName in place, then removes from the file the whole line, line break included, that sets
// keyName in the first section named sectionName (from the end of its header line to the next "["), and
// shortens the file. 1 when a line was removed. Names as for FindIniKey.
int DeleteIniKeyLine(const char* filePath, const char* sectionName, char* keyName);

// korun04-sim --lint: what the script reader and the parser do silently with a script, said one line each,
// so that a script author sees it before the script ships.
//
//   Kunz__04.unm:14: [VXDRV.Files] cut: the section's list is cut at its 4096-character buffer: 3 items from
//   here on are not read (x1.dll, x2.dll, x3.dll)
//
// The kinds of finding:
//   ignored            a line the reader skips: indented, before the first section, a "[" without "]"
//   cut                text or items lost to a limit: a name, key or value longer than 259 characters, a
//                      starter section past its 260-character buffer, a category section past 4096, a NUL byte
//   unused             a section no profile uses
//   duplicate-section  a second section of a name (only the first is read)
//   duplicate-profile  a profile named twice (the first one read stays, the other is dropped whole)
//   duplicate-item     an item its section lists twice (the second is dropped)
//   malformed          an item or entry without the fields its category needs, with a stray double quote,
//                      a starting tab, an empty entry that ends its section, a script without starter entries
// And with a machine, as if every listed printer were removed:
//   refused            an item the removal would refuse, with the safety rule's reason
//   not-found          a file found in none of the places the tool looks for it
#pragma once

#include <ostream>
#include <string>
#include <vector>

struct LintFinding {
    std::string file;     // the script as the command line or the machine names it
    int line = 0;         // 0: the file as a whole
    std::string section;  // "" when the finding is about no section
    std::string kind;
    std::string text;

    // "FILE:LINE: [SECTION] KIND: TEXT" ("FILE: KIND: TEXT" without line and section).
    std::string Format() const;
};

// The findings of the scripts at these paths of the current machine, read in the order the tool reads them
// (by full path), each shown under the name of the same index in shown. Sorted by file, then line.
std::vector<LintFinding> LintScripts(const std::vector<std::string>& paths, const std::vector<std::string>& shown);

// `korun04-sim --lint SCRIPT...`: the scripts (files of this computer) in a simulated machine of their own.
// Prints one line per finding on out, says on err what could not be read. 0: nothing found; 1: findings;
// 2: a script that cannot be read.
int LintScriptFiles(const std::vector<std::string>& files, std::ostream& out, std::ostream& err);

// `korun04-sim --lint --machine DIR`: every script the tool finds on the machine, and what the removal of every
// listed printer would refuse or not find, from a whole unattended run on a copy of the machine (the tool's
// own removers and safety rules decide). Exit status as LintScriptFiles; 2 also for a machine that cannot be
// loaded or a loading phase that fails.
int LintMachine(const std::string& machineDir, std::ostream& out, std::ostream& err);

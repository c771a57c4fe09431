#!/usr/bin/env bash
# Keeps docs/conformance.md honest: every Win32 function korun04.exe imports and the tool's sources name
# has a row there, and every conformance test a row names exists.
#
#   bash scripts/check_conformance_doc.sh build/windows/bin/korun04.exe
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
exe=${1:?usage: check_conformance_doc.sh KORUN04_EXE}
doc=$root/docs/conformance.md
objdump=x86_64-w64-mingw32-objdump
status=0

# The imports of the system libraries, static and delay-imported (the symbol table names both as __imp_),
# but the C runtime's (msvcrt.dll's entries of the import table): kept when the tool's own sources call them.
crt=$("$objdump" -p "$exe" | awk '/DLL Name:/ {dll = tolower($3); next}
    dll == "msvcrt.dll" && NF == 3 && $2 ~ /^[0-9]+$/ {print $3}' | sort -u)
# (mingw's import library of the C runtime also names its functions without their underscore: close, read.)
crt=$(echo "$crt" | sed 'p; s/^_//' | sort -u)
imports=$(x86_64-w64-mingw32-nm "$exe" | awk '$2 == "I" && $3 ~ /^__imp_/ {sub(/^__imp_/, "", $3); print $3}' | sort -u |
    comm -23 - <(echo "$crt"))
[[ -n $imports ]] || { echo "conformance doc: no imports read from $exe"; exit 1; }
for name in $imports; do
    grep -rqw --include='*.cpp' --include='*.h' "$name" "$root"/{app,script,inventory,removal,ui,report} "$root/tools/korun04" ||
        continue
    if ! grep -q "^| \`$name\` |" "$doc"; then
        echo "conformance doc: $name is called by the tool but has no row in docs/conformance.md"
        status=1
    fi
done

# Every "`file`: TestName" of a row is a test of tests/conformance/<file>_conformance_test.cpp.
while read -r file test; do
    source=$root/tests/conformance/${file}_conformance_test.cpp
    if ! grep -Eq "^TEST(_F)?\([A-Za-z]+, *$test\)" "$source" 2>/dev/null; then
        echo "conformance doc: names $file: $test, which is not a test of ${source#"$root"/}"
        status=1
    fi
done < <(grep '^| `' "$doc" | grep -oE '`[a-z]+`: [A-Za-z0-9]+' | sed -E 's/`([a-z]+)`: /\1 /' | sort -u)

((status == 0)) && echo "conformance doc: every function the tool imports has a row; every test it names exists"
exit $status

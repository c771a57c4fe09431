#!/usr/bin/env bash
# korun04.exe runs as administrator, often from a folder a user can write: before WinMain restricts the DLL
# search, Windows loads its static imports with the program's folder first, except the known DLLs (mapped
# from the system directory whatever lies beside the program). So every static import must be a known DLL;
# the others are delay-imported (cmake/windows.cmake) or loaded at run time from the system directory.
#
#   bash scripts/check_imports.sh EXE                the check: fails when a static import is not a known DLL
#   bash scripts/check_imports.sh --other-dlls EXE   prints every library EXE names (imported, delay-imported
#                                                    or loaded by name) that is not a known DLL, one a line
set -uo pipefail
objdump=x86_64-w64-mingw32-objdump

# HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs of Windows 10 and 11, with ntdll.dll and
# kernelbase.dll, which every process has mapped before its imports.
KNOWN_DLLS="advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 kernelbase msctf
msvcrt normaliz nsi ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32"
is_known() {
    local base=${1,,}
    [[ $base == *.dll ]] || return 1
    [[ " ${KNOWN_DLLS//$'\n'/ } " == *" ${base%.dll} "* ]]
}

mode=check
if [[ ${1:-} == --other-dlls ]]; then
    mode=list
    shift
fi
exe=${1:?usage: check_imports.sh [--other-dlls] EXE}
[[ -f $exe ]] || { echo "imports: $exe not found"; exit 1; }

if [[ $mode == list ]]; then
    # Import tables name their DLLs as strings; so do the delay-import descriptors and LoadLibrary calls.
    strings -n 5 "$exe" | grep -iE '^[A-Za-z0-9_-]+\.(dll|drv)$' | sort -uf | while read -r name; do
        is_known "$name" || echo "${name,,}"
    done
    exit 0
fi

static=$("$objdump" -p "$exe" | awk '/^\tDLL Name:/ {print $3}')
[[ -n $static ]] || { echo "imports: no import table read from $exe"; exit 1; }
status=0
for name in $static; do
    if ! is_known "$name"; then
        echo "imports: $exe imports $name statically, which is not a known DLL: a copy beside the program would be loaded"
        status=1
    fi
done
((status == 0)) && echo "imports: every static import of $(basename "$exe") is a known DLL ($(echo $static | tr '\n' ' '))"
exit $status

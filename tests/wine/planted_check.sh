#!/usr/bin/env bash
# The elevated tool run from a folder a user can write: korun04.exe is copied into a user's Downloads
# folder of a fresh prefix together with a planted library under the name of every library it imports that
# is not a known DLL (each leaves a marker file when loaded; Wine is told to prefer such a native library
# in the program's folder, as Windows's search order does), a planted uninstall hook that the family's
# script names, and a planted script. /PLAN and an unattended removal run from there: no marker may
# appear, and the plan names no script of that folder. A control program without the tool's protections,
# in the same folder, must load the planted version.dll, so that the check can fail.
#
#   bash tests/wine/planted_check.sh [BIN_DIR]   (default build/windows/bin; run.sh calls it unless
#                                                  KORUN_WINE_PLANTED_CHECK=0)
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LOG_NAME=korun04-planted
source "$ROOT/tests/wine/lib.sh"
wine_bin_dir planted "${1:-}" || exit 1

PASSED=0
FAILED=0
pass() { echo "PASS: planted: $*"; PASSED=$((PASSED + 1)); }
fail() { echo "FAIL: planted: $*"; FAILED=$((FAILED + 1)); }

for file in korun04.exe planted.dll planted_control.exe; do
    [[ -f $BIN_DIR/$file ]] || { echo "FAIL: planted: $file not found in $BIN_DIR"; exit 1; }
done
# The names to plant: every library korun04.exe imports, statically or late, that Windows does not map
# from its system directory by itself.
mapfile -t PLANTED < <(bash "$ROOT/scripts/check_imports.sh" --other-dlls "$BIN_DIR/korun04.exe")
((${#PLANTED[@]} > 0)) || { echo "FAIL: planted: no imported library to plant read from korun04.exe"; exit 1; }

started=$SECONDS
use_japanese_locale
start_display
wine_fresh_prefix
echo "planted: prefix ready in $((SECONDS - started)) s; planting ${PLANTED[*]}"

C="$WINEPREFIX/drive_c"
user_dir=$(find "$C/users" -mindepth 1 -maxdepth 1 -type d ! -iname public | head -1)
[[ -n $user_dir ]] || { echo "FAIL: planted: no user profile in the prefix"; exit 1; }
user=$(basename "$user_dir")
# Wine links Downloads to the Unix home directory: the prefix gets a real folder instead.
downloads="$user_dir/Downloads"
[[ -L $downloads ]] && rm -f "$downloads"
mkdir -p "$downloads"
WIN_DOWNLOADS="C:\\users\\$user\\Downloads"

driver_dir=$(find "$C/windows/system32/spool/drivers" -maxdepth 1 -iname x64 | head -1)
[[ -n $driver_dir ]] || { echo "FAIL: planted: no x64 driver directory in the prefix"; exit 1; }
# The family's script in the driver directory names a hook library that lies only beside the tool.
printf '[UnPrinterDrivers]\r\n"Vestral X Driver",VXDRV,1\r\n[VXDRV.Hooks]\r\nplanthook.dll,Uninstall\r\n[VXDRV.Files]\r\nvxdrv.dll\r\n' \
    >"$driver_dir/Kunz__04.unm"
cp "$BIN_DIR/korun04.exe" "$BIN_DIR/planted_control.exe" "$downloads/"
overrides=()
for name in "${PLANTED[@]}"; do
    cp "$BIN_DIR/planted.dll" "$downloads/$name"
    overrides+=("${name%.dll}")
done
cp "$BIN_DIR/planted.dll" "$downloads/planthook.dll"
printf '[UnPrinterDrivers]\r\n"Vestral Z Driver",VZDRV,1\r\n[VZDRV.Files]\r\nplantfile.dll\r\n' >"$downloads/Kunz__04.unm"
# Native first for every planted name, as Windows loads a library that is not a known DLL.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$(IFS=,; echo "${overrides[*]}")=n,b"

markers() { find "$C/planted" -type f -printf '%f ' 2>/dev/null; }
clear_markers() { rm -rf "$C/planted"; }
# run_from_downloads NAME COMMAND...: a command line run from a batch file in the prefix (Wine would re-quote
# arguments with double quotes), in the Downloads folder as its current directory; sets RC.
run_from_downloads() {
    local name=$1
    shift
    printf '@cd /d %s\r\n@%s\r\n@exit %%ERRORLEVEL%%\r\n' "$WIN_DOWNLOADS" "$*" >"$C/run-$name.bat"
    RC=0
    timeout -k 5 120 "$WINE" cmd /c "C:\\run-$name.bat" </dev/null >"$LOG_DIR/$name.out" 2>&1 || RC=$?
}

# --- the control: a program without protections loads the planted version.dll ------------------------------
clear_markers
run_from_downloads control "$WIN_DOWNLOADS\\planted_control.exe"
if [[ -n $(find "$C/planted" -iname version.dll.loaded 2>/dev/null) ]]; then
    pass "the control program in $WIN_DOWNLOADS loads the planted version.dll (the check can fail)"
else
    fail "the control program did not load the planted version.dll (exit $RC; markers: $(markers)): the check proves nothing"
fi

# --- /PLAN from the Downloads folder -------------------------------------------------------------------------
clear_markers
run_from_downloads plan "$WIN_DOWNLOADS\\korun04.exe /PLAN:\"C:\\plan.ini\" /SELECT:ALL"
problems=()
[[ $RC == 0 ]] || problems+=("exit code $RC, expected 0")
[[ -z $(markers) ]] || problems+=("planted libraries were loaded: $(markers)")
plan="$C/plan.ini"
if [[ -f $plan ]]; then
    grep -qiF -- "path = $WIN_DOWNLOADS" "$plan" && problems+=("the plan names a script of the Downloads folder")
    grep -qi -- '^path = C:\\windows\\system32\\spool\\drivers\\x64\\Kunz__04.unm' "$plan" ||
        problems+=("the plan does not name the driver directory's script")
    grep -qF 'plantfile.dll' "$plan" && problems+=("the plan holds an item of the planted script")
else
    problems+=("no plan C:\\plan.ini")
fi
if ((${#problems[@]} == 0)); then
    pass "korun04.exe /PLAN from $WIN_DOWNLOADS: exit 0, nothing planted loaded, no script of that folder read"
else
    fail "korun04.exe /PLAN from $WIN_DOWNLOADS: $(printf '%s; ' "${problems[@]}" | sed 's/; $//')"
    [[ -f $plan ]] && sed 's/^/    plan: /' "$plan" | head -30
fi

# --- /QUIET from the Downloads folder: the removal runs its stages, the hook beside it is refused ------------------
clear_markers
run_from_downloads quiet "$WIN_DOWNLOADS\\korun04.exe /QUIET /SELECT:ALL /LOG:\"C:\\quiet.log\""
problems=()
[[ $RC == 0 ]] || problems+=("exit code $RC, expected 0")
[[ -z $(markers) ]] || problems+=("planted libraries were loaded or called: $(markers)")
log="$C/quiet.log"
if [[ -f $log ]]; then
    for line in "run | program folder | $WIN_DOWNLOADS\\ | a folder a user can write" \
                "stage 5 | hook | $WIN_DOWNLOADS\\planthook.dll,Uninstall | refused" 'end | exit code 0 (done)'; do
        grep -aqiF -- "$line" "$log" || problems+=("the log has no \"$line\"")
    done
else
    problems+=("no log C:\\quiet.log")
fi
if ((${#problems[@]} == 0)); then
    pass "korun04.exe /QUIET from $WIN_DOWNLOADS: exit 0, no planted library loaded, the hook beside it refused, said once in the log"
else
    fail "korun04.exe /QUIET from $WIN_DOWNLOADS: $(printf '%s; ' "${problems[@]}" | sed 's/; $//')"
    [[ -f $log ]] && tail -30 "$log" | iconv -f SHIFT_JIS -t UTF-8 2>/dev/null | sed 's/^/    log: /'
fi

echo "planted: $PASSED passed, $FAILED failed ($((SECONDS - started)) s)"
((FAILED == 0))

#!/usr/bin/env bash
# The administrator's modes of korun04.exe under Wine: /PLAN writes the plan and changes nothing, a /SELECT
# naming no listed printer ends with 87, and /QUIET removes the chosen printer and what its script names,
# with no window shown, exit code 0 and the removal log in the temporary directory (and where /LOG says).
#
#   bash tests/wine/admin_check.sh [BIN_DIR]   (default build/windows/bin; run.sh calls it unless KORUN_WINE_ADMIN_CHECK=0)
#
# A fresh prefix under the Japanese locale with Xvfb (the hidden dialogs are still windows); ui_setup.exe
# installs the printer "Vestral Office" (driver "Vestral X Driver", printer data VestralDriver04 = 1).
# Prints one PASS/FAIL line per check; exit status non-zero on any failure.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LOG_NAME=korun04-admin
source "$ROOT/tests/wine/lib.sh"
wine_bin_dir admin "${1:-}" || exit 1

PASSED=0
FAILED=0
pass() { echo "PASS: admin: $*"; PASSED=$((PASSED + 1)); }
fail() { echo "FAIL: admin: $*"; FAILED=$((FAILED + 1)); }

for exe in korun04.exe ui_setup.exe; do
    [[ -f $BIN_DIR/$exe ]] || { echo "FAIL: admin: $exe not found in $BIN_DIR"; exit 1; }
done

started=$SECONDS
use_japanese_locale
start_display
wine_fresh_prefix
echo "admin: prefix ready in $((SECONDS - started)) s (Xvfb on $DISPLAY)"

PRINTER='Vestral Office'
PRINTER_KEY="HKLM\\System\\CurrentControlSet\\Control\\Print\\Printers\\$PRINTER"
FAMILY_KEY='HKLM\Software\VESTRAL\VX'
C="$WINEPREFIX/drive_c"

cp "$ROOT/tests/wine/vestral.ppd" "$C/vestral.ppd"
if ! wine_run 60 "$BIN_DIR/ui_setup.exe" 'C:\vestral.ppd' >"$LOG_DIR/setup.log" 2>&1; then
    echo "FAIL: admin: could not install the test printer"; sed 's/^/    /' "$LOG_DIR/setup.log"; exit 1
fi
# What the script names besides the printer: a file in the driver directory and a key of the family.
driver_dir=$(find "$C/windows/system32/spool/drivers" -maxdepth 1 -iname x64 | head -1)
[[ -n $driver_dir ]] || { echo "FAIL: admin: no x64 driver directory in the prefix"; exit 1; }
echo MZ >"$driver_dir/vxdrv.dll"
wine_reg_add "$FAMILY_KEY\\Sub" Version 4.2 || { echo "FAIL: admin: could not seed $FAMILY_KEY"; exit 1; }

tool_dir="$C/korun04"
mkdir -p "$tool_dir"
cp "$BIN_DIR/korun04.exe" "$tool_dir/"
printf '[UnPrinterDrivers]\r\n"Vestral X Driver",VXDRV,1\r\n[VXDRV.Files]\r\nvxdrv.dll\r\n[VXDRV.RegistryKeys]\r\nHKLM,"SOFTWARE\\VESTRAL\\VX","",1\r\n' \
    >"$tool_dir/Kunz__04.unm"

key_exists() { wine_run 60 reg query "$1" >/dev/null 2>&1; }
# run_tool NAME TAIL: korun04.exe with that command tail, written as it is into a batch file (Wine would
# re-quote arguments that hold blanks or double quotes); sets RC, the exit code modulo 256 as a process
# status holds it.
run_tool() {
    local name=$1 tail=$2
    printf '@C:\korun04\korun04.exe %s\r\n@exit %%ERRORLEVEL%%\r\n' "$tail" >"$tool_dir/run-$name.bat"
    RC=0
    WINEDEBUG=$WINE_TOOL_DEBUG timeout -k 5 120 "$WINE" cmd /c "C:\\korun04\\run-$name.bat" </dev/null >"$LOG_DIR/$name.out" 2>&1 || RC=$?
}
# Whether the log (Shift-JIS text; only its ASCII parts are looked for) holds the line.
log_has() { grep -aqF -- "$2" "$1"; }
# The visible top-level windows are counted by nothing here: a hidden run shows its windows only if a
# dialog ignored WM_WINDOWPOSCHANGING, which the conformance tests check under Wine.

# --- /PLAN: the plan written, nothing changed ---------------------------------------------------------------------
run_tool plan '/PLAN:"C:\korun04-plan.ini" /SELECT:"Vestral Office"'
problems=()
[[ $RC == 0 ]] || problems+=("exit code $RC, expected 0")
plan="$C/korun04-plan.ini"
if [[ -f $plan ]]; then
    for line in '[script]' 'path = C:\korun04\Kunz__04.unm' '[printer]' 'name = Vestral Office' 'driver = Vestral X Driver' \
                'kept = 0' 'files = vxdrv.dll' '[selection]' 'removing = 1'; do
        grep -qxF -- "$line" "$plan" || problems+=("the plan has no line \"$line\"")
    done
else
    problems+=("no plan file C:\\korun04-plan.ini")
fi
key_exists "$PRINTER_KEY" || problems+=("the printer is gone")
[[ -f $driver_dir/vxdrv.dll ]] || problems+=("vxdrv.dll is gone")
key_exists "$FAMILY_KEY" || problems+=("$FAMILY_KEY is gone")
log=$(wine_tool_log)
if [[ -n $log ]]; then
    log_has "$log" "run | the plan is written to C:\\korun04-plan.ini; nothing was removed" || problems+=("the log does not say the plan was written")
    log_has "$log" "end | exit code 0 (done)" || problems+=("the log does not end with exit code 0")
    log_has "$log" "stage " && problems+=("the log shows a removal stage")
else
    problems+=("no korun04.log in the temporary directory")
fi
if ((${#problems[@]} == 0)); then
    pass "korun04.exe /PLAN: exit 0, the plan written, printer, file and key untouched, the log says so"
else
    fail "korun04.exe /PLAN: $(printf '%s; ' "${problems[@]}" | sed 's/; $//')"
    [[ -f $plan ]] && sed 's/^/    plan: /' "$plan" | head -40
    [[ -s $LOG_DIR/plan.out ]] && tail -20 "$LOG_DIR/plan.out" | sed 's/^/    output: /'
fi

# --- /PLAN to a file that cannot be written: 1603 at once, before the loading, no file left ---------------------
run_tool planbad '/PLAN:"C:\No such directory\plan.ini"'
problems=()
[[ $RC == $((1603 % 256)) ]] || problems+=("exit code $RC, expected 1603 (67 modulo 256)")
[[ -e "$C/No such directory" ]] && problems+=("a directory or file was left at C:\No such directory")
log=$(wine_tool_log)
if [[ -n $log ]]; then
    run_lines=$(tr -d '\r' <"$log" | awk '/^==== korun04 .*No such directory/ {on = 1; next} /^==== / {on = 0} on')
    grep -qF 'the plan cannot be written to C:\No such directory\plan.ini (error 3): nothing was loaded' <<<"$run_lines" ||
        problems+=("the log does not say the plan cannot be written")
    grep -q ' loading | ' <<<"$run_lines" && problems+=("the loading phase ran")
else
    problems+=("no korun04.log in the temporary directory")
fi
if ((${#problems[@]} == 0)); then
    pass "korun04.exe /PLAN to a folder that does not exist: exit 1603 before the loading, nothing written"
else
    fail "korun04.exe /PLAN to a folder that does not exist: $(printf '%s; ' "${problems[@]}" | sed 's/; $//')"
fi

# --- /QUIET with a name that matches no listed printer: 87, nothing touched --------------------------------------
run_tool bad '/QUIET /SELECT:"Nobody" /LOG:"C:\admin.log"'
problems=()
[[ $RC == 87 ]] || problems+=("exit code $RC, expected 87")
if [[ -f $C/admin.log ]]; then
    log_has "$C/admin.log" 'bad command line: /SELECT names no listed printer: "Nobody" (listed: "Vestral Office")' ||
        problems+=("the log does not say why")
else
    problems+=("no log at C:\\admin.log")
fi
key_exists "$PRINTER_KEY" || problems+=("the printer is gone")
if ((${#problems[@]} == 0)); then
    pass "korun04.exe /QUIET /SELECT:\"Nobody\": exit 87, the reason in the /LOG file, nothing removed"
else
    fail "korun04.exe /QUIET /SELECT:\"Nobody\": $(printf '%s; ' "${problems[@]}" | sed 's/; $//')"
fi

# --- /QUIET /SELECT:"Vestral Office": the removal, unattended ----------------------------------------------------
run_tool quiet '/QUIET /SELECT:"Vestral Office"'
problems=()
[[ $RC == 0 ]] || problems+=("exit code $RC, expected 0")
key_exists "$PRINTER_KEY" && problems+=("the printer is still there")
[[ -f $driver_dir/vxdrv.dll ]] && problems+=("vxdrv.dll is still there")
key_exists "$FAMILY_KEY" && problems+=("$FAMILY_KEY is still there")
log=$(wine_tool_log)
if [[ -n $log ]]; then
    for line in '/QUIET /SELECT:"Vestral Office" | platform WinNT' 'loading | printer | Vestral Office | driver "Vestral X Driver", of the family' \
                'stage 3 | printer | Vestral Office | removed' "stage 14 | file | " 'vxdrv.dll | removed' \
                'stage 15 | registry key | HKEY_LOCAL_MACHINE\SOFTWARE\VESTRAL\VX | removed (with its subkeys)' \
                '| no restart needed' 'end | exit code 0 (done)'; do
        log_has "$log" "$line" || problems+=("the log has no \"$line\"")
    done
    log_has "$log" '(not shown)' || problems+=("the end-of-run message box was not answered unseen")
else
    problems+=("no korun04.log in the temporary directory")
fi
if ((${#problems[@]} == 0)); then
    pass "korun04.exe /QUIET /SELECT:\"Vestral Office\": exit 0, printer, file and key removed, each on its log line"
else
    fail "korun04.exe /QUIET /SELECT:\"Vestral Office\": $(printf '%s; ' "${problems[@]}" | sed 's/; $//')"
    [[ -n $log ]] && tail -40 "$log" | iconv -f SHIFT_JIS -t UTF-8 2>/dev/null | sed 's/^/    log: /'
fi

echo "admin: $PASSED passed, $FAILED failed ($((SECONDS - started)) s)"
((FAILED == 0))

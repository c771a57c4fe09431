#!/usr/bin/env bash
# The removal check: korun04.exe removes printers of the family from a Wine prefix, driven from outside by
# removal_driver.exe, and removal_machine.exe checks what went and what stayed.
#
#   bash tests/wine/removal_check.sh [BIN_DIR]   (default build/windows/bin; run.sh calls it unless
#                                                 KORUN_WINE_REMOVAL_CHECK=0)
#
# A fresh prefix under the Japanese locale with Xvfb and the virtual desktop. removal_machine.exe sets the
# machine up (five printers: "Vestral Office" (the default), "Vestral Labels" and "Vestral Reception" of
# the family, "Acme Plotter" and "Pavane Front (PSCRIPT)" of others; their drivers in "Windows x64" and
# "Windows NT x86"; a port
# monitor, a print processor, services, device nodes, registry keys, INI keys, shortcuts, files); the
# family's scripts (tests/wine/removal/) go beside the tool and into the driver directory, the uninstall
# hook vsthook.dll into the driver directory. The list of what goes when is removal_machine.cpp's.
#
#   run 1    Office and Labels are selected and removed: the tool makes Reception the default printer and,
#            as vxlock.dll is held open by "removal_machine.exe hold", schedules it and asks whether to
#            restart (the driver answers No). Exit code 1.
#   restart  the holder lets go; wineboot -r plays the restart, which carries out the scheduled deletion.
#   run 2    Reception, the family's last printer, is removed: the script in the driver directory, the
#            family's keys and the Pavane utility (started with " /d" and waited for first) go too; the
#            printer "Pavane Front (PSCRIPT)" becomes the default; the run ends saying how many items the
#            tool refused (the scripts name seven that Windows needs), not "complete".
#   restore  korun04.exe /QUIET /RESTORE:LAST puts back what run 2 removed, from run 2's backup set: the
#            machine is then the one before run 2, apart from the USB device nodes (they come back when the
#            printer is plugged in) and what the runs write themselves (backup sets, log).
#
# After each phase the machine is checked item by item, and against a snapshot taken before the phase:
# nothing went that the removal does not name. The tool's log holds one line per item, with no empty field.
# A screenshot of the removal page in progress (behind run 1's first message box, shown while the printers
# go) is compared with docs/images/removal-page.png (lib.sh, wine_compare_shot).
#
# Prints the PASS/FAIL lines of the driver and the checker and one summary line; exit status non-zero on any
# failure.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LOG_NAME=korun04-removal
source "$ROOT/tests/wine/lib.sh"
wine_bin_dir removal "${1:-}" || exit 1

for file in korun04.exe removal_driver.exe removal_machine.exe vsthook.dll; do
    [[ -f $BIN_DIR/$file ]] || { echo "FAIL: removal: $file not found in $BIN_DIR"; exit 1; }
done

FAILED=0
problem() { echo "FAIL: removal: $*"; FAILED=$((FAILED + 1)); }

started=$SECONDS
use_japanese_locale
[[ $LANG == ja_JP.UTF-8 ]] || { echo "FAIL: removal: the check needs the locale ja_JP.UTF-8"; exit 1; }
start_display
wine_fresh_prefix
echo "removal: prefix ready in $((SECONDS - started)) s (Xvfb on $DISPLAY)"

C="$WINEPREFIX/drive_c"
machine() { wine_run "$1" "$BIN_DIR/removal_machine.exe" "${@:2}"; }

# checker PHASE [BEFORE AFTER]: the checker's lines (its failures only), counting a failure when it fails.
checker() {
    local phase=$1
    shift
    local rc=0
    machine 120 check "$phase" "$@" >"$LOG_DIR/check-$phase.log" 2>&1 || rc=$?
    local passed failed
    passed=$(grep -c '^PASS:' "$LOG_DIR/check-$phase.log")
    failed=$(grep -c '^FAIL:' "$LOG_DIR/check-$phase.log")
    if [[ $rc == 0 ]]; then
        echo "removal: after $phase: $passed checks passed"
    else
        grep -v '^PASS:' "$LOG_DIR/check-$phase.log" | sed 's/^/    /'
        problem "after $phase: $failed of $((passed + failed)) checks failed (exit code $rc)"
    fi
}

# snapshot NAME: every registry key and value of HKLM and HKCU (reg export) and every file and directory of
# drive C: (find, which does not follow Wine's links to the Unix home directory) as removal_machine.exe reads
# them, into $CHECK_DIR/NAME.txt.
CHECK_DIR="$C/korun04-check"
snapshot() {
    local root
    for root in HKLM HKCU; do
        # A failed export must not leave the previous snapshot's file to be read as this one; and right after
        # wineboot -r the export can fail while Wine's services come up again, so it is tried three times.
        rm -f "$CHECK_DIR/$root.reg"
        local try
        for try in 1 2 3; do
            wine_run 60 reg export "$root" "C:\\korun04-check\\$root.reg" /y >/dev/null 2>&1 && [[ -s $CHECK_DIR/$root.reg ]] &&
                break
            rm -f "$CHECK_DIR/$root.reg"
            sleep 2
        done
        [[ -s $CHECK_DIR/$root.reg ]] || problem "reg export $root failed"
    done
    {
        for root in HKLM HKCU; do iconv -f UTF-16 -t UTF-8 "$CHECK_DIR/$root.reg" | LC_ALL=C awk -f "$ROOT/tests/wine/reg_entries.awk"; done
        (cd "$C" && find . -mindepth 1 -path ./korun04-check -prune -o -type d -printf 'd %P\n' -o -printf 'f %P\n') |
            LC_ALL=C awk '{ p = substr($0, 3); gsub("/", "\\", p); print substr($0, 1, 1) " c:\\" tolower(p) }'
    } >"$CHECK_DIR/$1.txt"
}

# check_phase PHASE: the checker after PHASE, with the snapshots before and after it.
check_phase() {
    snapshot "after-$1"
    checker "$1" "C:\\korun04-check\\before-$1.txt" "C:\\korun04-check\\after-$1.txt"
}

# --- the machine --------------------------------------------------------------------------------------------
mkdir -p "$C/korun04" "$C/korun04-check"
cp "$ROOT/tests/wine/vestral.ppd" "$C/vestral.ppd"
if ! machine 120 setup 'C:\vestral.ppd' >"$LOG_DIR/setup.log" 2>&1; then
    echo "FAIL: removal: could not set the machine up"; sed 's/^/    /' "$LOG_DIR/setup.log"; exit 1
fi
sed 's/^/    /' "$LOG_DIR/setup.log"
drivers="$C/windows/system32/spool/drivers/x64"
cp "$BIN_DIR/korun04.exe" "$BIN_DIR/removal_driver.exe" "$C/korun04/"
cp "$ROOT/tests/wine/removal/beside-tool.unm" "$C/korun04/Kunz__04.unm"
cp "$ROOT/tests/wine/removal/driver-dir.unm" "$drivers/Kunz__04.unm"
cp "$BIN_DIR/vsthook.dll" "$drivers/vsthook.dll"
cp "$BIN_DIR/removal_machine.exe" "$C/Program Files/Vestral Keep/PAVANE32.EXE"  # the Pavane stand-in
checker setup

# The file in use: held without sharing (and a handle of the service VstHold04) until C:\korun04-release.
timeout -k 5 600 "$WINE" "$BIN_DIR/removal_machine.exe" hold 'C:\korun04-release' </dev/null >"$LOG_DIR/hold.log" 2>&1 &
holder=$!
WINE_CHILD_PIDS+=("$holder")
for _ in $(seq 100); do grep -q '^HOLDING' "$LOG_DIR/hold.log" && break; sleep 0.2; done
grep -q '^HOLDING' "$LOG_DIR/hold.log" || { echo "FAIL: removal: the holder did not start"; cat "$LOG_DIR/hold.log"; exit 1; }

# run_removal NAME SHOT PRINTER...: one interactive removal; checks the exit code, the printers listed against
# EXPECTED_LISTED and the message boxes against EXPECTED_BOXES (one per line, in order).
run_removal() {
    local name=$1 shot=$2
    shift 2
    local args=()
    [[ -n $shot ]] && args=(--shot "$shot")
    echo "removal: $name: korun04.exe driven by removal_driver.exe, removing: $*"
    run_ui_session "$C/korun04/korun04.exe" "$LOG_DIR/shots" "$LOG_DIR/$name.log" "$C/korun04/removal_driver.exe" \
        "${args[@]}" "$@"
    [[ $UI_DRIVER_RC == 0 ]] || problem "$name: driver exit code $UI_DRIVER_RC"
    [[ $UI_TOOL_RC == 1 ]] || problem "$name: korun04.exe exit code $UI_TOOL_RC, expected 1"
    local boxes
    boxes=$(grep '^BOX ' "$LOG_DIR/$name.log" | tr -d '\r')
    [[ $boxes == "$EXPECTED_BOXES" ]] ||
        problem "$name: message boxes $(echo "$boxes" | paste -sd '|'), expected $(echo "$EXPECTED_BOXES" | paste -sd '|')"
    local listed
    listed=$(grep '^LISTED ' "$LOG_DIR/$name.log" | tr -d '\r' | sed 's/^LISTED //' | sort | paste -sd '|')
    [[ $listed == "$EXPECTED_LISTED" ]] || problem "$name: the list shows $listed, expected $EXPECTED_LISTED"
    if ((UI_DRIVER_RC != 0 || UI_TOOL_RC != 1)) && [[ -s $LOG_DIR/$name.log.tool ]]; then
        sed 's/^/    tool: /' "$LOG_DIR/$name.log.tool" | tail -20
    fi
    if ((UI_DRIVER_RC != 0 || UI_TOOL_RC != 1)); then
        local tool_log
        tool_log=$(wine_tool_log)
        [[ -n $tool_log ]] && iconv -c -f CP932 -t UTF-8 "$tool_log" | tail -15 | sed 's/^/    log: /'
    fi
}

# --- run 1: two of the three family printers ------------------------------------------------------------------
snapshot before-run1
EXPECTED_LISTED='Vestral Labels|Vestral Office|Vestral Reception'  # the family's printers only
# The scripts name seven items the tool refuses (the "Local Port" monitor, the Spooler service, a \\?\ OEM
# folder, Program Files itself, an INF file that is no OEM INF, the Run and CLSID keys) and a file of the staying
# plotter's driver, which it keeps (not counted as refused): the end says so before the restart question.
EXPECTED_BOXES=$'BOX 160 Vestral Reception\nBOX 300 7 0 7\nBOX 200'
run_removal run1 removal-page "Vestral Office" "Vestral Labels"
check_phase run1

# --- the restart ----------------------------------------------------------------------------------------------
touch "$C/korun04-release"
for _ in $(seq 100); do kill -0 "$holder" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$holder" 2>/dev/null; then
    problem "the holder did not let go within 20 s"
    kill "$holder" 2>/dev/null
fi
wait "$holder" 2>/dev/null || problem "the holder ended with exit code $?"
snapshot before-restart
wine_run 60 wineboot -r >"$LOG_DIR/restart.log" 2>&1 || problem "wineboot -r failed"
check_phase restart

# --- run 2: the last printer of the family -------------------------------------------------------------------
cp "$CHECK_DIR/after-restart.txt" "$CHECK_DIR/before-run2.txt"
EXPECTED_LISTED='Vestral Reception'
EXPECTED_BOXES=$'BOX 160 Pavane Front (PSCRIPT)\nBOX 300 7 0 7'
run_removal run2 "" "Vestral Reception"
check_phase run2

# --- restore: run 2's backup set puts back what run 2 removed ------------------------------------------------
# What cannot come back (the USB device nodes: they return when the printer is plugged in), and what the runs
# themselves write (the backup sets, the log, the status service's key, the restart's rename list, the mark
# the Pavane stand-in leaves when run 2 starts it, the console settings Wine writes for a console program)
# are not compared.
# The runs the tool's log holds: a restore that adds none never started (Wine could not start the process on a
# busy machine), and is tried again; one that started is never repeated, whatever it ended with.
tool_runs() {
    local log
    log=$(wine_tool_log)
    if [[ -n $log ]]; then grep -ac '^==== korun04 ' "$log"; else echo 0; fi
}
restore_rc=0
for try in 1 2 3; do
    runs_before=$(tool_runs)
    restore_rc=0
    wine_run 300 "$C/korun04/korun04.exe" /QUIET /RESTORE:LAST >>"$LOG_DIR/restore.log" 2>&1 || restore_rc=$?
    [[ $restore_rc == 0 || $(tool_runs) != "$runs_before" ]] && break
    echo "--- try $try: exit code $restore_rc, and the tool's log has no run of it" >>"$LOG_DIR/restore.log"
    sleep 2
done
if [[ $restore_rc != 0 ]]; then
    # What Wine and the tool said: the restore leaves no window to look at afterwards.
    tail -10 "$LOG_DIR/restore.log" | sed 's/^/    wine: /'
    restore_log=$(wine_tool_log)
    [[ -n $restore_log ]] && iconv -c -f CP932 -t UTF-8 "$restore_log" | tail -15 | sed 's/^/    log: /'
    problem "restore: korun04.exe /QUIET /RESTORE:LAST exit code $restore_rc, expected 0"
fi
snapshot after-restore
not_compared='\\programdata\\vestral\\korun04\\backup|\\temp\\korun04\.log|\\enum\\usb|\\services\\vststatus04|pendingfilerenameoperations|^[kv] hkcu\\console|^f c:\\pavane\.txt$'
restore_diff=$(diff <(grep -Eiv "$not_compared" "$CHECK_DIR/before-run2.txt") \
    <(grep -Eiv "$not_compared" "$CHECK_DIR/after-restore.txt") | grep '^[<>]')
if [[ -n $restore_diff ]]; then
    echo "$restore_diff" | head -40 | sed 's/^/    /'
    problem "restore: the machine differs from the one before run 2 in $(echo "$restore_diff" | wc -l) line(s)"
else
    echo "removal: after restore: the machine is the one before run 2, apart from what cannot come back"
fi

# The tool's log: every item line names its kind and item (no empty field).
log=$(wine_tool_log)
if [[ -z $log ]]; then
    problem "no korun04.log in the temporary directory"
elif grep -aq "backup folder not the tool's" "$log"; then
    # The folders the first run made must be the tool's to the second, also where Wine keeps no descriptors.
    problem "a run moved the tool's own backup folders aside: $(grep -a "backup folder not the tool's" "$log" | head -1)"
elif grep -aq ' |  | \| | $' "$log"; then
    problem "the log has lines with an empty field: $(grep -a ' |  | \| | $' "$log" | head -3 | paste -sd '|')"
fi
if ((FAILED == 0)); then
    why=$(wine_compare_shot removal-page "$LOG_DIR/shots") || problem "$why"
    [[ $why == wine:* ]] && echo "$why"
fi

if ((FAILED == 0)); then
    echo "PASS: removal: two removals, a restart, a restore, and nothing else touched ($((SECONDS - started)) s)"
else
    echo "FAIL: removal: $FAILED problem(s) ($((SECONDS - started)) s)"
    exit 1
fi

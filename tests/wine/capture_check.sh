#!/usr/bin/env bash
# The capture check: korun04.exe /CAPTURE writes a Wine prefix set up like the removal check's as a machine
# directory; korun04.exe /PLAN plans on the prefix, korun04-sim --plan on the capture, and the two plans must
# be the same bytes ([refused] included).
#
#   bash tests/wine/capture_check.sh [BIN_DIR]   (default build/windows/bin; run.sh calls it unless
#                                                 KORUN_WINE_CAPTURE_CHECK=0; needs build/host/bin/korun04-sim,
#                                                 or KORUN_SIM naming it)
#
# The prefix: removal_machine.exe setup (five printers, drivers of two environments, a monitor, a processor,
# services, device nodes, keys, INI keys, shortcuts, files), the family's two scripts (beside the tool and in
# the driver directory) and the hook library, as tests/wine/removal_check.sh sets them up; the Japanese
# locale (code page 932). Prints one PASS/FAIL line; exit status non-zero on failure.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LOG_NAME=korun04-capture
source "$ROOT/tests/wine/lib.sh"
wine_bin_dir capture "${1:-}" || exit 1
SIM=${KORUN_SIM:-$ROOT/build/host/bin/korun04-sim}

for file in korun04.exe removal_machine.exe vsthook.dll; do
    [[ -f $BIN_DIR/$file ]] || { echo "FAIL: capture: $file not found in $BIN_DIR"; exit 1; }
done
[[ -x $SIM ]] || { echo "FAIL: capture: $SIM not found (build the host preset first)"; exit 1; }

started=$SECONDS
use_japanese_locale
start_display
wine_fresh_prefix
echo "capture: prefix ready in $((SECONDS - started)) s (Xvfb on $DISPLAY)"

C="$WINEPREFIX/drive_c"
mkdir -p "$C/korun04"
cp "$ROOT/tests/wine/vestral.ppd" "$C/vestral.ppd"
if ! wine_run 120 "$BIN_DIR/removal_machine.exe" setup 'C:\vestral.ppd' >"$LOG_DIR/setup.log" 2>&1; then
    echo "FAIL: capture: could not set the machine up"; sed 's/^/    /' "$LOG_DIR/setup.log"; exit 1
fi
drivers="$C/windows/system32/spool/drivers/x64"
cp "$BIN_DIR/korun04.exe" "$C/korun04/"
cp "$ROOT/tests/wine/removal/beside-tool.unm" "$C/korun04/Kunz__04.unm"
cp "$ROOT/tests/wine/removal/driver-dir.unm" "$drivers/Kunz__04.unm"
cp "$BIN_DIR/vsthook.dll" "$drivers/vsthook.dll"
cp "$BIN_DIR/removal_machine.exe" "$C/Program Files/Vestral Keep/PAVANE32.EXE"

# run_tool NAME TAIL: korun04.exe with that tail, from a batch file (Wine would re-quote arguments with
# double quotes); RC is its exit code modulo 256.
run_tool() {
    printf '@C:\korun04\korun04.exe %s\r\n@exit %%ERRORLEVEL%%\r\n' "$2" >"$C/korun04/run-$1.bat"
    RC=0
    timeout -k 5 120 "$WINE" cmd /c "C:\\korun04\\run-$1.bat" </dev/null >"$LOG_DIR/$1.out" 2>&1 || RC=$?
}

problems=()
run_tool capture '/CAPTURE:"C:\korun04-capture"'
[[ $RC == 0 ]] || problems+=("/CAPTURE: exit code $RC, expected 0")
[[ -f $C/korun04-capture/machine.ini && -f $C/korun04-capture/capture.txt ]] || problems+=("/CAPTURE wrote no machine.ini and capture.txt")
run_tool plan '/PLAN:"C:\korun04-plan.ini"'
[[ $RC == 0 ]] || problems+=("/PLAN: exit code $RC, expected 0")
[[ -s $C/korun04-plan.ini ]] || problems+=("/PLAN wrote no plan")
replay_rc=0
"$SIM" --machine "$C/korun04-capture" --plan >"$LOG_DIR/replay-plan.ini" 2>"$LOG_DIR/replay.err" || replay_rc=$?
[[ $replay_rc == 0 ]] || problems+=("korun04-sim --plan on the capture: exit status $replay_rc ($(head -3 "$LOG_DIR/replay.err" | paste -sd ' '))")
if ((${#problems[@]} == 0)) && ! cmp -s "$C/korun04-plan.ini" "$LOG_DIR/replay-plan.ini"; then
    problems+=("the plans differ")
    diff "$C/korun04-plan.ini" "$LOG_DIR/replay-plan.ini" | head -60 | sed 's/^/    /'
fi
if ((${#problems[@]} == 0)); then
    lines=$(wc -l <"$C/korun04-plan.ini")
    refused=$(sed -n '/^\[refused\]/,$p' "$C/korun04-plan.ini" | grep -c ' | ')
    echo "PASS: capture: the capture of the prefix plans as /PLAN on it, byte for byte ($lines lines, $refused refused) ($((SECONDS - started)) s)"
else
    echo "FAIL: capture: $(printf '%s; ' "${problems[@]}" | sed 's/; $//') ($((SECONDS - started)) s)"
    [[ -f $C/korun04-capture/capture.txt ]] && sed 's/^/    capture.txt: /' "$C/korun04-capture/capture.txt"
    exit 1
fi

#!/usr/bin/env bash
# Wine checks for the Windows build: runs korun04.exe, korun04_conformance.exe and the UI drivers under Wine
# and compares what they did with what Windows would do.
#
#   bash tests/wine/run.sh [BIN_DIR]        (default BIN_DIR: build/windows/bin)
#
# One prefix is booted per run (tests/wine/lib.sh, wine_boot_prefix); this script and each check it starts
# work in a fresh copy of it (wine_fresh_prefix). Every check has a private Xvfb with Wine's virtual desktop
# (the conformance tests open windows) and the Japanese locale (ANSI code page 932, generated with locale-gen
# when missing).
#
# Environment:
#   KORUN_WINE_UI_CHECK=0  skip tests/wine/ui_check.sh (the tool's interactive run in a prefix of its own)
#                          with the test printer installed, driven by ui_driver.exe.
#   KORUN_WINE_REMOVAL_CHECK=0
#                          skip tests/wine/removal_check.sh (two removals, a restart and a restore in a prefix of its
#                          own, driven by removal_driver.exe and checked by removal_machine.exe; about 70 s).
#   KORUN_WINE_ADMIN_CHECK=0
#                          skip tests/wine/admin_check.sh (/PLAN and /QUIET in a prefix of their own).
#   KORUN_WINE_PLANTED_CHECK=0
#                          skip tests/wine/planted_check.sh (korun04.exe in a user's Downloads folder beside
#                          planted libraries, a planted hook and a planted script; a prefix of its own).
#   KORUN_WINE_CAPTURE_CHECK=0
#                          skip tests/wine/capture_check.sh (korun04.exe /CAPTURE of a prefix set up like the
#                          removal check's, and /PLAN there compared with korun04-sim --plan on the capture).
#   KORUN_WINE_KEEP=1      keep the prefixes and logs afterwards (their paths are printed) for a closer look.
#
# Prints one PASS/FAIL line per check and exits non-zero if any check failed or the prefix could not be set up.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LOG_NAME=korun04-wine
source "$ROOT/tests/wine/lib.sh"
wine_bin_dir wine "${1:-}" || exit 1

PASSED=0
FAILED=0
pass() { echo "PASS: wine: $*"; PASSED=$((PASSED + 1)); }
fail() { echo "FAIL: wine: $*"; FAILED=$((FAILED + 1)); }

REG_RUNONCE='HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce'

reg_has_value() { wine_run 60 reg query "$1" /v "$2" >/dev/null 2>&1; }

# --- the prefix ---------------------------------------------------------------------------------------------
use_japanese_locale
start_display
echo "wine: Xvfb on $DISPLAY, LANG=$LANG"
started=$SECONDS
wine_fresh_prefix
echo "wine: prefix ready in $((SECONDS - started)) s"

# --- (a) spooler restart mode ---------------------------------------------------------------------------------
# The run-once value "Lumica 900" is deleted, a neighbouring value stays, the exit code is 0. Wine's spooler
# service starts stopped, so in the first runs the stop fails and the tool goes straight on to the registry.
check_restart_spooler() {
    local tail=$1 what="korun04.exe $1"
    if ! wine_reg_add "$REG_RUNONCE" "Lumica 900" 'C:\Program Files\Vestral\lumica.exe /s' ||
       ! wine_reg_add "$REG_RUNONCE" "Vestral Keep" 'C:\keep.exe'; then
        fail "$what: could not seed $REG_RUNONCE"
        return
    fi
    local rc=0
    wine_run 60 "$BIN_DIR/korun04.exe" "$tail" >"$LOG_DIR/restart.log" 2>&1 || rc=$?
    local problems=()
    [[ $rc == 0 ]] || problems+=("exit code $rc, expected 0")
    reg_has_value "$REG_RUNONCE" "Lumica 900" && problems+=("run-once value \"Lumica 900\" still there")
    reg_has_value "$REG_RUNONCE" "Vestral Keep" || problems+=("run-once value \"Vestral Keep\" was deleted too")
    if ((${#problems[@]} == 0)); then
        pass "$what: exit 0, \"Lumica 900\" deleted, other run-once value kept"
    else
        fail "$what: $(printf '%s; ' "${problems[@]}" | sed 's/; $//')"
        sed 's/^/    /' "$LOG_DIR/restart.log"
    fi
    wine_run 60 reg delete "$REG_RUNONCE" /v "Vestral Keep" /f >/dev/null 2>&1
}

# Process IDs of this prefix's spoolsv.exe processes (other prefixes may be running on the machine).
spooler_pids() {
    local pid
    for pid in $(pgrep -f 'spoolsv\.exe'); do
        { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
    done | sort
}
spooler_running() { wine_run 60 sc query Spooler 2>/dev/null | grep -q 'STATE.*RUNNING'; }
start_spooler() { spooler_running || wine_run 60 net start Spooler; spooler_running; }

# With the spooler running, the tool stops it and starts it again: afterwards it runs in a new process.
check_spooler_restarted() {
    local what="korun04.exe RestartSpooler, spooler running"
    if ! wine_step 3 "start the Spooler service" start_spooler; then
        fail "$what: could not start the spooler service for the check"
        return
    fi
    local before after new
    before=$(spooler_pids)
    check_restart_spooler RestartSpooler
    after=$(spooler_pids)
    new=$(comm -13 <(echo "$before") <(echo "$after") | grep .)
    if ! spooler_running; then
        fail "$what: the spooler is not running afterwards"
    elif [[ -z $new ]]; then
        fail "$what: the spooler was not restarted (no new spoolsv.exe process)"
    else
        pass "$what: stopped and started again (new spoolsv.exe)"
    fi
}

if [[ -f $BIN_DIR/korun04.exe ]]; then
    check_restart_spooler RestartSpooler
    check_restart_spooler rESTARTsPOOLER
    check_spooler_restarted
else
    fail "korun04.exe not found in $BIN_DIR"
fi

# --- (b) conformance tests ---------------------------------------------------------------------------------
if [[ -f $BIN_DIR/korun04_conformance.exe ]]; then
    workdir="$WINEPREFIX/drive_c/korun04-conformance"
    mkdir -p "$workdir"
    conformance_started=$SECONDS
    rc=0
    (cd "$workdir" && wine_run 600 "$BIN_DIR/korun04_conformance.exe" --gtest_color=no) \
        >"$LOG_DIR/conformance.log" 2>&1 || rc=$?
    ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$LOG_DIR/conformance.log" | tail -1)
    if [[ $rc == 0 && ${ran:-0} -gt 0 ]]; then
        pass "korun04_conformance.exe: all $ran tests passed ($((SECONDS - conformance_started)) s)"
    else
        fail "korun04_conformance.exe: exit code $rc, ${ran:-no} tests ran"
        # Wine's console writes CRLF: the line ends go before the failures are looked for.
        tr -d '\r' <"$LOG_DIR/conformance.log" >"$LOG_DIR/conformance.txt"
        if (($(wc -l <"$LOG_DIR/conformance.txt") <= 200)); then
            sed 's/^/    /' "$LOG_DIR/conformance.txt"
        else
            grep -E -A10 ': Failure$' "$LOG_DIR/conformance.txt" | head -150 | sed 's/^/    /'
            echo "    ..."
            tail -25 "$LOG_DIR/conformance.txt" | sed 's/^/    /'
        fi
    fi
else
    fail "korun04_conformance.exe not found in $BIN_DIR"
fi

# --- (c) the UI driver against the stand-in window ------------------------------------------------------------
# ui_driver.exe is the UI check's instrument; here it drives korun04_ui_standin.exe, a window shaped like the
# tool's, so that a broken driver shows up even while the UI check itself is off.
if [[ -f $BIN_DIR/korun04_ui_standin.exe ]]; then
    echo "wine: ui_driver.exe against korun04_ui_standin.exe:"
    run_ui_session "$BIN_DIR/korun04_ui_standin.exe" "$LOG_DIR/shots" "$LOG_DIR/ui-standin.log" "$BIN_DIR/ui_driver.exe" --basic
    problems=()
    [[ $UI_DRIVER_RC == 0 ]] || problems+=("driver exit code $UI_DRIVER_RC")
    [[ $UI_TOOL_RC == 1 ]] || problems+=("stand-in exit code $UI_TOOL_RC, expected 1")
    if command -v import >/dev/null; then
        for shot in selection-page about-box; do
            [[ -s $LOG_DIR/shots/$shot.png ]] || problems+=("no screenshot $shot.png")
        done
    fi
    if ((${#problems[@]} == 0)); then
        pass "ui_driver.exe: read the stand-in's list and headers, opened and closed its About box, Exit gave 1"
    else
        fail "ui_driver.exe against the stand-in: $(printf '%s; ' "${problems[@]}" | sed 's/; $//')"
    fi
else
    fail "korun04_ui_standin.exe not found in $BIN_DIR"
fi

# The checks below copy the booted prefix afresh; this one is done with.
wine_release_prefix

# --- (d) and on: the checks in prefixes of their own -------------------------------------------------------------
# One row per check script of tests/wine/: the script, the variable that skips it when 0, what it shows. A
# new check is a row here; its script gets its clean prefix from lib.sh (wine_fresh_prefix).
CHECKS=(
    "ui_check.sh|KORUN_WINE_UI_CHECK|the interactive run of korun04.exe"
    "removal_check.sh|KORUN_WINE_REMOVAL_CHECK|two removals, a restart and a restore by korun04.exe"
    "admin_check.sh|KORUN_WINE_ADMIN_CHECK|/PLAN and /QUIET of korun04.exe"
    "planted_check.sh|KORUN_WINE_PLANTED_CHECK|nothing beside korun04.exe in a user folder is loaded or read"
    "capture_check.sh|KORUN_WINE_CAPTURE_CHECK|the capture of a prefix plans in korun04-sim as /PLAN on the prefix"
)
for row in "${CHECKS[@]}"; do
    IFS='|' read -r script switch what <<<"$row"
    [[ ${!switch:-1} == 1 ]] || continue
    check_started=$SECONDS
    if bash "$ROOT/tests/wine/$script" "$BIN_DIR"; then
        pass "$script: $what ($((SECONDS - check_started)) s)"
    else
        fail "$script: $what ($((SECONDS - check_started)) s)"
    fi
done

echo "wine: $PASSED passed, $FAILED failed ($((SECONDS - started)) s)"
((FAILED == 0))

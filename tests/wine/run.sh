#!/usr/bin/env bash
# Wine checks for the Windows build: runs korun04.exe and korun04_conformance.exe under Wine in a
# throwaway prefix and compares what they did with what Windows would do.
#
#   bash tests/wine/run.sh [BIN_DIR]        (default BIN_DIR: build/windows/bin)
#
# Environment:
#   KORUN_WINE_DISPLAY=1   start a private Xvfb (and Wine's virtual desktop) before the prefix is
#                          created; checks that open windows need it. The current checks do not.
#   KORUN_WINE_KEEP=1      keep the prefix afterwards (its path is printed) for a closer look.
#
# Prints one PASS/FAIL line per check and exits non-zero if any check failed or the prefix could not be set up.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BIN_DIR=$(cd "${1:-$ROOT/build/windows/bin}" 2>/dev/null && pwd) || {
    echo "FAIL: wine: binary directory ${1:-$ROOT/build/windows/bin} not found (build the windows preset first)"
    exit 1
}
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
for tool in "$WINE" "$WINESERVER" timeout mktemp; do
    command -v "$tool" >/dev/null || { echo "FAIL: wine: $tool not found (apt-get install wine64 coreutils)"; exit 1; }
done

export WINEPREFIX WINEDEBUG=-all WINEARCH=win64
# No Mono/Gecko installer prompts, a crash ends the process at once instead of waiting in winedbg, and no
# menu entries or file associations written into $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/korun04-wine.XXXXXX")
LOG_DIR="$WINEPREFIX.logs"
mkdir -p "$LOG_DIR"
XVFB_PID=

cleanup() {
    local status=$?
    timeout 30 "$WINESERVER" -k >/dev/null 2>&1
    timeout 30 "$WINESERVER" -w >/dev/null 2>&1
    if [[ -n $XVFB_PID ]]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    if [[ ${KORUN_WINE_KEEP:-0} == 1 ]]; then
        echo "wine: prefix kept at $WINEPREFIX, logs in $LOG_DIR"
    else
        rm -rf "$WINEPREFIX" "$LOG_DIR"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

PASSED=0
FAILED=0
pass() { echo "PASS: wine: $*"; PASSED=$((PASSED + 1)); }
fail() { echo "FAIL: wine: $*"; FAILED=$((FAILED + 1)); }

# wine_run SECONDS ARGS...: one Wine process with a hard time limit and no stdin.
wine_run() {
    local seconds=$1
    shift
    timeout -k 5 "$seconds" "$WINE" "$@" </dev/null
}

# Starts a private X server on a free display (Xvfb picks the number itself) and exports DISPLAY.
start_display() {
    command -v Xvfb >/dev/null || { echo "FAIL: wine: Xvfb not found (apt-get install xvfb)"; exit 1; }
    local fifo="$LOG_DIR/displayfd"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >"$LOG_DIR/xvfb.log" 2>&1 &
    XVFB_PID=$!
    local number
    if ! read -r -t 20 number <"$fifo" || [[ -z $number ]]; then
        echo "FAIL: wine: Xvfb did not start"; cat "$LOG_DIR/xvfb.log"; exit 1
    fi
    export DISPLAY=":$number"
    echo "wine: Xvfb on $DISPLAY"
}

REG_RUNONCE='HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce'

reg_has_value() { wine_run 60 reg query "$1" /v "$2" >/dev/null 2>&1; }

# --- the prefix ---------------------------------------------------------------------------------------------
[[ ${KORUN_WINE_DISPLAY:-0} == 1 ]] && start_display
started=$SECONDS
if ! wine_run 180 wineboot -i >"$LOG_DIR/wineboot.log" 2>&1 || ! timeout 120 "$WINESERVER" -w; then
    echo "FAIL: wine: could not create the prefix $WINEPREFIX"; tail -20 "$LOG_DIR/wineboot.log"; exit 1
fi
if [[ -n ${DISPLAY:-} ]]; then
    # Without a window manager every EndDialog waits 2 s; the virtual desktop avoids that.
    wine_run 60 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null &&
        wine_run 60 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null ||
        { echo "FAIL: wine: could not set the virtual desktop"; exit 1; }
fi
echo "wine: prefix ready in $((SECONDS - started)) s"

# --- (a) spooler restart mode ---------------------------------------------------------------------------------
# The run-once value "Lumica 900" is deleted, a neighbouring value stays, the exit code is 0. Wine's spooler
# service starts stopped, so in the first runs the stop fails and the tool goes straight on to the registry.
check_restart_spooler() {
    local tail=$1 what="korun04.exe $1"
    if ! wine_run 60 reg add "$REG_RUNONCE" /v "Lumica 900" /d 'C:\Program Files\Vestral\lumica.exe /s' /f >/dev/null ||
       ! wine_run 60 reg add "$REG_RUNONCE" /v "Vestral Keep" /d 'C:\keep.exe' /f >/dev/null ||
       ! reg_has_value "$REG_RUNONCE" "Lumica 900"; then
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

# With the spooler running, the tool stops it and starts it again: afterwards it runs in a new process.
check_spooler_restarted() {
    local what="korun04.exe RestartSpooler, spooler running"
    if ! wine_run 60 net start Spooler >/dev/null 2>&1 || ! spooler_running; then
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
    rc=0
    (cd "$workdir" && wine_run 600 "$BIN_DIR/korun04_conformance.exe" --gtest_color=no) \
        >"$LOG_DIR/conformance.log" 2>&1 || rc=$?
    ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$LOG_DIR/conformance.log" | tail -1)
    if [[ $rc == 0 && ${ran:-0} -gt 0 ]]; then
        pass "korun04_conformance.exe: all $ran tests passed"
    else
        fail "korun04_conformance.exe: exit code $rc, ${ran:-no} tests ran"
        if (($(wc -l <"$LOG_DIR/conformance.log") <= 200)); then
            sed 's/^/    /' "$LOG_DIR/conformance.log"
        else
            grep -E -A10 ': Failure$' "$LOG_DIR/conformance.log" | head -150 | sed 's/^/    /'
            echo "    ..."
            tail -25 "$LOG_DIR/conformance.log" | sed 's/^/    /'
        fi
    fi
else
    fail "korun04_conformance.exe not found in $BIN_DIR"
fi

echo "wine: $PASSED passed, $FAILED failed ($((SECONDS - started)) s)"
((FAILED == 0))

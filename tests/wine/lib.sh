# Shared by the Wine checks of tests/wine/ (sourced, not run): a throwaway Wine prefix under
# the Japanese locale, a private Xvfb with Wine's virtual desktop, time limits on every Wine process, and the
# cleanup at exit (wineserver stopped, Xvfb ended, prefix removed unless KORUN_WINE_KEEP=1).
#
# The sourcing script sets LOG_NAME (the prefix name's stem) first and defines pass/fail if it wants counts.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
WINE_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
for tool in "$WINE" "$WINESERVER" timeout mktemp Xvfb; do
    command -v "$tool" >/dev/null || { echo "FAIL: wine: $tool not found (apt-get install wine64 xvfb coreutils)"; exit 1; }
done

export WINEPREFIX WINEDEBUG=-all WINEARCH=win64
# No Mono/Gecko installer prompts, a crash ends the process at once instead of waiting in winedbg, and no
# menu entries or file associations written into $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/${LOG_NAME:-korun04-wine}.XXXXXX")
LOG_DIR="$WINEPREFIX.logs"
mkdir -p "$LOG_DIR"
XVFB_PID=
WINE_CHILD_PIDS=()

wine_cleanup() {
    local status=$?
    local pid
    for pid in "${WINE_CHILD_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
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
trap wine_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# wine_bin_dir TAG [DIR]: sets BIN_DIR to the Windows build's binary directory (DIR, by default
# build/windows/bin), or says that it is missing and fails.
wine_bin_dir() {
    local tag=$1 dir=${2:-$(cd "$WINE_LIB_DIR/../.." && pwd)/build/windows/bin}
    BIN_DIR=$(cd "$dir" 2>/dev/null && pwd) || {
        echo "FAIL: $tag: binary directory $dir not found (build the windows preset first)"
        return 1
    }
}

# wine_run SECONDS ARGS...: one Wine process with a hard time limit and no stdin.
wine_run() {
    local seconds=$1
    shift
    timeout -k 5 "$seconds" "$WINE" "$@" </dev/null
}

# Wine reads the locale for the ANSI code page: ja_JP.UTF-8 gives 932, as on a Japanese Windows. The locale
# is generated when missing (needs root). Without it the run goes on under C.UTF-8 with a warning.
use_japanese_locale() {
    unset LC_ALL LC_CTYPE LC_MESSAGES LANGUAGE
    if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\{0,1\}8'; then
        if [[ $(id -u) == 0 ]] && command -v locale-gen >/dev/null && [[ -f /etc/locale.gen ]]; then
            sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
            grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
            locale-gen >"$LOG_DIR/locale-gen.log" 2>&1
        fi
    fi
    if locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\{0,1\}8'; then
        export LANG=ja_JP.UTF-8
    else
        echo "wine: WARNING: locale ja_JP.UTF-8 not available (apt-get install locales; locale-gen), using C.UTF-8"
        export LANG=C.UTF-8
    fi
}

# Starts a private X server on a free display (Xvfb picks the number itself, so that parallel runs on one
# machine do not collide) and exports DISPLAY.
start_display() {
    local fifo="$LOG_DIR/displayfd"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >"$LOG_DIR/xvfb.log" 2>&1 &
    XVFB_PID=$!
    local number
    if ! read -r -t 20 number <"$fifo" || [[ -z $number ]]; then
        echo "FAIL: wine: Xvfb did not start"; cat "$LOG_DIR/xvfb.log"; exit 1
    fi
    export DISPLAY=":$number"
}

# Creates the prefix (wineboot, then waits for the server to finish) and turns on the virtual desktop: without
# a window manager every EndDialog otherwise waits 2 s.
make_prefix() {
    if ! wine_run 180 wineboot -i >"$LOG_DIR/wineboot.log" 2>&1 || ! timeout 120 "$WINESERVER" -w; then
        echo "FAIL: wine: could not create the prefix $WINEPREFIX"; tail -20 "$LOG_DIR/wineboot.log"; exit 1
    fi
    wine_run 60 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 &&
        wine_run 60 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1 ||
        { echo "FAIL: wine: could not set the virtual desktop"; exit 1; }
}

# Keeps one wineserver (and the desktop and services it starts) running until the cleanup, started with
# its output away from any pipe: processes a new server starts inherit the first command's stderr, and a
# pipe a script reads would then stay open.
keep_server() {
    "$WINESERVER" -p >/dev/null 2>&1 </dev/null
    wine_run 60 cmd /c exit >/dev/null 2>&1
}

# run_ui_session TOOL_EXE SHOT_DIR LOG [DRIVER_EXE [ARGS...]]: starts TOOL_EXE and the driver (default
# ui_driver.exe beside TOOL_EXE) with ARGS; takes a screenshot into SHOT_DIR for each "READY name" line the
# driver prints (name.png, the virtual desktop's 800x600) and answers it on the driver's stdin. Prints the
# driver's lines (and keeps them in LOG); sets UI_DRIVER_RC and UI_TOOL_RC (the tool's exit code, 124 when
# it did not end in time).
run_ui_session() {
    local tool=$1 shots=$2 log=$3
    local driver=${4:-"$(dirname "$tool")/ui_driver.exe"}
    shift $(($# < 4 ? $# : 4))
    UI_DRIVER_RC=1
    UI_TOOL_RC=124
    [[ -f $driver ]] || { echo "FAIL: wine: $driver not found"; return; }
    timeout -k 5 120 "$WINE" "$tool" </dev/null >"$log.tool" 2>&1 &
    local tool_pid=$!
    WINE_CHILD_PIDS+=("$tool_pid")
    coproc DRIVER { timeout -k 5 100 "$WINE" "$driver" "$@" 2>&1; }
    local driver_pid=$DRIVER_PID out=${DRIVER[0]} in=${DRIVER[1]} line
    WINE_CHILD_PIDS+=("$driver_pid")
    while IFS= read -r -t 110 line <&"$out"; do
        line=${line%$'\r'}
        echo "$line" >>"$log"
        echo "    $line"
        if [[ $line == READY\ * ]]; then
            local name=${line#READY }
            if command -v import >/dev/null; then
                mkdir -p "$shots"
                import -display "$DISPLAY" -window root -crop 800x600+0+0 "$shots/$name.png" >>"$log" 2>&1 ||
                    echo "    (screenshot $name.png failed)"
            else
                echo "    (no screenshot: imagemagick's import not found)"
            fi
            echo "next" >&"$in"
        fi
        [[ $line == DONE* || $line == FAIL:* ]] && break
    done
    wait "$driver_pid"
    UI_DRIVER_RC=$?
    # The driver's last step ends the tool; give it a few seconds, and stop it when the driver failed.
    local waited=0
    while ((UI_DRIVER_RC == 0 && waited < 40)) && kill -0 "$tool_pid" 2>/dev/null; do
        sleep 0.5
        waited=$((waited + 1))
    done
    kill "$tool_pid" 2>/dev/null
    wait "$tool_pid"
    UI_TOOL_RC=$?
}

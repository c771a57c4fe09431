# Shared by the Wine checks of tests/wine/ (sourced, not run): ONE booted Wine prefix per test run and a
# fresh copy of it for each check, the Japanese locale, a private Xvfb with Wine's virtual desktop, time
# limits on every Wine process, bounded retries for the steps that race the wineserver (each failure names
# its step), and the cleanup at exit (servers stopped, Xvfb ended, prefixes removed unless KORUN_WINE_KEEP=1).
#
# A check script:
#
#     LOG_NAME=korun04-mycheck                   # the stem of its work directory's name
#     source "$ROOT/tests/wine/lib.sh"
#     wine_bin_dir mycheck "${1:-}" || exit 1    # BIN_DIR: the Windows build's binaries
#     use_japanese_locale                        # LANG=ja_JP.UTF-8: code page 932, as on a Japanese Windows
#     start_display                              # a private Xvfb (for checks that open windows)
#     wine_fresh_prefix                          # WINEPREFIX: a prefix like the booted one, its server running
#                                                # (and, with a display, its desktop held open)
#     wine_run 60 "$BIN_DIR/korun04.exe" ...     # every Wine process with a time limit
#
# wine_fresh_prefix gives a clean prefix each time it is called (the check's previous one is stopped and
# removed first), so a check that needs a second clean machine calls it again. The prefix is booted by
# tests/wine/run.sh once and handed to the checks it starts (KORUN_WINE_BASE); a check run on its own boots
# one first. What the booted prefix holds: Wine's own setup under the Japanese locale, the virtual desktop
# (800x600: without a window manager every EndDialog waits 2 s), Wine's own fonts (fonts-wine: Marlett for the
# caption buttons), and "ＭＳ Ｐゴシック", the tool's dialog font, replaced by the metric-compatible IPAPGothic
# (fonts-ipafont-gothic).
#
# The sourcing script sets LOG_NAME first and defines pass/fail if it wants counts. LOG_DIR holds the logs.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
WINE_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
for tool in "$WINE" "$WINESERVER" timeout mktemp Xvfb iconv; do
    command -v "$tool" >/dev/null || { echo "FAIL: wine: $tool not found (apt-get install wine64 xvfb coreutils libc-bin)"; exit 1; }
done

export WINEPREFIX WINEDEBUG=-all WINEARCH=win64
# The tool under test runs with Wine's error messages on (into its output file, shown when a step fails), so
# that a run Wine ended says why.
WINE_TOOL_DEBUG='-all,err+all'
# No Mono/Gecko installer prompts, a crash ends the process at once instead of waiting in winedbg, and no
# menu entries or file associations written into $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY WINEPREFIX
# The check's work directory: its logs and its prefixes.
WINE_WORK_DIR=$(mktemp -d "${TMPDIR:-/tmp}/${LOG_NAME:-korun04-wine}.XXXXXX")
LOG_DIR="$WINE_WORK_DIR/logs"
mkdir -p "$LOG_DIR"
XVFB_PID=
WINE_CHILD_PIDS=()
WINE_PREFIX_COUNT=0
WINE_OWNED_BASE=  # the booted prefix, when this script booted it (and so removes it)

# stop_server [PREFIX]: ends the prefix's wineserver and every process of it, and waits for the end.
stop_server() {
    local prefix=${1:-${WINEPREFIX:-}}
    [[ -n $prefix && -d $prefix ]] || return 0
    WINEPREFIX=$prefix timeout 30 "$WINESERVER" -k >/dev/null 2>&1
    WINEPREFIX=$prefix timeout 30 "$WINESERVER" -w >/dev/null 2>&1
    return 0
}

wine_cleanup() {
    local status=$?
    local pid
    for pid in "${WINE_CHILD_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    stop_server
    [[ -n $WINE_OWNED_BASE ]] && stop_server "$WINE_OWNED_BASE"
    if [[ -n $XVFB_PID ]]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    if [[ ${KORUN_WINE_KEEP:-0} == 1 ]]; then
        echo "wine: prefix kept at ${WINEPREFIX:-(none)}, logs in $LOG_DIR${WINE_OWNED_BASE:+, booted prefix $WINE_OWNED_BASE}"
    else
        rm -rf "$WINE_WORK_DIR"
        [[ -n $WINE_OWNED_BASE ]] && rm -rf "$WINE_OWNED_BASE"
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

# wine_step TRIES "WHAT" COMMAND...: runs COMMAND until it succeeds, at most TRIES times, 2 s apart (a
# busy machine can make a Wine step fail once: the server still going down, a service still coming up).
# Its output goes to the step's log; when the last try fails too, says which step failed and fails.
WINE_STEP_COUNT=0
wine_step() {
    local tries=$1 what=$2
    shift 2
    WINE_STEP_COUNT=$((WINE_STEP_COUNT + 1))
    local log="$LOG_DIR/step-$WINE_STEP_COUNT.log" try
    for ((try = 1; try <= tries; try++)); do
        echo "--- try $try: $what" >>"$log"
        "$@" >>"$log" 2>&1 && return 0
        ((try < tries)) && sleep 2
    done
    echo "FAIL: wine: step \"$what\" failed $tries time(s) (prefix ${WINEPREFIX:-none}); its log:"
    tail -15 "$log" | sed 's/^/    /'
    return 1
}

# wine_reg_add KEY NAME DATA [TYPE]: sets a registry value in the prefix (NAME "": the key's default value)
# and reads it back, within the bounded retries of wine_step; fails (saying so) when it does not hold.
wine_reg_add() {
    wine_step 3 "reg add $1 ${2:-(default)}" reg_add_and_check "$@"
}
reg_add_and_check() {
    local name=(/v "$2")
    [[ -z $2 ]] && name=(/ve)
    wine_run 60 reg add "$1" "${name[@]}" /t "${4:-REG_SZ}" /d "$3" /f && wine_run 60 reg query "$1" "${name[@]}"
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
    wine_step 2 "start Xvfb" start_xvfb || exit 1
    export DISPLAY=":$XVFB_NUMBER"
}
start_xvfb() {
    local fifo="$LOG_DIR/displayfd"
    rm -f "$fifo"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >>"$LOG_DIR/xvfb.log" 2>&1 &
    XVFB_PID=$!
    XVFB_NUMBER=
    read -r -t 30 XVFB_NUMBER <"$fifo" && [[ -n $XVFB_NUMBER ]] && return 0
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
    cat "$LOG_DIR/xvfb.log"
    return 1
}

# The settings of the booted prefix, as regedit text: the virtual desktop, and the tool's dialog font
# mapped to a font with the same metrics (Wine would draw a wider fallback that clips and wraps labels).
# The file is UTF-16 with a byte-order mark, so that the Japanese value name arrives whatever the code page.
WINE_PREFIX_SETTINGS='Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="800x600"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
'

# wine_boot_prefix: boots the prefix the checks copy, once per test run: wineboot, the settings above, and
# the server stopped (so that the files hold still while they are copied, and hold what the server kept in
# memory). Exports KORUN_WINE_BASE for the checks started from here. Exits when a step fails for good.
wine_boot_prefix() {
    [[ -n ${KORUN_WINE_BASE:-} && -f $KORUN_WINE_BASE/.korun04-booted ]] && return 0
    local started=$SECONDS
    WINE_OWNED_BASE=$(mktemp -d "${TMPDIR:-/tmp}/korun04-wine-booted.XXXXXX")
    export KORUN_WINE_BASE=$WINE_OWNED_BASE
    [[ -f /usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf ]] ||
        echo "wine: WARNING: IPAPGothic missing (apt-get install fonts-ipafont-gothic): dialogs get a wider font"
    wine_step 2 "create the prefix (wineboot -i)" boot_prefix_once "$KORUN_WINE_BASE" || exit 1
    wine_step 1 "give the prefix Wine's own fonts" copy_wine_fonts "$KORUN_WINE_BASE" || exit 1
    wine_step 3 "write the prefix's settings (virtual desktop, fonts)" write_prefix_settings "$KORUN_WINE_BASE" || exit 1
    wine_step 2 "stop the booted prefix's server with its settings saved" stop_booted_server "$KORUN_WINE_BASE" || exit 1
    touch "$KORUN_WINE_BASE/.korun04-booted"
    echo "wine: prefix booted in $((SECONDS - started)) s"
}
boot_prefix_once() {
    stop_server "$1"
    find "$1" -mindepth 1 -delete
    WINEPREFIX=$1 wine_run 300 wineboot -i && WINEPREFIX=$1 timeout 120 "$WINESERVER" -w
}
# Wine's own fonts (Marlett draws the caption buttons, Tahoma the message boxes): Wine 8 as Debian builds it
# looks for them in a directory that does not exist, and then in C:\windows\Fonts, where they go here.
WINE_FONTS_DIR=/usr/share/wine/fonts
copy_wine_fonts() {
    if [[ ! -f $WINE_FONTS_DIR/marlett.ttf ]]; then
        echo "wine: WARNING: $WINE_FONTS_DIR/marlett.ttf missing (apt-get install fonts-wine): caption buttons show letters"
        return 0
    fi
    local fonts
    fonts=$(find "$1/drive_c/windows" -maxdepth 1 -iname fonts | head -1)
    [[ -n $fonts ]] || { fonts="$1/drive_c/windows/Fonts"; mkdir -p "$fonts"; }
    cp "$WINE_FONTS_DIR"/* "$fonts/" && [[ -f $fonts/marlett.ttf ]]
}
write_prefix_settings() {
    local file="$1/drive_c/korun04-settings.reg"
    { printf '\xff\xfe'; printf '%s' "$WINE_PREFIX_SETTINGS" | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$file"
    WINEPREFIX=$1 wine_run 60 reg import 'C:\korun04-settings.reg'
    local status=$?
    rm -f "$file"
    ((status == 0)) && WINEPREFIX=$1 wine_run 60 reg query 'HKCU\Software\Wine\Explorer\Desktops' /v Default
}
# The server saves the registry when it ends; the file must then hold the settings.
stop_booted_server() {
    WINEPREFIX=$1 timeout 60 "$WINESERVER" -w || stop_server "$1"
    grep -q '^\[Software\\\\Wine\\\\Explorer\\\\Desktops\]' "$1/user.reg" &&
        grep -q '^\[Software\\\\Wine\\\\Fonts\\\\Replacements\]' "$1/user.reg" && grep -q '="IPAPGothic"$' "$1/user.reg"
}

# wine_fresh_prefix: sets WINEPREFIX to a fresh prefix like the booted one (booting that first when this
# script is the first to need it) and keeps its server running until the cleanup or the next call. The
# check's previous prefix, if any, is stopped and removed first. Exits when a step fails for good.
wine_fresh_prefix() {
    wine_boot_prefix
    wine_release_prefix
    WINE_PREFIX_COUNT=$((WINE_PREFIX_COUNT + 1))
    export WINEPREFIX="$WINE_WORK_DIR/prefix-$WINE_PREFIX_COUNT"
    wine_step 2 "copy the booted prefix" copy_booted_prefix || exit 1
    warn_low_space
    keep_server || exit 1
}
# A check's prefix grows by some hundred MB (printers, backup sets, logs); a file system that fills fails
# Wine in ways that do not name the cause, so a low figure is said first.
warn_low_space() {
    local free_mb
    free_mb=$(df -Pm "$WINEPREFIX" 2>/dev/null | awk 'NR == 2 { print $4 }')
    [[ -n $free_mb ]] && ((free_mb < 1024)) &&
        echo "wine: WARNING: only $free_mb MB free beside the prefix $WINEPREFIX"
    return 0
}
copy_booted_prefix() {
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX" && cp -a "$KORUN_WINE_BASE/." "$WINEPREFIX/" && rm -f "$WINEPREFIX/.korun04-booted"
}

# wine_tool_log: the path of the tool's default log in the prefix (the user's Temp, as GetTempPathA says), or
# nothing when there is none.
wine_tool_log() { find "$WINEPREFIX/drive_c/users" -ipath '*/temp/korun04.log' 2>/dev/null | head -1; }

# wine_release_prefix: stops the check's prefix (its server and processes) and removes it, unless
# KORUN_WINE_KEEP=1.
wine_release_prefix() {
    [[ -n ${WINEPREFIX:-} ]] || return 0
    stop_server
    [[ ${KORUN_WINE_KEEP:-0} == 1 ]] || rm -rf "$WINEPREFIX"
    unset WINEPREFIX
}

# make_prefix: what the checks called before wine_fresh_prefix; the same.
make_prefix() { wine_fresh_prefix; }

# Keeps one wineserver (and the desktop and services it starts) running until the cleanup, started with
# its output away from any pipe: processes a new server starts inherit the first command's stderr, and a
# pipe a script reads would then stay open. Succeeds once a program has run in the prefix.
keep_server() {
    wine_step 3 "start the prefix's server" start_kept_server && hold_desktop
}
start_kept_server() {
    "$WINESERVER" -p </dev/null
    wine_run 60 cmd /c exit
}

# hold_desktop: with a display, keeps the prefix's desktop open until the server ends: Wine closes it about
# a second after the last program on it ends, and a program starting in that second can lose its windows
# (tests/wine/desktop_holder.cpp). Waits until the holder says it holds the desktop.
hold_desktop() {
    [[ -n ${DISPLAY:-} ]] || return 0
    local holder="${BIN_DIR:-}/desktop_holder.exe"
    [[ -f $holder ]] || { echo "FAIL: wine: $holder not found (build the windows preset)"; return 1; }
    wine_step 3 "hold the prefix's desktop open" start_desktop_holder "$holder"
}
start_desktop_holder() {
    local log="$LOG_DIR/desktop-holder-$WINE_PREFIX_COUNT.log" pid tick
    timeout -k 5 3600 "$WINE" "$1" </dev/null >"$log" 2>&1 &
    pid=$!
    WINE_CHILD_PIDS+=("$pid")
    for ((tick = 0; tick < 300; tick++)); do
        grep -q '^HOLDING' "$log" && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null
    cat "$log"
    return 1
}

# run_ui_session TOOL_EXE SHOT_DIR LOG [DRIVER_EXE [ARGS...]]: starts TOOL_EXE (with the words of
# UI_TOOL_ARGS, when set) and the driver (default ui_driver.exe beside TOOL_EXE) with ARGS. For each
# "READY name" line the driver prints, calls the function UI_READY_HOOK names with the name (when set), and
# takes a screenshot SHOT_DIR/name.png (the virtual desktop's 800x600) unless the hook answered 0; then
# answers the driver on its stdin. "MASK name left top right bottom" lines go to SHOT_DIR/name.mask (see
# wine_compare_shot). Prints the driver's lines (and keeps them in LOG); sets UI_DRIVER_RC and UI_TOOL_RC
# (the tool's exit code, 124 when it did not end in time).
run_ui_session() {
    local tool=$1 shots=$2 log=$3
    local driver=${4:-"$(dirname "$tool")/ui_driver.exe"}
    shift $(($# < 4 ? $# : 4))
    UI_DRIVER_RC=1
    UI_TOOL_RC=124
    [[ -f $driver ]] || { echo "FAIL: wine: $driver not found"; return; }
    mkdir -p "$shots"
    local tool_args=()
    [[ -n ${UI_TOOL_ARGS:-} ]] && read -r -a tool_args <<<"$UI_TOOL_ARGS"
    WINEDEBUG=$WINE_TOOL_DEBUG timeout -k 5 120 "$WINE" "$tool" "${tool_args[@]}" </dev/null >"$log.tool" 2>&1 &
    local tool_pid=$!
    WINE_CHILD_PIDS+=("$tool_pid")
    coproc DRIVER { timeout -k 5 150 "$WINE" "$driver" "$@" 2>&1; }
    local driver_pid=$DRIVER_PID out=${DRIVER[0]} in=${DRIVER[1]} line
    WINE_CHILD_PIDS+=("$driver_pid")
    while IFS= read -r -t 160 line <&"$out"; do
        line=${line%$'\r'}
        echo "$line" >>"$log"
        echo "    $line"
        if [[ $line == MASK\ * ]]; then
            local words
            read -r -a words <<<"$line"
            echo "${words[*]:2}" >>"$shots/${words[1]}.mask"
        elif [[ $line == READY\ * ]]; then
            local name=${line#READY }
            if [[ -n ${UI_READY_HOOK:-} ]] && "$UI_READY_HOOK" "$name"; then
                :
            elif command -v import >/dev/null; then
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

# --- Screenshots: compared with the committed pictures, refreshed only on request ------------------------------
# docs/images holds one picture per screenshot the checks take at a fixed moment. A check compares each new
# one with its picture: the rectangles of NAME.mask (what changes from run to run: the build stamp, memory
# figures) are painted over in both, and the pixels that still differ by more than 8% of a colour's range
# are counted; more than KORUN_WINE_SHOT_TOLERANCE (default 300 of the 480,000) fails the check, whose log
# then holds the new picture and a picture of the differences. So a layout that moved or a label that is cut
# shows, and the checks never change the checkout. `bash tests/wine/refresh_images.sh` writes new pictures
# instead (KORUN_WINE_REFRESH_SHOTS=1).
WINE_IMAGES_DIR=$(cd "$WINE_LIB_DIR/../.." && pwd)/docs/images

# wine_compare_shot NAME SHOT_DIR: SHOT_DIR/NAME.png against docs/images/NAME.png; prints why and fails
# when they differ (or the picture is missing); with KORUN_WINE_REFRESH_SHOTS=1 copies it over instead.
wine_compare_shot() {
    local name=$1 dir=$2
    local new="$dir/$name.png" committed="$WINE_IMAGES_DIR/$name.png"
    [[ -s $new ]] || { echo "screenshot $name.png was not taken"; return 1; }
    if [[ ${KORUN_WINE_REFRESH_SHOTS:-0} == 1 ]]; then
        mkdir -p "$WINE_IMAGES_DIR" && cp "$new" "$committed" && echo "wine: docs/images/$name.png written"
        return
    fi
    [[ -s $committed ]] || { echo "docs/images/$name.png is missing (bash tests/wine/refresh_images.sh writes it)"; return 1; }
    local draw=() rect
    if [[ -f $dir/$name.mask ]]; then
        while read -r -a rect; do
            ((${#rect[@]} == 4)) && draw+=(-draw "rectangle ${rect[0]},${rect[1]} $((rect[2] - 1)),$((rect[3] - 1))")
        done <"$dir/$name.mask"
    fi
    convert "$new" -fill black "${draw[@]}" "$dir/$name.masked.png" &&
        convert "$committed" -fill black "${draw[@]}" "$dir/$name.committed.png" || { echo "convert failed for $name"; return 1; }
    local differing
    differing=$(compare -metric AE -fuzz 8% "$dir/$name.masked.png" "$dir/$name.committed.png" "$dir/$name.diff.png" 2>&1 >/dev/null)
    differing=${differing%% *}
    if ! [[ $differing =~ ^[0-9]+$ ]]; then
        echo "the screenshot $name.png cannot be compared with docs/images/$name.png: $differing"
        return 1
    fi
    if ((differing > ${KORUN_WINE_SHOT_TOLERANCE:-300})); then
        echo "the screenshot $name.png differs from docs/images/$name.png in $differing pixels (new: $new, differences: $dir/$name.diff.png)"
        return 1
    fi
    echo "wine: screenshot $name.png matches docs/images/$name.png ($differing pixels differ)"
}

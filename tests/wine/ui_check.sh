#!/usr/bin/env bash
# The UI check: korun04.exe's interactive run under Wine, driven from outside by ui_driver.exe as a person
# would drive it with the mouse and the keyboard.
#
#   bash tests/wine/ui_check.sh [BIN_DIR]   (default build/windows/bin; run.sh calls it unless KORUN_WINE_UI_CHECK=0)
#
# A fresh prefix (lib.sh) where ui_setup.exe installs the test printer "Vestral Office" (driver "Vestral X
# Driver" on wineps.drv and tests/wine/vestral.ppd, printer data VestralDriver04 = 1), and
# HKCU\SOFTWARE\VESTRAL\KORUN04 offers the diagnostic dialog. Then:
#   - korun04.exe driven by ui_driver.exe (its steps are listed in ui_driver.cpp): while it loads, a second,
#     interactive copy must leave its hidden main window hidden behind the loading dialog; the selection page, the
#     keyboard (focus, Space, Tab order, Uninstall following the selection), the context menu from Shift+F10
#     and the Menu key, the details view, the diagnostic dialog, the About box; meanwhile a second copy,
#     unattended, ends with 1618 and appends its lines to the log the first copy holds open. Exit ends the
#     tool with exit code 1.
#   - korun04.exe /? shows its options in a window of its own (picture "options"), which Escape closes; it
#     ends with 0, opening nothing else.
# The screenshots (selection-page: the details view; diagnostic-dialog; about-box; options) are compared with
# docs/images (lib.sh, wine_compare_shot); tests/wine/refresh_images.sh writes them there instead.
#
# Prints the driver's PASS/FAIL lines and one summary line; exit status non-zero on any failure.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LOG_NAME=korun04-ui
source "$ROOT/tests/wine/lib.sh"
wine_bin_dir ui "${1:-}" || exit 1

for exe in korun04.exe ui_driver.exe ui_setup.exe; do
    [[ -f $BIN_DIR/$exe ]] || { echo "FAIL: ui: $exe not found in $BIN_DIR"; exit 1; }
done
for tool in import convert compare; do
    command -v "$tool" >/dev/null || { echo "FAIL: ui: imagemagick's $tool not found (apt-get install imagemagick)"; exit 1; }
done

started=$SECONDS
use_japanese_locale
[[ $LANG == ja_JP.UTF-8 ]] || { echo "FAIL: ui: the check needs the locale ja_JP.UTF-8"; exit 1; }
start_display
wine_fresh_prefix
echo "ui: prefix ready in $((SECONDS - started)) s (Xvfb on $DISPLAY)"

# The printer, installed with Win32 calls from inside the prefix.
cp "$ROOT/tests/wine/vestral.ppd" "$WINEPREFIX/drive_c/vestral.ppd"
if ! wine_run 60 "$BIN_DIR/ui_setup.exe" 'C:\vestral.ppd' >"$LOG_DIR/setup.log" 2>&1; then
    echo "FAIL: ui: could not install the test printer"; sed 's/^/    /' "$LOG_DIR/setup.log"; exit 1
fi
sed 's/^/    /' "$LOG_DIR/setup.log"
wine_reg_add 'HKCU\SOFTWARE\VESTRAL\KORUN04' "" on || { echo "FAIL: ui: could not offer the diagnostic dialog"; exit 1; }

# The tool runs from a directory of its own, as when installed.
tool_dir="$WINEPREFIX/drive_c/korun04"
mkdir -p "$tool_dir"
cp "$BIN_DIR/korun04.exe" "$BIN_DIR/ui_driver.exe" "$tool_dir/"
# The family's uninstall script beside the tool (its own directory is one of the four it searches).
printf '[UnPrinterDrivers]\r\n"Vestral X Driver",VXDRV,1\r\n[VXDRV.Files]\r\nvxdrv.dll\r\n' >"$tool_dir/Kunz__04.unm"

problems=()

# While the first copy runs (the driver waits at "READY second-copy"), a second copy, unattended, finds it:
# 1618 (the exit status holds it modulo 256: 82).
SECOND_RC=
LOADING_SECOND_RC=
on_ready() {
    if [[ $1 == second-copy-loading ]]; then
        # An interactive second copy while the first loads: it brings the first's window to the front, ends with 0.
        LOADING_SECOND_RC=0
        wine_run 60 "$tool_dir/korun04.exe" >"$LOG_DIR/second-copy-loading.out" 2>&1 || LOADING_SECOND_RC=$?
        echo "    (a second copy, interactive, ended with $LOADING_SECOND_RC)"
        return 0
    fi
    [[ $1 == second-copy ]] || return 1
    SECOND_RC=0
    wine_run 60 "$tool_dir/korun04.exe" /QUIET /SELECT:ALL >"$LOG_DIR/second-copy.out" 2>&1 || SECOND_RC=$?
    echo "    (a second copy, unattended, ended with $SECOND_RC)"
}
echo "ui: korun04.exe driven by ui_driver.exe:"
UI_READY_HOOK=on_ready run_ui_session "$tool_dir/korun04.exe" "$LOG_DIR/shots" "$LOG_DIR/ui.log"
[[ $UI_DRIVER_RC == 0 ]] || problems+=("driver exit code $UI_DRIVER_RC")
[[ $UI_TOOL_RC == 1 ]] || problems+=("korun04.exe exit code $UI_TOOL_RC, expected 1")
[[ $LOADING_SECOND_RC == 0 ]] || problems+=("the interactive second copy during the loading ended with ${LOADING_SECOND_RC:-nothing}, expected 0")
[[ $SECOND_RC == $((1618 % 256)) ]] || problems+=("the second copy ended with ${SECOND_RC:-nothing}, expected 1618 (82)")
# The log the first copy held open has the second copy's lines, and the first copy's end after them.
log=$(wine_tool_log)
if [[ -n $log ]]; then
    order=$(tr -d '\r' <"$log" | grep -a 'another copy of the tool is running\|end | exit code' | sed 's/^[0-9:]* //')
    expected=$'run | another copy of the tool is running: nothing was done\nend | exit code 1618 (another copy runs)\nend | exit code 1 (the main window\'s result)'
    [[ $order == "$expected" ]] ||
        problems+=("the shared log does not hold the second copy's lines before the first copy's end: $(echo "$order" | paste -sd '|')")
else
    problems+=("no korun04.log in the temporary directory")
fi

# korun04.exe /? : the options in their window, exit code 0, nothing else.
echo "ui: korun04.exe /? driven by ui_driver.exe --options:"
UI_TOOL_ARGS="/?" run_ui_session "$tool_dir/korun04.exe" "$LOG_DIR/shots" "$LOG_DIR/options.log" "$tool_dir/ui_driver.exe" --options
[[ $UI_DRIVER_RC == 0 ]] || problems+=("/?: driver exit code $UI_DRIVER_RC")
[[ $UI_TOOL_RC == 0 ]] || problems+=("korun04.exe /? exit code $UI_TOOL_RC, expected 0")

# The pictures, once everything else passed (a refresh writes only the pictures of a passing run).
if ((${#problems[@]} == 0)); then
    for shot in selection-page diagnostic-dialog about-box options; do
        why=$(wine_compare_shot "$shot" "$LOG_DIR/shots") || problems+=("$why")
        [[ $why == wine:* ]] && echo "$why"
    done
fi
if ((${#problems[@]} == 0)); then
    echo "PASS: ui: korun04.exe interactive run, its keyboard, a second copy and /? ($((SECONDS - started)) s)"
else
    echo "FAIL: ui: $(printf '%s; ' "${problems[@]}" | sed 's/; $//')"
    [[ -s $LOG_DIR/ui.log.tool ]] && sed 's/^/    tool: /' "$LOG_DIR/ui.log.tool" | tail -20
    echo "    (KORUN_WINE_KEEP=1 keeps $LOG_DIR)"
    exit 1
fi

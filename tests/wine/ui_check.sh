#!/usr/bin/env bash
# The UI check: korun04.exe's interactive run under Wine, driven from outside by ui_driver.exe.
#
#   bash tests/wine/ui_check.sh [BIN_DIR]   (default build/windows/bin; run.sh calls it unless KORUN_WINE_UI_CHECK=0)
#
# A fresh prefix under the Japanese locale with Xvfb and the virtual desktop; ui_setup.exe installs the test
# printer "Vestral Office" (driver "Vestral X Driver" on wineps.drv and tests/wine/vestral.ppd, printer data
# VestralDriver04 = 1). Then korun04.exe runs and ui_driver.exe checks the selection page's first row and
# headers, the About box, and presses Exit; the tool must end with exit code 1. Screenshots of the selection
# page and the About box go to docs/images/ (KORUN_UI_SHOTS sets another directory).
#
# Prints the driver's PASS/FAIL lines and one summary line; exit status non-zero on any failure.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
SHOTS=${KORUN_UI_SHOTS:-$ROOT/docs/images}
LOG_NAME=korun04-ui
source "$ROOT/tests/wine/lib.sh"
wine_bin_dir ui "${1:-}" || exit 1

for exe in korun04.exe ui_driver.exe ui_setup.exe; do
    [[ -f $BIN_DIR/$exe ]] || { echo "FAIL: ui: $exe not found in $BIN_DIR"; exit 1; }
done
command -v import >/dev/null || { echo "FAIL: ui: imagemagick's import not found (apt-get install imagemagick)"; exit 1; }

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

# The tool runs from a directory of its own, as when installed.
tool_dir="$WINEPREFIX/drive_c/korun04"
mkdir -p "$tool_dir"
cp "$BIN_DIR/korun04.exe" "$BIN_DIR/ui_driver.exe" "$tool_dir/"
# The family's uninstall script beside the tool (its own directory is one of the four it searches).
printf '[UnPrinterDrivers]\r\n"Vestral X Driver",VXDRV,1\r\n[VXDRV.Files]\r\nvxdrv.dll\r\n' >"$tool_dir/Kunz__04.unm"
echo "ui: korun04.exe driven by ui_driver.exe:"
run_ui_session "$tool_dir/korun04.exe" "$LOG_DIR/shots" "$LOG_DIR/ui.log"

problems=()
[[ $UI_DRIVER_RC == 0 ]] || problems+=("driver exit code $UI_DRIVER_RC")
[[ $UI_TOOL_RC == 1 ]] || problems+=("korun04.exe exit code $UI_TOOL_RC, expected 1")
for shot in selection-page about-box; do
    [[ -s $LOG_DIR/shots/$shot.png ]] || problems+=("no screenshot $shot.png")
done
if ((${#problems[@]} == 0)); then
    # Only a passing run replaces the pictures.
    mkdir -p "$SHOTS" && cp "$LOG_DIR/shots/selection-page.png" "$LOG_DIR/shots/about-box.png" "$SHOTS/"
    echo "PASS: ui: korun04.exe interactive run ($((SECONDS - started)) s), screenshots in $SHOTS"
else
    echo "FAIL: ui: $(printf '%s; ' "${problems[@]}" | sed 's/; $//')"
    [[ -s $LOG_DIR/ui.log.tool ]] && sed 's/^/    tool: /' "$LOG_DIR/ui.log.tool" | tail -20
    exit 1
fi

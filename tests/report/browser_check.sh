#!/usr/bin/env bash
# The fleet report in a real browser: a fleet of 40 generated logs (bench/make_fleet_logs.sh: ten shapes, four
# machines each) beside a capture of the demo machine, reported by korun04-sim --report, rendered by headless
# Chromium. The rendered text must carry the counts the fleet has, the hostile printer name must show as text
# (not as markup), and the script must have run (its filter reports the machines shown). The screenshot stays
# beside the page; with KORUN_REFRESH_SHOTS=1 it replaces docs/images/fleet-report.png (look at it, commit it).
#
#   bash tests/report/browser_check.sh [KORUN04_SIM]     (default build/host/bin/korun04-sim)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
sim=${1:-$root/build/host/bin/korun04-sim}
browser=$(command -v chromium || command -v chromium-browser || true)
[[ -n $browser ]] || { echo "browser check: no chromium here (scripts/common.sh installs it)"; exit 1; }
# A fixed place below the build directory, so that the page (which names its folder) and its screenshot are
# the same from run to run.
work=$root/build/fleet-report-check
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

bash "$root/bench/make_fleet_logs.sh" "$work/fleet" 40
cp -r "$root/examples/demo" "$work/fleet/pc01-capture"
"$sim" --report "$work/fleet" --out "$work/fleet.html" >/dev/null

chrome=("$browser" --headless --no-sandbox --disable-gpu --disable-dev-shm-usage --no-first-run
        --user-data-dir="$work/profile" --virtual-time-budget=2000)
timeout 60 "${chrome[@]}" --dump-dom "file://$work/fleet.html" >"$work/dom.html" 2>"$work/chromium.log" ||
    { tail -n 20 "$work/chromium.log"; echo "browser check: chromium failed"; exit 1; }
# The rendered document's text, tags dropped, one cell or line a row.
sed -e 's/<[^>]*>/\n/g' "$work/dom.html" | sed -e '/^[[:space:]]*$/d' >"$work/text"

status=0
expect() {  # a line of the rendered text, the line after it
    if ! grep -m1 -A1 -Fx -- "$1" "$work/text" | tail -n 1 | grep -qFx -- "$2"; then
        echo "browser check: expected \"$1\" followed by \"$2\""
        status=1
    fi
}
expect "restart needed" 16
expect "done" 8
expect "failed" 4
expect "not an administrator" 4
expect "bad command line" 4
expect "cut short" 4
grep -qF "Removals cut short: 4" "$work/text" || { echo "browser check: not 4 removals cut short"; status=1; }
grep -qF "Every machine: 40" "$work/text" || { echo "browser check: not 40 machines"; status=1; }
grep -qF "40 shown" "$work/text" || { echo "browser check: the page's script did not run"; status=1; }
grep -qF "What if: the plans of the captured machines" "$work/text" || { echo "browser check: no what-if"; status=1; }
# The hostile name is text: escaped in the DOM, never an element.
grep -qF '&lt;b&gt;Front &amp; "desk"&lt;/b&gt;' "$work/dom.html" || { echo "browser check: the hostile name is not shown as text"; status=1; }
if grep -qF '<b>Front' "$work/dom.html"; then echo "browser check: the hostile name became markup"; status=1; fi

mkdir -p "$root/docs/images"
timeout 60 "${chrome[@]}" --hide-scrollbars --window-size=1200,1400 --screenshot="$work/shot.png" \
    "file://$work/fleet.html" >/dev/null 2>>"$work/chromium.log" || { echo "browser check: no screenshot"; status=1; }
if [[ -s $work/shot.png && ${KORUN_REFRESH_SHOTS:-0} == 1 ]]; then cp "$work/shot.png" "$root/docs/images/fleet-report.png"; fi
((status == 0)) && echo "browser check: the fleet report renders its counts (screenshot $work/shot.png)"
exit $status

#!/usr/bin/env bash
# Builds the simulator korun04-sim (host build) and runs the tool on the demo machine in examples/demo.
# Arguments are passed to korun04-sim, e.g.:
#
#   bash scripts/demo.sh                          the interactive run, with a picture after each action (--show)
#   bash scripts/demo.sh --plan                   prints what it would remove, removes nothing
#   bash scripts/demo.sh --user examples/demo-user.txt --show   a person's session: About, details, views
#   bash scripts/demo.sh --select Office --save /tmp/after
#   bash scripts/demo.sh -- RestartSpooler        the tool's own command tail after --
#   bash scripts/demo.sh --save /tmp/after -- /QUIET /SELECT:ALL   the unattended removal, its log saved with the machine
#   bash scripts/demo.sh --lint path/to/Kunz__04.unm   what the tool would do silently with a script (docs/test-bench.md)
#
# Exit status: 0 when the tool ended normally (its exit code 0 or 1, the main window's usual result) or
# waits for a user action that nothing scripts (3), otherwise the tool's or the simulator's exit code.
set -euo pipefail
exec </dev/null
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$KORUN_ROOT"

korun_ensure_packages "${KORUN_HOST_PACKAGES[@]}"
korun_step "building korun04-sim ($KORUN_HOST_BUILD_DIR)"
korun_configure host "$KORUN_HOST_BUILD_DIR" >/dev/null
cmake --build "$KORUN_HOST_BUILD_DIR" -j "$KORUN_JOBS" --target korun04-sim

# Without arguments: the interactive run (every listed printer selected, then Uninstall), pictured.
if (($# == 0)); then
    set -- --show
fi
korun_step "korun04-sim $*"
status=0
"$KORUN_HOST_BUILD_DIR/bin/korun04-sim" "$@" || status=$?
# The linter's status is its own: 0 clean, 1 findings, 2 unreadable input.
for argument in "$@"; do
    if [[ $argument == --lint ]]; then
        echo "==> korun04-sim --lint exit status: $status ($( ((status == 0)) && echo clean || { ((status == 1)) && echo findings || echo 'cannot read the input'; }))"
        exit "$status"
    fi
done
# /QUIET and /PLAN end with Windows Installer codes; a status holds them modulo 256 (3010 -> 194, 1641 -> 105).
unattended=0
for argument in "$@"; do
    case ${argument^^} in /QUIET | -QUIET | /PLAN:* | -PLAN:*) unattended=1 ;; esac
done
if ((unattended)) && ((status == 194 || status == 105)); then
    echo "==> korun04-sim exit status: $status (the tool's exit code $((status == 194 ? 3010 : 1641)): done, the restart needed or started)"
    exit 0
fi
case $status in
    0 | 1) echo "==> korun04-sim exit status: $status (the tool ended)" ;;
    3) echo "==> korun04-sim exit status: 3 (the tool waits for a user action that nothing scripts)" ;;
    *) echo "==> korun04-sim exit status: $status"; exit "$status" ;;
esac
exit 0

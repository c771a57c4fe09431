#!/usr/bin/env bash
# Builds the simulator korun04-sim (host build) and runs the tool on the demo machine in examples/demo.
# Arguments are passed to korun04-sim, e.g.:
#
#   bash scripts/demo.sh                          the same as --plan (for now)
#   bash scripts/demo.sh --plan                   prints what it would remove, removes nothing
#   bash scripts/demo.sh --select Office --save /tmp/after
#   bash scripts/demo.sh -- RestartSpooler        the tool's own command tail after --
#
# Exit status: 0 when the tool ended normally (its exit code 0 or 1, the main window's usual result),
# otherwise the tool's or the simulator's exit code.
set -euo pipefail
exec </dev/null
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$KORUN_ROOT"

korun_ensure_packages "${KORUN_HOST_PACKAGES[@]}"
korun_step "building korun04-sim ($KORUN_HOST_BUILD_DIR)"
korun_configure host "$KORUN_HOST_BUILD_DIR" >/dev/null
cmake --build "$KORUN_HOST_BUILD_DIR" -j "$KORUN_JOBS" --target korun04-sim

# Until dialogs are simulated the interactive run stops at its main window; without arguments the
# demo shows the loading phase and the plan of removing every listed printer instead.
if (($# == 0)); then
    set -- --plan
fi
korun_step "korun04-sim $*"
status=0
"$KORUN_HOST_BUILD_DIR/bin/korun04-sim" "$@" || status=$?
echo "==> korun04-sim exit status: $status"
if ((status == 0 || status == 1)); then
    exit 0
fi
exit "$status"

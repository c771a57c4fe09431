#!/usr/bin/env bash
# Runs the Wine checks (tests/wine/run.sh) several times in a row, to show that they pass every time and
# not only once: on a busy machine a check that races Wine shows up here.
#
#   bash tests/wine/repeat.sh [COUNT [BIN_DIR]]     (default: 10 runs of build/windows/bin)
#
# Every run goes to the end, whatever the runs before it did. Prints one line per run (passed or failed,
# its time) and a summary; the output of a failed run is kept in a file whose path is printed. Exit status
# non-zero when any run failed.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
COUNT=${1:-10}
BIN_DIR=${2:-$ROOT/build/windows/bin}
[[ $COUNT =~ ^[1-9][0-9]*$ ]] || { echo "usage: bash tests/wine/repeat.sh [COUNT [BIN_DIR]]"; exit 2; }

LOGS=$(mktemp -d "${TMPDIR:-/tmp}/korun04-wine-repeat.XXXXXX")
failed=0
started=$SECONDS
for ((run = 1; run <= COUNT; run++)); do
    run_started=$SECONDS
    log="$LOGS/run-$run.log"
    if bash "$ROOT/tests/wine/run.sh" "$BIN_DIR" >"$log" 2>&1; then
        echo "repeat: run $run of $COUNT passed ($((SECONDS - run_started)) s)"
        rm -f "$log"
    else
        failed=$((failed + 1))
        echo "repeat: run $run of $COUNT FAILED ($((SECONDS - run_started)) s), output in $log:"
        grep -E '^(FAIL|    )' "$log" | head -30
    fi
done
echo "repeat: $((COUNT - failed)) of $COUNT runs passed in $((SECONDS - started)) s"
((failed == 0)) && rmdir "$LOGS" 2>/dev/null
((failed == 0))

#!/usr/bin/env bash
# The fleet report's benchmark, built with optimisation: COUNT generated logs (bench/make_fleet_logs.sh)
# read and reported by `korun04-sim --report DIR --out FILE` (the tool's own reader, on a simulated machine
# that holds the logs) in under 10 s of processor time for the whole process.
#
#   bash bench/report.sh [COUNT]      (default 10000)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
count=${1:-10000}
build=$root/build/bench
sim=$build/bin/korun04-sim
work=$(mktemp -d -p "${KORUN_BENCH_DIR:-$([ -d /dev/shm ] && [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}")
trap 'rm -rf "$work"' EXIT

cmake --preset host -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "${KORUN_JOBS:-2}" --target korun04-sim >/dev/null

bash "$root/bench/make_fleet_logs.sh" "$work/logs" "$count"
/usr/bin/time -f '%U %S' -o "$work/report.time" "$sim" --report "$work/logs" --out "$work/fleet.html" >"$work/report.out"
cpu=$(awk '/^[0-9.]+ [0-9.]+$/ { printf "%d\n", ($1 + $2) * 1000 + 0.5 }' "$work/report.time" | tail -1)
bytes=$(du -sb "$work/logs" | cut -f1)
printf 'bench: fleet report of %d logs (%d MB): processor %d ms (target 10000 ms); %s' "$count" $((bytes / 1048576)) "$cpu" \
    "$(sed 's/^korun04-sim: //' "$work/report.out")"
machines=$(($(wc -l <"$work/fleet.csv") - 1))
[ "$machines" -eq "$count" ] || { echo "bench: the report has $machines machines, not $count"; exit 1; }
((cpu <= 10000)) || { echo "bench: the report takes more than 10 s of processor time"; exit 1; }

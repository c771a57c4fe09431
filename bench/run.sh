#!/usr/bin/env bash
# The removal benchmark: the whole interactive run in the simulator, built with optimisation, on a
# generated machine (bench/make_machine.sh) and on one with twice the printers and files. Prints the
# virtual time the tool's own pacing takes and the processor time the run costs, and checks the targets:
# processor time at most 5% of the virtual time, and at most 2.3 times as much for the doubled machine.
#
#   bash bench/run.sh [PRINTERS] [FILES]      (defaults 2000 and 20000)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
printers=${1:-2000}
files=${2:-20000}
build=$root/build/bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --preset host -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "${KORUN_JOBS:-2}" --target korun04-sim >/dev/null

measure() {  # machine directory -> "virtual processor" in ms
    local line
    line=$("$build/bin/korun04-sim" --machine "$1" --answer no --timing 2>&1 >/dev/null | grep 'virtual time')
    echo "$line" | sed -E 's/.*virtual time ([0-9]+) ms, processor time ([0-9]+) ms.*/\1 \2/'
}

bash "$root/bench/make_machine.sh" "$work/one" "$printers" "$files" >/dev/null
bash "$root/bench/make_machine.sh" "$work/two" $((2 * printers)) $((2 * files)) >/dev/null
read -r virtual1 cpu1 <<<"$(measure "$work/one")"
read -r virtual2 cpu2 <<<"$(measure "$work/two")"
share=$((100 * cpu1 / virtual1))
growth=$((100 * cpu2 / (cpu1 > 0 ? cpu1 : 1)))
printf 'bench: %d printers, %d files: virtual %d ms, processor %d ms (%d%% of virtual; target 5%%)\n' \
    "$printers" "$files" "$virtual1" "$cpu1" "$share"
printf 'bench: %d printers, %d files: virtual %d ms, processor %d ms (%d.%02d times; target 2.30)\n' \
    $((2 * printers)) $((2 * files)) "$virtual2" "$cpu2" $((growth / 100)) $((growth % 100))
status=0
((cpu1 * 100 <= 5 * virtual1)) || { echo "bench: processor time above 5% of the virtual time"; status=1; }
((cpu2 * 100 <= 230 * cpu1)) || { echo "bench: doubling costs more than 2.3 times"; status=1; }
exit $status

#!/usr/bin/env bash
# The removal benchmark, built with optimisation, in three parts:
#
#   1. the whole interactive run in the simulator on a generated machine (bench/make_machine.sh) and on one
#      with twice the printers and files: the run's processor time at most 5% of the virtual time the tool's
#      own pacing takes, and at most 2.3 times as much for the doubled machine;
#   2. the heavy machine (bench/make_heavy_machine.sh: the heaviest scripts the reader allows, PRINTERS
#      printers, one in ten managed by Pavane, FILES other files): the whole korun04-sim process (machine
#      load, run with the safety rules, save) at most 5% of the virtual time in processor time;
#   3. a hundred machines of the demo's size planned (korun04-sim --machine DIR --plan on a hundred copies
#      of examples/demo, standing in for a hundred captures) in under 10 s of processor time.
#
#   bash bench/run.sh [PRINTERS] [FILES]      (defaults 2000 and 20000)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
printers=${1:-2000}
files=${2:-20000}
build=$root/build/bench
sim=$build/bin/korun04-sim
# The machines live in memory when they can (/dev/shm): a save creates some 20,000 files, and on a disk file
# system the kernel's inode allocation for them costs more than the simulator itself (KORUN_BENCH_DIR chooses).
work=$(mktemp -d -p "${KORUN_BENCH_DIR:-$([ -d /dev/shm ] && [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}")
trap 'rm -rf "$work"' EXIT

cmake --preset host -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "${KORUN_JOBS:-2}" --target korun04-sim >/dev/null

measure() {  # machine directory -> "virtual processor" in ms (the run alone)
    local line
    line=$("$sim" --machine "$1" --answer no --timing 2>&1 >/dev/null | grep 'virtual time')
    echo "$line" | sed -E 's/.*virtual time ([0-9]+) ms, processor time ([0-9]+) ms.*/\1 \2/'
}

# User and system time of a command, in ms, from /usr/bin/time's seconds.
process_ms() {  # file written by /usr/bin/time -f '%U %S' -> ms
    awk '/^[0-9.]+ [0-9.]+$/ { printf "%d\n", ($1 + $2) * 1000 + 0.5 }' "$1" | tail -1
}

status=0

# --- 1. the run on the standard machine and its double -------------------------------------------------
bash "$root/bench/make_machine.sh" "$work/one" "$printers" "$files" >/dev/null
bash "$root/bench/make_machine.sh" "$work/two" $((2 * printers)) $((2 * files)) >/dev/null
read -r virtual1 cpu1 <<<"$(measure "$work/one")"
read -r virtual2 cpu2 <<<"$(measure "$work/two")"
share=$((1000 * cpu1 / virtual1))
growth=$((100 * cpu2 / (cpu1 > 0 ? cpu1 : 1)))
printf 'bench: %d printers, %d files: virtual %d ms, processor %d ms (%d.%d%% of virtual; target 5%%)\n' \
    "$printers" "$files" "$virtual1" "$cpu1" $((share / 10)) $((share % 10))
printf 'bench: %d printers, %d files: virtual %d ms, processor %d ms (%d.%02d times; target 2.30)\n' \
    $((2 * printers)) $((2 * files)) "$virtual2" "$cpu2" $((growth / 100)) $((growth % 100))
((cpu1 * 100 <= 5 * virtual1)) || { echo "bench: processor time above 5% of the virtual time"; status=1; }
((cpu2 * 100 <= 230 * cpu1)) || { echo "bench: doubling costs more than 2.3 times"; status=1; }

# --- 2. the heavy machine: the whole process ---------------------------------------------------------------
bash "$root/bench/make_heavy_machine.sh" "$work/heavy" "$printers" "$files" >/dev/null
/usr/bin/time -f '%U %S' -o "$work/heavy.time" \
    "$sim" --machine "$work/heavy" --answer no --timing --save "$work/heavy.saved" >/dev/null 2>"$work/heavy.err" || true
read -r virtualH cpuH <<<"$(sed -nE 's/.*virtual time ([0-9]+) ms, processor time ([0-9]+) ms.*/\1 \2/p' "$work/heavy.err")"
loadsave=$(sed -nE 's/.*machine load ([0-9]+) ms, save ([0-9]+) ms.*/load \1 ms, save \2 ms/p' "$work/heavy.err")
processH=$(process_ms "$work/heavy.time")
printf 'bench: heavy scripts, %d printers, %d files: virtual %d ms, whole process %d ms (%d.%d%% of virtual; target 5%%): run %d ms, %s\n' \
    "$printers" "$files" "$virtualH" "$processH" $((100 * processH / virtualH)) $((1000 * processH / virtualH % 10)) \
    "$cpuH" "$loadsave"
((processH * 100 <= 5 * virtualH)) || { echo "bench: the heavy machine's process above 5% of the virtual time"; status=1; }

# --- 3. a hundred demo-sized machines planned --------------------------------------------------------------
for i in $(seq -w 1 100); do cp -r "$root/examples/demo" "$work/demo$i"; done
/usr/bin/time -f '%U %S' -o "$work/plans.time" bash -c '
    for d in "$1"/demo*; do "$2" --machine "$d" --plan >/dev/null 2>&1 || exit 1; done' _ "$work" "$sim"
plans=$(process_ms "$work/plans.time")
printf 'bench: 100 demo machines planned: %d ms of processor time (target under 10000 ms)\n' "$plans"
((plans < 10000)) || { echo "bench: planning a hundred machines takes 10 s or more"; status=1; }
exit $status

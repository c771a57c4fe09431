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
#   4. the run on a machine with ten times the printers (BIG_PRINTERS, default 20000) and FILES files: at most
#      10% of the virtual time.
#
#   bash bench/run.sh [PRINTERS] [FILES]      (defaults 2000 and 20000)
#
# KORUN_BENCH_BEFORE=PATH names a second korun04-sim (a build from before a change): every part is measured
# with it too, in the same run on the same machines, and printed beside ("before"); the targets are checked
# for this tree's build only. KORUN_BENCH_SKIP_BIG=1 leaves part 4 out.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
printers=${1:-2000}
files=${2:-20000}
big=${BIG_PRINTERS:-$((10 * printers))}
before=${KORUN_BENCH_BEFORE:-}
build=$root/build/bench
sim=$build/bin/korun04-sim
# The machines live in memory when they can (/dev/shm): a save creates some 20,000 files, and on a disk file
# system the kernel's inode allocation for them costs more than the simulator itself (KORUN_BENCH_DIR chooses).
work=$(mktemp -d -p "${KORUN_BENCH_DIR:-$([ -d /dev/shm ] && [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}")
trap 'rm -rf "$work"' EXIT
# KORUN_BENCH_MACHINES=DIR keeps the generated machines there and makes only those missing (they take minutes).
machines=${KORUN_BENCH_MACHINES:-$work}
mkdir -p "$machines"

cmake --preset host -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "${KORUN_JOBS:-2}" --target korun04-sim >/dev/null

# Each measurement is the median of RUNS runs (KORUN_BENCH_RUNS, 3 by default): a single run of a
# tenth of a second varies by a tenth on this machine, enough to flip a ratio of two of them.
runs=${KORUN_BENCH_RUNS:-3}
median() {  # lines that begin with a number -> the line of the median (the lower middle one of an even count)
    sort -n | awk '{ v[NR] = $0 } END { print v[int((NR + 1) / 2)] }'
}

measure() {  # simulator, machine directory -> "virtual processor" in ms (the run alone; the median run)
    local line i
    for ((i = 0; i < runs; i++)); do
        line=$("$1" --machine "$2" --answer no --timing 2>&1 >/dev/null | grep 'virtual time')
        echo "$line" | sed -E 's/.*virtual time ([0-9]+) ms, processor time ([0-9]+) ms.*/\2 \1/'
    done | median | awk '{ print $2, $1 }'
}

# User and system time of a command, in ms, from /usr/bin/time's seconds.
process_ms() {  # file written by /usr/bin/time -f '%U %S' -> ms
    awk '/^[0-9.]+ [0-9.]+$/ { printf "%d\n", ($1 + $2) * 1000 + 0.5 }' "$1" | tail -1
}

status=0
check() {  # LABEL CONDITION MESSAGE: the targets hold for this tree's build only
    [ "$1" = "before" ] && return 0
    eval "(($2))" || { echo "bench: $3"; status=1; }
}
percent() {  # PART WHOLE -> "N.N"
    local tenths=$((1000 * $1 / ($2 > 0 ? $2 : 1)))
    printf '%d.%d' $((tenths / 10)) $((tenths % 10))
}

make() {  # NAME GENERATOR PRINTERS FILES: the machine, made when it is not there yet
    local dir="$machines/$1-$3-$4"
    [ -f "$dir/machine.ini" ] || bash "$root/bench/$2" "$dir" "$3" "$4" >/dev/null
    ln -sfn "$dir" "$work/$1"
}
make one make_machine.sh "$printers" "$files"
make two make_machine.sh $((2 * printers)) $((2 * files))
make heavy make_heavy_machine.sh "$printers" "$files"
[ "${KORUN_BENCH_SKIP_BIG:-0}" = 1 ] || make big make_machine.sh "$big" "$files"
for i in $(seq -w 1 100); do cp -r "$root/examples/demo" "$work/demo$i"; done

# All parts with one simulator; LABEL is "after" (this tree) or "before".
parts() {
    local sim=$1 label=$2 virtual1 cpu1 virtual2 cpu2 virtualH cpuH load save loadsave processH plans growth virtualB cpuB
    # --- 1. the run on the standard machine and its double ---
    read -r virtual1 cpu1 <<<"$(measure "$sim" "$work/one")"
    read -r virtual2 cpu2 <<<"$(measure "$sim" "$work/two")"
    growth=$((100 * cpu2 / (cpu1 > 0 ? cpu1 : 1)))
    printf 'bench (%s): %d printers, %d files: virtual %d ms, processor %d ms (%s%% of virtual; target 5%%)\n' \
        "$label" "$printers" "$files" "$virtual1" "$cpu1" "$(percent "$cpu1" "$virtual1")"
    printf 'bench (%s): %d printers, %d files: virtual %d ms, processor %d ms (%d.%02d times; target 2.30)\n' \
        "$label" $((2 * printers)) $((2 * files)) "$virtual2" "$cpu2" $((growth / 100)) $((growth % 100))
    check "$label" "cpu1 * 100 <= 5 * virtual1" "processor time above 5% of the virtual time"
    check "$label" "cpu2 * 100 <= 230 * cpu1" "doubling costs more than 2.3 times"

    # --- 2. the heavy machine: the whole process (the median of the runs, with its own parts) ---
    local i
    for ((i = 0; i < runs; i++)); do
        rm -rf "$work/heavy.saved"
        /usr/bin/time -f '%U %S' -o "$work/heavy.time" \
            "$sim" --machine "$work/heavy" --answer no --timing --save "$work/heavy.saved" >/dev/null 2>"$work/heavy.err" || true
        echo "$(process_ms "$work/heavy.time") $(sed -nE 's/.*virtual time ([0-9]+) ms, processor time ([0-9]+) ms.*/\1 \2/p' "$work/heavy.err") $(sed -nE 's/.*machine load ([0-9]+) ms, save ([0-9]+) ms.*/\1 \2/p' "$work/heavy.err")"
    done >"$work/heavy.runs"
    read -r processH virtualH cpuH load save <<<"$(median <"$work/heavy.runs")"
    loadsave="load $load ms, save $save ms"
    printf 'bench (%s): heavy scripts, %d printers, %d files: virtual %d ms, whole process %d ms (%s%% of virtual; target 5%%): run %d ms, %s\n' \
        "$label" "$printers" "$files" "$virtualH" "$processH" "$(percent "$processH" "$virtualH")" "$cpuH" "$loadsave"
    check "$label" "processH * 100 <= 5 * virtualH" "the heavy machine's process above 5% of the virtual time"

    # --- 3. a hundred demo-sized machines planned ---
    /usr/bin/time -f '%U %S' -o "$work/plans.time" bash -c '
        for d in "$1"/demo*; do "$2" --machine "$d" --plan >/dev/null 2>&1 || exit 1; done' _ "$work" "$sim"
    plans=$(process_ms "$work/plans.time")
    printf 'bench (%s): 100 demo machines planned: %d ms of processor time (target under 10000 ms)\n' "$label" "$plans"
    check "$label" "plans < 10000" "planning a hundred machines takes 10 s or more"

    # --- 4. ten times the printers ---
    [ "${KORUN_BENCH_SKIP_BIG:-0}" = 1 ] && return 0
    read -r virtualB cpuB <<<"$(measure "$sim" "$work/big")"
    printf 'bench (%s): %d printers, %d files: virtual %d ms, processor %d ms (%s%% of virtual; target 10%%)\n' \
        "$label" "$big" "$files" "$virtualB" "$cpuB" "$(percent "$cpuB" "$virtualB")"
    check "$label" "cpuB * 100 <= 10 * virtualB" "$big printers: processor time above 10% of the virtual time"
}

[ -n "$before" ] && parts "$before" before
parts "$sim" after
exit $status

#!/bin/sh
# Builds the libFuzzer targets (clang, ASan, UBSan) in build/fuzz and runs each of them for a while, as many
# side by side as there are processors (FUZZ_JOBS).
#
#   scripts/fuzz.sh [SECONDS]      default 30 seconds per target (or $FUZZ_SECONDS)
#
# FUZZ_BUILD_ONLY=1 builds the targets and stops; FUZZ_BUILD_JOBS limits the build's parallel jobs.
#
# Seeds come from tests/fuzz/corpus/<target>/ and the kept inputs of tests/fuzz/regressions/<target>/.
# New corpus entries go to build/fuzz/corpus/<target>/; a crashing input is written to
# build/fuzz/artifacts/<target>/ and the script fails. Keep such an input under tests/fuzz/regressions/.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-${FUZZ_SECONDS:-30}}
build="$root/build/fuzz"

cd "$root"
# Every tests/fuzz/fuzz_NAME.cpp is a target.
targets=$(cd tests/fuzz && ls fuzz_*.cpp | sed 's/^fuzz_//; s/\.cpp$//')
# Through ccache when it is installed, as scripts/common.sh configures the other builds.
if [ "${KORUN_CCACHE:-1}" != 0 ] && command -v ccache >/dev/null; then
    launcher="env;CCACHE_BASEDIR=$root;CCACHE_NOHASHDIR=1;ccache"
    cmake --preset fuzz -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" -DCMAKE_C_COMPILER_LAUNCHER="$launcher" >/dev/null
else
    cmake --preset fuzz >/dev/null
fi
# shellcheck disable=SC2046
cmake --build --preset fuzz ${FUZZ_BUILD_JOBS:+-j "$FUZZ_BUILD_JOBS"} --target $(for t in $targets; do printf 'fuzz_%s ' "$t"; done)
# FUZZ_BUILD_ONLY=1: the targets are built, not run (the whole test command builds them beside the Wine checks).
[ "${FUZZ_BUILD_ONLY:-0}" = 1 ] && exit 0

# One target's run; its summary (or, on a failure, the end of its log) goes to build/fuzz/fuzz_NAME.result.
run_target() {
    target=$1
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    mkdir -p "$corpus" "$artifacts"
    seeds=""
    for dir in "$root/tests/fuzz/corpus/$target" "$root/tests/fuzz/regressions/$target"; do
        [ -d "$dir" ] && seeds="$seeds $dir"
    done
    log="$build/fuzz_$target.log"
    result="$build/fuzz_$target.result"
    # libFuzzer's progress goes to a log; the summary line, or the end of the log on a failure, is kept.
    # shellcheck disable=SC2086
    if "$build/bin/fuzz_$target" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" $seeds >"$log" 2>&1; then
        echo "fuzz_$target: $(grep -E '^Done [0-9]+ runs' "$log" | tail -n 1) (log: $log)" >"$result"
    else
        { tail -n 40 "$log"; echo "fuzz_$target found a failing input in $artifacts (log: $log)"; } >"$result"
        echo failed >"$result.failed"
    fi
}

# The targets run side by side, as many at once as there are processors (FUZZ_JOBS), each for its own
# SECONDS: the same fuzzing per target in a fraction of the wall time.
jobs=${FUZZ_JOBS:-$(nproc 2>/dev/null || echo 1)}
running=0
for target in $targets; do
    rm -f "$build/fuzz_$target.result" "$build/fuzz_$target.result.failed"
    run_target "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait
        running=0
    fi
done
wait

status=0
for target in $targets; do
    if [ -f "$build/fuzz_$target.result.failed" ]; then
        cat "$build/fuzz_$target.result" >&2
        status=1
    elif [ -f "$build/fuzz_$target.result" ]; then
        cat "$build/fuzz_$target.result"
    else
        echo "fuzz_$target: no result" >&2
        status=1
    fi
done
exit $status

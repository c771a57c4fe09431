#!/usr/bin/env bash
# The whole test run: host build and tests (simwin), the Windows build, the Wine checks and, when present,
# the fuzz targets. Installs missing Debian packages first. Stops at the first failure, non-zero exit status.
#
#   bash scripts/test.sh
#
# Environment: KORUN_JOBS (parallel jobs, default 2), KORUN_HOST_BUILD_DIR (default build/host),
# KORUN_WINDOWS_BUILD_DIR (default build/windows), KORUN_REPORT_BROWSER_CHECK=0 (skips the fleet report's
# browser check and the install of chromium).
set -euo pipefail
exec </dev/null
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$KORUN_ROOT"

started=$SECONDS
timings=()
phase_started=$SECONDS
phase_done() { timings+=("$(printf '%-28s %4d s' "$1" $((SECONDS - phase_started)))"); phase_started=$SECONDS; }
report() {
    local status=$?
    echo
    ((${#timings[@]})) && printf '    %s\n' "${timings[@]}"
    if ((status == 0)); then
        echo "==> test.sh: all passed in $((SECONDS - started)) s"
    else
        echo "==> test.sh: FAILED (exit status $status) after $((SECONDS - started)) s"
    fi
}
trap report EXIT

korun_step "packages"
browser_check=${KORUN_REPORT_BROWSER_CHECK:-1}
report_packages=()
[[ $browser_check == 0 ]] || report_packages=("${KORUN_REPORT_PACKAGES[@]}")
korun_ensure_packages "${KORUN_HOST_PACKAGES[@]}" "${KORUN_FUZZ_PACKAGES[@]}" \
                      "${KORUN_WINDOWS_PACKAGES[@]}" "${KORUN_WINE_PACKAGES[@]}" "${report_packages[@]}"
phase_done "packages"

korun_step "host build ($KORUN_HOST_BUILD_DIR)"
korun_configure host "$KORUN_HOST_BUILD_DIR"
cmake --build "$KORUN_HOST_BUILD_DIR" -j "$KORUN_JOBS"
phase_done "host build"

korun_step "host tests"
ctest --test-dir "$KORUN_HOST_BUILD_DIR" -j "$KORUN_JOBS" --output-on-failure --no-tests=error --timeout 300
phase_done "host tests"

if [[ $browser_check != 0 ]]; then
    korun_step "fleet report in a browser"
    bash tests/report/browser_check.sh "$KORUN_HOST_BUILD_DIR/bin/korun04-sim"
    phase_done "fleet report browser"
fi

korun_step "windows build ($KORUN_WINDOWS_BUILD_DIR)"
korun_configure windows "$KORUN_WINDOWS_BUILD_DIR"
cmake --build "$KORUN_WINDOWS_BUILD_DIR" -j "$KORUN_JOBS"
bash scripts/check_conformance_doc.sh "$KORUN_WINDOWS_BUILD_DIR/bin/korun04.exe"
bash scripts/check_imports.sh "$KORUN_WINDOWS_BUILD_DIR/bin/korun04.exe"
# The import check itself fails on a program that imports version.dll the usual way.
if bash scripts/check_imports.sh "$KORUN_WINDOWS_BUILD_DIR/bin/planted_control.exe" >/dev/null; then
    echo "imports: the check passed planted_control.exe, which imports version.dll statically"
    exit 1
fi
phase_done "windows build"

# The fuzz targets build beside the Wine checks, which spend much of their time waiting for Wine: one job,
# at a lower priority, so that the checks keep a processor (they must pass on a busy machine anyway).
fuzz_build_pid=""
if [[ -f scripts/fuzz.sh ]]; then
    mkdir -p build
    FUZZ_BUILD_ONLY=1 FUZZ_BUILD_JOBS=1 nice -n 10 bash scripts/fuzz.sh >build/fuzz-build.log 2>&1 &
    fuzz_build_pid=$!
fi

korun_step "Wine checks"
# The capture check replays the prefix's capture in the host build's simulator.
KORUN_SIM="$(cd "$KORUN_HOST_BUILD_DIR" && pwd)/bin/korun04-sim" bash tests/wine/run.sh "$KORUN_WINDOWS_BUILD_DIR/bin"
phase_done "Wine checks"

if [[ -n $fuzz_build_pid ]] && ! wait "$fuzz_build_pid"; then
    tail -n 40 build/fuzz-build.log
    echo "fuzz targets: the build failed (log: build/fuzz-build.log)"
    exit 1
fi
if [[ -f scripts/fuzz.sh ]]; then
    korun_step "fuzz targets"
    # 15 s per target here (scripts/fuzz.sh alone runs 30): the targets' build and runs fit the 20 minutes
    # of the whole command; a longer fuzzing run is scripts/fuzz.sh with its own SECONDS.
    FUZZ_SECONDS=${FUZZ_SECONDS:-10} bash scripts/fuzz.sh
    phase_done "fuzz targets"
fi

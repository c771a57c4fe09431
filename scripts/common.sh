# Shared by scripts/test.sh and scripts/demo.sh (sourced, not run).

KORUN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KORUN_JOBS=${KORUN_JOBS:-2}
KORUN_HOST_BUILD_DIR=${KORUN_HOST_BUILD_DIR:-$KORUN_ROOT/build/host}
KORUN_WINDOWS_BUILD_DIR=${KORUN_WINDOWS_BUILD_DIR:-$KORUN_ROOT/build/windows}

# Debian packages each part of the work needs.
KORUN_HOST_PACKAGES=(cmake ninja-build g++ libgtest-dev googletest)
KORUN_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
KORUN_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools)
KORUN_WINE_PACKAGES=(wine64 xvfb procps locales imagemagick fonts-wine fonts-ipafont-gothic)
# The fleet report rendered by a real browser (tests/report/browser_check.sh).
KORUN_REPORT_PACKAGES=(chromium)

korun_step() { echo; echo "==> $*"; }

# korun_ensure_packages PACKAGE...: installs whichever of them are missing (apt-get update once, then
# apt-get install -y). Needs root, or sudo, only when something is missing.
korun_ensure_packages() {
    local missing=() p
    if ! command -v dpkg-query >/dev/null; then
        echo "error: no dpkg-query here; install by hand: $*" >&2
        return 1
    fi
    for p in "$@"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -qx 'install ok installed' || missing+=("$p")
    done
    ((${#missing[@]} == 0)) && return 0
    local as_root=()
    if [[ $(id -u) != 0 ]]; then
        if ! command -v sudo >/dev/null; then
            echo "error: missing packages ${missing[*]}; run this script as root" >&2
            return 1
        fi
        as_root=(sudo)
    fi
    korun_step "installing ${missing[*]}"
    if [[ -z ${KORUN_APT_UPDATED:-} ]]; then
        "${as_root[@]}" apt-get update </dev/null || return 1
        export KORUN_APT_UPDATED=1
    fi
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}" </dev/null
}

# korun_configure PRESET DIR: configures a preset of CMakePresets.json into DIR.
# With ccache installed (and KORUN_CCACHE not 0) the compilers run through it. Paths below the tree count
# relative to it and the build directory is left out of the key, so another clone or build directory of the
# same sources finds the objects (a cached object's debug information names the directory it was made in).
korun_configure() {
    local cache=()
    mapfile -t cache < <(korun_cache_args)
    cmake --preset "$1" -S "$KORUN_ROOT" -B "$2" "${cache[@]}"
}
korun_cache_args() {
    [[ ${KORUN_CCACHE:-1} != 0 ]] && command -v ccache >/dev/null || return 0
    local launcher="env;CCACHE_BASEDIR=$KORUN_ROOT;CCACHE_NOHASHDIR=1;ccache"
    printf '%s\n' "-DCMAKE_CXX_COMPILER_LAUNCHER=$launcher" "-DCMAKE_C_COMPILER_LAUNCHER=$launcher"
}

#!/usr/bin/env bash
# scripts/check_layers.sh against small trees, one row per kind of fault it must find (and a tree it must
# pass): each row is the files to make ("path:included path" pairs) and the words its report must hold.
set -euo pipefail
check=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/check_layers.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

row() {  # NAME EXPECTED-STATUS EXPECTED-WORDS FILE:INCLUDE...
    local name=$1 want=$2 words=$3
    shift 3
    local tree=$work/$name
    mkdir -p "$tree/base"
    touch "$tree/base/platform.h"
    for pair in "$@"; do
        local file=${pair%%:*} inc=${pair#*:}
        mkdir -p "$tree/$(dirname "$file")"
        [ -n "$inc" ] && echo "#include \"$inc\"" >>"$tree/$file" || touch "$tree/$file"
    done
    local out status=0
    out=$(bash "$check" "$tree" 2>&1) || status=$?
    if [ "$status" != "$want" ] || { [ -n "$words" ] && ! grep -qF "$words" <<<"$out"; }; then
        echo "FAIL $name: status $status (wanted $want), report: $out"
        failures=$((failures + 1))
    fi
}

row keeps-the-order 0 "" \
    app/a.cpp:removal/r.h removal/r.h:script/s.h script/s.h:base/platform.h writers/w.cpp:removal/r.h \
    base/platform.h:simwin/win32.h ui/u.h:script/s.h inventory/i.cpp:ui/u.h
row removal-includes-app 1 "removal/r.cpp (removal) -> app/a.h (app)" app/a.h: removal/r.cpp:app/a.h
row inventory-includes-removal 1 "include against the layers: inventory/i.cpp" removal/r.h: inventory/i.cpp:removal/r.h
row base-includes-script 1 "base/t.cpp (base) -> script/s.h" script/s.h: base/t.cpp:script/s.h
row removal-includes-writers 1 "removal/backup/b.cpp (removal) -> writers/p.h" writers/p.h: removal/backup/b.cpp:writers/p.h
row script-reaches-the-platform 1 "only base/ reaches the platform: script/s.cpp" script/s.cpp:simwin/win32.h
row simwin-includes-the-tool 1 "simwin includes the tool: simwin/src/x.cpp" simwin/src/x.cpp:base/platform.h
row simwin-includes-a-folder-beside-it 0 "" simwin/src/resources/r.h: simwin/src/x.cpp:resources/r.h
row circle-in-a-folder 1 "circle of includes:" removal/a.h:removal/b.h removal/b.h:removal/c.h removal/c.h:removal/a.h
row header-and-source-are-one-unit 0 "" removal/a.h: removal/a.cpp:removal/a.h removal/b.cpp:removal/a.h

[ "$failures" = 0 ] && echo "check_layers: every row passed"
exit $((failures > 0))

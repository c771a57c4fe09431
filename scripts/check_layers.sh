#!/usr/bin/env bash
# The tool's folders are layers, lowest first:
#
#   base/, resources/   platform access, paths, text and INI lines, the log, the host's interface
#   script/             the script's item types and readers
#   ui/                 dialog base, list view, text resources, the selection page and small dialogs
#   inventory/ removal/ the loading and the removal: neither includes the other
#   writers/ report/    the plan, the capture, the fleet report
#   app/                the host: entry point, runs, main window
#
# A unit includes units of its own folder or of a lower layer, never of its own layer's other folders or
# of a higher one; simwin/ includes nothing of the tool, and only base/ includes simwin/ (the platform).
# Within a folder the units include each other without a circle. tools/ and tests/ stand above them all.
#
#   bash scripts/check_layers.sh [ROOT]     exit 0 when every include keeps the order, 1 with each fault
set -euo pipefail
root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
cd "$root"

folders="base resources script ui inventory removal writers report app simwin"
present=$(for f in $folders; do if [ -d "$f" ]; then echo "$f"; fi; done)
[ -n "$present" ] || { echo "check_layers: no source folders under $root" >&2; exit 1; }

# Every file, so that an include naming a file beside the includer (as a quoted include is looked up first)
# is told from one of the tree's folders.
files=$(mktemp)
trap 'rm -f "$files"' EXIT
find $present -type f \( -name '*.h' -o -name '*.cpp' \) | sort >"$files"

# "FILE INCLUDED" for every quoted include of the layered folders.
tr '\n' '\0' <"$files" |
    xargs -0 awk '
        FNR == 1 { file = FILENAME }
        /^[ \t]*#[ \t]*include[ \t]*"/ {
            line = $0
            sub(/^[^"]*"/, "", line)
            sub(/".*$/, "", line)
            print file, line
        }' |
awk -v listing="$files" '
    BEGIN {
        while ((getline entry < listing) > 0) exists[entry] = 1
        rank["base"] = 0; rank["resources"] = 0; rank["script"] = 1; rank["ui"] = 2
        rank["inventory"] = 3; rank["removal"] = 3; rank["writers"] = 4; rank["report"] = 4; rank["app"] = 5
        faults = 0
    }
    function top(path) { return substr(path, 1, index(path "/", "/") - 1) }
    function unit(path) { sub(/\.(h|cpp)$/, "", path); return path }
    {
        file = $1; inc = $2
        # Looked up beside the including file first: that is a unit of its own folder.
        here = file; sub(/\/[^\/]*$/, "", here)
        if ((here "/" inc) in exists) inc = here "/" inc
        from = top(file); to = top(inc)
        if (from == "simwin") {
            if (to in rank) { print "simwin includes the tool: " file " -> " inc; faults++ }
            next
        }
        if (to == "simwin") {
            if (from != "base") { print "only base/ reaches the platform: " file " -> " inc; faults++ }
            next
        }
        if (!(to in rank)) next
        if (from != to && rank[to] >= rank[from]) {
            print "include against the layers: " file " (" from ") -> " inc " (" to ")"; faults++
            next
        }
        a = unit(file); b = unit(inc)
        if (a != b && !((a, b) in edge)) { edge[a, b] = 1; out[a] = out[a] " " b; units[a] = 1; units[b] = 1 }
    }
    # Depth-first search for a circle of includes among units: grey units are on the current path.
    function visit(u,    n, i, list, v) {
        colour[u] = 1; path[++depth] = u
        n = split(out[u], list, " ")
        for (i = 1; i <= n; i++) {
            v = list[i]
            if (colour[v] == 1) { report(v); continue }
            if (!colour[v]) visit(v)
        }
        depth--; colour[u] = 2
    }
    function report(v,    i, text) {
        for (i = depth; i >= 1 && path[i] != v; i--) text = " -> " path[i] text
        print "circle of includes: " v text " -> " v; faults++
    }
    END {
        for (u in units) if (!colour[u]) { depth = 0; visit(u) }
        if (faults) { print faults " include fault(s)"; exit 1 }
    }'

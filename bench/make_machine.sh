#!/usr/bin/env bash
# Writes the benchmark's machine directory: PRINTERS printers of the family on ten drivers, four uninstall
# scripts (one in each directory the tool searches) whose file lists fill the script reader's section
# buffers, and FILES other files in subdirectories below the printer-driver directory.
#
#   bash bench/make_machine.sh DIR [PRINTERS] [FILES]      (defaults 2000 and 20000)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
dir=$1
printers=${2:-2000}
files=${3:-20000}
rm -rf "$dir"
drivers="$dir/drive/C/Windows/System32/spool/drivers/x64"
mkdir -p "$drivers/3" "$dir/drive/C/Program Files/Vestral" "$dir/drive/C/Windows/System32"

{
    echo "[system]"
    echo "platform = nt"
    for d in $(seq 0 9); do printf '[driver]\nname = Vestral B%d Driver\n' "$d"; done
    for p in $(seq 1 "$printers"); do
        printf '[printer]\nname = Bench %05d\ndriver = Vestral B%d Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n' \
            "$p" $((p % 10))
    done
} >"$dir/machine.ini"

# One script: starter entries up to the 260-character starter buffer, each profile's file list up to the
# 4096-character category buffer (the reader's limits).
script() {
    local prefix=$1 first=$2
    printf '[UnPrinterDrivers]\r\n'
    local used=0 n=$first
    while :; do
        local line
        line=$(printf '"Vestral B%d Driver",S%s%d,1' "$n" "$prefix" "$n")
        ((used + ${#line} + 1 < 260)) || break
        printf '%s\r\n' "$line"
        used=$((used + ${#line} + 1))
        n=$((n + 1))
        ((n <= 9)) || break
    done
    for s in $(seq "$first" $((n - 1))); do
        printf '[S%s%d.Files]\r\n' "$prefix" "$s"
        local size=0 f=0
        while ((size + 14 < 4096)); do
            printf '%s%d_%04d.dll\r\n' "$prefix" "$s" "$f"
            size=$((size + 14))
            f=$((f + 1))
        done
    done
}
script a 0 >"$drivers/Kunz__04.unm"
script b 3 >"$drivers/3/Kunz__04.unm"
script c 6 >"$dir/drive/C/Program Files/Vestral/Kunz__04.unm"
script d 8 >"$dir/drive/C/Windows/System32/Kunz__04.unm"

other_files "$drivers" "$files"
echo "bench: machine with $printers printers and $files other files in $dir"

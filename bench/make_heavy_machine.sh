#!/usr/bin/env bash
# Writes the benchmark's heavy machine: the heaviest scripts the reader allows. Four uninstall scripts, one in
# each directory the tool searches, each with as many driver profiles as short names fill the 260-character
# starter section (36: "a7,a7" and its NUL take six characters), every profile's Files section filled to the
# 4096-character buffer, three services and three registry keys in each profile, and a Pavane profile;
# PRINTERS printers on those drivers, one in ten managed by Pavane; FILES other files below the printer-driver
# directory; the services, keys and a tenth of the named files present on the machine.
#
#   bash bench/make_heavy_machine.sh DIR [PRINTERS] [FILES]      (defaults 2000 and 20000)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
dir=$1
printers=${2:-2000}
files=${3:-20000}
rm -rf "$dir"
drivers="$dir/drive/C/Windows/System32/spool/drivers/x64"
program="$dir/drive/C/Program Files/Vestral"
system="$dir/drive/C/Windows/System32"
mkdir -p "$drivers/3" "$program" "$system"

digits=(0 1 2 3 4 5 6 7 8 9 A B C D E F G H I J K L M N O P Q R S T U V W X Y Z)
prefixes=(a b c d)
places=("$drivers" "$drivers/3" "$program" "$system")
names=()  # every driver profile's name, which is also its section base
for p in "${prefixes[@]}"; do for d in "${digits[@]}"; do names+=("$p$d"); done; done

# One script: its 36 profiles in UnPrinterDrivers ("a7,a7": 5 characters and the NUL), their categories full.
script() {
    local p=$1 s=$2
    ((s == 0)) && printf '[UnPrinterMfgs]\r\nPavane,Pav\r\n'
    printf '[UnPrinterDrivers]\r\n'
    for d in "${digits[@]}"; do printf '%s%s,%s%s\r\n' "$p" "$d" "$p" "$d"; done
    for d in "${digits[@]}"; do
        local base=$p$d
        printf '[%s.Files]\r\n' "$base"
        # 11-character names and their NUL: 341 fill the 4096-character buffer.
        for f in $(seq 1000 1340); do printf '%s_%d.dll\r\n' "$base" "$f"; done
        printf '[%s.Services]\r\n%sSvc1\r\n%sSvc2\r\n%sSvc3\r\n' "$base" "$base" "$base" "$base"
        printf '[%s.RegistryKeys]\r\n' "$base"
        for k in 1 2 3; do printf 'HKLM,"SOFTWARE\\VESTRAL\\%s\\Key%d",,1\r\n' "$base" "$k"; done
    done
    if ((s == 0)); then
        printf '[Pav.Files]\r\nPAVANE32.EXE\r\npavhook.dll\r\n[Pav.Services]\r\nPavSvc\r\n'
    fi
}
for s in 0 1 2 3; do script "${prefixes[$s]}" "$s" >"${places[$s]}/Kunz__04.unm"; done

{
    echo "[system]"
    echo "platform = nt"
    for n in "${names[@]}"; do printf '[driver]\nname = %s\n' "$n"; done
    for i in $(seq 1 "$printers"); do
        n=${names[$(((i - 1) % ${#names[@]}))]}
        printf '[printer]\nname = Heavy %05d\ndriver = %s\nport = LPT1:\ndata.VestralDriver04 = 1\n' "$i" "$n"
        ((i % 10 == 0)) && printf 'data.PavPrinter = Heavy %05d\n' $((i - 1))
    done
    for n in "${names[@]}"; do
        for k in 1 2 3; do printf '[service]\nname = %sSvc%d\nstate = stopped\n' "$n" "$k"; done
    done
} >"$dir/machine.ini"

{
    printf 'Windows Registry Editor Version 5.00\r\n'
    for n in "${names[@]}"; do
        for k in 1 2 3; do printf '\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\%s\\Key%d]\r\n"Value"="%s"\r\n' "$n" "$k" "$n"; done
    done
} >"$dir/registry.reg"

# A tenth of the named files present, in the driver directory.
for n in "${names[@]}"; do for f in $(seq 1000 10 1340); do : >"$drivers/${n}_$f.dll"; done; done

other_files "$drivers" "$files"
echo "bench: heavy machine with ${#names[@]} driver profiles, $printers printers and $files other files in $dir"

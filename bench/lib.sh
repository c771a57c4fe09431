# Shared by the benchmark's machine generators.

# other_files DRIVERS FILES: FILES files that no script names, in a hundred subdirectories below the driver
# directory, two levels deep.
other_files() {
    local drivers=$1 files=$2 per d f sub
    per=$((files / 100))
    for d in $(seq 0 99); do
        sub="$drivers/set$d/part$((d % 10))"
        mkdir -p "$sub"
        for f in $(seq 1 "$per"); do : >"$sub/other$f.dat"; done
    done
}

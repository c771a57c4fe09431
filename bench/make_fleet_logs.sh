#!/usr/bin/env bash
# Writes COUNT removal logs of the tool into DIR, one file a machine (PC00000.log ...), as a fleet's file
# share holds them: the machines take ten shapes in turn (machine number modulo 10), so a fleet of COUNT
# machines has COUNT/10 of each:
#
#   0-3 a removal that needs a restart (3010)   4 a removal done (0)
#   5   a failed removal (1603): two registry keys failed with error 5, printer "<b>Front & "desk"</b>" kept
#   6   not an administrator (740)               7 cut short in stage 14 (no end line): /RESUME finishes it
#   8   a bad command line (87)                  9 two runs: a failed one (1603), then a removal done (0) with a refusal
#
#   bash bench/make_fleet_logs.sh DIR COUNT
set -euo pipefail
dir=$1
count=$2
mkdir -p "$dir"
awk -v dir="$dir" -v count="$count" '
function header(f, name, time) {
    printf "==== korun04 2026-12-08 %s %s | \"C:\\Program Files\\Vestral\\korun04.exe\" /QUIET /SELECT:ALL | platform WinNT, version class 8\r\n", time, name > f
    printf "%s run | unattended removal (/QUIET), removing every listed printer, no restart\r\n", time > f
}
function loading(f, hostile) {
    printf "09:00:07 loading | script | C:\\Windows\\System32\\spool\\drivers\\x64\\Kunz__04.unm | read\r\n" > f
    printf "09:00:08 loading | printer | Office | driver \"Vestral X Driver\", of the family, the default printer | listed\r\n" > f
    printf "09:00:08 loading | printer | %s | driver \"Vestral X Driver\", of the family | listed\r\n", hostile > f
    printf "09:00:08 loading | printer | Plotter | driver \"Acme Plotter 9\" | not of the family: never listed\r\n" > f
}
function removal(f, hostile, keepSecond, stopAt) {
    printf "09:00:09 stage 0 | removing \"Office\"; staying: none\r\n" > f
    printf "09:00:09 run | backup set C:\\ProgramData\\Vestral\\korun04\\Backup\\20261208-090009\r\n" > f
    printf "09:00:10 stage 3 | printer | Office | removed\r\n" > f
    if (!keepSecond) printf "09:00:10 stage 3 | printer | %s | removed\r\n", hostile > f
    printf "09:00:10 stage 4 | driver | Vestral X Driver (local environment) | removed\r\n" > f
    printf "09:00:10 stage 4 | INF | oem0.inf | removed (for Vestral X Driver)\r\n" > f
    printf "09:00:11 stage 7 | service | VstStatus04 | scheduled for restart (marked for deletion)\r\n" > f
    if (stopAt == 14) return
    for (k = 0; k < 6; k++) printf "09:00:12 stage 14 | file | C:\\Windows\\System32\\spool\\drivers\\x64\\vx%d.dll | removed\r\n", k > f
    printf "09:00:12 stage 14 | folder | C:\\Program Files\\Vestral | kept (it holds other files)\r\n" > f
    printf "09:00:12 stage 15 | registry key | HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VXDRV | removed (with its subkeys)\r\n" > f
}
BEGIN {
    for (i = 0; i < count; i++) {
        name = sprintf("PC%05d", i)
        f = dir "/" name ".log"
        shape = i % 10
        hostile = (shape == 5) ? "<b>Front & \"desk\"</b>" : "Reception"
        if (shape == 9) {
            header(f, name, "08:00:00")
            printf "08:00:01 loading | the printer enumeration failed: error 1722\r\n" > f
            printf "08:00:01 end | exit code 1603 (fatal error)\r\n" > f
        }
        header(f, name, "09:00:00")
        if (shape == 6) { printf "09:00:00 end | exit code 740 (not an administrator)\r\n" > f; close(f); continue }
        if (shape == 8) {
            printf "09:00:00 run | bad command line: /QUIET needs /SELECT:ALL or /SELECT:\"name\",\"name\"\r\n" > f
            printf "09:00:00 end | exit code 87 (bad command line)\r\n" > f
            close(f); continue
        }
        loading(f, hostile)
        removal(f, hostile, shape == 5, shape == 7 ? 14 : 0)
        if (shape == 7) { close(f); continue }
        if (shape == 5) {
            printf "09:00:12 stage 15 | registry key | HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM04 | failed, error 5\r\n" > f
            printf "09:00:12 stage 15 | registry key | HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL | failed, error 5\r\n" > f
            printf "09:00:13 end | exit code 1603 (fatal error)\r\n" > f
            close(f); continue
        }
        if (shape == 9) printf "09:00:12 stage 14 | file | C:\\Windows\\System32\\kernel32.dll | refused (windows-file: Windows protects it)\r\n" > f
        restart = shape <= 3
        printf "09:00:13 done | removed 12, not there 0, scheduled 1, failed 0, refused %d, kept 1, called 0 | %s\r\n", shape == 9, restart ? "restart needed" : "no restart needed" > f
        printf "09:00:13 end | exit code %s\r\n", restart ? "3010 (done, a restart is needed)" : "0 (done)" > f
        close(f)
    }
}'

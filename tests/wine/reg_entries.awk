# A "reg export" file (as UTF-8) to the entry lines of a removal_machine.exe snapshot: "k root\path" for each
# key, "v root\path|name" for each value ("@" for the default value), lower-cased, HKLM and HKCU written
# short. Continuation lines of long values are skipped. Run with LC_ALL=C (ASCII lower-casing only).
{ sub(/\r$/, "") }
/^\[/ {
    key = substr($0, 2, length($0) - 2)
    sub(/^HKEY_LOCAL_MACHINE/, "HKLM", key)
    sub(/^HKEY_CURRENT_USER/, "HKCU", key)
    key = tolower(key)
    print "k " key
    next
}
/^@=/ { print "v " key "|@"; next }
/^"/ {
    name = ""
    for (i = 2; i <= length($0); i++) {
        c = substr($0, i, 1)
        if (c == "\\") { i++; name = name substr($0, i, 1); continue }
        if (c == "\"") break
        name = name c
    }
    print "v " key "|" tolower(name)
}

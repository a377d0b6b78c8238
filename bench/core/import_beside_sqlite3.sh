#!/bin/sh
# qic import of N profiles from a .qic file beside the sqlite3 program inserting the same
# rows (same columns, an index on the name) in one transaction with synchronous=FULL, each
# a whole process, in turns in one folder; the median of 9 rounds of each. Both files exist
# before the clock, empty: qic's data file with its tables, the database with its table.
# Usage: bench/core/import_beside_sqlite3.sh BUILD_DIR [N...]   (default N: 1000 10000)
set -eu
build=${1:?build folder}
shift
qic="$build/bin/qic"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
[ $# -gt 0 ] || set -- 1000 10000
for n in "$@"; do
    awk -v n="$n" 'BEGIN {
        for (i = 0; i < n; i++) {
            printf "[Record_%d]\r\nName=Profile %d\r\nIP=192.168.%d.%d,10.0.0.%d\r\n", i + 1, i, i % 256, i % 250 + 2, i % 200 + 1
            printf "Mask=255.255.255.0,255.0.0.0\r\nGateway=192.168.%d.1\r\nDNS1=8.8.8.8\r\nDNS2=1.1.1.1\r\n", i % 256
            printf "Interface=eth%d\r\nPrinter=\r\nIcon=%d\r\n", i % 4, 11 + i % 3
            printf "Script=ipconfig /release,ipconfig /renew,notify-send switched %d\r\n", i
        } }' > "$work/in.qic"
    # The table and its index exist before the clock, as qic's data file does.
    {
        echo "CREATE TABLE tblIPList (Num INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, IP TEXT, Mask TEXT, Gateway TEXT, DNS1 TEXT, DNS2 TEXT, Interface TEXT, Printer TEXT, Icon INTEGER, Script TEXT);"
        echo "CREATE INDEX idxName ON tblIPList(Name);"
    } > "$work/schema.sql"
    awk -v n="$n" 'BEGIN {
        print "PRAGMA synchronous=FULL;"
        print "BEGIN;"
        for (i = 0; i < n; i++) {
            printf "INSERT INTO tblIPList (Name, IP, Mask, Gateway, DNS1, DNS2, Interface, Printer, Icon, Script) VALUES "
            printf "(\047Profile %d\047, \047192.168.%d.%d,10.0.0.%d\047, \047255.255.255.0,255.0.0.0\047, ", i, i % 256, i % 250 + 2, i % 200 + 1
            printf "\047192.168.%d.1\047, \0478.8.8.8\047, \0471.1.1.1\047, \047eth%d\047, \047\047, %d, ", i % 256, i % 4, 11 + i % 3
            printf "\047ipconfig /release\047 || char(13,10) || \047ipconfig /renew\047 || char(13,10) || \047notify-send switched %d\047 || char(13,10));\n", i
        }
        print "COMMIT;"
    }' > "$work/in.sql"
    : > "$work/qic.ms"
    : > "$work/sqlite.ms"
    for round in 1 2 3 4 5 6 7 8 9; do
        rm -f "$work/q.dat" "$work/s.db"
        "$qic" --data "$work/q.dat" list > /dev/null  # the data file exists before the clock
        sqlite3 "$work/s.db" < "$work/schema.sql"
        t=$(ms); "$qic" --data "$work/q.dat" import "$work/in.qic" --yes > "$work/out"; echo $(( $(ms) - t )) >> "$work/qic.ms"
        t=$(ms); sqlite3 "$work/s.db" < "$work/in.sql"; echo $(( $(ms) - t )) >> "$work/sqlite.ms"
    done
    tail -n 1 "$work/out" | grep -q "^$n added, 0 replaced, 0 kept, 0 skipped" || grep -q "^$n added" "$work/out" || { echo "the import did not add $n profiles" >&2; exit 1; }
    [ "$(sqlite3 "$work/s.db" "SELECT count(*) FROM tblIPList")" = "$n" ] || { echo "sqlite3 did not insert $n rows" >&2; exit 1; }
    q=$(median < "$work/qic.ms")
    s=$(median < "$work/sqlite.ms")
    echo "$n profiles: qic import ${q} ms, sqlite3 ${s} ms, ratio $(awk -v q="$q" -v s="$s" 'BEGIN { printf "%.2f", q / s }')"
done

#!/bin/sh
# Runs the cross-built travin-cli.exe under Wine on a listing in a folder
# whose name is not ASCII, named on the command line: the client must read
# that file, and its limit check then refuses the over-long line before any
# port is opened. Exit 77 (skipped) where the program was not built or Wine
# is missing.
#
#   win32_run_check.sh EXE WORK_DIR
exe="$1"
work="$2"
wine=$(command -v wine64 || command -v wine || true)
[ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
if [ ! -s "$exe" ]; then
    echo "SKIPPED: $exe was not built"
    exit 77
fi
if [ -z "$wine" ]; then
    echo "SKIPPED: Wine not found (install wine64 to run the Windows client)"
    exit 77
fi
set -e
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all LC_ALL=C.UTF-8
folder="$work/Prüfstand 試験"
mkdir -p "$folder"
line=$(printf '%0300d' 0)
printf '10 PRINT "%s"\r\n' "$line" > "$folder/Übung.tv"
# Wine maps the Unix root to drive Z:.
windows_folder="Z:$(printf '%s' "$folder" | tr / '\\')"

fail() { echo "FAILED: $*"; exit 1; }

# The first run makes Wine's prefix, and says so on stderr.
"$wine" "$exe" --help > /dev/null 2>&1 || fail "--help did not exit 0"
status=0
"$wine" "$exe" download "$windows_folder\\Übung.tv" > "$work/out.txt" 2> "$work/err.txt" || status=$?
cat "$work/err.txt"
[ "$status" = 3 ] || fail "download of the listing exited $status, not 3 (refused by the limit check)"
grep -q "Übung.tv:1: Line excedes maximum length" "$work/err.txt" || fail "the refusal does not name the file"
# The command line's checks and the zero-byte refusal, before any port.
status=0
"$wine" "$exe" --port COM1 --port com1 stop > "$work/out.txt" 2> "$work/err.txt" || status=$?
[ "$status" = 1 ] || fail "a port given twice exited $status, not 1"
grep -q "try 'travin-cli --help'" "$work/err.txt" || fail "the usage error gives no hint"
printf 'print 1\r\nprint "a\000b"\r\n' > "$folder/zero.tn"
status=0
"$wine" "$exe" download "$windows_folder\\zero.tn" > "$work/out.txt" 2> "$work/err.txt" || status=$?
[ "$status" = 3 ] || fail "a program with a zero byte exited $status, not 3"
grep -q "zero.tn:2: holds a zero byte" "$work/err.txt" || fail "the zero byte's line is not named"
echo "travin-cli.exe read a listing in a folder named outside ASCII"

#!/bin/sh
# Runs the cross-built travin-cli.exe under Wine: the usage, and a listing
# in a folder whose name is not ASCII, named on the command line. The
# client must read that file (its limit check then refuses the over-long
# line, before any port is opened), and must say "Cannot read" for a file
# of that folder that is not there. Exit 77 (skipped) where the program was
# not built or Wine is missing.
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

"$wine" "$exe" --help > "$work/help.txt" 2>/dev/null || fail "--help did not exit 0"
grep -q "^usage: travin-cli" "$work/help.txt" || fail "--help printed no usage"

status=0
"$wine" "$exe" download "$windows_folder\\Übung.tv" > "$work/out.txt" 2> "$work/err.txt" || status=$?
cat "$work/err.txt"
[ "$status" = 3 ] || fail "download of the listing exited $status, not 3 (refused by the limit check)"
grep -q "Übung.tv:1: Line excedes maximum length" "$work/err.txt" || fail "the refusal does not name the file"

status=0
"$wine" "$exe" download "$windows_folder\\Fehlt.tv" > "$work/out.txt" 2> "$work/err.txt" || status=$?
cat "$work/err.txt"
[ "$status" = 1 ] || fail "a missing file exited $status, not 1"
grep -q "Cannot read .*Fehlt.tv" "$work/err.txt" || fail "a missing file was not told"
echo "travin-cli.exe read a listing in a folder named outside ASCII"

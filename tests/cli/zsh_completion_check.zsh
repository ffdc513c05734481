#!/usr/bin/env zsh
# Completes a few command lines with the zsh completion, in an interactive
# zsh on a pseudo-terminal as a user types them, and checks what it offers.
#
#   zsh -f zsh_completion_check.zsh COMPLETION_FOLDER CASES_FILE
zmodload zsh/zpty || exit 1
folder=$1
cases=${2:A}

# Prints, one a line, what zsh offers for $1 followed by Tab.
offered() {
  zpty z zsh -f -i
  # Reads what the shell shows until `marker` is printed (its echo, in
  # quotes, does not count), printing the offered words on the way.
  readUntil() {
    local line
    integer deadline=$(( SECONDS + 20 ))
    while (( SECONDS < deadline )); do
      if zpty -rt z line; then
        line=${line//$'\r'/}
        [[ $line == *$1* && $line != *\'$1\'* ]] && return 0
        [[ $line == *'<m>'* ]] && print -r -- ${${line#*<m>}%$'\n'}
      else
        sleep 0.05
      fi
    done
    print -u2 "no '$1' from the shell within 20 s"
    return 1
  }
  zpty -w z "PROMPT=''; fpath=(${(q)folder} \$fpath); autoload -Uz compinit; compinit -u -D"
  # Every word the completion adds is also printed, behind a marker.
  zpty -w z 'compadd() { builtin compadd -O __hits "$@"; (( $#__hits )) && print -rl -- "<m>"${^__hits}; builtin compadd "$@"; }'
  zpty -w z "zstyle ':completion:*' list-prompt ''; LISTMAX=0; bindkey '^I' complete-word; print '<ready>'"
  # Typed ahead of the prompt, the line would be dropped.
  readUntil '<ready>' >/dev/null || { zpty -d z; return 1; }
  zpty -n -w z "$1"$'\t'
  zpty -w z $'\C-u'"print '<end>'"
  readUntil '<end>'
  local ok=$?
  zpty -d z
  return ok
}

offers() {
  local line=$1 word
  local -a got
  got=(${(f)"$(offered $line)"}) || { print "FAILED: '$line': no answer"; exit 1; }
  for word in ${=2}; do
    (( ${got[(Ie)$word]} )) || { print "FAILED: '$line' offers '${got}', not $word"; exit 1; }
  done
  for word in ${=3}; do
    (( ${got[(Ie)$word]} )) && { print "FAILED: '$line' offers $word"; exit 1; }
  done
}

tmp=${TMPDIR:-/tmp}/travin-zsh-completion.$$
mkdir -p $tmp && : > $tmp/lesson.tn && : > $tmp/notes.md
cd $tmp
while IFS='|' read -r line expected unexpected; do
  [[ -z $line || $line == '#'* ]] && continue
  offers $line $expected $unexpected
done < $cases
# zsh alone offers only programs after download.
offers "travin-cli download " "lesson.tn" "notes.md"
cd / && rm -rf $tmp
print "the zsh completion offers what it should"

#!/bin/sh
# The folders' layers run one way: each folder may include only the folders
# below it, and nothing below the window layer includes a Qt header.
#
#   core/                       nothing of ours
#   lang/ (the Travin language) nothing of ours
#   link/                       core/
#   debugger/                   core/ link/
#   workbench/                  core/ link/ debugger/ assistant/ lang/
#   assistant/                  core/
#   plot/ (toolkit-free)        core/
#   cli/                        everything toolkit-free, no Qt
#   board/                      core/ lang/ (a program of its own)
#
# The plot's Qt half (files starting with T) and app/ are the window layer
# and may include anything.
src="$1"
cd "$src" || exit 2
status=0
check() {
    folder="$1"; allowed="$2"; shift 2
    for f in "$@"; do
        [ -f "$f" ] || continue
        grep -n '^#include' "$f" | while IFS= read -r line; do
            inc=$(printf '%s' "$line" | sed -n 's/.*#include *["<]\([^">]*\)[">].*/\1/p')
            case "$inc" in
                Q*|Qt*/*|q*.h) echo "$f: Qt header below the window layer: $line"; echo x ;;
                */*)
                    top=${inc%%/*}
                    case " $folder $allowed " in
                        *" $top "*) ;;
                        *) case "$top" in
                               core|lang|link|debugger|workbench|assistant|app|cli|board|plot|docs)
                                   echo "$f: includes upward or sideways: $line"; echo x ;;
                           esac ;;
                    esac ;;
            esac
        done
    done
}
out=$(
    check core "" core/*.h core/*.cpp
    check lang "" lang/*.h lang/*.cpp
    check link "core" link/*.h link/*.cpp
    check debugger "core link" debugger/*.h debugger/*.cpp
    check workbench "core link debugger assistant lang" workbench/*.h workbench/*.cpp
    check assistant "core" assistant/*.h assistant/*.cpp
    check plot "core" $(ls plot/*.h plot/*.cpp 2>/dev/null | grep -v '/T[A-Z]')
    [ -d cli ] && check cli "core link debugger workbench assistant plot lang" cli/*.h cli/*.cpp
    check board "core lang" board/*.h board/*.cpp board/interpreter/*.h board/interpreter/*.cpp
)
if printf '%s\n' "$out" | grep -q '^x$'; then
    printf '%s\n' "$out" | grep -v '^x$'
    exit 1
fi
echo "layers run one way"

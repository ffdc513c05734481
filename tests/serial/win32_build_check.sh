#!/bin/sh
# Builds the toolkit-free core for Windows with the MinGW-w64 cross
# compiler: every source of the core library, with the Windows serial driver
# and device list in place of the POSIX ones, compiled to objects; when the
# command-line client's sources are given after "--", they are linked with
# those objects into travin-cli.exe. Exit 77 (skipped) where the cross compiler is missing.
#
#   win32_build_check.sh SOURCE_ROOT OUTPUT_DIR CORE_SOURCES... [-- CLIENT_SOURCES...]
src="$1"
out="$2"
shift 2
# The client runs each board on a std::thread, which only the POSIX-threads
# flavour of the cross compiler provides.
cxx=x86_64-w64-mingw32-g++-posix
command -v "$cxx" >/dev/null 2>&1 || cxx=x86_64-w64-mingw32-g++
if ! command -v "$cxx" >/dev/null 2>&1; then
    echo "SKIPPED: $cxx not found (install g++-mingw-w64-x86-64 to build the core for Windows)"
    exit 77
fi
set -e
rm -rf "$out"
mkdir -p "$out"
flags="-std=c++20 -O0 -Wall -Wextra -Wpedantic -Werror -I$src"
objects=""
client=0
client_sources=""
n=0
for f in "$@"; do
    if [ "$f" = "--" ]; then client=1; continue; fi
    case "$f" in
        */SerialDriverPosix.cpp) f="$src/link/SerialDriverWin32.cpp" ;;
        */SerialDeviceSourceLibserialport.cpp) f="$src/link/SerialDeviceSourceWin32.cpp" ;;
        */TerminalDevicePosix.cpp) f="$src/cli/TerminalDeviceWin32.cpp" ;;
        */NetSocketPosix.cpp) f="$src/link/NetSocketWin32.cpp" ;;
    esac
    if [ $client = 1 ]; then client_sources="$client_sources $f"; continue; fi
    n=$((n + 1))
    obj="$out/$n-$(basename "$f" .cpp).o"
    echo "compiling $f"
    "$cxx" $flags -c "$f" -o "$obj"
    objects="$objects $obj"
done
if [ -n "$client_sources" ]; then
    echo "linking travin-cli.exe"
    # shellcheck disable=SC2086
    "$cxx" $flags -static -o "$out/travin-cli.exe" $client_sources $objects -lws2_32
    test -s "$out/travin-cli.exe"
    echo "built $out/travin-cli.exe"
else
    echo "compiled $n core sources (no client sources given)"
fi

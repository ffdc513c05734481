#!/bin/sh
# Syntax-checks link/SerialDriverWin32.cpp with the MinGW cross compiler.
# Exit 77 (skipped) where the cross compiler is not installed.
src="$1"
cxx=x86_64-w64-mingw32-g++
if ! command -v "$cxx" >/dev/null 2>&1; then
    echo "SKIPPED: $cxx not found (install g++-mingw-w64-x86-64 to check the Windows serial driver)"
    exit 77
fi
exec "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror -I"$src" "$src/link/SerialDriverWin32.cpp"

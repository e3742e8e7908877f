#!/usr/bin/env bash
# Rebuilds the small Windows PE fixtures of the version reader tests from the .rc files beside this script, with the
# mingw-w64 tools of Debian (binutils-mingw-w64-x86-64). The .exe files are committed; run this only to change them.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
head -c 100 /dev/zero | tr '\0' 'x' > garbage.bin
head -c 70000 /dev/zero > large.bin
for name in app driver font noversion garbage large; do
    cp "$here/$name.rc" .
    x86_64-w64-mingw32-windres --preprocessor=cpp -i "$name.rc" -o "$name.o"
    x86_64-w64-mingw32-ld --subsystem windows -e 0 -s "$name.o" -o "$here/$name.exe"
done

#!/bin/sh
# Figures of the Windows program: the size and the imported DLLs of
# comterm.exe for both architectures, and the 64-bit one's start-up time under
# Wine (on an Xvfb of its own, zh_TW locale) against Wine's own notepad in the
# same run: medians of ROUNDS starts each, in turns, after a warm-up start.
#
#   bench/windows.sh [rounds]      (after `make windows`; `make bench-windows` does both)
set -eu
ROUNDS=${1:-9}
WINE=${WINE:-/usr/lib/wine/wine64}
DRIVER=${DRIVER:-build-test/tests/wine_driver}
STARTUP=${STARTUP:-build-windows-x86_64/bench/startup_win32.exe}

printf '%-8s %10s %10s  %s\n' arch bytes KiB 'imported DLLs'
for arch in x86_64 i686; do
    exe=build-windows-$arch/comterm.exe
    [ -f "$exe" ] || { echo "$exe is missing: run make windows" >&2; exit 1; }
    bytes=$(stat -c %s "$exe")
    dlls=$("$arch-w64-mingw32-objdump" -p "$exe" | awk '/DLL Name:/ { printf "%s ", $3 }')
    printf '%-8s %10d %10.1f  %s\n' "$arch" "$bytes" "$(echo "$bytes" | awk '{ print $1 / 1024 }')" "$dlls"
done
echo

# Wine sees the build folder on drive Z:.
windows_path() { printf 'Z:%s' "$(realpath "$1")" | tr / '\\'; }
"$DRIVER" --xvfb --locale zh_TW.UTF-8 "$WINE" build-windows-x86_64/wineprefix "$STARTUP" \
    "$ROUNDS" "$(windows_path build-windows-x86_64/comterm.exe)" 'C:\windows\notepad.exe' |
    tr -d '\r'

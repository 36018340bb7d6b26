#!/bin/sh
# Start-up time and memory of comterm against a peer Qt serial terminal
# (Debian's cutecom), on one Xvfb server without a window manager.
#
# For each program, alternating, ROUNDS times: the time from exec to its
# first visible window, and its resident memory two seconds after that.
# Prints the medians and comterm's share of the peer's figures.
#
#   bench/startup.sh [path/to/comterm] [rounds]
set -eu
COMTERM=${1:-build/comterm}
ROUNDS=${2:-9}
PEER=${PEER:-cutecom}
command -v "$PEER" >/dev/null || { echo "install $PEER to compare against it" >&2; exit 1; }
command -v xdotool >/dev/null && command -v Xvfb >/dev/null ||
    { echo "needs xdotool and Xvfb" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null; rm -rf "$tmp"' EXIT
exec 3>"$tmp/display"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
while [ ! -s "$tmp/display" ]; do sleep 0.05; done
DISPLAY=:$(cat "$tmp/display")
export DISPLAY
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
# The peer keeps its settings in the home folder; give each run a fresh one.
export HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/home/.config"

now_us() { echo $(($(date +%s%N) / 1000)); }

# measure NAME COMMAND...: appends "<microseconds> <kB>" to $tmp/NAME.
measure() {
    name=$1
    shift
    rm -rf "$HOME"
    mkdir -p "$HOME"
    start=$(now_us)
    "$@" >/dev/null 2>>"$tmp/$name.err" &
    pid=$!
    until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
        kill -0 "$pid" 2>/dev/null || { echo "$name ended before it showed a window:" >&2; tail -n 3 "$tmp/$name.err" >&2; return 0; }
    done
    shown=$(now_us)
    sleep 2
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "$((shown - start)) $rss" >>"$tmp/$name"
}

i=0
while [ "$i" -lt "$ROUNDS" ]; do
    measure comterm "$COMTERM"
    measure peer "$PEER"
    i=$((i + 1))
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ct=$(cut -d' ' -f1 "$tmp/comterm" | median)
cm=$(cut -d' ' -f2 "$tmp/comterm" | median)
pt=$(cut -d' ' -f1 "$tmp/peer" | median)
pm=$(cut -d' ' -f2 "$tmp/peer" | median)
awk -v ct="$ct" -v cm="$cm" -v pt="$pt" -v pm="$pm" -v peer="$PEER" 'BEGIN {
    printf "%-10s %14s %16s\n", "", "to window (ms)", "resident (MiB)"
    printf "%-10s %14.1f %16.1f\n", "comterm", ct / 1000, cm / 1024
    printf "%-10s %14.1f %16.1f\n", peer, pt / 1000, pm / 1024
    printf "%-10s %14.2f %16.2f\n", "ratio", ct / pt, cm / pm
}'
echo "($ROUNDS rounds each, medians; the goal is a ratio of at most 0.33)"

#!/usr/bin/env bash
# Process time per port access of the commands for scripts, on the simulated
# port and without a display; prints figures, asserts nothing.
#   bench/befehle_bench.sh [PROGRAMM]   (default: the program of the folder build)
set -euo pipefail
programm="${1:-$(cat "$(dirname "${BASH_SOURCE[0]}")/../build/dravel-programm.txt")}"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
fehler="$(mktemp)"
trap 'rm -f "$fehler"' EXIT

# User plus system time of one run in seconds; its standard error in $fehler.
prozesszeit() {
    local TIMEFORMAT='%3U %3S' zeiten
    zeiten="$({ time "$programm" "$@" >/dev/null 2>"$fehler"; } 2>&1)"
    awk -v z="$zeiten" 'BEGIN { split(z, t, " "); printf "%.3f", t[1] + t[2] }'
}
je() {  # nanoseconds per access, all in and without start and end
    awk -v t="$1" -v leer="$2" -v n="$3" \
        'BEGIN { printf "%.1f ns je Zugriff (ohne Start und Ende %.1f ns)", t * 1e9 / n, (t - leer) * 1e9 / n }'
}

leer="$(prozesszeit lesen 0x378)"
echo "Start und Ende ohne Zugriffe: $leer s Prozesszeit"
for n in 1000000 10000000; do
    t="$(prozesszeit lesen 0x378 --anzahl "$n")"
    echo "lesen --anzahl $n: $t s, $(je "$t" "$leer" "$n")"
done
t="$(prozesszeit lesen 0x378 --anzahl 10000000 --bin)"
echo "lesen --anzahl 10000000 --bin: $t s, $(je "$t" "$leer" 10000000)"

spur="$(mktemp --suffix=.vcd)"
t="$(prozesszeit lesen 0x378 --anzahl 10000000 --trace "$spur")"
rm -f "$spur"
echo "lesen --anzahl 10000000 --trace: $t s, $(je "$t" "$leer" 10000000)"

t="$(prozesszeit beobachten 0x379 --dauer 2)"
echo "beobachten (alle 1 ms) 2 s: $t s Prozesszeit, $(awk -v t="$t" 'BEGIN { printf "%.1f", t * 50 }') % eines Kerns"

t="$(prozesszeit muster 1 --leitung 0 --zeitbasis 0 --durchlaeufe 1000000)"
echo "muster Zeitbasis 0, 1000000 Schritte: $t s, $(je "$t" "$leer" 1000000 | sed 's/Zugriff/Schritt/g')"
echo "  $(cat "$fehler")"
# At 0.1 ms the wait spins: the figures that count are the schedule's.
for zusatz in "" --echtzeit; do
    prozesszeit muster 1 --leitung 0 --zeitbasis 0.1 --durchlaeufe 10000 $zusatz >/dev/null
    echo "muster Zeitbasis 0.1 ms, 10000 Schritte $zusatz: $(tail -n 1 "$fehler")"
done

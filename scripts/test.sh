#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every
# test; checks the README's first command (scripts/run.sh) and the Debian
# package made from the same build; then builds the tests again with
# AddressSanitizer and UndefinedBehaviorSanitizer (leak detection on) and runs
# them once more; last, the tests with threads that share data (the trace's
# lock-free ring, a capture beside the generator, a capture through each real
# backend) under ThreadSanitizer. Exits non-zero on any failure. Each step
# says how long it took.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
beginn=$SECONDS
schritt_beginn=$SECONDS
schritt() {
    if [ -n "${schritt_name:-}" ]; then
        echo "   ($schritt_name: $((SECONDS - schritt_beginn)) s)"
    fi
    schritt_name="$1"
    schritt_beginn=$SECONDS
    echo "== $1"
}

schritt "Pakete"
installiere_fehlende "${PAKETE_PROGRAMM[@]}" "${PAKETE_TEST[@]}"
waehle_optionen
jobs="$(nproc)"
# Every tool is installed now: a test that would skip for a missing one fails.
export DRAVEL_ALLE_WERKZEUGE=1

schritt "Bauen (Warnungen als Fehler)"
baue build "${OPTIONEN_BUILD[@]}"
schritt "Tests"
ctest --test-dir "$ROOT/build" --output-on-failure -j "$jobs"

schritt "scripts/run.sh"
# The README's first command, as a new user types it: it must start the
# program this build made. --help prints and ends; without options the main
# window opens (offscreen) and must still be running after a few seconds.
hilfe="$("$ROOT/scripts/run.sh" --help 2>/dev/null)"
grep -q 'dravel' <<<"$hilfe" || { echo "scripts/run.sh --help zeigt keine Hilfe" >&2; exit 1; }
programm="$(readlink -f "$(programm_in build)")"
laufzeit="$(mktemp -d)"
XDG_RUNTIME_DIR="$laufzeit" QT_QPA_PLATFORM=offscreen "$ROOT/scripts/run.sh" \
    >"$laufzeit/ausgabe" 2>&1 &
pid=$!
# Whatever happens below, the program and its folder do not outlive the check.
trap 'kill "$pid" 2>/dev/null; rm -rf "$laufzeit"' EXIT
start_fehlt() {
    cat "$laufzeit/ausgabe" >&2
    echo "scripts/run.sh: $1" >&2
    exit 1
}
# run.sh ends in exec: its process becomes the program once the build is done.
# A process that has ended (a zombie until waited for) has no executable.
ausfuehrbar() { readlink "/proc/$pid/exe" 2>/dev/null || true; }
for _ in $(seq 600); do
    [ "$(ausfuehrbar)" = "$programm" ] && break
    [ -n "$(ausfuehrbar)" ] || start_fehlt "endete, bevor $programm lief"
    sleep 0.1
done
[ "$(ausfuehrbar)" = "$programm" ] || start_fehlt "startete nach 60 s $programm nicht"
sleep 3
[ "$(ausfuehrbar)" = "$programm" ] || start_fehlt "das Programm endete nach dem Start von selbst"
kill -TERM "$pid"
wait "$pid" || true
rm -rf "$laufzeit"
trap - EXIT

schritt "Debian-Paket"
deb="$("$ROOT/scripts/paket.sh")"
inhalt="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for datei in ./usr/bin/dravel ./usr/share/applications/dravel.desktop \
    ./usr/share/icons/hicolor/scalable/apps/dravel.svg \
    ./usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/dravel.png \
    ./usr/share/metainfo/org.example.dravel.metainfo.xml ./usr/share/man/man1/dravel.1.gz \
    ./usr/share/doc/dravel/copyright ./usr/share/dravel/decoders/centronics/pd.py \
    ./usr/share/dravel/decoders/centronics/__init__.py; do
    grep -qxF "$datei" <<<"$inhalt" || { echo "Fehlt im Paket: $datei" >&2; exit 1; }
done
entpackt="$(mktemp -d)"
trap 'rm -rf "$entpackt"' EXIT
dpkg-deb -x "$deb" "$entpackt"
file "$entpackt/usr/bin/dravel" | grep -q ', stripped' || { echo "dravel ist nicht gestrippt" >&2; exit 1; }
for kante in 16 32 48 64 128 256; do
    file "$entpackt/usr/share/icons/hicolor/${kante}x${kante}/apps/dravel.png" |
        grep -q "PNG image data, $kante x $kante, 8-bit/color RGBA" ||
        { echo "Symbol ${kante}x${kante} falsch" >&2; exit 1; }
done
for bedarf in libqt6widgets6 libsigrokdecode4; do
    dpkg-deb -f "$deb" Depends | grep -q "$bedarf" ||
        { echo "Abhängigkeit fehlt: $bedarf" >&2; exit 1; }
done
lintian --fail-on error "$deb"
appstreamcli validate --no-net "$ROOT/data/org.example.dravel.metainfo.xml"

schritt "Bauen mit AddressSanitizer und UndefinedBehaviorSanitizer"
# The suppressions cover only leaks inside system libraries (fontconfig and
# the like); the icons rendered at build time run under them too. Without
# optimisation: -O1 ran the tests 17 s faster but took 48 s longer to build.
export LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp:print_suppressions=0"
baue build-asan -DCMAKE_BUILD_TYPE=Debug -DDRAVEL_WERROR=ON -DDRAVEL_SANITIZE=ON \
    -DDRAVEL_BUILD_BENCH=OFF "${starter[@]}"
schritt "Tests unter den Sanitizern, mit Lecksuche"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$ROOT/build-asan" --output-on-failure -j "$jobs" -LE emulated

schritt "Tests mit Fäden unter ThreadSanitizer"
tsan_tests=(tst_trace tst_aufnahme_faeden tst_aufnahme_backends tst_shared_port tst_aufnahmemaschine)
konfiguriere build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRAVEL_WERROR=ON \
    -DDRAVEL_SANITIZE_THREAD=ON -DDRAVEL_BUILD_BENCH=OFF "${starter[@]}"
cmake --build "$ROOT/build-tsan" --target "${tsan_tests[@]}"
# The suppressions cover only the Qt Test watchdog (Qt is not instrumented).
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$ROOT/tests/tsan.supp" \
    ctest --test-dir "$ROOT/build-tsan" --output-on-failure \
    -R "^($(IFS='|'; echo "${tsan_tests[*]}"))\$"
echo "   ($schritt_name: $((SECONDS - schritt_beginn)) s)"
echo "== Alles bestanden in $((SECONDS - beginn)) s"

#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every
# test; builds and checks the Debian package; then builds the tests again with
# AddressSanitizer and UndefinedBehaviorSanitizer (leak detection on) and runs
# them once more; last, the trace tests (the lock-free ring and its writer
# thread) and a capture beside the generator under ThreadSanitizer. Exits
# non-zero on any failure.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
installiere_fehlende "${PAKETE_PROGRAMM[@]}" "${PAKETE_TEST[@]}"
jobs="$(nproc)"
# Every tool is installed now: a test that would skip for a missing one fails.
export DRAVEL_ALLE_WERKZEUGE=1
starter=()
if command -v ccache >/dev/null 2>&1; then starter=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

echo "== Bauen (Warnungen als Fehler)"
baue build "${OPTIONEN_BUILD[@]}"
echo "== Tests"
ctest --test-dir "$ROOT/build" --output-on-failure -j "$jobs"

echo "== Debian-Paket"
deb="$("$ROOT/scripts/paket.sh")"
inhalt="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for datei in ./usr/bin/dravel ./usr/share/applications/dravel.desktop \
    ./usr/share/icons/hicolor/scalable/apps/dravel.svg \
    ./usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/dravel.png \
    ./usr/share/metainfo/org.example.dravel.metainfo.xml ./usr/share/man/man1/dravel.1.gz \
    ./usr/share/doc/dravel/copyright; do
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
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || { echo "Abhängigkeiten fehlen" >&2; exit 1; }
lintian --fail-on error "$deb"
appstreamcli validate --no-net "$ROOT/data/org.example.dravel.metainfo.xml"

echo "== Bauen mit AddressSanitizer und UndefinedBehaviorSanitizer"
# The suppressions cover only leaks inside system libraries (fontconfig and
# the like); the icons rendered at build time run under them too.
export LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp:print_suppressions=0"
baue build-asan -DCMAKE_BUILD_TYPE=Debug -DDRAVEL_WERROR=ON -DDRAVEL_SANITIZE=ON \
    -DDRAVEL_BUILD_BENCH=OFF "${starter[@]}"
echo "== Tests unter den Sanitizern, mit Lecksuche"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$ROOT/build-asan" --output-on-failure -j "$jobs" -LE emulated

echo "== Mitschnitt-Tests unter ThreadSanitizer"
konfiguriere build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRAVEL_WERROR=ON \
    -DDRAVEL_SANITIZE_THREAD=ON -DDRAVEL_BUILD_BENCH=OFF "${starter[@]}"
cmake --build "$ROOT/build-tsan" --target tst_trace tst_aufnahme_faeden
# The suppressions cover only the Qt Test watchdog (Qt is not instrumented).
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$ROOT/tests/tsan.supp" \
    ctest --test-dir "$ROOT/build-tsan" --output-on-failure -R '^(tst_trace|tst_aufnahme_faeden)$'

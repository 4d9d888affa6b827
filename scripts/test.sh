#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every
# test; builds and checks the Debian package; then builds the tests again with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them once more. Exits non-zero on any
# failure.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
installiere_fehlende "${PAKETE_PROGRAMM[@]}" "${PAKETE_TEST[@]}"
jobs="$(nproc)"

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
baue build-asan -DCMAKE_BUILD_TYPE=Debug -DDRAVEL_WERROR=ON -DDRAVEL_SANITIZE=ON \
    -DDRAVEL_BUILD_BENCH=OFF
echo "== Tests unter den Sanitizern"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$ROOT/build-asan" --output-on-failure -j "$jobs" -LE emulated

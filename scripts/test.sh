#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every
# test; then builds the tests again with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them once more. Exits non-zero on any
# failure.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
installiere_fehlende "${PAKETE_PROGRAMM[@]}" "${PAKETE_TEST[@]}"
jobs="$(nproc)"

echo "== Bauen (Warnungen als Fehler)"
baue build "${OPTIONEN_BUILD[@]}"
echo "== Tests"
ctest --test-dir "$ROOT/build" --output-on-failure -j "$jobs"

echo "== Bauen mit AddressSanitizer und UndefinedBehaviorSanitizer"
baue build-asan -DCMAKE_BUILD_TYPE=Debug -DDRAVEL_WERROR=ON -DDRAVEL_SANITIZE=ON \
    -DDRAVEL_BUILD_BENCH=OFF
echo "== Tests unter den Sanitizern"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$ROOT/build-asan" --output-on-failure -j "$jobs" -LE emulated

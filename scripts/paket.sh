#!/usr/bin/env bash
# Builds the Debian package in its own release build folder (no tests, no
# benchmark, Debian's hardening flags) and prints the path of the .deb.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
installiere_fehlende "${PAKETE_PROGRAMM[@]}" dpkg-dev file
starter=()
if command -v ccache >/dev/null 2>&1; then starter=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    baue build-paket -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DDRAVEL_BUILD_TESTS=OFF -DDRAVEL_BUILD_BENCH=OFF "${starter[@]}" >&2
(cd "$ROOT/build-paket" && cpack -G DEB >&2)
ls "$ROOT"/build-paket/dravel_*.deb

#!/usr/bin/env bash
# Builds the Debian package from the folder `build`, whose objects carry
# Debian's hardening flags already (scripts/common.sh), and prints the path
# of the .deb. Only what the package holds is built: the program and its data.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
installiere_fehlende "${PAKETE_PROGRAMM[@]}" file
waehle_optionen
konfiguriere build "${OPTIONEN_BUILD[@]}"
cmake --build "$ROOT/build" --target dravel dravel_data >&2
rm -f "$ROOT"/build/dravel_*.deb
(cd "$ROOT/build" && cpack -G DEB >&2)
ls "$ROOT"/build/dravel_*.deb

#!/usr/bin/env bash
# Installs what is missing, builds the program alone (no tests, no
# benchmark) and starts it on the simulated port. Arguments are passed to the
# program (for example --help).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
installiere_fehlende "${PAKETE_PROGRAMM[@]}"
waehle_optionen
konfiguriere build "${OPTIONEN_BUILD[@]}"
cmake --build "$ROOT/build" --target dravel >&2
programm="$(programm_in build)"
exec "$programm" "$@"

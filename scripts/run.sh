#!/usr/bin/env bash
# Installs what is missing, builds and starts Dravel on the simulated port.
# Arguments are passed to the program (for example --help).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
installiere_fehlende "${PAKETE_PROGRAMM[@]}"
baue build -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec "$ROOT/build/src/app/dravel" "$@"

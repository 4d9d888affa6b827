# Shared by run.sh and test.sh: installs the Debian packages that are
# missing, then configures and builds one build folder.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# What the program needs to build and run.
PAKETE_PROGRAMM=(cmake ninja-build g++ qt6-base-dev qt6-svg-dev qt6-translations-l10n libgl-dev
                 fonts-liberation2)
# What the tests need beyond that (the emulated-machine test, VCD checks,
# the package checks).
PAKETE_TEST=(xauth xvfb gtkwave sigrok-cli qemu-system-x86 busybox-static cpio
             lintian appstream file dpkg-dev)

installiere_fehlende() {
    local fehlend=()
    local paket
    for paket in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$paket" 2>/dev/null | grep -q "install ok installed"; then
            fehlend+=("$paket")
        fi
    done
    [ ${#fehlend[@]} -eq 0 ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    echo "Installiere: ${fehlend[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${fehlend[@]}"
}

# The one configuration of the folder `build`, for run.sh and test.sh alike:
# the tests then reuse every object run.sh has compiled instead of building
# it again with other flags.
OPTIONEN_BUILD=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRAVEL_WERROR=ON)
if command -v ccache >/dev/null 2>&1; then
    OPTIONEN_BUILD+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# konfiguriere ORDNER [cmake-Optionen...]
konfiguriere() {
    local ordner="$1"
    shift
    cmake -S "$ROOT" -B "$ROOT/$ordner" -G Ninja "$@" >/dev/null
}

# baue ORDNER [cmake-Optionen...]: configures and builds every target.
baue() {
    konfiguriere "$@"
    cmake --build "$ROOT/$1"
}

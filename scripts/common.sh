# Shared by run.sh and test.sh: installs the Debian packages that are
# missing, then configures and builds one build folder.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# What the program needs to build and run (dpkg-dev for Debian's hardening
# flags, which the build folder shares with the package; sigrok's decoder
# library, found through pkg-config, for the protocol decoders).
PAKETE_PROGRAMM=(cmake ninja-build g++ qt6-base-dev qt6-svg-dev qt6-translations-l10n libgl-dev
                 fonts-liberation2 dpkg-dev ccache libsigrokdecode-dev pkgconf)
# What the tests need beyond that (the emulated-machine test, VCD checks,
# the package checks, the windows under a real X server).
PAKETE_TEST=(xauth xvfb gtkwave sigrok-cli qemu-system-x86 busybox-static cpio
             lintian appstream file)

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

# ccache keeps every object of every build folder: a second run compiles only
# what changed. The precompiled headers need the first two sloppinesses, or
# ccache refuses every file that uses one; the others let a header's time
# stamp differ between clones.
export CCACHE_SLOPPINESS="pch_defines,time_macros,include_file_mtime,include_file_ctime"
export CCACHE_BASEDIR="$ROOT" CCACHE_NOHASHDIR=1

# Debian's hardening flags, as a package build gets them; without the build
# path in them, so that objects do not depend on where the clone lies.
debian_flaggen() {
    command -v dpkg-buildflags >/dev/null 2>&1 || return 0
    DEB_BUILD_MAINT_OPTIONS="reproducible=-fixfilepath,-fixdebugpath" dpkg-buildflags --get "$1"
}

# Sets `starter` (ccache, where installed) and OPTIONEN_BUILD, the one
# configuration of the folder `build` for run.sh, test.sh and paket.sh alike:
# the tests reuse every object run.sh has compiled, and the Debian package is
# made from the same objects. Called after installiere_fehlende, so that a
# new machine's first configure already has ccache and the flags.
waehle_optionen() {
    starter=()
    if command -v ccache >/dev/null 2>&1; then starter=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
    OPTIONEN_BUILD=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRAVEL_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr
                    "-DCMAKE_CXX_FLAGS=$(debian_flaggen CXXFLAGS) $(debian_flaggen CPPFLAGS)"
                    "-DCMAKE_EXE_LINKER_FLAGS=$(debian_flaggen LDFLAGS)" "${starter[@]}")
}

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

# The program this build folder makes, as the build itself names it.
programm_in() {
    local datei="$ROOT/$1/dravel-programm.txt"
    [ -f "$datei" ] || { echo "$datei fehlt: ist $1 gebaut?" >&2; return 1; }
    cat "$datei"
}

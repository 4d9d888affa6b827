#!/usr/bin/env bash
# Boots a small Linux under QEMU (TCG, no KVM) with QEMU's emulated ISA
# parallel port and runs the static guest test program in it. Never passes
# silently: when QEMU, busybox or the kernel cannot be had it is skipped, or
# fails under DRAVEL_ALLE_WERKZEUGE=1.
#
#   run_emulated.sh GUEST_PROGRAM WORK_FOLDER
#
# The kernel package is fetched with apt-get download once and cached outside
# the build folder, so that a clean clone or a new build folder boots at once:
# in $DRAVEL_KERNEL_CACHE, else $XDG_CACHE_HOME/dravel/kernel (~/.cache/...);
# it is unpacked, not installed.
set -euo pipefail

GUEST="$1"
WORK="$2"
if [ -n "${DRAVEL_KERNEL_CACHE:-}" ]; then
    CACHE="$DRAVEL_KERNEL_CACHE"
elif [ -n "${XDG_CACHE_HOME:-}" ] || [ -n "${HOME:-}" ]; then
    CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/dravel/kernel"
else
    CACHE="$WORK/cache"
fi
BOOT_TIMEOUT=75  # per boot; two boots stay inside the ctest limit of 170 s

fail() {
    echo "EMULATED TEST FAILED: $*" >&2
    exit 1
}

# A tool or the kernel package that cannot be had: skipped (status 77, which
# CTest reports as "Not Run") on a developer's machine, a failure where every
# tool must be there (DRAVEL_ALLE_WERKZEUGE=1, as scripts/test.sh sets it).
fehlt() {
    [ "${DRAVEL_ALLE_WERKZEUGE:-0}" = 1 ] && fail "$*"
    echo "EMULATED TEST SKIPPED: $*" >&2
    exit 77
}

for tool in qemu-system-x86_64 cpio gzip dpkg-deb tar od; do
    command -v "$tool" >/dev/null || fehlt "$tool fehlt (scripts/common.sh installiert PAKETE_TEST)"
done
BUSYBOX=/bin/busybox
[ -x "$BUSYBOX" ] || fehlt "$BUSYBOX fehlt (Paket busybox-static)"
if ldd "$BUSYBOX" >/dev/null 2>&1; then
    fehlt "$BUSYBOX ist dynamisch gebunden; das Paket busybox-static wird gebraucht"
fi
[ -x "$GUEST" ] || fail "Gastprogramm $GUEST fehlt"

# The kernel: the version linux-image-amd64 depends on (not the cloud
# flavour, which lacks the parallel port drivers).
mkdir -p "$CACHE"
# Two build folders may run this test at once: one fetches and unpacks, the
# other waits for it.
exec 9>"$CACHE/.sperre"
flock 9
kernelpaket() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -n1 || true
}
paket="$(kernelpaket)"
if [ -z "$paket" ] && [ "$(id -u)" -eq 0 ]; then
    # A fresh machine may have no package lists yet.
    apt-get update -qq >/dev/null 2>&1 || true
    paket="$(kernelpaket)"
fi
deb=""
if [ -n "$paket" ]; then
    deb="$(ls "$CACHE/${paket}"_*.deb 2>/dev/null | head -n1 || true)"
    if [ -z "$deb" ]; then
        echo "Lade $paket herunter ..."
        (cd "$CACHE" && apt-get download -q "$paket" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
        deb="$(ls "$CACHE/${paket}"_*.deb 2>/dev/null | head -n1 || true)"
    fi
else
    # No package lists (offline): a kernel cached earlier still serves.
    deb="$(ls "$CACHE"/linux-image-*-amd64_*.deb 2>/dev/null | head -n1 || true)"
fi
[ -n "$deb" ] && [ -s "$deb" ] ||
    fehlt "Kernelpaket nicht zu bekommen (apt-get update gelaufen? Paket: ${paket:-unbekannt})"

# Only the kernel in use stays cached.
find "$CACHE" -mindepth 1 -maxdepth 1 ! -name "$(basename "$deb" .deb)*" ! -name .sperre \
    -exec rm -rf {} +
kernel_dir="$CACHE/$(basename "$deb" .deb)"
if [ ! -f "$kernel_dir/.entpackt" ]; then
    rm -rf "$kernel_dir"
    mkdir -p "$kernel_dir"
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$kernel_dir" --wildcards \
        './boot/vmlinuz-*' '*/drivers/parport/parport.ko*' '*/drivers/parport/parport_pc.ko*' \
        '*/drivers/char/ppdev.ko*' '*/drivers/char/lp.ko*'
    touch "$kernel_dir/.entpackt"
fi
vmlinuz="$(ls "$kernel_dir"/boot/vmlinuz-* 2>/dev/null | head -n1 || true)"
[ -n "$vmlinuz" ] || fail "kein vmlinuz in $deb"
exec 9>&-

# The initramfs: busybox, the four modules, the guest program, /init.
root="$WORK/initramfs"
rm -rf "$root"
mkdir -p "$root/bin" "$root/modules" "$root/proc" "$root/sys" "$root/dev" "$root/tmp"
cp "$BUSYBOX" "$root/bin/busybox"
cp "$GUEST" "$root/guest_test"
touch "$root/dravel-emulated-machine"  # the guest program refuses to run without it
for modul in parport parport_pc ppdev lp; do
    datei="$(find "$kernel_dir/lib" -name "$modul.ko*" | head -n1)"
    [ -n "$datei" ] || fail "Modul $modul fehlt im Kernelpaket"
    case "$datei" in
        *.ko.xz) xz -dc "$datei" >"$root/modules/$modul.ko" ;;
        *.ko.zst) zstd -qdc "$datei" >"$root/modules/$modul.ko" ;;
        *) cp "$datei" "$root/modules/$modul.ko" ;;
    esac
done
cat >"$root/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t securityfs securityfs /sys/kernel/security 2>/dev/null
for m in parport parport_pc ppdev; do insmod /modules/$m.ko || echo "GUEST-INSMOD-FAILED $m"; done
if grep -q 'dravel.phase=lockdown' /proc/cmdline; then
    /guest_test --lockdown
else
    /guest_test
    insmod /modules/lp.ko || echo "GUEST-INSMOD-FAILED lp"
    /guest_test --printer-driver-loaded
fi
poweroff -f
INIT
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$WORK/initramfs.cpio.gz"

# boote NAME ZUSATZPARAMETER: one run of the guest; its console log ends up
# in $WORK/NAME.txt with the CRs of the serial line removed.
boote() {
    local name="$1" extra="$2" status=0
    echo "Starte QEMU ($name) mit $(basename "$vmlinuz") ..."
    rm -f "$WORK/$name.log" "$WORK/$name.out"
    timeout "$BOOT_TIMEOUT" qemu-system-x86_64 -accel tcg -m 256M -nographic -nodefaults \
        -serial stdio -no-reboot -parallel "file:$WORK/$name.out" -kernel "$vmlinuz" \
        -initrd "$WORK/initramfs.cpio.gz" \
        -append "console=ttyS0 panic=-1 rdinit=/init loglevel=3 $extra" \
        </dev/null >"$WORK/$name.log" 2>&1 || status=$?
    tr -d '\r' <"$WORK/$name.log" >"$WORK/$name.txt"
    cat "$WORK/$name.txt"
    [ "$status" -eq 0 ] || fail "QEMU ($name) endete mit Status $status (124: Zeitlimit)"
    if grep -q '^GUEST-INSMOD-FAILED' "$WORK/$name.txt"; then
        fail "Module ließen sich nicht laden ($name)"
    fi
}

boote normal ""
console="$WORK/normal.txt"
out="$WORK/normal.out"
grep -qx 'DRAVEL-GUEST main: PASS.*' "$console" || fail "Gastprüfungen (main) nicht bestanden"
grep -qx 'DRAVEL-GUEST lp: PASS.*' "$console" || fail "Gastprüfungen (lp) nicht bestanden"

boote lockdown "lockdown=integrity dravel.phase=lockdown"
grep -qx 'DRAVEL-GUEST lockdown: PASS.*' "$WORK/lockdown.txt" ||
    fail "Gastprüfungen (lockdown) nicht bestanden"

# Every byte strobed out must have reached QEMU's parallel output, in order.
[ -f "$out" ] || fail "keine Parallelport-Ausgabe $out"
gesendet="$(sed -n 's/^SENT \([0-9A-F]*\)$/\1/p' "$console" | tr -d '\n' | tr 'A-F' 'a-f')"
angekommen="$(od -An -v -tx1 "$out" | tr -d ' \n')"
[ -n "$gesendet" ] || fail "der Gast meldete keine gesendeten Bytes"
if [ "$angekommen" != "$gesendet" ]; then
    echo "gesendet:   $gesendet" >&2
    echo "angekommen: $angekommen" >&2
    fail "die Parallelport-Ausgabe weicht vom Gesendeten ab"
fi
echo "EMULATED TEST PASSED: $(($(printf '%s' "$gesendet" | wc -c) / 2)) Bytes am Parallelport angekommen"

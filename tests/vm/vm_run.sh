#!/usr/bin/env bash
# Boots the distribution's kernel in QEMU with a busybox initramfs and runs one case of
# guest_case.sh inside: the build tree shared read-only over 9p, the host's /usr read-only
# as the guest's /usr (the binaries' shared libraries, bash, aseqdump), and RESULTS_DIR
# writable. The case scripts travel in the initramfs, so editing them never disturbs a run.
# The guest's console and every file the case writes end up in RESULTS_DIR; the exit code is
# the case's.
# Usage: vm_run.sh BUILD_DIR CASE RESULTS_DIR [TIME_LIMIT_SECONDS]
# PXR9_VM_ACCEL=tcg forces emulation where KVM could be used; PXR9_VM_CACHE moves the kernel cache.
set -euo pipefail
build=$(cd "$1" && pwd) case=$2 results=$3 limit=${4:-900}
here=$(dirname "$0")
source "$here/guest_kernel.sh"

case "$build" in *[[:space:]]*)
    echo "error: the guest takes the build folder from the kernel command line; no spaces in '$build'" >&2
    exit 2 ;;
esac

rm -rf "$results"
mkdir -p "$results"
results=$(cd "$results" && pwd)
staging=$(mktemp -d)
# QEMU and the sleep that bounds it; on any way out both are ended (QEMU at once: whatever
# the guest had not yet written is lost either way).
started=()
cleanup() {
    local pid
    for pid in "${started[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$staging"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

pxr9_vm_kernel "${PXR9_VM_CACHE:-$build/vm-cache}"

# The initramfs: busybox, the modules with a loading list, and the init script.
root=$staging/root
mkdir -p "$root"/{bin,modules,case,proc,sys,dev,tmp,usr,results,etc}
cp /bin/busybox "$root/bin/busybox"
ln -s busybox "$root/bin/sh"
# Until /usr is mounted these point nowhere; afterwards the host's loader and libraries.
ln -s usr/lib "$root/lib"
ln -s usr/lib64 "$root/lib64"
n=0
while read -r file options; do
    n=$((n + 1))
    name=$(printf '%02d-%s' "$n" "$(basename "$file")")
    cp "$file" "$root/modules/$name"
    echo "$name $options" >>"$root/modules/load.list"
done < <(pxr9_vm_module_list)
cp "$here/guest_init.sh" "$root/init"
cp "$here/guest_case.sh" "$here/guest_lib.sh" "$root/case/"
(cd "$root" && find . | cpio -o -H newc --quiet) >"$staging/initrd.cpio"

# KVM only where it runs ordinary guests (hardware virtualization): a paravirtual KVM
# (kvm_pvm) also offers /dev/kvm, but runs only kernels built for it, and this one hangs there.
accel=tcg cpu=max
if [ "${PXR9_VM_ACCEL:-}" != tcg ] && [ -w /dev/kvm ] &&
    { [ -d /sys/module/kvm_intel ] || [ -d /sys/module/kvm_amd ]; }; then
    accel=kvm cpu=host
fi
echo "$accel" >"$results/accel"

share() { echo "-virtfs local,path=$1,mount_tag=$2,security_model=none,multidevs=remap${3:+,$3}"; }
# shellcheck disable=SC2046  # share prints separate words on purpose
qemu-system-x86_64 \
    -machine "pc,accel=$accel" -cpu "$cpu" -smp 2 -m 1024 \
    -nodefaults -no-user-config -display none -no-reboot \
    -serial "file:$results/console.log" \
    -kernel "$PXR9_KERNEL_TREE/boot/vmlinuz-$PXR9_KERNEL_VERSION" \
    -initrd "$staging/initrd.cpio" \
    -append "console=ttyS0 panic=-1 loglevel=4 pxr9.case=$case pxr9.build=$build" \
    $(share /usr usr readonly=on) $(share "$build" build readonly=on) $(share "$results" results) \
    </dev/null >"$results/qemu.log" 2>&1 &
qemu_pid=$!
started+=("$qemu_pid")
sleep "$limit" &
started+=($!)
# Whichever ends first: the guest powering off, or the time limit.
wait -n "${started[@]}" || true
outcome="QEMU ended"
kill -0 "$qemu_pid" 2>/dev/null && outcome="stopped at the time limit of $limit s"

if [ ! -s "$results/status" ]; then
    echo "error: the guest ended without a result ($outcome)" >&2
    tail -n 40 "$results/console.log" "$results/qemu.log" "$results/case.log" >&2 2>/dev/null || true
    exit 1
fi
status=$(cat "$results/status")
# Figures the case measured, for the test's output.
cat "$results/figures.txt" 2>/dev/null || true
if [ "$status" != 0 ]; then
    echo "case $case failed in the guest (exit $status); its files are in $results" >&2
    tail -n 60 "$results/case.log" >&2 || true
fi
exit "$status"

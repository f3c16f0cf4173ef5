#!/bin/sh
# /init of the test guest (busybox): loads the modules, mounts the shares, runs one case of
# guest_case.sh and powers off. Whatever happens, it ends with a power-off, and the host
# finds the case's exit code in /results/status (or no status at all).
/bin/busybox --install -s /bin
export PATH=/usr/sbin:/usr/bin:/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
mkdir -p /dev/shm && mount -t tmpfs shm /dev/shm
# What udev would add and bash's process substitution needs.
ln -s /proc/self/fd /dev/fd

halt_guest() {
    echo "guest: $*"
    sync
    poweroff -f
}

while read -r file options; do
    # shellcheck disable=SC2086  # options are separate words
    insmod "/modules/$file" $options || halt_guest "insmod $file failed"
done </modules/load.list

for arg in $(cat /proc/cmdline); do
    case $arg in
        pxr9.case=*) case_name=${arg#pxr9.case=} ;;
        pxr9.build=*) build=${arg#pxr9.build=} ;;
    esac
done

share() {
    mkdir -p "$2"
    mount -t 9p -o "trans=virtio,version=9p2000.L,msize=262144,$3" "$1" "$2" || halt_guest "cannot mount $1"
}
share usr /usr ro,cache=loose
share results /results rw
share build "$build" ro
mount -t configfs configfs /sys/kernel/config || halt_guest "no configfs"

echo "guest: running $case_name"
/usr/bin/bash /case/guest_case.sh "$build" "$case_name" /results >/results/case.log 2>&1
echo $? >/results/status
dmesg >/results/dmesg.log
halt_guest "case $case_name ended with $(cat /results/status)"

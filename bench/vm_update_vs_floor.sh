#!/usr/bin/env bash
# A whole pxr9-cli update over the kernel's USB MIDI path against the floor that path allows,
# both in one test guest (tests/vm): the same 3,889 round trips of 4,700 bytes answered by
# 7 bytes as plain rawmidi ping-pong between the computer's end and the gadget (usb_floor),
# then the update with the default choice of ports against an instant pxr9-sim behind the
# gadget. Prints both and their ratio (goal: update <= 1.2 x floor).
# Usage: bench/vm_update_vs_floor.sh [BUILD_DIR]   (PXR9_VM_ACCEL=tcg forces emulation)
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$source_dir/build}" && pwd)
results=$build/bench/vm-results

"$source_dir/tests/vm/vm_run.sh" "$build" bench "$results" 1800
floor=$(sed -n 's/^floor seconds: //p' "$results/floor.out")
trip=$(sed -n 's/^round trip ms: //p' "$results/floor.out")
update=$(sed -n 's/^update seconds: //p' "$results/update.time")

echo "guest:                                  $(cat "$results/accel") ($(uname -m), 2 processors)"
echo "whole update (pxr9-cli, instant sim):   $update s"
echo "floor (3,889 rawmidi round trips):      $floor s ($trip ms each)"
echo "update / floor:                         $(awk -v u="$update" -v f="$floor" 'BEGIN { printf "%.2f", u / f }') (goal: <= 1.2)"

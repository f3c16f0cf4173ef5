#!/usr/bin/env bash
# A whole pxr9-cli update against an instant simulated device on a private JACK server, and
# beside it, on the same server, the floor JACK MIDI allows: the same 3,889 round trips as
# plain libjack ping-pong (jack_floor). Prints both and their ratio (goal: update <= 1.5 x floor).
# Usage: bench/jack_update_vs_floor.sh [BUILD_DIR] [JACK period in frames, default 32]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$source_dir/build}" && pwd)
period=${2:-32}
source "$source_dir/scripts/jack-env.sh"
pxr9_begin_run

pxr9_start_jack "pxr9-bench-floor-$$" "$period"
pxr9_start_sim "$build" "$work/sim.out" --instant

start=$(date +%s.%N)
"$build/tools/cli/pxr9-cli" update --instance 1 >"$work/update.out" 2>&1 || {
    cat "$work/update.out" >&2
    exit 1
}
update=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
pxr9_stop "$PXR9_SIM_PID"

"$build/bench/jack_floor" --benchmark_format=json >"$work/floor.json"
floor_ms=$(sed -n 's/.*"real_time": \([0-9.e+]*\),*/\1/p' "$work/floor.json" | head -1)
trip_us=$(sed -n 's/.*"round_trip_us": \([0-9.e+]*\),*/\1/p' "$work/floor.json" | head -1)
[ -n "$floor_ms" ] || { cat "$work/floor.json" >&2; exit 1; }
floor=$(awk -v ms="$floor_ms" 'BEGIN { printf "%.2f", ms / 1000 }')

echo "JACK period:                           $period frames at 48 kHz"
echo "whole update (pxr9-cli, instant sim):  $update s"
echo "floor (3,889 libjack round trips):     $floor s ($(printf '%.0f' "$trip_us") us each)"
echo "update / floor:                        $(awk -v u="$update" -v f="$floor" 'BEGIN { printf "%.2f", u / f }') (goal: <= 1.5)"

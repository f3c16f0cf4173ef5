#!/usr/bin/env bash
# What the updater's dialog costs while it sits idle: it is started on a virtual X display
# (Xvfb) beside a private JACK dummy server with a simulated device on it, so its lists are
# filled as on a desk. Once its window is mapped, the context switches of each of its threads
# (/proc/PID/task/*/status) and its CPU time (utime+stime) are read over SECONDS seconds.
# Prints wake-ups per second of our own threads (named pxr9-*), of the GUI thread's event
# loop, of Qt's own threads and of any other library thread, and the CPU share of one core
# (goal: under 5 wake-ups a second from our own threads).
# Usage: bench/idle_dialog.sh [BUILD_DIR] [SECONDS, default 10]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$source_dir/build}" && pwd)
seconds=${2:-10}
source "$source_dir/scripts/jack-env.sh"
pxr9_begin_run

pxr9_start_jack "pxr9-bench-idle-$$" 128
pxr9_start_sim "$build" "$work/sim.out" --instant

# Xvfb writes its display number once it accepts clients.
mkfifo "$work/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
PXR9_STARTED_PIDS+=($!)
read -r -t 20 display <"$work/display" || { cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$display

"$build/app/pxr9-updater" >"$work/updater.out" 2>&1 &
pid=$!
PXR9_STARTED_PIDS+=($pid)

# The dialog is up once its window is mapped; bounded at 30 s.
title="KEVO PXR-9 System v1.10 Updater"
for _ in $(seq 600); do
    xwininfo -name "$title" 2>/dev/null | grep -q 'Map State: IsViewable' && break
    kill -0 "$pid" 2>/dev/null || { cat "$work/updater.out" >&2; exit 1; }
    sleep 0.05
done
xwininfo -name "$title" 2>/dev/null | grep -q 'Map State: IsViewable' || {
    echo "error: the dialog's window did not appear" >&2
    exit 1
}

# One line per thread: tid, kind, context switches, CPU ticks.
snapshot() {
    local task tid name switches ticks stat kind
    for task in /proc/"$pid"/task/*; do
        tid=${task##*/}
        name=$(cat "$task/comm" 2>/dev/null) || continue
        switches=$(awk '/_ctxt_switches/ { n += $2 } END { print n + 0 }' "$task/status" 2>/dev/null) || continue
        stat=$(cat "$task/stat" 2>/dev/null) || continue
        # Fields after the parenthesised name: utime and stime are the 12th and 13th.
        ticks=$(awk '{ print $12 + $13 }' <<<"${stat##*) }")
        if [ "$tid" = "$pid" ]; then
            kind=gui
        elif [[ $name == pxr9-* && $name != pxr9-updater ]]; then
            kind=ours
        elif [[ $name == Q* || $name == "Thread (pooled)" || $name == gmain || $name == gdbus ]]; then
            kind=qt
        else
            kind=other
        fi
        printf '%s\t%s\t%s\t%s\t%s\n' "$tid" "$kind" "$switches" "$ticks" "$name"
    done
}

snapshot >"$work/before.tsv"
start=$(date +%s.%N)
sleep "$seconds"  # the measuring interval itself
snapshot >"$work/after.tsv"
elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')

awk -F'\t' -v secs="$elapsed" -v hz="$(getconf CLK_TCK)" '
    NR == FNR { sw[$1] = $3; tk[$1] = $4; next }
    {
        dsw = $3 - ($1 in sw ? sw[$1] : 0)
        dtk = $4 - ($1 in tk ? tk[$1] : 0)
        wake[$2] += dsw; cpu += dtk
        lines = lines sprintf("  %-7s %-6s %-16s %8.1f wake-ups/s\n", $1, $2, $5, dsw / secs)
    }
    END {
        printf "idle dialog over %.1f s (Xvfb, JACK dummy server with a simulated device):\n", secs
        printf "  our own threads (pxr9-*):  %8.1f wake-ups/s (goal: < 5)\n", wake["ours"] / secs
        printf "  GUI thread (event loop):   %8.1f wake-ups/s\n", wake["gui"] / secs
        printf "  Qt threads:                %8.1f wake-ups/s\n", wake["qt"] / secs
        printf "  other library threads:     %8.1f wake-ups/s\n", wake["other"] / secs
        printf "  CPU:                       %8.2f %% of one core\n", 100 * cpu / hz / secs
        printf "per thread:\n%s", lines
    }' "$work/before.tsv" "$work/after.tsv"

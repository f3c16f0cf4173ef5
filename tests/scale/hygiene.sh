#!/usr/bin/env bash
# Resource hygiene of pxr9-cli over a private JACK server: after a full update, a failure in
# the middle of a write and an abort by signal, the process has ended by itself (no thread
# left to keep it alive), left no JACK port behind and, in a sanitizer build, reported no leak
# or error. Prints the peak memory of one update beside the size of the embedded images.
# Usage: hygiene.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
source "$source/scripts/jack-env.sh"
source "$source/tests/scale/scale_lib.sh"
pxr9_begin_run
cli=$build/tools/cli/pxr9-cli
sanitizer=$(sed -n 's/^PXR9_SANITIZE:STRING=//p' "$build/CMakeCache.txt")
# Leak checking stays on whatever the caller set.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1"
failures=()
fail() { failures+=("$*"); }

pxr9_start_jack "pxr9-scale-hygiene-$$" "${PXR9_SCALE_PERIOD:-32}"

# check_run TAG EXIT STDERR: the run ended by itself with that code and exactly that stderr
# (so any sanitizer report fails it), and no port of it is left.
check_run() {
    local tag=$1 code=$2 text=$3
    local rc
    rc=$(cat "$work/$tag.rc")
    [ "$rc" != killed ] || fail "$tag: did not end by itself"
    [ "$rc" = "$code" ] || fail "$tag: exit $rc, expected $code"
    [ "$(cat "$work/$tag.err")" = "$text" ] || fail "$tag: stderr: $(head -c 2000 "$work/$tag.err")"
    local left
    left=$(foreign_ports)
    [ -z "$left" ] || fail "$tag: ports left open: $left"
}

# A full update, with its peak memory: the resident peak from the kernel, and the largest
# share of each kind seen while it ran. The images are read where the executable maps them,
# so their pages count as file-backed; a copy would show as anonymous memory. JACK's shared
# segments (the server's, mapped into every client) count as shared.
pxr9_start_sim "$build" "$work/sim.out" --instant --report "$work/sim.json"
/usr/bin/time -f %M -o "$work/update.kb" \
    timeout -s KILL 300 "$cli" update --instance 1 >"$work/update.out" 2>"$work/update.err" &
runner=$!
declare -A most=([RssAnon]=0 [RssFile]=0 [RssShmem]=0)
while kill -0 "$runner" 2>/dev/null; do
    pid=$(pgrep -P "$(pgrep -P "$runner" | head -1)" 2>/dev/null | head -1 || true)
    if [ -n "$pid" ]; then
        while read -r key kb _; do
            key=${key%:}
            [ -n "${most[$key]:-}" ] && [ "$kb" -gt "${most[$key]}" ] && most[$key]=$kb
        done < <(grep -E '^Rss(Anon|File|Shmem):' "/proc/$pid/status" 2>/dev/null || true)
    fi
    sleep 0.2
done
rc=0
wait "$runner" || rc=$?
[ "$rc" = 137 ] && rc=killed
echo "$rc" >"$work/update.rc"
check_run update 0 ""
pxr9_stop "$PXR9_SIM_PID"
verified "$work/sim.json" || fail "update: flash not as updated"
peak_kb=$(tail -1 "$work/update.kb")

# A failure in the middle of the first image: every thread must still be wound down.
pxr9_start_sim "$build" "$work/refusing.out" --instant --fault write-block@5-=refuse:2
run_bounded 120 "$work/failure.out" "$work/failure.err" "$work/failure.rc" -- \
    "$cli" update --instance 1
check_run failure 1 "Error: Transfer error occurred."
pxr9_stop "$PXR9_SIM_PID"

# An abort by signal while blocks are being written.
pxr9_start_sim "$build" "$work/slow.out" --instant --block-ms 5
"$cli" update --instance 1 >"$work/abort.out" 2>"$work/abort.err" &
aborted=$!
for _ in $(seq 1200); do
    grep -q "Data transmit" "$work/abort.out" 2>/dev/null && break
    sleep 0.1
done
kill -INT "$aborted"
rc=0
for _ in $(seq 1200); do kill -0 "$aborted" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$aborted" 2>/dev/null; then
    kill -KILL "$aborted"
    rc=killed
fi
wait "$aborted" 2>/dev/null || { [ "$rc" = killed ] || rc=$?; }
echo "$rc" >"$work/abort.rc"
check_run abort 1 ""
pxr9_stop "$PXR9_SIM_PID"

images_kb=$(($(cat "$build"/firmware/images/*.bin | wc -c) / 1024))
echo "build: ${sanitizer:-optimised}"
echo "peak resident memory of one update: $peak_kb kB (embedded images: $images_kb kB)"
echo "largest shares seen: anonymous ${most[RssAnon]} kB, file-backed (program, libraries," \
    "image pages read in place) ${most[RssFile]} kB, shared (JACK's segments) ${most[RssShmem]} kB"
if [ -z "$sanitizer" ] && [ "${most[RssAnon]}" -ge "$images_kb" ]; then
    fail "anonymous memory reached the size of the images: are they copied?"
fi

if [ ${#failures[@]} -gt 0 ]; then
    printf 'FAILED: %s\n' "${failures[@]}" >&2
    exit 1
fi
echo "passed: no leak, no port left, every run ended by itself"

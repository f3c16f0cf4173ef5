#!/usr/bin/env bash
# Twenty devices side by side on one private JACK server: one update alone, then twenty
# pxr9-cli copies started at once without --instance, each taking its own copy number and so
# its own device; and a twenty-first copy refused while twenty hold their numbers. Prints the
# wall times and their ratio.
# Usage: twenty.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2

# Copy numbers are system-wide names; in a network namespace of its own the run neither takes
# nor meets the numbers of updaters that run beside it on this machine. ./test has given it one
# already. As root no user namespace either: in one, the JACK server could not run realtime.
if [ -z "${PXR9_SCALE_ISOLATED:-}" ] && [ -z "${PXR9_PRIVATE_SHM:-}" ]; then
    isolate=(-rn)
    [ "$(id -u)" -eq 0 ] && isolate=(-n)
    if unshare "${isolate[@]}" true 2>/dev/null; then
        PXR9_SCALE_ISOLATED=1 exec unshare "${isolate[@]}" -- "$0" "$@"
    fi
fi

source "$source/scripts/jack-env.sh"
source "$source/tests/scale/scale_lib.sh"
pxr9_begin_run
cli=$build/tools/cli/pxr9-cli
period=${PXR9_SCALE_PERIOD:-32}
failures=()
fail() { failures+=("$*"); }

pxr9_start_jack "pxr9-scale-twenty-$$" "$period"
for n in $(seq 1 20); do
    instance=()
    [ "$n" -ge 2 ] && instance=(--instance "$n")
    pxr9_start_sim "$build" "$work/sim$n.out" --instant "${instance[@]}" --report "$work/sim$n.json"
done

started=$(now)
run_bounded 300 "$work/alone.out" "$work/alone.err" "$work/alone.rc" -- "$cli" update
alone=$(elapsed "$started" "$(now)")
[ "$(cat "$work/alone.rc")" = 0 ] || fail "the update alone exited $(cat "$work/alone.rc"): $(cat "$work/alone.err")"

started=$(now)
copies=()
for n in $(seq 1 20); do
    run_bounded 600 "$work/copy$n.out" "$work/copy$n.err" "$work/copy$n.rc" -- "$cli" update &
    copies+=($!)
done
wait "${copies[@]}"
twenty=$(elapsed "$started" "$(now)")

# A twenty-first copy is refused before it touches MIDI while twenty hold their numbers. The
# twenty that hold them here wait in their first request to a JACK server that is stopped, so
# none can end before the check, however fast or slow the machine; the claims are seen in the
# kernel's list of sockets. The twenty-first is pointed at a server that does not exist: it
# would fail otherwise.
pxr9_spawn_jack "pxr9-scale-held-$$" "$period" "$work/jackd-held.log"
held_server=$PXR9_JACK_PID
PXR9_STARTED_PIDS+=("$held_server")
kill -STOP "$held_server"
holders=()
for n in $(seq 1 20); do
    JACK_DEFAULT_SERVER="pxr9-scale-held-$$" "$cli" update >/dev/null 2>&1 &
    holders+=($!)
done
claims=0
for _ in $(seq 3000); do
    claims=$(grep -c '@KEVO PXR-9 System v1.10 Updater' /proc/net/unix || true)
    [ "$claims" -ge 20 ] && break
    sleep 0.1
done
[ "$claims" -eq 20 ] || fail "twenty copies held $claims copy numbers"
refused_rc=0
JACK_DEFAULT_SERVER="pxr9-scale-none-$$" "$cli" update >"$work/21.out" 2>"$work/21.err" || refused_rc=$?
refusal="pxr9-cli: It is forbidden to launch more than 20 instance of this application."
[ "$refused_rc" = 1 ] || fail "the twenty-first copy exited $refused_rc"
[ "$(cat "$work/21.err")" = "$refusal" ] || fail "the twenty-first copy said: $(cat "$work/21.err")"
[ ! -s "$work/21.out" ] || fail "the twenty-first copy printed: $(cat "$work/21.out")"
kill -KILL "${holders[@]}" 2>/dev/null || true
wait "${holders[@]}" 2>/dev/null || true
kill -CONT "$held_server"

for n in $(seq 1 20); do
    rc=$(cat "$work/copy$n.rc")
    [ "$rc" = 0 ] || fail "copy $n exited $rc: $(cat "$work/copy$n.err")"
done
left=$(foreign_ports)
[ -z "$left" ] || fail "ports left open: $left"

for n in $(seq 1 20); do pxr9_stop "${PXR9_STARTED_PIDS[$n]}"; done
for n in $(seq 1 20); do
    verified "$work/sim$n.json" || fail "device $n: flash not as updated"
    # Device 1 was also updated alone first; every other device by exactly one copy.
    expected=1
    [ "$n" = 1 ] && expected=2
    grep -q "\"update-start\": $expected," "$work/sim$n.json" ||
        fail "device $n: $(request_counts "$work/sim$n.json"), expected $expected update(s)"
done

echo "JACK period: $period frames at 48 kHz"
echo "one update alone:             $alone s"
echo "twenty updates side by side:  $twenty s"
echo "ratio:                        $(awk -v a="$alone" -v b="$twenty" 'BEGIN { printf "%.2f", b / a }') (goal: within 3)"
echo "twenty-first copy:            $(cat "$work/21.err")"

if [ ${#failures[@]} -gt 0 ]; then
    printf 'FAILED: %s\n' "${failures[@]}" >&2
    exit 1
fi
echo "passed: twenty devices, all flashes verified"

#!/usr/bin/env bash
# Twenty devices side by side on one private JACK server: one update alone, then twenty
# pxr9-cli copies started at once without --instance, each taking its own copy number and so
# its own device, while a twenty-first is refused. Prints the wall times and their ratio.
# Usage: twenty.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2

# Copy numbers are system-wide names; in a network namespace of its own the run neither takes
# nor meets the numbers of updaters that run beside it on this machine.
if [ -z "${PXR9_SCALE_ISOLATED:-}" ] && unshare -rn true 2>/dev/null; then
    PXR9_SCALE_ISOLATED=1 exec unshare -rn -- "$0" "$@"
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

# Once all twenty hold their numbers (each has printed its first line), a further copy is
# refused before it touches MIDI: on a server that does not exist it would fail otherwise.
for _ in $(seq 600); do
    printed=0
    for n in $(seq 1 20); do [ -s "$work/copy$n.out" ] && printed=$((printed + 1)); done
    [ "$printed" -eq 20 ] && break
    sleep 0.1
done
[ "$printed" -eq 20 ] || fail "only $printed of twenty copies started"
refused_rc=0
JACK_DEFAULT_SERVER="pxr9-scale-none-$$" "$cli" update >"$work/21.out" 2>"$work/21.err" || refused_rc=$?
refusal="pxr9-cli: It is forbidden to launch more than 20 instance of this application."
[ "$refused_rc" = 1 ] || fail "the twenty-first copy exited $refused_rc"
[ "$(cat "$work/21.err")" = "$refusal" ] || fail "the twenty-first copy said: $(cat "$work/21.err")"
[ ! -s "$work/21.out" ] || fail "the twenty-first copy printed: $(cat "$work/21.out")"
still_running=0
for pid in "${copies[@]}"; do kill -0 "$pid" 2>/dev/null && still_running=$((still_running + 1)); done

wait "${copies[@]}"
twenty=$(elapsed "$started" "$(now)")
[ "$still_running" -gt 0 ] || fail "the copies had all ended before the twenty-first started"

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

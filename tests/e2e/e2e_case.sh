#!/usr/bin/env bash
# One end-to-end case over a private JACK dummy server: pxr9-sim as a separate process and
# the updater on the JACK backend. Usage: e2e_case.sh BUILD_DIR SOURCE_DIR CASE
set -euo pipefail
build=$1 source=$2 case=$3
source "$source/scripts/jack-env.sh"
pxr9_begin_run

fail() {
    echo "FAILED: $*" >&2
    for f in "$work"/*; do echo "--- $f" >&2; cat "$f" >&2; done
    exit 1
}

# Every region of the memory map as a finished update leaves it (the gap untouched).
expect_updated() {
    local report=$1
    [ -s "$report" ] || fail "no report written"
    local good
    good=$(grep -c '"matchesUpdate": true' "$report" || true)
    [ "$good" -eq 6 ] || fail "flash does not match the memory map: $(grep -v '"matchesUpdate": true' "$report" | grep matchesUpdate)"
}

# wait_for_line SECONDS FILE PATTERN PID: returns once a line of FILE matches PATTERN (grep -E),
# fails when PID has ended or the time is up without one.
wait_for_line() {
    local limit=$1 file=$2 pattern=$3 pid=$4 lines follower found=0
    exec {lines}< <(exec timeout "$limit" tail -n +1 -F --pid="$pid" "$file" 2>/dev/null)
    follower=$!
    grep -q -m1 -E "$pattern" <&"$lines" && found=1
    kill -TERM "$follower" 2>/dev/null || true
    exec {lines}<&-
    [ "$found" = 1 ]
}

cli=$build/tools/cli/pxr9-cli
pxr9_start_jack "pxr9-e2e-$$-$case" 64

case $case in
    cli_update_then_version)
        pxr9_start_sim "$build" "$work/sim.out" --instant --boot-stamp 0.90 --report "$work/report.json"
        "$cli" update >"$work/update.out" 2>"$work/update.err" || fail "update exited $?"
        grep -q "Version update completed." "$work/update.out" || fail "no completion line"
        "$cli" version >"$work/version.out" 2>&1 || fail "version exited $?"
        grep -q "BOOT:" "$work/version.out" || fail "no version report"
        grep -qP 'SYSTEM:\t\t1\.10 -> 1\.10' "$work/version.out" || fail "wrong SYSTEM line"
        pxr9_stop "$PXR9_SIM_PID"
        expect_updated "$work/report.json"
        grep -q '"boot": "1.00"' "$work/report.json" || fail "boot stamp not written"
        ;;
    dialog_update)
        pxr9_start_sim "$build" "$work/sim.out" --instant --boot-stamp 0.90 --report "$work/report.json"
        QT_QPA_PLATFORM=offscreen "$build/tests/e2e/e2e_dialog_update" >"$work/dialog.out" 2>&1 \
            || fail "dialog update failed"
        pxr9_stop "$PXR9_SIM_PID"
        expect_updated "$work/report.json"
        ;;
    copy_two_selects_its_own_device)
        pxr9_start_sim "$build" "$work/sim1.out" --instant --report "$work/report1.json"
        sim1=$PXR9_SIM_PID
        pxr9_start_sim "$build" "$work/sim2.out" --instant --instance 2 --report "$work/report2.json"
        "$cli" ports --instance 2 >"$work/ports.out" 2>&1 || fail "ports exited $?"
        [ "$(grep -c '^  \* ' "$work/ports.out")" -eq 2 ] || fail "copy 2 did not select one port per list"
        if grep '^  \* ' "$work/ports.out" | grep -v 'KEVO PXR-9 (2)$' | grep -q .; then
            fail "copy 2 selected a port that is not its own"
        fi
        "$cli" update --instance 2 >"$work/update.out" 2>&1 || fail "update of copy 2 exited $?"
        pxr9_stop "$PXR9_SIM_PID"
        pxr9_stop "$sim1"
        expect_updated "$work/report2.json"
        grep -q '"write-block": 0' "$work/report1.json" || fail "copy 2 wrote to the device of copy 1"
        ;;
    cli_ports_watch)
        # The bounds only catch a watch that never speaks; each line comes as the server
        # registers or removes the device's ports.
        "$cli" ports --watch >"$work/watch.out" 2>"$work/watch.err" &
        watcher=$!
        PXR9_STARTED_PIDS+=("$watcher")
        wait_for_line 120 "$work/watch.out" '^MIDI OUT' "$watcher" || fail "no first list"
        pxr9_start_sim "$build" "$work/sim.out" --instant
        for direction in IN OUT; do
            wait_for_line 120 "$work/watch.out" "^\\+ MIDI $direction [0-9]+  KEVO PXR-9\$" "$watcher" ||
                fail "the device's MIDI $direction port was not told of"
        done
        wait_for_line 120 "$work/watch.out" '^  \* [0-9]+  KEVO PXR-9$' "$watcher" ||
            fail "the device was not marked as chosen"
        pxr9_stop "$PXR9_SIM_PID"
        for direction in IN OUT; do
            wait_for_line 120 "$work/watch.out" "^- MIDI $direction [0-9]+  KEVO PXR-9\$" "$watcher" ||
                fail "the end of the device's MIDI $direction port was not told of"
        done
        kill -TERM "$watcher"
        status=0
        wait "$watcher" || status=$?
        [ "$status" -eq 0 ] || fail "ports --watch ended with $status on SIGTERM"
        [ ! -s "$work/watch.err" ] || fail "ports --watch wrote errors"
        ;;
    fault_not_in_update_mode)
        pxr9_start_sim "$build" "$work/sim.out" --instant --fault update-start=refuse:11 --report "$work/report.json"
        status=0
        "$cli" update >"$work/update.out" 2>"$work/update.err" || status=$?
        [ "$status" -eq 1 ] || fail "exit code $status, expected 1"
        grep -qx "Error: Please use the firmware update mode." "$work/update.err" || fail "wrong error text"
        pxr9_stop "$PXR9_SIM_PID"
        grep -q '"flash-erase": 0' "$work/report.json" || fail "an erase was sent"
        ;;
    refused_block_sent_again)
        # A refused block is sent again after its pause, and only its own answer counts. (A
        # stray message over a real link is left to the virtual clock: whether it comes before
        # the next request leaves is a matter of timing there.)
        pxr9_start_sim "$build" "$work/sim.out" --instant --boot-stamp 0.90 \
            --fault write-block@5=refuse:2 --report "$work/report.json"
        "$cli" update >"$work/update.out" 2>"$work/update.err" || fail "update exited $?"
        grep -q "Version update completed." "$work/update.out" || fail "no completion line"
        pxr9_stop "$PXR9_SIM_PID"
        expect_updated "$work/report.json"
        grep -q '"write-block": 3890,' "$work/report.json" || fail "not one resend: $(grep -o '"write-block": [0-9]*' "$work/report.json")"
        ;;
    *)
        echo "unknown case $case" >&2
        exit 2
        ;;
esac
echo "passed: $case"

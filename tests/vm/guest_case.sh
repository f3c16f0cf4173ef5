#!/usr/bin/env bash
# One case inside the test guest, where the kernel's USB audio driver meets USB MIDI gadgets
# on dummy controllers: the updater on the computer's end of each link, pxr9-sim on the
# device's end. Started by the guest's init; every file it writes lands in RESULTS_DIR.
# Usage: guest_case.sh BUILD_DIR CASE RESULTS_DIR
set -euo pipefail
build=$1 case=$2 results=$3
source "$(dirname "$0")/guest_lib.sh"
cd "$results"

cli=$build/tools/cli/pxr9-cli
# Longer than any of the updater's own waits can add up to; reaching it means it hung.
run_limit=600

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# update_verified NAME [pxr9-cli options...]: a whole update with the default choice of
# ports and a version check after it, output in NAME.out and NAME.err.
update_verified() {
    local name=$1 status=0 start
    shift
    start=$(date +%s.%N)
    timeout -k 5 "$run_limit" "$cli" update --verify "$@" >"$name.out" 2>"$name.err" || status=$?
    date +%s.%N | awk -v a="$start" '{ printf "update seconds: %.2f\n", $1 - a }' >"$name.time"
    [ "$status" -eq 0 ] || { cat "$name.err" >&2; fail "$name: pxr9-cli exited $status"; }
    grep -q "Version update completed." "$name.out" || fail "$name: no completion line"
}

# The computer's end of gadget 1's link, for the tools that take an ALSA name.
host_device() {
    local card
    card=$(sed -n 's/^ *\([0-9]*\) \[.*USB-Audio - KEVO PXR-9$/\1/p' /proc/asound/cards | head -1)
    echo "hw:$card,0"
}

# floor: plain rawmidi round trips, the update's 3,889 of them, over the USB link.
run_floor() {
    "$build/bench/usb_floor" answer "$(gadget_device 1)" >floor-answer.out 2>&1 &
    local answerer=$!
    STARTED+=("$answerer")
    wait_for_line "$ready_limit" floor-answer.out '^ready:' "$answerer" || fail "the answering end did not start"
    timeout -k 5 "$run_limit" "$build/bench/usb_floor" ping "$(host_device)" >floor.out 2>&1 ||
        { cat floor.out >&2; fail "the floor run failed"; }
    # It ends once the link has been silent for a while, and says what it saw.
    wait "$answerer" || true
}

gadget_add 1
gadget_add 2
gadget_plug 1
cat /proc/asound/cards >cards.txt

case $case in
    floor)
        run_floor
        ;;
    bench)
        run_floor
        start_sim 1 sim.out --instant --report report.json
        update_verified update
        stop "$SIM_PID"
        verified report.json || fail "the flash does not match the update"
        ;;
    update_default_ports)
        start_sim 1 sim.out --instant --boot-stamp 0.90 --report report.json
        "$cli" ports >ports.out 2>&1
        update_verified update
        stop "$SIM_PID"
        verified report.json || fail "the flash does not match the update"
        grep -q '"boot": "1.00"' report.json || fail "the boot stamp was not written"
        ;;
    two_devices)
        gadget_plug 2
        cat /proc/asound/cards >cards.txt
        start_sim 1 sim1.out --instant --report report1.json
        sim1=$SIM_PID
        start_sim 2 sim2.out --instant --report report2.json
        sim2=$SIM_PID
        "$cli" ports --instance 2 >ports2.out 2>&1
        [ "$(grep -c '^  \* ' ports2.out)" -eq 2 ] || fail "copy 2 did not select one port per list"
        if grep '^  \* ' ports2.out | grep -v 'KEVO PXR-9 (2)$' | grep -q .; then
            fail "copy 2 selected a port that is not its own: $(cat ports2.out)"
        fi
        # Both at once; each takes the lowest copy number free when it starts.
        update_verified update-a &
        first=$!
        update_verified update-b &
        second=$!
        status=0
        wait "$first" || status=1
        wait "$second" || status=1
        [ "$status" -eq 0 ] || fail "an update of the two failed"
        stop "$sim1"
        stop "$sim2"
        verified report1.json || fail "device 1 is not updated"
        verified report2.json || fail "device 2 is not updated"
        # One update each (block counts differ by the resends the link needed).
        grep -q '"update-start": 1,' report1.json && grep -q '"update-start": 1,' report2.json ||
            fail "not one update per device: $(grep -ho '"update-start": [0-9]*' report1.json report2.json | tr '\n' ' ')"
        ;;
    cable_pulled)
        start_sim 1 sim-pulled.out --instant --report report-pulled.json
        sim=$SIM_PID
        timeout -k 5 "$run_limit" "$cli" update --verify >pulled.out 2>pulled.err &
        updater=$!
        wait_for_line 120 pulled.out '^status: Data transmit' "$updater" || fail "the region write never began"
        pulled=$(date +%s.%N)
        gadget_unplug 1
        errored=$pulled
        wait_for_line 120 pulled.err '^Error: ' "$updater" && errored=$(date +%s.%N)
        status=0
        wait "$updater" || status=$?
        ended=$(date +%s.%N)
        # Figures to watch (the goal is 2 s to the error), not to check: the guest's speed varies
        # with the machine's load.
        echo "$pulled $errored $ended" |
            awk '{ printf "pulled → error: %.2f s, → exit: %.2f s\n", $2 - $1, $3 - $1 }' |
            tee -a figures.txt >pulled-time.out
        echo "exit $status" >>pulled-time.out
        case $status in
            0) fail "the update reported success with the cable pulled" ;;
            124 | 137) fail "the updater hung after the cable was pulled" ;;
        esac
        grep -q '^Error: ' pulled.err || fail "no error text after the cable was pulled"
        grep -qx 'pxr9-cli: The device was disconnected.' pulled.err ||
            fail "the error does not say that the device was disconnected"
        holders=$(rawmidi_holders | grep -vx "/proc/$sim" || true)
        [ -z "$holders" ] || fail "rawmidi ports still open: $holders"
        # The device's end went with the cable; its simulated device ends with it.
        stop "$sim"
        gadget_plug 1
        start_sim 1 sim.out --instant --report report.json
        update_verified update
        stop "$SIM_PID"
        verified report.json || fail "the fresh run did not update the device"
        ;;
    sequencer_listener)
        start_sim 1 sim.out --instant --report report.json
        stdbuf -oL aseqdump -p "KEVO PXR-9" >aseqdump.out 2>&1 &
        listener=$!
        STARTED+=("$listener")
        wait_for_line "$ready_limit" aseqdump.out 'Waiting for data' "$listener" || { cat aseqdump.out >&2; fail "the listener did not subscribe"; }
        update_verified update
        kill -0 "$listener" 2>/dev/null || fail "the listener ended during the update"
        stop "$listener"
        grep -q "System exclusive" aseqdump.out || fail "the listener heard nothing of the device"
        grep -q "is busy: the ALSA sequencer holds it for aseqdump" update.err || fail "no word on who holds the port"
        stop "$SIM_PID"
        verified report.json || fail "the flash does not match the update"
        ;;
    hotplug)
        # Gadget 2 is the device of copy 2, its cable still out: the dialog of copy 2 and
        # ports --watch are up before it goes in. Each wait ends as the line comes; the bound
        # only catches a list that never follows.
        QT_QPA_PLATFORM=offscreen "$build/tests/vm/vm_dialog_lists" 2 >dialog.out 2>dialog.err &
        dialog=$!
        STARTED+=("$dialog")
        "$cli" ports --watch --instance 2 >watch.out 2>watch.err &
        watcher=$!
        STARTED+=("$watcher")
        wait_for_line "$ready_limit" dialog.out '^opened: ' "$dialog" || fail "the dialog did not open"
        wait_for_line "$ready_limit" watch.out '^MIDI OUT' "$watcher" || fail "ports --watch did not list"
        grep -q 'selected "" of' dialog.out || fail "copy 2's device was there before it was plugged in"
        own='KEVO PXR-9 \(2\)'
        for round in 1 2; do
            from=$(next_line dialog.out)
            watched=$(next_line watch.out)
            gadget_plug 2
            wait_for_line "$ready_limit" dialog.out "in selected \"$own\" of .*; out selected \"$own\" of" "$dialog" "$from" ||
                fail "round $round: the dialog did not select the device plugged in: $(tail -n 1 dialog.out)"
            for direction in IN OUT; do
                wait_for_line "$ready_limit" watch.out "^\\+ MIDI $direction [0-9]+  $own\$" "$watcher" "$watched" ||
                    fail "round $round: ports --watch did not tell of MIDI $direction coming"
            done
            from=$(next_line dialog.out)
            watched=$(next_line watch.out)
            gadget_unplug 2
            wait_for_line "$ready_limit" dialog.out "in selected \"$own \(disconnected\)\" of .*; out selected \"$own \(disconnected\)\" of" "$dialog" "$from" ||
                fail "round $round: the dialog did not show the device gone: $(tail -n 1 dialog.out)"
            for direction in IN OUT; do
                wait_for_line "$ready_limit" watch.out "^- MIDI $direction [0-9]+  $own\$" "$watcher" "$watched" ||
                    fail "round $round: ports --watch did not tell of MIDI $direction going"
            done
        done
        for ending in "dialog $dialog" "ports-watch $watcher"; do
            set -- $ending
            kill -TERM "$2"
            status=0
            wait "$2" || status=$?
            [ "$status" -eq 0 ] || fail "the $1 ended with $status on SIGTERM"
        done
        [ ! -s watch.err ] || fail "ports --watch wrote errors: $(cat watch.err)"
        ;;
    *)
        fail "unknown case $case"
        ;;
esac
echo "passed: $case"

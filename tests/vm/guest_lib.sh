# Inside the test guest: USB MIDI gadgets that stand for PXR-9 devices, and waiting for what
# the kernel makes of them. Sourced by guest_case.sh (bash, the host's, from the shared /usr).

GADGETS=/sys/kernel/config/usb_gadget
# Bound on waits for something to come up. Generous: an emulated guest on a busy machine can
# stand still for tens of seconds (the guest's soft-lockup watchdog has seen 21 s).
ready_limit=180
# Gadget N's own sound card (the device's end of the link) takes this fixed index + N, so
# its rawmidi name is known before it exists; the computer's cards take the low numbers.
GADGET_CARD_BASE=9

gadget_device() { echo "hw:$((GADGET_CARD_BASE + $1)),0"; }

# gadget_add N: gadget N, a USB MIDI function named like the device, one port each way.
gadget_add() {
    local g=$GADGETS/pxr9-$1
    mkdir "$g" "$g/strings/0x409" "$g/configs/c.1" "$g/configs/c.1/strings/0x409" "$g/functions/midi.usb0"
    echo 0x1209 >"$g/idVendor"
    echo 0x0001 >"$g/idProduct"
    echo KEVO >"$g/strings/0x409/manufacturer"
    echo "KEVO PXR-9" >"$g/strings/0x409/product"
    echo "PXR9-$1" >"$g/strings/0x409/serialnumber"
    echo MIDI >"$g/configs/c.1/strings/0x409/configuration"
    echo 1 >"$g/functions/midi.usb0/in_ports"
    echo 1 >"$g/functions/midi.usb0/out_ports"
    echo $((GADGET_CARD_BASE + $1)) >"$g/functions/midi.usb0/index"
    echo "PXR9Gadget$1" >"$g/functions/midi.usb0/id"
    ln -s "$g/functions/midi.usb0" "$g/configs/c.1/"
}

# gadget_plug N: binds gadget N to dummy controller N-1 (the cable goes in), and returns once
# the computer's card for it and the gadget's own card both have their rawmidi nodes.
gadget_plug() {
    local before
    before=$(host_card_count)
    echo "dummy_udc.$(($1 - 1))" >"$GADGETS/pxr9-$1/UDC"
    wait_until "$ready_limit" "card of gadget $1" gadget_cards_ready "$1" "$before"
}

# gadget_cards_ready N COUNT: more than COUNT computer's cards, and gadget N's own card.
gadget_cards_ready() {
    [ "$(host_card_count)" -gt "$2" ] && [ -e "/dev/snd/midiC$((GADGET_CARD_BASE + $1))D0" ]
}

# gadget_unplug N: the cable comes out.
gadget_unplug() { echo "" >"$GADGETS/pxr9-$1/UDC"; }

# Cards that the USB audio driver made for a gadget and that have their rawmidi node.
host_card_count() {
    local n=0 card
    for card in $(sed -n 's/^ *\([0-9]*\) \[.*USB-Audio - KEVO PXR-9$/\1/p' /proc/asound/cards); do
        [ -e "/dev/snd/midiC${card}D0" ] && n=$((n + 1))
    done
    echo $n
}

# wait_until SECONDS WHAT COMMAND...: polls COMMAND; the kernel announces a new device node
# to no one in this guest (no udev), so a bounded poll is the only way to see it appear.
wait_until() {
    local limit=$1 what=$2
    shift 2
    local deadline=$((SECONDS + limit))
    until "$@"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            echo "FAILED: no $what after ${limit} s" >&2
            cat /proc/asound/cards >&2
            return 1
        fi
        sleep 0.05
    done
}

# wait_for_line SECONDS FILE PATTERN PID [FROM]: returns once a line of FILE (from line FROM on,
# the first by default) matches PATTERN (grep -E), fails when PID has ended or the time is up
# without one.
wait_for_line() {
    local limit=$1 file=$2 pattern=$3 pid=$4 from=${5:-1} lines follower found=0
    exec {lines}< <(exec timeout "$limit" tail -n "+$from" -F --pid="$pid" "$file" 2>/dev/null)
    follower=$!
    grep -q -m1 -E "$pattern" <&"$lines" && found=1
    kill -TERM "$follower" 2>/dev/null || true
    exec {lines}<&-
    [ "$found" = 1 ]
}

# start_sim N OUTPUT [pxr9-sim options...]: the simulated PXR-9 behind gadget N; returns once
# it is ready. Its pid is in SIM_PID.
start_sim() {
    local n=$1 out=$2
    shift 2
    "$build/tools/sim/pxr9-sim" --rawmidi "$(gadget_device "$n")" "$@" >"$out" 2>&1 &
    SIM_PID=$!
    STARTED+=("$SIM_PID")
    wait_for_line "$ready_limit" "$out" '^ready:' "$SIM_PID" || { echo "FAILED: pxr9-sim on gadget $n did not come up" >&2; cat "$out" >&2; return 1; }
}

# next_line FILE: the number of the line that FILE's next line will have.
next_line() { echo $(($(wc -l <"$1") + 1)); }

# stop PID: SIGTERM (a simulated device then writes its report) and wait for the end.
stop() {
    kill -TERM "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

STARTED=()
stop_all() {
    local pid
    for pid in "${STARTED[@]}"; do stop "$pid"; done
    # The rawmidi counters (overruns included) as the case leaves them.
    grep -H . /proc/asound/card*/midi0 >"$results/rawmidi-state.txt" 2>/dev/null || true
}
trap stop_all EXIT

# verified REPORT: every region of the flash as a finished update leaves it.
verified() {
    [ -s "$1" ] && [ "$(grep -c '"matchesUpdate": true' "$1")" -eq 6 ]
}

# rawmidi_holders: the processes that still hold a rawmidi device open.
rawmidi_holders() {
    local fd
    for fd in /proc/[0-9]*/fd/*; do
        case $(readlink "$fd" 2>/dev/null) in /dev/snd/midi*) echo "${fd%%/fd/*}" ;; esac
    done | sort -u
}

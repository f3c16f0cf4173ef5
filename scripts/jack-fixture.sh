#!/usr/bin/env bash
# A private JACK dummy server for a group of tests (a ctest fixture):
#   jack-fixture.sh start NAME PERIOD STATE_DIR   returns once clients can connect
#   jack-fixture.sh stop NAME STATE_DIR [reclaim]  returns once the server has ended
# The tests find it through JACK_DEFAULT_SERVER=NAME; STATE_DIR/NAME.pid holds its pid.
# "reclaim" is for a server its test kills: a killed server leaves its entry in JACK's registry
# of servers (eight at most, for the whole machine), and only a server of the same name that
# starts frees it. One is started and stopped cleanly to do so.
set -euo pipefail
source "$(dirname "$0")/jack-env.sh"
what=$1 name=$2
case $what in
    start)
        period=$3 state=$4
        mkdir -p "$state"
        if [ -s "$state/$name.pid" ]; then  # left by an interrupted run
            pxr9_end_jack "$(cat "$state/$name.pid")" "$state/$name.alive"
        fi
        export JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1
        pxr9_spawn_jack "$name" "$period" "$state/$name.log" "$state/$name.alive"
        echo "$PXR9_JACK_PID" >"$state/$name.pid"
        echo "JACK server '$name' runs as pid $PXR9_JACK_PID"
        ;;
    stop)
        state=$3
        [ -s "$state/$name.pid" ] || exit 0
        pxr9_end_jack "$(cat "$state/$name.pid")" "$state/$name.alive"
        rm -f "$state/$name.pid"
        if [ "${4:-}" = reclaim ]; then
            export JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1
            pxr9_spawn_jack "$name" 1024 "$state/$name.log" "$state/$name.alive"
            pxr9_end_jack "$PXR9_JACK_PID" "$state/$name.alive"
        fi
        ;;
    *)
        echo "usage: jack-fixture.sh start NAME PERIOD STATE_DIR | stop NAME STATE_DIR" >&2
        exit 2
        ;;
esac

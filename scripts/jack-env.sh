# Starting and stopping a private JACK dummy server and simulated devices on it.
# Sourced by ./run and the end-to-end tests; everything started is stopped by pxr9_stop_all.

PXR9_STARTED_PIDS=()

# pxr9_begin_run: a temporary folder for this run's logs, in $work and PXR9_LOG_DIR; on exit,
# and on SIGINT/SIGTERM, every process started here is stopped and the folder removed.
pxr9_begin_run() {
    work=$(mktemp -d)
    export PXR9_LOG_DIR=$work
    trap 'pxr9_stop_all; rm -rf "$work"' EXIT
    trap 'exit 1' INT TERM
}

# pxr9_start_jack NAME [period]: a dummy-driver server of that name, used by every client
# started from this shell (JACK_DEFAULT_SERVER). Returns once a client could connect to it.
# Synchronous mode (-S): a slow client, as under a sanitizer, delays the cycle instead of
# losing events. A client timeout of 5 s (-t) rather than the default: the server also waits ten
# times that for a new client's activation to reach the running graph, and on a loaded machine
# with sixty clients that takes longer than 5 s now and then. The server's pid is in PXR9_JACK_PID.
pxr9_start_jack() {
    local name=$1 period=${2:-128}
    export JACK_DEFAULT_SERVER=$name
    export JACK_NO_AUDIO_RESERVATION=1
    export JACK_NO_START_SERVER=1
    pxr9_spawn_jack "$name" "$period" "${PXR9_LOG_DIR:-/tmp}/jackd-$name.log" || return 1
    PXR9_STARTED_PIDS+=("$PXR9_JACK_PID")
}

# pxr9_spawn_jack NAME PERIOD LOG [ALIVE_LOCK]: starts jackd in the background (pid in
# PXR9_JACK_PID) and returns once a client could connect. Servers start one at a time on this
# machine, across test runs and checkouts: servers starting side by side share JACK's
# registry and can fail each other. With ALIVE_LOCK the server runs under a small shell that
# reaps it the moment it ends (its registry entry then frees at once, even after a kill) and
# holds a lock on that file until then, so another process can wait for the end (pxr9_end_jack).
pxr9_spawn_jack() {
    local name=$1 period=$2 log=$3 alive=${4:-}
    local lock
    exec {lock}>>"${TMPDIR:-/tmp}/pxr9-jackd-start.lock"
    if ! flock -w 600 "$lock"; then
        exec {lock}>&-
        echo "error: no turn to start the JACK server '$name' within 600 s" >&2
        return 1
    fi
    pxr9_reclaim_jack_registry
    local jackd=(jackd "$(pxr9_jack_scheduling)" -S -t 5000 -n "$name" -d dummy -r 48000 -p "$period")
    if [ -n "$alive" ]; then
        (
            exec {lock}>&- 9>>"$alive" </dev/null >"$log" 2>&1
            flock -n 9 || exit 1
            "${jackd[@]}" 9>&- &
            wait $!
        ) &
    else
        (exec {lock}>&- </dev/null >"$log" 2>&1 && exec "${jackd[@]}") &
    fi
    PXR9_JACK_PID=$!
    local up=0
    # The bound only catches a server that never comes up: on a loaded machine a start that
    # is fine takes more than 20 s now and then.
    jack_wait -s "$name" -w -t 120 >/dev/null 2>&1 && kill -0 "$PXR9_JACK_PID" 2>/dev/null && up=1
    if [ "$up" = 1 ] && [ -n "$alive" ]; then
        PXR9_JACK_PID=$(pgrep -P "$PXR9_JACK_PID" -x jackd) || up=0
    fi
    flock -u "$lock"
    exec {lock}>&-
    if [ "$up" != 1 ]; then
        echo "error: the JACK server '$name' did not start" >&2
        cat "$log" >&2 || true
        kill -TERM "$PXR9_JACK_PID" 2>/dev/null || true
        return 1
    fi
}

# pxr9_jack_scheduling: the scheduling option for jackd. Realtime where this user may have it,
# as on a desktop set up for audio: the server's cycle and every client's process callback
# then keep their turn on a busy machine. Without it, forty clients on a loaded machine each
# wait their turn behind the load every cycle, and a port's connection can take longer than
# its bound. PXR9_JACK_REALTIME=0 forces the plain scheduler.
pxr9_jack_scheduling() {
    if [ "${PXR9_JACK_REALTIME:-1}" = 1 ] && chrt -f 1 true 2>/dev/null; then
        echo --realtime
    else
        echo --no-realtime
    fi
}

# pxr9_reclaim_jack_registry: JACK keeps one registry of servers for the whole machine, eight
# entries at most. A server that was killed or crashed keeps its entry, and a ninth server
# fails with "Too many servers already active"; only a server of the dead one's name frees
# the entry. So for every entry whose process is gone, one is started and stopped cleanly.
# Called with the start lock held.
pxr9_reclaim_jack_registry() {
    local registry=/dev/shm/jack-shm-registry i pid name
    [ -r "$registry" ] || return 0
    for i in 0 1 2 3 4 5 6 7; do
        # Entry i: the server's pid (4 bytes) and "jack-UID:NAME:" after a 24-byte header.
        pid=$(od -A n -t d4 -j $((24 + i * 264)) -N 4 "$registry" | tr -d ' ')
        [ "${pid:-0}" -gt 0 ] && [ ! -d "/proc/$pid" ] || continue
        name=$(dd if="$registry" bs=1 skip=$((28 + i * 264)) count=257 2>/dev/null | tr -d '\0')
        name=${name#*:}
        name=${name%:}
        [ -n "$name" ] || continue
        jackd --no-realtime -n "$name" -d dummy -r 48000 -p 1024 </dev/null >/dev/null 2>&1 &
        local reclaimer=$!
        jack_wait -s "$name" -w -t 120 >/dev/null 2>&1 || true
        kill -TERM "$reclaimer" 2>/dev/null || true
        wait "$reclaimer" 2>/dev/null || true
    done
}

# pxr9_end_jack PID ALIVE_LOCK: stops a server started with an alive lock by another process
# and returns once it has ended.
pxr9_end_jack() {
    local pid=$1 alive=$2
    kill -TERM "$pid" 2>/dev/null || true
    if ! flock -w 30 "$alive" true; then
        kill -KILL "$pid" 2>/dev/null || true
        flock -w 30 "$alive" true
    fi
}

# pxr9_start_sim BUILD_DIR OUTPUT_FILE [pxr9-sim options...]: a simulated device; returns
# once it has printed its ready line. Its pid is in PXR9_SIM_PID. The bound only catches a
# device that never comes up: a sanitizer build on a loaded machine takes over 20 s now and then.
pxr9_start_sim() {
    local build=$1 out=$2
    shift 2
    "$build/tools/sim/pxr9-sim" "$@" >"$out" 2>&1 &
    PXR9_SIM_PID=$!
    PXR9_STARTED_PIDS+=($PXR9_SIM_PID)
    local i
    for i in $(seq 1200); do
        grep -q '^ready:' "$out" 2>/dev/null && return 0
        kill -0 "$PXR9_SIM_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "error: pxr9-sim did not come up" >&2
    cat "$out" >&2
    return 1
}

# pxr9_stop PID: ends one started process (SIGTERM, so a simulated device writes its report).
pxr9_stop() {
    kill -TERM "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

pxr9_stop_all() {
    local i
    for ((i = ${#PXR9_STARTED_PIDS[@]} - 1; i >= 0; i--)); do
        pxr9_stop "${PXR9_STARTED_PIDS[$i]}"
    done
    PXR9_STARTED_PIDS=()
}

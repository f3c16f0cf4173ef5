# Helpers of the scale checks: what a simulated device's report says about its flash, and
# which JACK ports are left. Sourced after scripts/jack-env.sh.

# region_lines REPORT: one line per flash region: name size sha256 expected-sha256 matches
region_lines() {
    sed -nE 's/^ *"([a-z]+)": \{"start": "[^"]*", "size": ([0-9]+), "sha256": "([0-9a-f]+)", "expectedSha256": "?([0-9a-f]+|null)"?, "matchesUpdate": (true|false)\}.*/\1 \2 \3 \4 \5/p' "$1"
}

declare -A PXR9_ERASED_SHA=()
erased_sha() {
    local size=$1
    if [ -z "${PXR9_ERASED_SHA[$size]:-}" ]; then
        PXR9_ERASED_SHA[$size]=$(head -c "$size" /dev/zero | tr '\0' '\377' | sha256sum | cut -d' ' -f1)
    fi
    echo "${PXR9_ERASED_SHA[$size]}"
}

# flash_state REPORT INITIAL_REPORT: "untouched", "updated" (every region as an update leaves
# it), or the regions that differ from the start, e.g. "preset partial, version erased".
flash_state() {
    local report=$1 initial=$2
    [ -s "$report" ] || { echo "no report"; return; }
    declare -A start=() meant=()
    local name size sha expected matches
    while read -r name size sha expected matches; do
        start[$name]=$sha
        meant[$name]=$expected
    done < <(region_lines "$initial")
    local all_match=1 all_untouched=1 changed=()
    while read -r name size sha expected matches; do
        [ "$matches" = true ] || all_match=0
        [ "$sha" = "${start[$name]:-}" ] && continue
        all_untouched=0
        if [ "$sha" = "$(erased_sha "$size")" ]; then
            changed+=("$name erased")
        elif [ "$matches" = true ]; then
            changed+=("$name written")
        elif [ "${meant[$name]}" = "${start[$name]}" ]; then
            changed+=("$name changed")  # an update leaves this region alone
        else
            changed+=("$name partial")
        fi
    done < <(region_lines "$report")
    if [ "$all_untouched" = 1 ]; then
        echo "untouched"
    elif [ "$all_match" = 1 ]; then
        echo "updated"
    else
        local IFS=,
        echo "${changed[*]}" | sed 's/,/, /g'
    fi
}

# verified REPORT: every region as a finished update leaves it, the gap untouched.
verified() {
    [ -s "$1" ] && [ "$(region_lines "$1" | grep -c ' true$')" -eq 6 ]
}

# request_counts REPORT: the line of request counts.
request_counts() {
    grep -o '"requests": {[^}]*}' "$1" 2>/dev/null || echo "no report"
}

# foreign_ports: JACK ports that belong neither to the server nor to a simulated device.
foreign_ports() {
    jack_lsp 2>/dev/null | grep -v -e '^system:' -e '^pxr9-sim-' || true
}

# run_bounded SECONDS OUT ERR RC -- command...: runs the command; if it has not ended by
# itself after SECONDS it is killed and RC holds "killed".
run_bounded() {
    local limit=$1 out=$2 err=$3 rcfile=$4
    shift 5
    local rc=0
    timeout -s KILL "$limit" "$@" >"$out" 2>"$err" || rc=$?
    if [ "$rc" -eq 137 ]; then echo killed >"$rcfile"; else echo "$rc" >"$rcfile"; fi
}

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }

#!/usr/bin/env bash
# Bounded fuzz run: builds the libFuzzer targets in build-fuzz (clang), runs each one for the
# given number of seconds (default 20) on a copy of its seed corpus, prints how many inputs it
# ran, and fails when any target finds a crash, a hang or a broken invariant.
#   scripts/fuzz.sh [seconds-per-target]
set -euo pipefail

seconds="${1:-20}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [seconds-per-target]" >&2
    exit 2
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
targets=(fuzz_device_input fuzz_unpack_crc fuzz_sim_parser)

work="$(mktemp -d "${TMPDIR:-/tmp}/pxr9-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Quiet unless the build fails.
if ! { CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DPXR9_BUILD_FUZZ=ON \
        -DPXR9_BUILD_APP=OFF -DPXR9_BUILD_BENCH=OFF &&
        ninja -C "$build" "${targets[@]}"; } >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log"
    echo "fuzz build failed" >&2
    exit 1
fi

failed=0
for target in "${targets[@]}"; do
    mkdir -p "$work/$target"
    # The fuzzer adds to its corpus folder: give it a copy, never the seeds themselves.
    cp -r "$build/fuzz/corpus/$target" "$work/$target/corpus"
    log="$work/$target/log"
    status=0
    # A Write Block of the largest length is 18,742 bytes; several 8192-byte returns fit too.
    "$build/fuzz/$target" "$work/$target/corpus" \
        -max_total_time="$seconds" -max_len=32768 -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$work/$target/" >"$log" 2>&1 || status=$?
    executed="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
    if [[ $status -eq 0 ]]; then
        echo "$target: ${executed:-?} inputs, no finding"
    else
        failed=1
        echo "$target: FAILED (exit $status) after ${executed:-?} inputs"
        grep -E 'ERROR|SUMMARY|check failed|runtime error' "$log" | head -n 20 || true
        keep="$build/fuzz/findings/$target"
        mkdir -p "$keep"
        cp "$work/$target"/crash-* "$work/$target"/timeout-* "$work/$target"/oom-* \
            "$work/$target"/leak-* "$keep/" 2>/dev/null || true
        cp "$log" "$keep/log"
        echo "  inputs and log kept in $keep"
    fi
done
exit $failed

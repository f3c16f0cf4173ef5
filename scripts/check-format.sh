#!/usr/bin/env bash
# Fails, naming the files, when a C++ source differs from what .clang-format makes of it.
# `--fix` rewrites them instead. One version of the formatter, as layouts differ between them.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(--dry-run --Werror)
[ "${1:-}" = --fix ] && mode=(-i)
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
    mapfile -t files < <(find . \( -name 'build*' -o -name .git -o -name debian \) -prune -o \
        \( -name '*.cpp' -o -name '*.h' \) -print)
fi
clang-format-14 "${mode[@]}" "${files[@]}"

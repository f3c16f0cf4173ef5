#!/usr/bin/env bash
# Builds the Debian package from a copy of the source tree, checks it (lintian,
# desktop-file-validate, appstreamcli), unpacks it into a throwaway root and runs pxr9-cli
# from there against the installed pxr9-sim over a private JACK dummy server.
# Usage: package_test.sh SOURCE_DIR
set -euo pipefail
source=$1
source "$source/scripts/jack-env.sh"
pxr9_begin_run

fail() {
    echo "FAILED: $*" >&2
    for f in "$work"/*.log "$work"/*.out "$work"/*.err; do
        [ -f "$f" ] && { echo "--- $f" >&2; tail -n 60 "$f" >&2; }
    done
    exit 1
}

# The tree as git sees it, uncommitted changes included but not ignored files (build folders).
mkdir "$work/src"
if git -C "$source" rev-parse --git-dir >/dev/null 2>&1; then
    git -C "$source" ls-files -z --cached --others --exclude-standard |
        tar -C "$source" --null --ignore-failed-read -T - -cf - 2>/dev/null |
        tar -C "$work/src" -xf -
else
    tar -C "$source" --exclude='./build*' -cf - . | tar -C "$work/src" -xf -
fi

start=$(date +%s)
(cd "$work/src" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -us -uc) \
    >"$work/dpkg-buildpackage.log" 2>&1 || fail "dpkg-buildpackage failed"
echo "package built in $(($(date +%s) - start)) s"
changes=$(ls "$work"/pxr9-updater_*.changes)
deb=$(ls "$work"/pxr9-updater_*.deb)

# Warnings count as failures too: the ones kept are overridden, with the reason, in debian/.
lintian --fail-on error,warning --display-info --show-overrides "$changes" \
    >"$work/lintian.log" 2>&1 || fail "lintian found errors or warnings"
echo "lintian:"
sed 's/^/  /' "$work/lintian.log"

root=$work/root
dpkg -x "$deb" "$root"
desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop entry"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "metainfo"
icon=$(sed -n 's/^Icon=//p' "$root"/usr/share/applications/*.desktop)
for size in 16 22 24 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png
    file "$png" | grep -q "PNG image data, $size x $size" || fail "icon $png"
done
for page in pxr9-cli pxr9-sim pxr9-updater; do
    [ -s "$root/usr/share/man/man1/$page.1.gz" ] || fail "no manual page for $page"
done
completion=$root/usr/share/bash-completion/completions/pxr9-cli
words=$(bash -c 'source "$1"; COMP_WORDS=(pxr9-cli update --v); COMP_CWORD=2; _pxr9_cli
                 echo "${COMPREPLY[*]}"' - "$completion") || fail "bash completion"
[ "$words" = "--verify" ] || fail "bash completion offers \"$words\" for update --v"

# Everything below runs the installed files; the programs link only system libraries.
cli=$root/usr/bin/pxr9-cli
"$cli" --help >"$work/help.out" || fail "pxr9-cli --help exited $?"
grep -q '^usage: pxr9-cli' "$work/help.out" || fail "no usage text"

pxr9_start_jack "pxr9-package-$$" 64
"$root/usr/bin/pxr9-sim" --instant --boot-stamp 0.90 --report "$work/report.json" \
    >"$work/sim.out" 2>&1 &
sim=$!
PXR9_STARTED_PIDS+=("$sim")
for _ in $(seq 600); do
    grep -q "^ready:" "$work/sim.out" && break
    kill -0 "$sim" 2>/dev/null || fail "the installed pxr9-sim did not come up"
    sleep 0.1
done
grep -q "^ready:" "$work/sim.out" || fail "the installed pxr9-sim did not come up"

"$cli" update --json >"$work/update.out" 2>"$work/update.err" || fail "update exited $?"
python3 - "$work/update.out" <<'PY' || fail "unexpected JSON result"
import json, sys
with open(sys.argv[1]) as f:
    r = json.load(f)
assert r["command"] == "update" and r["outcome"] == "success" and r["exitCode"] == 0, r
assert r["message"] == "Version update completed.", r
assert r["ports"]["in"]["name"] == r["ports"]["out"]["name"] == "KEVO PXR-9", r
assert r["stamps"]["before"]["boot"] == "0.90", r
assert r["stamps"]["after"] == r["stamps"]["carried"], r
PY
pxr9_stop "$sim"
grep -q '"boot": "1.00"' "$work/report.json" || fail "the device's boot stamp was not written"
echo "passed: package"

#!/usr/bin/env bash
# debian/control's Build-Depends and the packages ./run builds with are the same set: a
# library added to one and forgotten in the other breaks either the package build or ./run on
# a fresh machine. debhelper-compat is the package build's own and comes with ./test's set.
# Usage: build_depends_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
source "$source_dir/scripts/ensure-packages.sh"

# The names in Build-Depends, without versions, one a line.
declared=$(awk '/^Build-Depends:/ { on = 1; sub(/^Build-Depends:/, ""); print; next }
                 on && /^[ \t]/ { print; next } { on = 0 }' "$source_dir/debian/control" |
    tr ',' '\n' | sed -e 's/([^)]*)//g' -e 's/\[[^]]*\]//g' | awk 'NF { print $1 }' |
    grep -vx 'debhelper-compat' | sort)
# The packages of the role "build" in ./run's list.
listed=$(sed -e 's/#.*//' "$source_dir/scripts/packages-run.txt" | awk '$2 == "build" { print $1 }' | sort)

status=0
if [ -z "$listed" ] || [ -z "$declared" ]; then
    echo "FAILED: found no build packages (listed: '$listed', declared: '$declared')" >&2
    exit 1
fi
only_control=$(comm -23 <(echo "$declared") <(echo "$listed"))
only_run=$(comm -13 <(echo "$declared") <(echo "$listed"))
if [ -n "$only_control" ]; then
    echo "FAILED: in Build-Depends but not built with by ./run (scripts/packages-run.txt): $only_control" >&2
    status=1
fi
if [ -n "$only_run" ]; then
    echo "FAILED: built with by ./run but missing from Build-Depends (debian/control): $only_run" >&2
    status=1
fi
# The package build needs debhelper, which only ./test installs.
if ! pxr9_package_list "$source_dir/scripts/packages-test.txt" | grep -qx debhelper; then
    echo "FAILED: debhelper (for debhelper-compat) is in neither list" >&2
    status=1
fi
# No package is in both sets: ./run's set is the one a new user waits for.
both=$(comm -12 <(pxr9_package_list "$source_dir/scripts/packages-run.txt" | sort) \
    <(pxr9_package_list "$source_dir/scripts/packages-test.txt" | sort))
if [ -n "$both" ]; then
    echo "FAILED: listed for ./run and again for ./test: $both" >&2
    status=1
fi
[ "$status" = 0 ] && echo "Build-Depends and ./run's build packages agree: $(echo $listed)"
exit "$status"

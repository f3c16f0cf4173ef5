# Installs the Debian packages a command needs when any is missing (Debian 12).
# Sourced by ./run and ./test: `pxr9_ensure_packages run` takes scripts/packages-run.txt,
# `pxr9_ensure_packages test` that and scripts/packages-test.txt.

PXR9_PACKAGE_LISTS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# pxr9_package_list FILE: the package names of a list, without comments and roles.
pxr9_package_list() {
    sed -e 's/#.*//' "$1" | awk 'NF { print $1 }'
}

pxr9_ensure_packages() {
    local set=${1:-test}
    local lists=("$PXR9_PACKAGE_LISTS/packages-run.txt")
    case "$set" in
        run) ;;
        test) lists+=("$PXR9_PACKAGE_LISTS/packages-test.txt") ;;
        *) echo "error: pxr9_ensure_packages takes run or test, not '$set'" >&2; return 2 ;;
    esac
    local missing=()
    local pkg
    for pkg in $(for list in "${lists[@]}"; do pxr9_package_list "$list"; done); do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null; then
            sudo="sudo"
        else
            echo "error: missing packages (${missing[*]}); run as root to install them" >&2
            return 1
        fi
    fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# Configures and builds one build folder: pxr9_build DIR [cmake options...]
pxr9_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir"
}

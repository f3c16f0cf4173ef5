# Installs the Debian packages the project needs when any is missing (Debian 12).
# Sourced by ./run and ./test.

PXR9_PACKAGES=(
    cmake ninja-build g++ pkg-config time util-linux
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-qpa-plugins
    libasound2-dev libjack-jackd2-dev jackd2
    xvfb xauth x11-utils stress-ng
    clang libclang-rt-14-dev clang-format-14
    dpkg-dev debhelper fakeroot lintian desktop-file-utils appstream file python3
    qemu-system-x86 busybox-static cpio kmod alsa-utils
)

pxr9_ensure_packages() {
    local missing=()
    local pkg
    for pkg in "${PXR9_PACKAGES[@]}"; do
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

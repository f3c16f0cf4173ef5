# The distribution's own kernel for the test guest, and the modules the guest loads.
# Sourced by vm_run.sh.

# Modules the guest loads, in this order, each with its dependencies first. Two dummy
# controllers, so that two gadgets can stand for two identical devices.
PXR9_VM_MODULES=(
    virtio_pci 9pnet_virtio 9p
    "dummy_hcd num=2" libcomposite usb_f_midi
    snd-seq snd-seq-midi snd-usb-audio
)

# pxr9_vm_kernel CACHE_DIR: unpacks the image package behind linux-image-amd64 into
# CACHE_DIR/VERSION (once per version) and sets PXR9_KERNEL_TREE and PXR9_KERNEL_VERSION.
pxr9_vm_kernel() {
    local cache=$1 package lock
    mkdir -p "$cache"
    # One run at a time unpacks; the others wait and find it done.
    exec {lock}>"$cache/.lock"
    flock "$lock"
    package=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | head -1)
    if [ -z "$package" ]; then
        # The package lists may be missing on a fresh machine; a kernel already unpacked
        # serves when they cannot be had.
        apt-get update -q >/dev/null 2>&1 || true
        package=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | head -1)
    fi
    if [ -z "$package" ]; then
        PXR9_KERNEL_TREE=$(ls -d "$cache"/linux-image-*/ 2>/dev/null | tail -1)
        [ -n "$PXR9_KERNEL_TREE" ] || { echo "error: no kernel package found (apt-cache depends linux-image-amd64)" >&2; return 1; }
        PXR9_KERNEL_TREE=${PXR9_KERNEL_TREE%/}
    else
        local version
        version=$(apt-cache policy "$package" | sed -n 's/^ *Candidate: //p')
        PXR9_KERNEL_TREE=$cache/$package-$version
    fi
    if [ ! -e "$PXR9_KERNEL_TREE/.complete" ]; then
        local download
        download=$(mktemp -d)
        (cd "$download" && apt-get download -q -o APT::Sandbox::User=root "$package" >/dev/null) || {
            rm -rf "$download"
            echo "error: apt-get download $package failed" >&2
            return 1
        }
        rm -rf "$PXR9_KERNEL_TREE"
        mkdir -p "$PXR9_KERNEL_TREE"
        dpkg-deb -x "$download"/*.deb "$PXR9_KERNEL_TREE"
        rm -rf "$download"
        PXR9_KERNEL_VERSION=$(ls "$PXR9_KERNEL_TREE/lib/modules")
        # The package leaves modules.dep to its install script; the tree needs it for modprobe.
        depmod -b "$PXR9_KERNEL_TREE" "$PXR9_KERNEL_VERSION"
        touch "$PXR9_KERNEL_TREE/.complete"
    fi
    PXR9_KERNEL_VERSION=$(ls "$PXR9_KERNEL_TREE/lib/modules")
    exec {lock}>&-
}

# pxr9_vm_module_list: "FILE [OPTIONS]" per line, every module of PXR9_VM_MODULES with its
# dependencies, each once, in loading order.
pxr9_vm_module_list() {
    local entry
    for entry in "${PXR9_VM_MODULES[@]}"; do
        # shellcheck disable=SC2086  # the entry is a module name and its options
        modprobe -d "$PXR9_KERNEL_TREE" -S "$PXR9_KERNEL_VERSION" --show-depends $entry ||
            { echo "error: module $entry not in $PXR9_KERNEL_TREE" >&2; return 1; }
    done | sed -n 's/^insmod //p' | awk '!seen[$1]++'
}

# Sourced by setup.sh, check.sh, run.sh and wine-run.sh. Needs $here (the checkout).
#
# The programs are 32-bit. On a kernel that runs no 32-bit code (a paravirtualized guest offers no 32-bit
# code segment: Wine's WoW64 dies in ntdll.so setting up %fs through int 0x80) they run inside a
# full-system emulator on this machine instead: QEMU (TCG) boots Debian's kernel with a small initramfs
# (busybox and the virtio, 9p and virtio-net modules), mounts this machine's root shared over virtio-9p
# and runs one command in it, in this machine's checkout, build folder and Wine, with the machine's cores
# and memory. QUOVANTA_EMULATE=1 takes that way on any machine.

emulation_dir="$here/.cache/emulation"

# 0 where this machine runs 32-bit code; sets emulation_reason to why it takes the emulated way.
machine_runs_32bit_code() {
    local probe="$emulation_dir/probe-32bit"
    if [ ! -x "$probe" ] || [ "$here/scripts/probe-32bit.c" -nt "$probe" ]; then
        mkdir -p "$emulation_dir"
        if ! cc -O2 -o "$probe.$$" "$here/scripts/probe-32bit.c" 2>/dev/null; then
            rm -f "$probe.$$"
            # no compiler yet (before the set-up): nothing is known, so nothing changes
            return 0
        fi
        mv -f "$probe.$$" "$probe"
    fi
    # a subshell, so that the shell's own report of a killed process goes nowhere
    if ( "$probe" ) >/dev/null 2>&1; then
        return 0
    fi
    emulation_reason="this machine cannot run 32-bit code (a 32-bit system call faults)"
    return 1
}

# 0 where the programs run under emulation; emulation_reason says why.
emulation_wanted() {
    if [ "${QUOVANTA_EMULATE:-}" = 1 ]; then
        emulation_reason="QUOVANTA_EMULATE=1"
        return 0
    fi
    ! machine_runs_32bit_code
}

# Says in one line, after NAME, which way the programs run and why; 0 for the emulated way.
report_way() {
    if emulation_wanted; then
        echo "$1: under emulation, several times slower (QEMU full-system): $emulation_reason"
        return 0
    fi
    echo "$1: natively: this machine runs 32-bit code"
    return 1
}

guest_kernel="$emulation_dir/vmlinuz"
guest_initrd="$emulation_dir/initrd.gz"

# The kernel and its modules come from Debian's package (setup.sh); the initramfs is remade from them
# whenever scripts/guest-init.sh is newer.
guest_kernel_is_made() {
    [ -f "$guest_kernel" ] && [ "$(cat "$emulation_dir/modules/wanted" 2>/dev/null)" = "${guest_modules[*]}" ]
}

guest_is_made() {
    guest_kernel_is_made && [ -f "$guest_initrd" ] && [ ! "$here/scripts/guest-init.sh" -nt "$guest_initrd" ]
}

# The modules that mount the share, carry a forwarded display and make the interface of the default
# route (scripts/guest-init.sh).
guest_modules=(virtio_pci 9pnet_virtio 9p virtio_net dummy)

# Makes the guest's kernel and initramfs from Debian's packages once (setup.sh, as root); later calls
# find them and return. The kernel package is unpacked into the cache, never installed as this
# machine's kernel.
guest_make() {
    mkdir -p "$emulation_dir"
    local packages=(qemu-system-x86 busybox-static socat) missing=() p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "setup: installing ${missing[*]} (the emulator)"
        apt-cache show "${missing[@]}" >/dev/null 2>&1 || apt-get update -qq || return 1
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
            --no-install-recommends "${missing[@]}" > "$emulation_dir/apt.log" 2>&1 || {
            tail -n 20 "$emulation_dir/apt.log" >&2
            return 1
        }
    fi
    local modules="$emulation_dir/modules"
    if ! guest_kernel_is_made; then
        echo "setup: fetching Debian's kernel for the emulator"
        local package kernel_dir="$emulation_dir/kernel"
        package=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | head -n 1)
        if [ -z "$package" ]; then
            apt-get update -qq || return 1
            package=$(apt-cache depends linux-image-amd64 | sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | head -n 1)
        fi
        [ -n "$package" ] || { echo "setup: no kernel package behind linux-image-amd64" >&2; return 1; }
        rm -rf "$emulation_dir/debs" "$kernel_dir" "$modules"
        mkdir -p "$emulation_dir/debs" "$modules"
        (cd "$emulation_dir/debs" && apt-get download -qq "$package" > "$emulation_dir/download.log" 2>&1) || {
            cat "$emulation_dir/download.log" >&2
            return 1
        }
        dpkg -x "$emulation_dir"/debs/"$package"_*.deb "$kernel_dir" || return 1
        # Only the modules the guest loads are kept, each after the ones it needs.
        local f name order=()
        declare -A module_file=() taken=()
        while IFS= read -r f; do
            name=$(basename "$f" .ko)
            module_file[${name//-/_}]=$f
        done < <(find "$kernel_dir/lib/modules" -name '*.ko')
        take_module() {
            local m=${1//-/_} dep
            [ -n "${taken[$m]:-}" ] && return 0
            [ -n "${module_file[$m]:-}" ] || { echo "setup: the kernel package has no module $m" >&2; return 1; }
            taken[$m]=1
            for dep in $(tr '\0' '\n' < "${module_file[$m]}" | sed -n 's/^depends=//p' | tr ',' ' '); do
                take_module "$dep" || return 1
            done
            cp "${module_file[$m]}" "$modules/$m.ko"
            order+=("$m")
        }
        for name in "${guest_modules[@]}"; do
            take_module "$name" || return 1
        done
        printf '%s\n' "${order[@]}" > "$modules/order.$$"
        cp "$kernel_dir"/boot/vmlinuz-* "$guest_kernel.$$" && mv -f "$guest_kernel.$$" "$guest_kernel"
        mv -f "$modules/order.$$" "$modules/order"
        echo "${guest_modules[*]}" > "$modules/wanted"
        rm -rf "$emulation_dir/debs" "$kernel_dir"
    fi

    if ! guest_is_made; then
        guest_initrd_make || return 1
        echo "setup: the emulator's guest is ready"
    fi
}

# The initramfs: busybox, /init and the modules.
guest_initrd_make() {
    local stage="$emulation_dir/initrd.$$" modules="$emulation_dir/modules"
    rm -rf "$stage"
    mkdir -p "$stage/bin" "$stage/lib"
    cp /bin/busybox "$stage/bin/busybox"
    cp "$here/scripts/guest-init.sh" "$stage/init"
    chmod 755 "$stage/init"
    cp "$modules"/*.ko "$stage/lib/"
    cp "$modules/order" "$stage/modules.order"
    (cd "$stage" && find . | busybox cpio -o -H newc 2>/dev/null) | gzip -9 > "$guest_initrd.$$" || return 1
    mv -f "$guest_initrd.$$" "$guest_initrd"
    rm -rf "$stage"
}

# Runs one command inside the guest, in the current folder, with this shell's PATH, HOME, WINEDEBUG and
# QUOVANTA_* variables and QUOVANTA_IN_GUEST=1; returns the command's exit status. Its output comes on the
# guest's console (this process's output). With guest_display set to a display number of this machine,
# that display is forwarded into the guest under the same number (for the main job).
guest_display=
guest_run() {
    if ! guest_kernel_is_made || [ ! -x /bin/busybox ] || ! command -v qemu-system-x86_64 >/dev/null; then
        echo "emulation: the emulator's guest is not made yet: run scripts/setup.sh" >&2
        return 1
    fi
    guest_is_made || guest_initrd_make || return 1
    local dir; dir=$(mktemp -d /tmp/quovanta-guest.XXXXXX)
    {
        printf 'cd %q || exit 1\n' "$PWD"
        printf 'export HOME=%q PATH=%q QUOVANTA_IN_GUEST=1\n' "$HOME" "$PATH"
        export -p | grep -E '^declare -x (QUOVANTA_|WINEDEBUG=)' || true
        # an X authority cookie is looked up by host name
        printf 'hostname %q\n' "$(hostname)"
        if [ -n "$guest_display" ]; then
            printf 'socat UNIX-LISTEN:/tmp/.X11-unix/X%s,fork,mode=777 TCP:192.0.2.100:6000 &\n' "$guest_display"
            printf 'export DISPLAY=:%s\n' "$guest_display"
        fi
        printf '%q ' "$@"
        printf '\necho $? > %q\n' "$dir/rc"
    } > "$dir/command.sh"
    local cpus memory network=(-nic none) rc=0
    cpus=$(nproc)
    # what the machine has free, less a margin for this machine's own processes
    memory=$(awk '/^MemAvailable:/ { m = int($2 / 1024) - 1024; print (m < 2048 ? 2048 : m) }' /proc/meminfo)
    if [ -n "$guest_display" ]; then
        # a user-mode network closed to everything but one forward: each connection to 192.0.2.100:6000
        # in the guest becomes a connection to this machine's display socket
        network=(-netdev "user,id=display,restrict=on,net=192.0.2.0/24,guestfwd=tcp:192.0.2.100:6000-cmd:socat - UNIX-CONNECT:/tmp/.X11-unix/X$guest_display"
                 -device virtio-net-pci,netdev=display)
    fi
    # la57=off: else Wine's address space is 56-bit; smap=off: with SMAP, QEMU 7.2 faults Wine's iretq
    # back to 32-bit code as a supervisor access and the guest's kernel oopses
    qemu-system-x86_64 -nodefaults -no-user-config -accel tcg,thread=multi -cpu max,la57=off,smap=off \
        -smp "$cpus" -m "$memory" -display none -monitor none -serial stdio -no-reboot "${network[@]}" \
        -kernel "$guest_kernel" -initrd "$guest_initrd" \
        -fsdev local,id=root,path=/,security_model=passthrough,multidevs=remap \
        -device virtio-9p-pci,fsdev=root,mount_tag=hostroot \
        -append "console=ttyS0 ${QUOVANTA_GUEST_KERNEL_ARGS-quiet} panic=-1 quovanta.command=$dir/command.sh" </dev/null || rc=$?
    if [ $rc -eq 0 ] && [ -f "$dir/rc" ]; then
        rc=$(cat "$dir/rc")
    else
        echo "emulation: the guest ended without finishing its command (emulator exit $rc)" >&2
        rc=1
    fi
    rm -rf "$dir"
    return "$rc"
}

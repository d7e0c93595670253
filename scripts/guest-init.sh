#!/bin/busybox sh
# /init of the emulator's guest (scripts/emulation.sh puts it into the initramfs with busybox and the
# modules listed in /modules.order). It mounts this machine's root, shared over virtio-9p, runs the
# command file named by quovanta.command= on the kernel command line in a chroot and powers off.
/bin/busybox mkdir -p /usr/bin /sbin /usr/sbin /proc /sys /dev /newroot
/bin/busybox --install -s
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in $(cat /modules.order); do
    insmod "/lib/$m.ko" || echo "guest: loading the module $m failed"
done
# The tests talk to 127.0.0.1. WinINet takes a machine without a default route for one without a
# network (InternetGetConnectedState fails, and the updater says "网络连接错误"): the default route goes
# to a dummy interface, where anything sent to it ends. eth0 is there only when a display is forwarded
# (scripts/emulation.sh).
ip link set lo up
ip addr add 127.0.0.1/8 dev lo 2>/dev/null
# (loading the module makes dummy0 already)
[ -e /sys/class/net/dummy0 ] || ip link add dummy0 type dummy
ip addr add 198.51.100.15/24 dev dummy0
ip link set dummy0 up
ip route add default via 198.51.100.1 dev dummy0
if [ -e /sys/class/net/eth0 ]; then
    ip addr add 192.0.2.15/24 dev eth0
    ip link set eth0 up
fi
# cache=loose: without it a read returns at most msize bytes, and Wine takes a short read of an image
# section for the whole (code past the first half megabyte of .text would run as zero bytes)
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,access=any,cache=loose hostroot /newroot || {
    echo "guest: mounting this machine's root failed"
    poweroff -f
}
mount -t proc proc /newroot/proc
mount -t sysfs sys /newroot/sys
mount -t devtmpfs dev /newroot/dev
mkdir -p /newroot/dev/pts /newroot/dev/shm
mount -t devpts devpts /newroot/dev/pts
mount -t tmpfs tmpfs /newroot/dev/shm
command=$(sed -n 's/.*quovanta\.command=\([^ ]*\).*/\1/p' /proc/cmdline)
# The share holds no sockets or FIFOs, so /tmp and /run are the guest's own (tmpfs): the X server's,
# Wine's and LibreOffice's sockets are made there. The folder of the command file stays this machine's.
mkdir -p /command
mount -o bind "/newroot${command%/*}" /command
mount -t tmpfs tmpfs /newroot/tmp
chmod 1777 /newroot/tmp
mkdir -p "/newroot${command%/*}"
mount -o bind /command "/newroot${command%/*}"
mount -t tmpfs tmpfs /newroot/run
mkdir -p /newroot/tmp/.X11-unix /newroot/tmp/.ICE-unix
chmod 1777 /newroot/tmp/.X11-unix /newroot/tmp/.ICE-unix
# Wine 10 can abort ("free(): invalid pointer") where the user's runtime folder is missing
mkdir -p /newroot/run/user/0
chmod 700 /newroot/run/user/0
# The command's output reaches the console through a pipe, as it would reach a log natively (no colours,
# no terminal), with plain line ends; the command file writes its exit status itself.
stty -onlcr 2>/dev/null
chroot /newroot /bin/bash "$command" </dev/null 2>&1 | cat
sync
echo 0 > /proc/sys/kernel/printk
poweroff -f

#!/usr/bin/env bash
# Builds Wine for this machine into /opt/quovanta-wine (run as root by scripts/setup.sh).
#
# The programs are 32-bit Windows programs. Debian's wine32 runs them in a 32-bit Linux process, which
# needs a kernel that executes i386 binaries; where the kernel does not (as on our build machines), Wine's
# "new WoW64" mode runs 32-bit Windows code inside a 64-bit process. Debian builds no such Wine, so this
# script builds one from Debian's own source package (the same version as its wine package), with
# --enable-archs=i386,x86_64 and without the parts the programs never use.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cache="$here/.cache/wine"
prefix=/opt/quovanta-wine
die() { echo "build-wine: $*" >&2; exit 1; }

[ -x "$prefix/bin/wine" ] && [ -f "$prefix/.quovanta-complete" ] && exit 0

mkdir -p "$cache"
echo "build-wine: building Wine into $prefix (once; about half an hour on 8 cores)"
deps=(dpkg-dev flex bison perl make pkg-config gcc gcc-mingw-w64-x86-64 gcc-mingw-w64-i686
      libx11-dev libxext-dev libxrender-dev libxrandr-dev libxi-dev libxcursor-dev libxcomposite-dev
      libxfixes-dev libxinerama-dev libfreetype-dev libfontconfig-dev unicode-data khronos-api libvulkan-dev libxml-libxml-perl autoconf automake
      icoutils librsvg2-bin imagemagick fontforge-nox libgettextpo-dev gettext)
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${deps[@]}" > "$here/.cache/wine-deps.log" 2>&1 \
    || die "installing the build dependencies of Wine failed"

mkdir -p "$cache"
cd "$cache"
if [ ! -f src/.quovanta-generated ]; then
    rm -rf src
    ls wine_*.dsc >/dev/null 2>&1 || apt-get source -qq --download-only wine/bookworm > "$cache/apt-source.log" 2>&1 \
        || die "apt-get source wine failed (a deb-src entry is needed)"
    dpkg-source -x wine_*.dsc src >/dev/null 2>&1 || die "unpacking the Wine source failed"
    generate() {
        cd src
        # the files Debian's repack leaves out are generated the way Debian's own build does
        ./debian/scripts/generate server/trace.generated make_requests &&
        ./debian/scripts/generate server/request.generated make_requests &&
        ./tools/make_unicode &&
        ./tools/make_requests &&
        (cd dlls/dsound && ./make_fir) &&
        (cd dlls/opengl32 && ./make_opengl) &&
        (cd dlls/winevulkan && ./make_vulkan -x /usr/share/vulkan/registry/vk.xml) &&
        ln -sf /usr/share/misc/config.sub tools &&
        ln -sf /usr/share/misc/config.guess tools &&
        autoreconf -f
    }
    (generate) > "$cache/generate.log" 2>&1 || die "generating Wine's sources failed (see $cache/generate.log)"
    touch src/.quovanta-generated
fi

# Debian links Wine's DLLs against its packaged zlib1.dll, which a WoW64 build cannot find at run time
# (no system DLL path with --enable-archs): build the bundled zlib into them instead
(
    cd src
    if ! grep -q 'WINE_CONFIG_MAKEFILE(libs/zlib)' configure.ac; then
        patch -s -R -p1 < debian/patches/system/zlib.patch && autoreconf -f > "$cache/autoreconf.log" 2>&1 &&
            rm -f Makefile
    fi
) || die "restoring Wine's bundled zlib failed"

# maintainer mode builds the icons and fonts that Debian's repack leaves out, from these sources
# icon sources that Debian's build links in place of the pictures its repack leaves out
(
    cd src
    ln -sf ../../dlls/user32/resources/oic_hand.svg dlls/display.drv16/oic_hand.svg
    ln -sf ../../dlls/user32/resources/oic_bang.svg dlls/comctl32/idi_tt_warn_sm.svg
    ln -sf ../../dlls/user32/resources/oic_note.svg dlls/comctl32/idi_tt_info_sm.svg
    ln -sf ../../dlls/user32/resources/oic_hand.svg dlls/comctl32/idi_tt_error_sm.svg
    ln -sf ../../dlls/shell32/resources/move.svg dlls/comctl32/idi_dragarrow.svg
    ln -sf ../../dlls/shell32/resources/image.svg programs/regedit/bin.svg
    ln -sf ../../dlls/shell32/resources/folder.svg programs/regedit/folder.svg
    ln -sf ../../dlls/shell32/resources/document.svg programs/regedit/string.svg
    ln -sf ../../dlls/shell32/resources/mycomputer.svg programs/regedit/computer.svg
    ln -sf ../../dlls/shell32/resources/folder_open.svg programs/regedit/folderopen.svg
    ln -sf ../../dlls/shell32/resources/window.svg programs/taskmgr/window.svg
    ln -sf ../../dlls/shell32/resources/window.svg programs/taskmgr/windowsm.svg
    ln -sf ../../dlls/shell32/resources/drive.svg dlls/comdlg32/hdisk.svg
    ln -sf ../../dlls/shell32/resources/folder.svg dlls/comdlg32/folder.svg
    ln -sf ../../dlls/shell32/resources/network.svg dlls/comdlg32/network.svg
    ln -sf ../../dlls/shell32/resources/folder_open.svg dlls/comdlg32/folder2.svg
    ln -sf ../../dlls/shell32/resources/disk_drive.svg dlls/comdlg32/floppy.svg
    ln -sf ../../dlls/shell32/resources/optical_drive.svg dlls/comdlg32/cdrom.svg
)
# Debian's version patch includes a generated version.h beside the source (it builds in the tree)
printf '#ifndef wine_build\n#define wine_build "wine-8.0 (quovanta)"\n#endif\n' > src/dlls/ntdll/unix/version.h
# maintainer mode (the icons and fonts above) works only inside the source tree
cd src
if [ ! -f Makefile ]; then
    # maintainer mode turns warnings into errors, which this compiler trips on in code we never change
    ./configure --prefix="$prefix" --enable-archs=i386,x86_64 --disable-tests --enable-maintainer-mode \
        --disable-win16 CFLAGS="-O2 -Wno-error" CROSSCFLAGS="-O2 -Wno-error" \
        --without-alsa --without-pulse --without-gstreamer --without-cups --without-sane --without-v4l2 \
        --without-gphoto --without-pcap --without-usb --without-krb5 --without-netapi --without-opencl \
        --without-vulkan --without-dbus --without-udev --without-capi --without-opengl \
        --without-oss --without-gssapi --without-gnutls --without-osmesa --without-xxf86vm --without-inotify \
        --without-pcsclite --without-sdl --without-unwind --without-ldap --without-coreaudio \
        > "$cache/configure.log" 2>&1 || die "configuring Wine failed (see $cache/configure.log)"
fi
# the generated headers first: a parallel build can otherwise compile a bundled library (libs/jxr)
# before them, against the compiler's own headers; and retry once
make -j"$(nproc)" include/all > "$cache/make.log" 2>&1 || die "generating Wine's headers failed (see $cache/make.log)"
make -j"$(nproc)" >> "$cache/make.log" 2>&1 || make -j"$(nproc)" >> "$cache/make.log" 2>&1 || die "building Wine failed (see $cache/make.log)"
make install > "$cache/install.log" 2>&1 || die "installing Wine failed (see $cache/install.log)"
touch "$prefix/.quovanta-complete"

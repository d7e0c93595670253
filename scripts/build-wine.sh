#!/usr/bin/env bash
# Builds Wine for this machine into /opt/quovanta-wine10 (run as root by scripts/setup.sh).
#
# The programs are 32-bit Windows programs. Debian's wine32 runs them in a 32-bit Linux process, which
# needs a kernel that executes i386 binaries; where the kernel does not (as on our build machines), Wine's
# WoW64 mode runs 32-bit Windows code inside a 64-bit process. Debian builds no such Wine, so this script
# builds one from Debian's own source package, with --enable-archs=i386,x86_64 and without the parts the
# programs never use. It takes Wine 10.0 (Debian 13's): the WoW64 mode of Debian 12's Wine 8.0 is still
# experimental there (no 32-bit drawing, ANSI window texts passed as UTF-8).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cache="$here/.cache/wine10"
prefix=${QUOVANTA_WINE_PREFIX_DIR:-/opt/quovanta-wine10}
suite=trixie
die() { echo "build-wine: $*" >&2; exit 1; }

[ -x "$prefix/bin/wine" ] && [ -f "$prefix/.quovanta-complete" ] && exit 0

mkdir -p "$cache"
echo "build-wine: building Wine into $prefix (once; about twenty minutes on 8 cores)"

# Debian 13's sources (and, for the Unicode tables that Wine 10 generates, two of its data packages)
# next to Debian 12's: a source entry, and a binary entry pinned so that nothing is ever taken from it
# unless asked for by name.
if [ ! -f /etc/apt/sources.list.d/quovanta-trixie.sources ]; then
    cat > /etc/apt/sources.list.d/quovanta-trixie.sources <<'SRC'
Types: deb deb-src
URIs: http://deb.debian.org/debian
Suites: trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    printf 'Package: *\nPin: release n=trixie\nPin-Priority: -10\n' > /etc/apt/preferences.d/quovanta-trixie
    apt-get update -qq || die "apt-get update failed"
fi

deps=(dpkg-dev flex bison perl make pkg-config gcc gcc-mingw-w64-x86-64 gcc-mingw-w64-i686
      libx11-dev libxext-dev libxrender-dev libxrandr-dev libxi-dev libxcursor-dev libxcomposite-dev
      libxfixes-dev libxinerama-dev libfreetype-dev libfontconfig-dev unicode-data khronos-api libvulkan-dev
      libxml-libxml-perl autoconf automake icoutils librsvg2-bin imagemagick fontforge-nox libgettextpo-dev
      gettext)
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${deps[@]}" \
    > "$cache/deps.log" 2>&1 || die "installing the build dependencies of Wine failed (see $cache/deps.log)"
# Unicode 16 IDNA table and CLDR 46, data only (Debian 12 has older ones)
for p in unicode-idna unicode-cldr-core; do
    dpkg-query -W -f='${Version}' "$p" 2>/dev/null | grep -qE '^(16|46)' ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p/$suite" \
            >> "$cache/deps.log" 2>&1 || die "installing $p from $suite failed"
done

cd "$cache"
# the Vulkan registry that Wine 10's thunks are generated from (newer than Debian 12's), data only
vkreg="$cache/vulkan/usr/share/vulkan/registry"
if [ ! -f "$vkreg/vk.xml" ]; then
    (mkdir -p debs && cd debs && apt-get download -qq "libvulkan-dev/$suite" > "$cache/apt-vulkan.log" 2>&1) \
        || die "fetching the Vulkan registry from $suite failed"
    dpkg -x debs/libvulkan-dev_*.deb "$cache/vulkan" || die "unpacking the Vulkan registry failed"
fi
if [ ! -f src/.quovanta-generated ]; then
    rm -rf src
    ls wine_10*.dsc >/dev/null 2>&1 || apt-get source -qq --download-only "wine/$suite" > "$cache/apt-source.log" 2>&1 \
        || die "apt-get source wine failed"
    dpkg-source -x wine_10*.dsc src >/dev/null 2>&1 || die "unpacking the Wine source failed"
    generate() {
        cd src
        # Debian links Wine's DLLs against its packaged zlib1.dll, which a WoW64 build cannot find at
        # run time: build the bundled zlib into them instead
        patch -s -R -p1 < debian/patches/system/zlib.patch
        # the files Debian's repack leaves out are generated the way Debian's own build does
        ./tools/make_unicode &&
        ./tools/make_requests &&
        ./tools/make_specfiles &&
        (cd dlls/dsound && ./make_fir) &&
        (cd dlls/opengl32 && ./make_opengl) &&
        (cd dlls/winevulkan && ./make_vulkan -x "$vkreg/vk.xml" -X "$vkreg/video.xml") &&
        ln -sf /usr/share/misc/config.sub tools &&
        ln -sf /usr/share/misc/config.guess tools &&
        ln -sf ../../dlls/user32/resources/oic_hand.svg dlls/display.drv16/oic_hand.svg &&
        ln -sf ../../dlls/user32/resources/oic_note.svg dlls/comctl32/idi_tt_info_md.svg &&
        ln -sf ../../dlls/user32/resources/oic_note.svg dlls/comctl32/idi_tt_info_sm.svg &&
        ln -sf ../../dlls/user32/resources/oic_bang.svg dlls/comctl32/idi_tt_warn_md.svg &&
        ln -sf ../../dlls/user32/resources/oic_bang.svg dlls/comctl32/idi_tt_warn_sm.svg &&
        ln -sf ../../dlls/user32/resources/oic_hand.svg dlls/comctl32/idi_tt_error_md.svg &&
        ln -sf ../../dlls/user32/resources/oic_hand.svg dlls/comctl32/idi_tt_error_sm.svg &&
        ln -sf ../../dlls/shell32/resources/move.svg dlls/comctl32/idi_dragarrow.svg &&
        ln -sf ../../dlls/shell32/resources/image.svg programs/regedit/bin.svg &&
        ln -sf ../../dlls/shell32/resources/folder.svg programs/regedit/folder.svg &&
        ln -sf ../../dlls/shell32/resources/document.svg programs/regedit/string.svg &&
        ln -sf ../../dlls/shell32/resources/mycomputer.svg programs/regedit/computer.svg &&
        ln -sf ../../dlls/shell32/resources/folder_open.svg programs/regedit/folderopen.svg &&
        ln -sf ../../dlls/shell32/resources/window.svg programs/taskmgr/window.svg &&
        ln -sf ../../dlls/shell32/resources/window.svg programs/taskmgr/windowsm.svg &&
        ln -sf ../../dlls/shell32/resources/drive.svg dlls/comdlg32/hdisk.svg &&
        ln -sf ../../dlls/shell32/resources/folder.svg dlls/comdlg32/folder.svg &&
        ln -sf ../../dlls/shell32/resources/network.svg dlls/comdlg32/network.svg &&
        ln -sf ../../dlls/shell32/resources/folder_open.svg dlls/comdlg32/folder2.svg &&
        ln -sf ../../dlls/shell32/resources/disk_drive.svg dlls/comdlg32/floppy.svg &&
        ln -sf ../../dlls/shell32/resources/optical_drive.svg dlls/comdlg32/cdrom.svg &&
        autoreconf -f
    }
    (generate) > "$cache/generate.log" 2>&1 || die "generating Wine's sources failed (see $cache/generate.log)"
    touch src/.quovanta-generated
fi

# maintainer mode builds the icons and fonts that Debian's repack leaves out; it works only inside the
# source tree, and it turns warnings into errors, which this compiler trips on in code we never change
cd src
if [ ! -f Makefile ]; then
    ./configure --prefix="$prefix" --enable-archs=i386,x86_64 --disable-tests --enable-maintainer-mode \
        --disable-win16 CFLAGS="-O2 -Wno-error" CROSSCFLAGS="-O2 -Wno-error" \
        --without-alsa --without-pulse --without-gstreamer --without-cups --without-sane --without-v4l2 \
        --without-gphoto --without-pcap --without-usb --without-krb5 --without-netapi --without-opencl \
        --without-vulkan --without-dbus --without-udev --without-capi --without-opengl \
        --without-oss --without-gssapi --without-gnutls --without-osmesa --without-xxf86vm --without-inotify \
        --without-pcsclite --without-sdl --without-unwind --without-ldap --without-coreaudio \
        --without-wayland --without-ffmpeg \
        > "$cache/configure.log" 2>&1 || die "configuring Wine failed (see $cache/configure.log)"
fi
# the generated headers first: a parallel build can otherwise compile a bundled library before them,
# against the compiler's own headers; and retry once
make -j"$(nproc)" include/all > "$cache/make.log" 2>&1 || die "generating Wine's headers failed (see $cache/make.log)"
make -j"$(nproc)" >> "$cache/make.log" 2>&1 || make -j"$(nproc)" >> "$cache/make.log" 2>&1 \
    || die "building Wine failed (see $cache/make.log)"
make install > "$cache/install.log" 2>&1 || die "installing Wine failed (see $cache/install.log)"
# Debian's layout puts the locale tables in share/nls; the wineserver looks in share/wine/nls
mkdir -p "$prefix/share/wine" && ln -sfn ../nls "$prefix/share/wine/nls"
touch "$prefix/.quovanta-complete"

#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine (run as root).
# A second run is quick: packages already present and the libjpeg-turbo source already fetched are kept.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cache="$here/.cache"
mkdir -p "$cache"

die() { echo "setup: $*" >&2; exit 1; }

[ "$(id -u)" = 0 ] || die "run as root (apt-get is needed)"

packages=(g++-mingw-w64-i686-posix xvfb xauth libz-mingw-w64-dev cmake googletest
          fonts-wqy-zenhei dpkg-dev x11-utils imagemagick python3 python3-xlrd lame locales unicode-data)
# LibreOffice reads the exported workbooks back (tests/export/read_workbooks.py) and is the
# export benchmark's comparison.
packages+=(libreoffice-calc-nogui)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

need_update=0

# apt-get source needs a deb-src entry; add one beside the existing deb822 or one-line sources.
if ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    cat > /etc/apt/sources.list.d/quovanta-src.sources <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    need_update=1
fi

jpeg_src=$(ls -d "$cache"/libjpeg-turbo-*/ 2>/dev/null | head -n 1 || true)
if [ ${#missing[@]} -gt 0 ] || [ -z "$jpeg_src" ]; then
    need_update=1
fi

if [ $need_update = 1 ]; then
    apt-get update -qq || die "apt-get update failed"
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    for p in "${missing[@]}"; do
        apt-cache show "$p" >/dev/null 2>&1 || die "package $p cannot be had from the configured sources"
    done
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" \
        > "$cache/apt.log" 2>&1 || { tail -n 20 "$cache/apt.log" >&2; die "installing ${missing[*]} failed"; }
fi

if [ -z "$jpeg_src" ]; then
    echo "setup: fetching the libjpeg-turbo source package"
    (cd "$cache" && apt-get source -qq libjpeg-turbo/bookworm > "$cache/apt-source.log" 2>&1) || die "apt-get source libjpeg-turbo failed"
    jpeg_src=$(ls -d "$cache"/libjpeg-turbo-*/ | head -n 1)
fi
# Wine takes its ANSI code page from the locale: zh_CN.UTF-8 gives code page 936.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -qx 'zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null || die "locale-gen failed"
fi
# The Wine that runs 32-bit programs on a 64-bit-only kernel (built once, then kept).
bash "$here/scripts/build-wine.sh" || die "building Wine failed"
# Where this machine runs no 32-bit code, the programs run in a full-system emulator (made once, then kept).
. "$here/scripts/emulation.sh"
if emulation_wanted; then
    guest_make || die "making the emulator's guest failed"
fi
echo "setup: ready (libjpeg-turbo source in ${jpeg_src%/})"

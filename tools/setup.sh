#!/usr/bin/env bash
# Installs everything the build and the tests need, and lets this x86_64 kernel
# run Wine's 32-bit loader through qemu. Safe to run again.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "setup.sh must run as root" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi
backports=/etc/apt/sources.list.d/bookworm-backports.sources
if [ ! -f "$backports" ]; then
    cat > "$backports" <<'SRC'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    need_update=1
fi

packages=(cmake ninja-build g++ libgtest-dev clang libclang-rt-14-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-i686-dev
          wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick locales fonts-noto-cjk
          python3-pefile openssl)
missing=()
for p in "${packages[@]}" qemu-user-static osslsigncode; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ "$need_update" -eq 1 ]; then
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${packages[@]}"
    # qemu 7.2 from bookworm starts a trivial program in ~55 s, qemu 10 in ~0.3 s.
    # osslsigncode: the signing tests were written against 2.9.
    apt-get install -y -q --no-install-recommends -t bookworm-backports qemu-user-static osslsigncode
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$'; then
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen
fi

binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
# Flag F opens the interpreter now, so re-register whenever it points elsewhere.
if [ -e "$binfmt/qemu-i386" ] && ! grep -q '^interpreter /usr/bin/qemu-i386$' "$binfmt/qemu-i386"; then
    echo -1 > "$binfmt/qemu-i386"
fi
if [ ! -e "$binfmt/qemu-i386" ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' > "$binfmt/register"
fi
echo "setup: done"

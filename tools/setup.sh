#!/usr/bin/env bash
# Installs everything the build and the tests need, and lets this x86_64 kernel
# run Wine's 32-bit loader through qemu. Safe to run again.
# Debian's mirrors are often mid-sync (one index a size apart from its Release
# file, or i386 and amd64 lists a point release apart): that must not stop it.
set -Eeuo pipefail
trap 'echo "setup: stopped: \"$BASH_COMMAND\" failed (line $LINENO)" >&2' ERR
[ "$(id -u)" -eq 0 ] || { echo "setup: must run as root" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive
apt_dir=${DBSETUP_APT_DIR:-/etc/apt}        # tests point these elsewhere
binfmt=${DBSETUP_BINFMT_DIR:-/proc/sys/fs/binfmt_misc}
retry_seconds=${DBSETUP_RETRY_SECONDS:-5}
release=bookworm

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi
backports=$apt_dir/sources.list.d/$release-backports.sources
if [ ! -f "$backports" ]; then
    # From the mirror this machine already uses, which may not be Debian's own.
    mirror=$(awk -v r="$release" 'BEGIN { RS = ""; FS = "\n" } {
                 u = ""; s = 0
                 for (i = 1; i <= NF; i++) {
                     if ($i ~ /^URIs:/) { split($i, f, " "); u = f[2] }
                     if ($i ~ /^Suites:/ && (" " $i " ") ~ (" " r " ")) s = 1
                 }
                 if (s && u != "") { print u; exit } }' "$apt_dir"/sources.list.d/*.sources 2>/dev/null || true)
    [ -n "$mirror" ] || mirror=$(awk -v r="$release" '{ sub(/\[[^]]*\]/, "") } $1 == "deb" && $3 == r { print $2; exit }' \
                 "$apt_dir/sources.list" 2>/dev/null || true)
    [ -n "$mirror" ] || { echo "setup: no $release source found in $apt_dir/sources.list.d/*.sources or $apt_dir/sources.list" >&2; exit 1; }
    cat > "$backports" <<SRC
Types: deb
URIs: $mirror
Suites: $release-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    need_update=1
fi

update_lists() {
    local attempt
    for attempt in 1 2 3; do
        apt-get update -q && return 0
        [ "$attempt" -eq 3 ] || sleep "$retry_seconds"
    done
    echo "setup: some package lists could not be fetched (mirror mid-sync?); going on with the lists apt has"
}

# $1: the target release, or nothing for apt's own choice.
install() {
    local target=$1; shift
    apt-get install -y -q --no-install-recommends ${target:+-t "$target"} "$@"
}

# Without one index the two architectures' candidates may differ by a point
# release (multiarch packages then conflict); the release alone holds both.
install_or_stop() {
    local target=$1; shift
    install "$target" "$@" || { [ -z "$target" ] && install "$release" "$@"; } || {
        echo "setup: the packages could not be installed; Debian's mirror may be mid-sync, and a later run may succeed" >&2
        exit 1
    }
}

packages=(cmake ninja-build g++ libgtest-dev clang libclang-rt-14-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-i686-dev
          wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick locales fonts-noto-cjk
          python3-pefile openssl libssl-dev)
# qemu 7.2 from bookworm starts a trivial program in ~55 s, qemu 10 in ~0.3 s.
# osslsigncode: the signing tests were written against 2.9.
backported=(qemu-user-static osslsigncode)
missing=()
for p in "${packages[@]}" "${backported[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ "$need_update" -eq 1 ]; then
    update_lists
    install_or_stop "" "${packages[@]}"
    install_or_stop "$release-backports" "${backported[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$'; then
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen
fi

[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
# Flag F opens the interpreter now, so re-register whenever it points elsewhere.
if [ -e "$binfmt/qemu-i386" ] && ! grep -q '^interpreter /usr/bin/qemu-i386$' "$binfmt/qemu-i386"; then
    echo -1 > "$binfmt/qemu-i386"
fi
if [ ! -e "$binfmt/qemu-i386" ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' > "$binfmt/register"
fi
echo "setup: done"

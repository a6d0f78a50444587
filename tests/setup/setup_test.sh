#!/usr/bin/env bash
# tools/setup.sh on a mirror mid-sync. Fakes of apt-get and dpkg-query first on
# PATH write down the apt-get calls; dpkg-query reports every package missing.
set -euo pipefail
setup=$(cd "$(dirname "$0")/../.." && pwd)/tools/setup.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/apt/sources.list.d" "$work/binfmt"
printf 'Types: deb\nURIs: http://mirror.example/debian\nSuites: bookworm bookworm-updates\n' >"$work/apt/sources.list.d/debian.sources"
touch "$work/binfmt/register"
echo 'interpreter /usr/bin/qemu-i386' >"$work/binfmt/qemu-i386"
cat >"$work/bin/fake" <<'FAKE'
#!/usr/bin/env bash
call=$(basename "$0") target=
[[ " $* " =~ \ -t\ ([^ ]+) ]] && target=@${BASH_REMATCH[1]}
[ "$call" = apt-get ] && echo "$1$target" >>"$CALLS" && [[ " $FAILS " == *" $1$target "* ]] && exit 100
case "$call $1" in "id -u") echo 0 ;; dpkg\ --print*) echo i386 ;; "locale -a") echo ja_JP.utf8 ;; dpkg-query*) exit 1 ;; esac
FAKE
chmod +x "$work/bin/fake"
for tool in id dpkg dpkg-query apt-get locale; do ln -s fake "$work/bin/$tool"; done
failed=0
# what fails; the apt-get calls expected; the setup's exit code and last line
while IFS='|' read -r fails calls rc last; do
    : >"$work/calls"
    out=$(PATH="$work/bin:$PATH" CALLS="$work/calls" FAILS="$fails" DBSETUP_APT_DIR="$work/apt" \
          DBSETUP_BINFMT_DIR="$work/binfmt" DBSETUP_RETRY_SECONDS=0 bash "$setup" 2>&1) && got=0 || got=$?
    seen=$(xargs <"$work/calls")
    if [ "$seen" != "$calls" ] || [ "$((got != 0))" != "$rc" ] || [[ "$(tail -n1 <<<"$out")" != "$last"* ]]; then
        printf 'FAILED when %s fail: calls "%s", exit %s, output:\n%s\n' "${fails:-none}" "$seen" "$got" "$out"
        failed=1
    fi
done <<'CASES'
update install|update update update install install@bookworm install@bookworm-backports|0|setup: done
update install install@bookworm|update update update install install@bookworm|1|setup: the packages could not be installed
|update install install@bookworm-backports|0|setup: done
CASES
grep -qx 'URIs: http://mirror.example/debian' "$work/apt/sources.list.d/bookworm-backports.sources" ||
    { echo "FAILED: backports not taken from the machine's own mirror"; failed=1; }
exit $failed

#!/usr/bin/env bash
# Checks the built package: its file list, the desktop file and metainfo
# validators, lintian (no errors), and the program unpacked into a scratch
# root: it finds its data, shows the first card, saves into
# $XDG_DATA_HOME/ozn when ended, and never writes under its own root.
# Usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$build"
rm -f ozn_*.deb
cpack -G DEB >/dev/null
deb=$(ls ozn_*_*.deb)
work=$(mktemp -d)
pid=
# A failed check must not leave the game it started running behind it.
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" $(pgrep -P "$pid") 2>/dev/null
  [ -n "${OZN_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||; s|/$||' | grep -v '^$' | sort > "$work/files"
diff -u "$src/packaging/files.txt" "$work/files"

root=$work/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/ozn.desktop"
appstreamcli validate --pedantic --no-net "$root"/usr/share/metainfo/*.metainfo.xml
lintian --allow-root --fail-on error "$deb"

# The program, started through the launcher link, offscreen.
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy OZN_SPEECH_LOG=$work/speech.log
export SPEECHD_ADDRESS=unix_socket:/nonexistent SPEECHD_CMD=/bin/false
strace -f -qq -e trace=openat,creat,unlink,unlinkat,rename,renameat,renameat2,mkdir,mkdirat \
  -o "$work/trace" "$root/usr/games/ozn" >/dev/null 2>&1 &
pid=$!
seen() { grep -qE '単勝の選択|たんしょうの選択' "$work/speech.log" 2>/dev/null; }
for _ in $(seq 100); do seen && break; sleep 0.1; done
seen || { echo "the first card was not shown"; exit 1; }
sleep 0.3
kill -TERM "$(pgrep -P $pid -x ozn || echo $pid)"
wait $pid || true
pid=
[ "$(cat "$XDG_DATA_HOME/ozn/baken.txt")" = "$(printf ' 15000 \r')" ] || { echo "no save in \$XDG_DATA_HOME/ozn"; exit 1; }
[ -f "$XDG_DATA_HOME/ozn/ozn.cfg" ] || { echo "no settings in \$XDG_DATA_HOME/ozn"; exit 1; }
if grep -E "\"$root[^\"]*\".*(O_WRONLY|O_RDWR|O_CREAT)|(unlink|rename|mkdir)[a-z0-9]*\([^)]*\"$root" "$work/trace"; then
  echo "wrote under the package's own folders"; exit 1
fi
echo "package check passed: $deb"

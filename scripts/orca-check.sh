#!/usr/bin/env bash
# Plays a few keys with the Orca screen reader listening, under Xvfb and a
# private D-Bus session, and prints what Orca would have said with the time
# since each key. Needs orca, xvfb, xdotool and dbus (not installed by the
# set-up scripts: apt-get install orca xvfb xdotool dbus-x11).
# Usage: scripts/orca-check.sh [build-dir]   (keys are read from OZN_KEYS;
# OZN_NO_ORCA=1: the desktop's flag as set, but no screen reader runs)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d); echo "work: $work" >&2
trap 'pkill -KILL -f "orca --debug-file=$work" 2>/dev/null || true; pulseaudio -k 2>/dev/null || true; pkill -f speech-dispatcher 2>/dev/null || true; kill $(jobs -p) 2>/dev/null || true; [ -n "${OZN_KEEP:-}" ] || rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/run XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME/orca" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
# Orca writes its log line by line, so nothing is lost when it is stopped.
cat > "$XDG_DATA_HOME/orca/orca-customizations.py" <<'PY'
from orca import debug
if debug.debugFile:
    debug.debugFile.reconfigure(line_buffering=True)
PY
if [ -n "${OZN_REAL_SPEECH:-}" ]; then
  # Real speech into a silent sound server: Orca and the game share one
  # speech-dispatcher, whose log shows what was spoken, queued and cut off.
  mkdir -p "$XDG_CONFIG_HOME/speech-dispatcher" "$work/speechd-log"
  cp /etc/speech-dispatcher/speechd.conf "$XDG_CONFIG_HOME/speech-dispatcher/"
  sed -i 's/^LogLevel.*/LogLevel 5/' "$XDG_CONFIG_HOME/speech-dispatcher/speechd.conf"
  printf 'AudioOutputMethod "pulse"\nDefaultModule espeak-ng\nAddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"\nLogDir "%s"\n' \
    "$work/speechd-log" >> "$XDG_CONFIG_HOME/speech-dispatcher/speechd.conf"
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --load=module-null-sink \
    --load=module-native-protocol-unix >/dev/null 2>&1 || true
else
  export SPEECHD_ADDRESS=unix_socket:/nonexistent SPEECHD_CMD=/bin/false
fi
export OZN_SPEECH_LOG=$work/speech.log
# A copy of the game, so that its settings and save stay out of the build.
mkdir -p "$work/game"
cp "$build"/ozn "$build"/*.txt "$build"/*.mp3 "$build"/fx-*.wav "$build"/ozn.html "$work/game/"
keys=${OZN_KEYS:-"Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Down Down F6"}
Xvfb :57 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
export DISPLAY=:57
dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  sleep 1
  # What a desktop sets when its screen reader is switched on.
  gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
    --method org.freedesktop.DBus.Properties.Set org.a11y.Status ScreenReaderEnabled "<${OZN_SCREEN_READER_FLAG:-true}>" >/dev/null
  [ -n "${OZN_NO_ORCA:-}" ] || orca --replace --debug-file="'"$work"'/orca.log" >/dev/null 2>&1 &
  sleep 6; [ -z "${OZN_NO_ORCA:-}" ] || touch "'"$work"'/orca.log"
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "'"$work"'/game/ozn" 20000 >/dev/null 2>&1 &
  sleep 4
  # No window manager: the pointer over the window gives it the keyboard.
  xdotool mousemove 640 780 click 1
  sleep 1
  for k in '"$keys"'; do
    case $k in wait:*) sleep "${k#wait:}"; continue ;; esac
    date +%s.%N | sed "s/^/KEY $k /" >> "'"$work"'/keys.log"
    xdotool key "$k"
    sleep 1.5
  done
  sleep 2
'
python3 - "$work" <<'PY'
import re, sys, datetime
work = sys.argv[1]
keys = [l.split() for l in open(f"{work}/keys.log")]
said = []
log = open(f"{work}/orca.log", errors="replace").read()
for m in re.finditer(r"(\d\d):(\d\d):(\d\d\.\d+) - SPEECH OUTPUT: '(.*?)' ?\{", log, re.S):
    h, mi, s, text = m.groups()
    said.append((int(h) * 3600 + int(mi) * 60 + float(s), " ".join(text.split())))
def tod(epoch):
    t = datetime.datetime.fromtimestamp(float(epoch))
    return t.hour * 3600 + t.minute * 60 + t.second + t.microsecond / 1e6
marks = [(tod(k[2]), k[1]) for k in keys]
for i, (t, k) in enumerate(marks):
    end = marks[i + 1][0] if i + 1 < len(marks) else 1e9
    heard = [f"+{s - t:.2f}s {x}" for s, x in said if t <= s < end]
    print(f"{k}: " + (" | ".join(heard) if heard else "(nothing)"))
print("--- the game's own speech ---")
import glob
for f in glob.glob(f"{work}/speechd-log/speech-dispatcher.log"):
    import shutil; shutil.copy(f, "/tmp/speechd-last.log")
print(open(f"{work}/speech.log").read() if __import__('os').path.exists(f"{work}/speech.log") else "(none)")
PY

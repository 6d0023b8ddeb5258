#!/usr/bin/env bash
# Installs the Debian packages that building, playing and testing need.
# Only what is missing is installed, so a second run costs a few seconds.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-qpa-plugins libgl-dev qt6-charts-dev libqt6opengl6-dev
  libsdl2-dev libsdl2-mixer-dev
  open-jtalk open-jtalk-mecab-naist-jdic hts-voice-nitech-jp-atr503-m001
  libmecab-dev mecab-ipadic-utf8 libsonic-dev
  libespeak-ng-dev espeak-ng-data
  libspeechd-dev speech-dispatcher speech-dispatcher-espeak-ng
  libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont-gothic
  sox lame
  dpkg-dev lintian desktop-file-utils appstream librsvg2-bin strace
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run this script as root (or install them with sudo apt-get install)." >&2
  exit 1
fi

# The Japanese voice lives in the contrib component. Enable it by copying the
# system's own Debian entry, so no mirror is ever named here.
enable_contrib() {
  local deb822=/etc/apt/sources.list.d/debian.sources
  local out822=/etc/apt/sources.list.d/ozn-contrib.sources
  local outlist=/etc/apt/sources.list.d/ozn-contrib.list
  [ -f "$out822" ] || [ -f "$outlist" ] && return 0
  if grep -rqsE '^(Components:.*\bcontrib\b|deb\s.*\scontrib\b)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return 0
  fi
  if [ -f "$deb822" ]; then
    # First stanza that is not the security archive, with contrib as its only component.
    awk 'BEGIN{RS=""; ORS="\n\n"} !/security/ && !done {gsub(/Components:[^\n]*/, "Components: contrib"); print; done=1}' \
      "$deb822" > "$out822"
    [ -s "$out822" ] || rm -f "$out822"
  elif [ -f /etc/apt/sources.list ]; then
    awk '$1=="deb" && $0 !~ /security/ {print $1, $2, $3, "contrib"}' /etc/apt/sources.list | sort -u > "$outlist"
    [ -s "$outlist" ] || rm -f "$outlist"
  fi
}

enable_contrib
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"

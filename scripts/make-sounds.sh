#!/usr/bin/env bash
# Synthesises the game's own short sounds for events: a ticket bought, a
# refusal, the gates opening, a payout won, a race with no win, game over.
# 16-bit mono WAVE at the mixer's rate, so nothing is converted to play them.
set -euo pipefail
out=${1:-.}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# tone SECONDS WAVE FREQUENCY VOLUME: one plucked note; prints its file
tone() {
  local f
  f=$(mktemp -p "$work" --suffix=.wav)
  sox -q -n -r 44100 -c 1 -b 16 "$f" synth "$1" "$2" "$3" fade q 0.004 "$1" "$(awk -v d="$1" 'BEGIN{print d*0.8}')" vol "$4"
  echo "$f"
}
rest() { local f; f=$(mktemp -p "$work" --suffix=.wav); sox -q -n -r 44100 -c 1 -b 16 "$f" trim 0 "$1"; echo "$f"; }
# sound NAME PART...: the parts one after another, evened out
sound() { local name=$1; shift; sox -q "$@" "$out/fx-$name.wav" norm -4; }

# A ticket bought: two bright bell notes.
sound bought "$(tone 0.07 sine 1318.5 0.8)" "$(tone 0.22 sine 1760 0.8)"
# A refusal: a low double buzz.
sound refused "$(tone 0.11 square 196 0.5)" "$(rest 0.04)" "$(tone 0.16 square 165 0.5)"
# The gates opening: a metal clank, then a bell.
sox -q -n -r 44100 -c 1 -b 16 "$work/clank.wav" synth 0.12 brownnoise synth 0.12 square mix 95 fade q 0.002 0.12 0.1
sound gate "$work/clank.wav" "$(tone 0.45 sine 987.8 0.7)"
# A payout won: a rising arpeggio.
sound won "$(tone 0.08 triangle 1046.5 0.7)" "$(tone 0.08 triangle 1318.5 0.7)" "$(tone 0.08 triangle 1568 0.7)" \
  "$(tone 0.35 triangle 2093 0.7)"
# A race with no win: two soft falling notes.
sound nowin "$(tone 0.18 sine 392 0.6)" "$(tone 0.35 sine 293.7 0.6)"
# Game over: a slow fall in minor.
sound gameover "$(tone 0.3 triangle 440 0.7)" "$(tone 0.3 triangle 349.2 0.7)" "$(tone 0.3 triangle 329.6 0.7)" \
  "$(tone 0.8 triangle 220 0.7)"

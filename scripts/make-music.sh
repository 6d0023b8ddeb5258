#!/usr/bin/env bash
# Composes and synthesises the game's own music: two fanfares and the start
# music that stands for the race. Melodies are ours; sox renders, lame encodes.
set -euo pipefail
out=${1:-.}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# note NAME -> frequency (equal temperament, A4 = 440)
freq() {
  local n=$1 names=(C Cs D Ds E F Fs G Gs A As B)
  local name=${n%[0-9]} oct=${n: -1} i
  for i in "${!names[@]}"; do [ "${names[$i]}" = "$name" ] && break; done
  awk -v s="$i" -v o="$oct" 'BEGIN{printf "%.2f", 440*2^((s-9)/12 + (o-4))}'
}

# render FILE TEMPO WAVE "NOTE:BEATS ..." — one voice, R = rest
render() {
  local file=$1 tempo=$2 wave=$3 seq=$4 parts=() k=0 tok note beats dur fo
  for tok in $seq; do
    note=${tok%%:*}; beats=${tok##*:}
    dur=$(awk -v b="$beats" -v t="$tempo" 'BEGIN{printf "%.3f", b*60/t}')
    fo=$(awk -v d="$dur" 'BEGIN{f=d/3; if (f>0.04) f=0.04; printf "%.3f", f}')
    k=$((k+1))
    if [ "$note" = R ]; then
      sox -q -n -r 44100 -c 1 "$work/p$k.wav" trim 0 "$dur"
    else
      sox -q -n -r 44100 -c 1 "$work/p$k.wav" synth "$dur" "$wave" "$(freq "$note")" \
        synth "$dur" sine mix "$(freq "$note")" fade q 0.005 "$dur" "$fo" vol 0.5
    fi
    parts+=("$work/p$k.wav")
  done
  sox -q "${parts[@]}" "$file"
  rm -f "${parts[@]}"
}

mp3() { lame --quiet -b 96 "$1" "$2"; }

# Fanfare of the eastern courses: a rising call in C major.
render "$work/k1.wav" 132 square "G4:0.5 C5:0.5 E5:0.5 G5:1.5 E5:0.5 G5:0.5 C6:2 R:0.5 A5:0.5 G5:0.5 E5:0.5 F5:0.5 D5:0.5 C5:2"
render "$work/k2.wav" 132 sawtooth "C3:1 G3:1 C4:1.5 C3:0.5 G3:1 E3:1 F3:1 G3:1 C3:2"
sox -q -m "$work/k1.wav" "$work/k2.wav" "$work/kanto.wav" reverb 30 norm -3
mp3 "$work/kanto.wav" "$out/kanto.mp3"

# Fanfare of the western courses: a brighter call in D, with a turn.
render "$work/w1.wav" 144 square "D5:0.5 D5:0.25 D5:0.25 A5:1 Fs5:0.5 A5:0.5 D6:1.5 R:0.5 B5:0.5 A5:0.5 G5:0.5 E5:0.5 Fs5:0.5 E5:0.5 D5:2"
render "$work/w2.wav" 144 sawtooth "D3:1 A3:1 D3:1 Fs3:1 G3:1 E3:1 A3:1 A3:1 D3:2"

sox -q -m "$work/w1.wav" "$work/w2.wav" "$work/kansai.wav" reverb 30 norm -3
mp3 "$work/kansai.wav" "$out/kansai.mp3"

# The race: a galloping bass under a running melody, thirty seconds: time
# for a caller to follow the field from the gates to the line.
gallop=""
for bar in C3 C3 F3 F3 G3 G3 C3 C3 A2 A2 F3 F3 G3 G3 G3 G3 C3 C3 F3 F3 G3 G3 C3 C3 A2 A2 D3 D3 G3 G3 G3 G3 \
           A2 A2 D3 D3 E3 E3 A2 A2 F3 F3 G3 G3 E3 E3 A2 A2 F3 F3 G3 G3 \
           C3 C3 F3 F3 G3 G3 C3 C3 A2 A2 F3 F3 G3 G3 C3 C3 C3 C3; do
  gallop+="$bar:0.375 $bar:0.125 ${bar%?}$(( ${bar: -1} + 1 )):0.5 "
done
render "$work/r1.wav" 140 sawtooth "$gallop"
tune="E5:0.5 G5:0.5 C6:1 B5:0.5 A5:0.5 G5:1 A5:0.5 B5:0.5 C6:0.5 D6:0.5 E6:2 D6:0.5 C6:0.5 B5:0.5 A5:0.5 G5:1 E5:1 F5:0.5 G5:0.5 A5:0.5 B5:0.5 C6:2"
tune+=" E5:0.5 G5:0.5 C6:1 B5:0.5 A5:0.5 G5:1 A5:0.5 C6:0.5 E6:0.5 D6:0.5 C6:1 G5:1 A5:0.5 B5:0.5 C6:0.5 D6:0.5 E6:1 D6:1 C6:4"
tune+=" A5:0.5 C6:0.5 E6:1 D6:0.5 C6:0.5 B5:1 C6:0.5 B5:0.5 A5:0.5 G5:0.5 A5:2 F5:0.5 G5:0.5 A5:0.5 B5:0.5 C6:1 B5:1 A5:0.5 B5:0.5 C6:0.5 D6:0.5 E6:2 G5:4"
tune+=" E5:0.5 G5:0.5 C6:1 B5:0.5 A5:0.5 G5:1 A5:0.5 B5:0.5 C6:0.5 D6:0.5 E6:2 G6:1 E6:1 D6:1 C6:4"
render "$work/r2.wav" 140 square "$tune"
sox -q -m "$work/r1.wav" "$work/r2.wav" "$work/hasso.wav" reverb 20 norm -3
mp3 "$work/hasso.wav" "$out/hasso.mp3"

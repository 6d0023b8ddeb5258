#!/usr/bin/env bash
# Draws the game's icon: a horseshoe over a green turf disc with a betting
# ticket, as SVG, and renders the 48 and 256 px PNGs from it.
# Usage: make-icon.sh OUTDIR
set -euo pipefail
out=${1:-.}
mkdir -p "$out"
cat > "$out/ozn.svg" <<'SVG'
<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <circle cx="128" cy="128" r="120" fill="#2e7d32"/>
  <circle cx="128" cy="128" r="104" fill="none" stroke="#f5f5dc" stroke-width="6" stroke-dasharray="14 10"/>
  <rect x="40" y="138" width="120" height="72" rx="8" fill="#fffde7" stroke="#5d4037" stroke-width="4"
        transform="rotate(-12 100 174)"/>
  <text x="100" y="186" font-family="sans-serif" font-size="34" font-weight="bold" fill="#c62828"
        text-anchor="middle" transform="rotate(-12 100 174)">7-15</text>
  <path d="M104 52 C 56 52 56 150 92 168 L 110 158 C 84 140 84 76 128 76 C 172 76 172 140 146 158 L 164 168
           C 200 150 200 52 152 52 Z" fill="#ffca28" stroke="#6d4c41" stroke-width="5"/>
  <g fill="#6d4c41">
    <circle cx="82" cy="96" r="5"/><circle cx="86" cy="126" r="5"/>
    <circle cx="174" cy="96" r="5"/><circle cx="170" cy="126" r="5"/>
  </g>
</svg>
SVG
for size in 48 256; do
  rsvg-convert -w "$size" -h "$size" "$out/ozn.svg" -o "$out/ozn-$size.png"
done

#!/bin/bash
# Render speed of `quavette-midi render` beside `fluidsynth -F` on the same
# song and SoundFont, as seconds of wall time and times faster than real time.
#   bench/device/render_speed.sh [SONG]
# Environment: BUILD (build folder, default build-device), SF (SoundFont).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
song=${1:-$root/tests/data/midi/tonejs__concerto_for_orchestra_1.mid}
sf=${SF:-/usr/share/sounds/sf2/FluidR3_GM.sf2}
build=${BUILD:-$root/build-device}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

length_ms=$("$build/src/tools/quavette-midi" info "$song" | cut -f3)
now() { date +%s.%N; }

t0=$(now)
"$build/src/tools/quavette-midi" render --soundfont "$sf" "$song" "$out/ours.wav"
t1=$(now)
fluidsynth -ni -q -F "$out/theirs.wav" -r 44100 "$sf" "$song" >/dev/null 2>&1
t2=$(now)

awk -v a="$t0" -v b="$t1" -v c="$t2" -v len="$length_ms" 'BEGIN {
    ours = b - a; theirs = c - b; song = len / 1000
    printf "song length: %.1f s\n", song
    printf "quavette-midi render: %.2f s (%.0fx real time)\n", ours, song / ours
    printf "fluidsynth -F:        %.2f s (%.0fx real time)\n", theirs, song / theirs
    printf "ratio: %.2f\n", ours / theirs
}'

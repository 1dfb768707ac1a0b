#!/bin/bash
# CPU used while a song plays in real time: the player's sequencer (with the
# GUI's 1 ms polling) beside `fluidsynth -ni` playing the same song with the
# same SoundFont and period size through the same sound server.
#   bench/device/cpu_ratio.sh [SONG] [SECONDS] [PERIOD]
# Environment: BUILD (build folder, default build-device), SF (SoundFont).
# With no sound server running, a private PulseAudio with a null sink is
# started for the run and stopped afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
song=${1:-$root/tests/data/midi/tonejs__concerto_for_orchestra_1.mid}
seconds=${2:-20}
period=${3:-512}
sf=${SF:-/usr/share/sounds/sf2/FluidR3_GM.sf2}
build=${BUILD:-$root/build-device}
player=$build/bench/device/bench_device_realtime

started=""
if ! pactl info >/dev/null 2>&1; then
    export XDG_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$XDG_RUNTIME_DIR"
    pulseaudio -D --exit-idle-time=-1 -n --load="module-null-sink sink_name=bench rate=44100" \
        --load=module-native-protocol-unix >/dev/null 2>&1
    started=yes
    sleep 1
fi
cleanup() { [ -n "$started" ] && pulseaudio --kill >/dev/null 2>&1 || true; }

TIMEFORMAT='%U %S'
rounds=${ROUNDS:-3}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
cpu_of() { awk '{ printf "%.3f\n", $1 + $2 }' "$1"; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"; cleanup' EXIT

# Rounds alternate between the programs, so that a busy machine weighs on
# both alike; the median of each is reported.
for round in $(seq "$rounds"); do
    for poll in 1 100; do
        { time "$player" --soundfont "$sf" --period "$period" --poll "$poll" "$song" "$seconds" >/dev/null; } 2>"$tmp/t"
        cpu_of "$tmp/t" >>"$tmp/ours-$poll"
    done
    { time timeout -s INT "$seconds" fluidsynth -ni -q -a pulseaudio -z "$period" -c 2 -r 44100 \
        "$sf" "$song" >/dev/null 2>&1 || true; } 2>"$tmp/t"
    cpu_of "$tmp/t" >>"$tmp/theirs"
done
ours=$(median <"$tmp/ours-1")
alone=$(median <"$tmp/ours-100")
theirs=$(median <"$tmp/theirs")

echo "song: $song"
echo "${seconds} s of playback, period $period, SoundFont $sf, median of $rounds rounds"
echo "quavette, polled every 1 ms as the player does: ${ours} s CPU"
echo "quavette, polled every 100 ms:                  ${alone} s CPU"
echo "fluidsynth -ni:                                 ${theirs} s CPU"
awk -v a="$ours" -v b="$alone" -v c="$theirs" 'BEGIN {
    printf "ratio with 1 ms polling: %.2f, sequencer alone: %.2f (goal: at most 1.1)\n", a / c, b / c }'

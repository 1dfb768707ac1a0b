#!/bin/bash
# CPU used by the whole program while one song plays, with the 1 ms timer
# running, "Show &position" on and the controller shown, against the same song
# played by `fluidsynth -ni`. Runs under its own Xvfb and a private PulseAudio
# null sink; prints the figures and their ratio (goal: no more than 1.25).
#
#   bench/playback/cpu_ratio.sh [QUAVETTE_BINARY] [SONG.mid] [SECONDS]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=$(readlink -f "${1:-$here/../../build/src/quavette}")
song=$(readlink -f "${2:-$here/../../tests/data/midi/tonejs__concerto_for_orchestra_1.mid}")
seconds=${3:-20}
warmup=4
soundfont=""
for sf in /usr/share/sounds/sf2/default-GM.sf2 /usr/share/sounds/sf2/FluidR3_GM.sf2 \
          /usr/share/sounds/sf2/TimGM6mb.sf2 /usr/share/soundfonts/default.sf2; do
    if [ -f "$sf" ]; then soundfont=$sf; break; fi
done
[ -x "$bin" ] || { echo "no program at $bin" >&2; exit 2; }
[ -f "$song" ] || { echo "no song at $song" >&2; exit 2; }

work=$(mktemp -d /tmp/quavette-bench-XXXXXX)
xvfb_pid="" app_pid="" synth_pid=""
cleanup() {
    for pid in $app_pid $synth_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
    XDG_RUNTIME_DIR=$work/run pulseaudio -k 2>/dev/null || true
    [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

# clock ticks of user + system time of a process, its threads included
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
tck=$(getconf CLK_TCK)

# measure PID: CPU seconds over $seconds after $warmup
measure() {
    sleep "$warmup"
    local a x0 b x1
    a=$(cpu_ticks "$1"); x0=$(cpu_ticks "$xvfb_pid")
    sleep "$seconds"
    b=$(cpu_ticks "$1"); x1=$(cpu_ticks "$xvfb_pid")
    echo "$(( b - a )) $(( x1 - x0 ))"
}

display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"

mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR=$work/run
pulseaudio -D --exit-idle-time=-1 -n \
    --load="module-null-sink sink_name=test rate=44100" --load=module-native-protocol-unix
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data
mkdir -p "$XDG_CONFIG_HOME/Kestrix" "$XDG_DATA_HOME/Kestrix/Quavette"
printf '[Option]\nListSave=1\nAutoPlay=1\nShowPosition=1\nShowController=1\n' \
    > "$XDG_CONFIG_HOME/Kestrix/Quavette.conf"
printf 'QVT1.10\r\n1\r\n%s\r\n' "$song" > "$XDG_DATA_HOME/Kestrix/Quavette/list.qvt"

"$bin" >"$work/app.log" 2>&1 &
app_pid=$!
read -r app xvfb_app < <(measure "$app_pid")
title=$(xdotool search --name '^Quavette - ' getwindowname 2>/dev/null | head -1 || true)
[ -z "${KEEP:-}" ] || { xdotool search --name "" getwindowname > "$work/windows.txt" 2>&1 || true; import -window root "$work/shot.png" 2>/dev/null || true; }
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""

fluidsynth -ni -a pulseaudio "$soundfont" "$song" >"$work/synth.log" 2>&1 &
synth_pid=$!
read -r synth xvfb_synth < <(measure "$synth_pid")
kill "$synth_pid"; wait "$synth_pid" 2>/dev/null || true; synth_pid=""

echo "song:               $song"
echo "sound font:         $soundfont"
echo "measured:           ${seconds} s after ${warmup} s"
echo "window title seen:  ${title:-(none)}"
awk -v a="$app" -v s="$synth" -v xa="$xvfb_app" -v xs="$xvfb_synth" -v t="$tck" -v d="$seconds" 'BEGIN {
    printf "quavette CPU:       %.2f s (%.1f %%)\n", a / t, 100 * a / t / d
    printf "fluidsynth -ni CPU: %.2f s (%.1f %%)\n", s / t, 100 * s / t / d
    printf "X server meanwhile: %.2f s with quavette, %.2f s with fluidsynth\n", xa / t, xs / t
    if (s > 0) printf "ratio:              %.2f (goal <= 1.25)\n", a / s
    if (s + xs > 0) printf "ratio incl. X:      %.2f\n", (a + xa) / (s + xs)
}'

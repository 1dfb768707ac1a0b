#!/bin/bash
# Quavette beside the players people would pick instead, in one run: the same
# song and SoundFont (Quavette's set in its settings), a private PulseAudio
# null sink under its own Xvfb with openbox managing the windows, the median of
# interleaved rounds. Prints the CPU of each player, of the sound server, of
# the X server and of the window manager (and of all four together), memory,
# wake-ups (voluntary context switches) and preemptions (involuntary ones),
# latencies and the song-to-song gap of each, and Quavette's ratio to each
# peer; then, for Quavette, a table of its threads' CPU and wake-ups while it
# plays. fluidsynth runs twice, with periods of 512 and of 4096 frames.
#
#   bench/compare/players.sh [BUILD_DIR]        (default: build)
#
# Environment: SONG, SF, PLAY_SECONDS (60), IDLE (seconds paused and then stopped, 30), ROUNDS (3),
# PLAYERS (a comma list of quavette,quavette-pos,device,fluidsynth,fluidsynth-4096,audacious,vlc;
# quavette-pos shows the position and the controller),
# KEEP=1 keeps the work folder (recordings, logs),
# SERVER=pipewire plays to PipeWire's PulseAudio service instead (packages pipewire, pipewire-pulse,
# wireplumber), PARTS (a comma list of cpu,latency,gap) measures only those.
# The peers come from Debian packages, installed here when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)

packages=(fluidsynth fluid-soundfont-gm audacious audacious-plugins vlc-bin vlc-plugin-base
          vlc-plugin-fluidsynth xvfb openbox xdotool x11-utils pulseaudio pulseaudio-utils dbus python3 python3-dbus
          util-linux pipewire pipewire-pulse wireplumber)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "Installing: ${missing[*]}" >&2
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

exec /usr/bin/python3 "$here/players.py" --build "$build" --data "$root/tests/data"

#!/usr/bin/env bash
# Installs what Quavette needs to build, run and test on Debian 12.
# Runs apt-get only when a package is missing; as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6svg6
  libfluidsynth-dev libpulse-dev libuchardet-dev libxcb1-dev libx11-dev fluidsynth fluid-soundfont-gm timgm6mb-soundfont
  fonts-ipafont-gothic adwaita-icon-theme
  libgtest-dev googletest libbenchmark-dev
  xvfb openbox xdotool x11-utils xauth pulseaudio pulseaudio-utils sox imagemagick
  python3 python3-pyatspi at-spi2-core dbus-x11
  dbus-bin playerctl desktop-file-utils shared-mime-info libglib2.0-bin
  pipewire pipewire-pulse wireplumber
  weston qt6-wayland
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

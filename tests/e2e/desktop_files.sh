#!/usr/bin/env bash
# The .desktop file is valid and offers the player for songs and playlists;
# the playlist type is told by its extension and by its first line, as file
# managers tell it (shared-mime-info through GIO).
# Usage: desktop_files.sh DATA_FOLDER
set -euo pipefail
data=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

desktop-file-validate "$data/quavette.desktop"
grep -qx 'Exec=quavette %F' "$data/quavette.desktop"
grep -q '^MimeType=.*audio/midi;.*application/x-quavette-playlist;' "$data/quavette.desktop"

mkdir -p "$work/share/mime/packages"
cp "$data/quavette-mime.xml" "$work/share/mime/packages/quavette.xml"
cp /usr/share/mime/packages/freedesktop.org.xml "$work/share/mime/packages/"
update-mime-database "$work/share/mime" >/dev/null 2>&1

printf 'QVT1.10\r\n0\r\n' > "$work/by-content"
printf 'song.mid(/m/song.mid)\r\n' > "$work/older.QVT"
export XDG_DATA_HOME="$work/share" XDG_DATA_DIRS="$work/share"
for file in by-content older.QVT; do
  type=$(gio info -a standard::content-type "$work/$file" | sed -n 's/^ *standard::content-type: //p')
  if [ "$type" != application/x-quavette-playlist ]; then
    echo "$file: $type" >&2
    exit 1
  fi
done
# A RIFF MIDI song is MIDI, by its name and by its content.
printf 'RIFF\x20\x00\x00\x00RMIDdata\x0e\x00\x00\x00MThd' > "$work/song.rmi"
cp "$work/song.rmi" "$work/riff-song"
for file in song.rmi riff-song; do
  type=$(gio info -a standard::content-type "$work/$file" | sed -n 's/^ *standard::content-type: //p')
  if [ "$type" != audio/midi ]; then
    echo "$file: $type" >&2
    exit 1
  fi
done
echo "desktop files: passed"

#!/usr/bin/env python3
"""End-to-end scenarios of the desktop services: media controls over MPRIS,
the command line, the one-instance socket, and a start without a session bus.
Usage: desktop_scenarios.py SCENARIO --program PATH --data DIR --artifacts DIR"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import time
import traceback

import pyatspi

from harness import SILENCE_RMS, Desktop, E2EError, Program, listen, wait_for
from scenarios import (Context, check, exit_program, make_song_folder, open_songs_and_add, read_settings,
                       settings_path)

SCENARIOS = {}


def scenario(fn):
    SCENARIOS[fn.__name__] = fn
    return fn


def playerctl(app, *args):
    result = subprocess.run(["playerctl", "-p", "quavette", *args], env=app.env, capture_output=True, text=True,
                            timeout=10)
    return result.stdout.strip()


class BusMonitor:
    """Every signal the player sends on its MPRIS object path."""

    def __init__(self, ctx, env):
        self.path = os.path.join(ctx.artifacts, f"{ctx.name}-signals.txt")
        self.file = open(self.path, "w")
        self.proc = subprocess.Popen(["dbus-monitor", "--session",
                                      "type='signal',path='/org/mpris/MediaPlayer2'"],
                                     env=env, stdout=self.file, stderr=subprocess.DEVNULL, start_new_session=True)
        ctx.desktop.procs.append(self.proc)
        time.sleep(0.5)

    def text(self):
        self.file.flush()
        with open(self.path) as f:
            return f.read()

    def count(self, member, since=""):
        return self.text()[len(since):].count(f"member={member}")


def start_with(ctx, cwd, label, *args):
    return Program(ctx.desktop, ctx.program, ctx.home, cwd, ctx.artifacts, ctx.name + label, args=args)


@scenario
def media_keys(ctx):
    root, songs = make_song_folder(ctx)
    app = start_with(ctx, root, "")
    try:
        open_songs_and_add(app, ["a first.mid", "b second.mid"])
        app.menu("Option", "Save list")
        monitor = BusMonitor(ctx, app.env)
        check(playerctl(app, "status") == "Stopped", "stopped at first")

        playerctl(app, "play")
        wait_for("Play from the bus", lambda: app.title() == "Quavette - a first.mid", 5)
        check(playerctl(app, "status") == "Playing", "playing")
        check(playerctl(app, "metadata", "xesam:title") == "a first.mid", "the song's title")
        check(playerctl(app, "metadata", "xesam:url") == f"file://{songs}/a%20first.mid", "the song's URL")
        level = listen(ctx.desktop, 1.0, ctx.wav("playing"))
        check(level > SILENCE_RMS, f"the song is heard (RMS {level})")
        steady = monitor.text()
        time.sleep(1.0)
        check(monitor.count("PropertiesChanged", steady) == 0, "no PropertiesChanged while nothing changes")

        playerctl(app, "pause")
        wait_for("Pause from the bus", lambda: playerctl(app, "status") == "Paused", 5)
        time.sleep(0.5)
        level = listen(ctx.desktop, 1.0, ctx.wav("paused"))
        check(level < SILENCE_RMS, f"silence while paused (RMS {level})")
        playerctl(app, "play")
        wait_for("Play again", lambda: playerctl(app, "status") == "Playing", 5)

        before = monitor.text()
        playerctl(app, "next")
        wait_for("Next from the bus", lambda: app.title() == "Quavette - b second.mid", 5)
        wait_for("the new song's metadata", lambda: playerctl(app, "metadata", "xesam:title") == "b second.mid", 5)
        check(monitor.count("PropertiesChanged", before) >= 1, "the song change is signalled")

        before = monitor.text()
        playerctl(app, "position", "2")
        wait_for("Seeked", lambda: monitor.count("Seeked", before) == 1, 5)
        position = float(playerctl(app, "position"))
        check(2.0 <= position < 3.5, f"position after the seek: {position}")

        check(playerctl(app, "loop") == "None", "without Repeat the loop status is None")
        playerctl(app, "loop", "Track")
        playerctl(app, "shuffle", "On")
        wait_for("Repeat and Random mode", lambda: (playerctl(app, "loop"), playerctl(app, "shuffle")) == ("Track", "On"), 5)
        # A value of the wrong type is refused, not converted.
        wrong = bus_call(app, "org.freedesktop.DBus.Properties.Set", "string:org.mpris.MediaPlayer2.Player",
                         "string:Shuffle", "variant:string:false")
        check("org.freedesktop.DBus.Error.InvalidArgs" in wrong.stderr, f"Shuffle set to a string: {wrong.stderr!r}")
        check(playerctl(app, "shuffle") == "On", "Random mode kept after a wrongly typed write")

        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.quavette",
                        "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Quit"], env=app.env, check=True,
                       capture_output=True, timeout=10)
        try:
            app.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            raise E2EError("Quit from the bus did not end the program")
    finally:
        app.kill()
    check(read_settings(ctx.home).get("Option", "Random") == "1", "Random mode stored at Quit")
    with open(os.path.join(ctx.home, "data", "Kestrix", "Quavette", "list.qvt"), "rb") as f:
        content = f.read()
    expected = b"QVT1.10\r\n2\r\n" + songs.encode() + b"/a first.mid\r\n" + songs.encode() + b"/b second.mid\r\n"
    check(content == expected, f"list.qvt stored at Quit: {content!r}")


def bus_call(app, method, *args):
    return subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.quavette",
                           "/org/mpris/MediaPlayer2", method, *args], env=app.env, capture_output=True, text=True,
                          timeout=10)


@scenario
def media_edges(ctx):
    root, songs = make_song_folder(ctx)
    with open(os.path.join(songs, "c broken.mid"), "w") as f:
        f.write("not a song")
    app = start_with(ctx, root, "", "songs/a first.mid", "songs/b second.mid", "songs/c broken.mid")
    try:
        wait_for("the first song", lambda: app.title() == "Quavette - a first.mid", 10)
        wait_for("its metadata", lambda: playerctl(app, "metadata", "xesam:title") == "a first.mid", 5)

        # The position set to the very end ends the song: the next one follows.
        trackid = playerctl(app, "metadata", "--format", "{{mpris:trackid}}").strip("'")
        length = playerctl(app, "metadata", "--format", "{{mpris:length}}")
        end = bus_call(app, "org.mpris.MediaPlayer2.Player.SetPosition", f"objpath:{trackid}", f"int64:{length}")
        check(end.returncode == 0, f"SetPosition: {end.stderr!r}")
        wait_for("the song after the one ended", lambda: app.title() == "Quavette - b second.mid", 10)
        wait_for("its metadata", lambda: playerctl(app, "metadata", "xesam:title") == "b second.mid", 5)

        # Next to a song that cannot start: the box, and no metadata of the song before.
        playerctl(app, "next")
        app.wait_dialog("error")
        wait_for("the metadata to let the song before go",
                 lambda: playerctl(app, "metadata", "xesam:title") != "b second.mid", 5)
        app.answer_dialog("error")
    finally:
        app.kill()


@scenario
def command_line(ctx):
    root, songs = make_song_folder(ctx)
    env = dict(ctx.desktop.env, HOME=ctx.home, XDG_CONFIG_HOME=os.path.join(ctx.home, "config"),
               XDG_DATA_HOME=os.path.join(ctx.home, "data"))
    version = subprocess.run([ctx.program, "--version"], env=env, capture_output=True, text=True, timeout=20)
    check(version.returncode == 0 and version.stdout.strip() == "Quavette 1.0.0", f"--version: {version.stdout!r}")
    usage = subprocess.run([ctx.program, "--help"], env=env, capture_output=True, text=True, timeout=20)
    check(usage.returncode == 0 and "[FILE...]" in usage.stdout, f"--help: {usage.stdout!r}")

    app = start_with(ctx, root, "", "songs/a first.mid", "songs/gone.mid")
    try:
        wait_for("the named song to start", lambda: app.title() == "Quavette - a first.mid", 10)
        caption, texts = app.wait_dialog("error")
        check(any(f"{songs}/gone.mid (No such file or directory)" in t for t in texts), f"the missing file: {texts}")
        level = listen(ctx.desktop, 1.0, ctx.wav("named"))
        check(level > SILENCE_RMS, f"the named song is heard (RMS {level})")

        # A second start hands its files over and ends; they wait for the box.
        second = subprocess.run([ctx.program, "songs/b second.mid"], cwd=root, env=app.env, capture_output=True,
                                timeout=20)
        check(second.returncode == 0, f"the second start ends: {second.returncode}")
        time.sleep(0.5)
        check(app.title() == "Quavette - a first.mid", "nothing changes under the message box")
        app.answer_dialog("error")
        wait_for("the handed song to start", lambda: app.title() == "Quavette - b second.mid", 5)
        check(len(_windows(app)) == 1, "one main window")

        mine = os.path.join(root, "mine.qvt")
        with open(mine, "wb") as f:
            f.write(b"QVT1.10\r\n1\r\n" + songs.encode() + b"/a first.mid\r\n")
        subprocess.run([ctx.program, mine], cwd=root, env=app.env, capture_output=True, timeout=20, check=True)
        wait_for("the playlist to open as with File > Open", lambda: app.title() == f"Quavette - {mine}", 5)
    finally:
        app.kill()  # a crash: its socket stays behind

    app = start_with(ctx, root, "-after-crash", "songs/b second.mid")
    try:
        wait_for("a start after the crash", lambda: app.title() == "Quavette - b second.mid", 10)
        # and it took the socket over.
        subprocess.run([ctx.program, "songs/a first.mid"], cwd=root, env=app.env, capture_output=True, timeout=20,
                       check=True)
        wait_for("the song handed over after the crash", lambda: app.title() == "Quavette - a first.mid", 5)
        exit_program(app)
    finally:
        app.kill()

    # Without a session bus: no media controls, and nothing else changes.
    os.remove(settings_path(ctx.home))
    alone = subprocess.Popen([ctx.program], cwd=root, env=dict(env, DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent"),
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        window = wait_for("a window without a bus", lambda: _windows_of(alone.pid, env), 20)[0]
        time.sleep(1.0)
        check(alone.poll() is None, "runs without a bus")
        subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, timeout=10)
        subprocess.run(["xdotool", "key", "--delay", "300", "alt+f", "x"], env=env, timeout=10)
        check(alone.wait(timeout=15) == 0, "File > Exit closes it")
    finally:
        if alone.poll() is None:
            os.killpg(alone.pid, signal.SIGKILL)
    check(read_settings(ctx.home).get("Position", "Width", fallback=None) == "549", "settings stored at the close")


@scenario
def soundfont(ctx):
    root, songs = make_song_folder(ctx)
    gone = os.path.join(root, "unmounted", "gone.sf2")
    chosen = "/usr/share/sounds/sf2/TimGM6mb.sf2"
    os.makedirs(os.path.dirname(settings_path(ctx.home)), exist_ok=True)
    with open(settings_path(ctx.home), "w") as f:
        f.write(f"[Option]\nSoundFont={gone}\n")
    app = start_with(ctx, root, "", "songs/a first.mid")
    try:
        # The stored font is missing: said once at the first Play, and the
        # default font plays.
        caption, texts = app.wait_dialog("error")
        check(any(gone in t for t in texts), f"the missing SoundFont is named: {texts}")
        app.answer_dialog("error")
        wait_for("the song to start", lambda: app.title() == "Quavette - a first.mid", 5)
        check(listen(ctx.desktop, 1.0, ctx.wav("default")) > SILENCE_RMS, "the song is heard with the default font")

        # Chosen through Option > SoundFont... while the song plays.
        app.menu("Option", "SoundFont...")
        dialog = app.wait_find("dialog")
        field = next(n for n in pyatspi.findAllDescendants(dialog, lambda n: n.getRoleName() == "text")
                     if n.getState().contains(pyatspi.STATE_EDITABLE) and n.getState().contains(pyatspi.STATE_SHOWING))
        field.queryEditableText().setTextContents(chosen)
        app.click(app.wait_find("push button", "Open", root=dialog))
        wait_for("the dialog to close", lambda: not dialog.getState().contains(pyatspi.STATE_SHOWING), 5)
        level = listen(ctx.desktop, 1.0, ctx.wav("chosen"))
        check(level > SILENCE_RMS, f"the song goes on with the chosen font (RMS {level})")
        check(app.title() == "Quavette - a first.mid", "the same song plays on")
        check(not app.dialog_texts(), f"no message: {app.dialog_texts()}")
        app.menu("Help", "About...")
        caption, texts = app.wait_dialog("About")
        check(any(f"SoundFont: {chosen}" in t for t in texts), f"the about box names the font: {texts}")
        app.answer_dialog("About")
        exit_program(app)
    finally:
        app.kill()
    stored = read_settings(ctx.home)["Option"]["SoundFont"]
    check(stored == chosen, f"the choice is stored: {stored}")


@scenario
def lyrics(ctx):
    root, songs = make_song_folder(ctx)
    shutil.copy(os.path.join(ctx.data, "midi", "jazzsoft__test-karaoke-kar.mid"), os.path.join(songs, "k sing.mid"))
    app = start_with(ctx, root, "", "songs/k sing.mid")
    try:
        wait_for("the karaoke song", lambda: app.title() == "Quavette - k sing.mid", 10)
        app.menu("Option", "Show lyrics")
        window = wait_for("the lyrics window",
                          lambda: next(f for f in app.frames() if f.name == "Lyrics"), 10)
        # Its first line, then the second as it is heard.
        app.wait_find("label", "Mary was a little lame,", root=window)
        app.wait_find("label", "Little lame,", root=window, timeout=6)
        check(playerctl(app, "metadata", "xesam:asText").startswith("Mary was a little lame,\nLittle lame,"),
              "the media controls carry the words")
        app.menu("Option", "Show lyrics")
        wait_for("the window to go", lambda: not window.getState().contains(pyatspi.STATE_SHOWING), 5)
        exit_program(app)
    finally:
        app.kill()
    stored = read_settings(ctx.home)
    check(stored.get("Option", "ShowLyrics") == "0", "the item's state is stored")
    check(stored.get("Position", "LyricsWidth", fallback=None) is not None, "the window's size is stored")


def _windows_of(pid, env):
    return subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(pid), "--name", "^Quavette"],
                          env=env, capture_output=True, text=True).stdout.split()


def _windows(app):
    return _windows_of(app.proc.pid, app.env)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--program", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--artifacts", required=True)
    args = parser.parse_args()
    os.makedirs(args.artifacts, exist_ok=True)
    with Desktop(args.artifacts) as desktop:
        ctx = Context(desktop, args.program, args.data, args.artifacts, args.scenario)
        try:
            SCENARIOS[args.scenario](ctx)
        except Exception:
            traceback.print_exc()
            return 1
    print(f"{args.scenario}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())

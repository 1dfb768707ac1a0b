#!/usr/bin/env python3
"""End-to-end scenarios of the desktop services: the command line, the
one-instance socket, and a start without a session bus.
Usage: desktop_scenarios.py SCENARIO --program PATH --data DIR --artifacts DIR"""

import argparse
import os
import signal
import subprocess
import sys
import time
import traceback

from harness import SILENCE_RMS, Desktop, E2EError, Program, listen, wait_for
from scenarios import (Context, check, exit_program, make_song_folder, open_songs_and_add, read_settings,
                       settings_path)

SCENARIOS = {}


def scenario(fn):
    SCENARIOS[fn.__name__] = fn
    return fn


def start_with(ctx, cwd, label, *args):
    return Program(ctx.desktop, ctx.program, ctx.home, cwd, ctx.artifacts, ctx.name + label, args=args)


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
        caption, texts = app.answer_dialog("error")
        check(any(f"{songs}/gone.mid (No such file or directory)" in t for t in texts), f"the missing file: {texts}")
        level = listen(ctx.desktop, 1.0, ctx.wav("named"))
        check(level > SILENCE_RMS, f"the named song is heard (RMS {level})")

        # A second start hands its files over and ends.
        second = subprocess.run([ctx.program, "songs/b second.mid"], cwd=root, env=app.env, capture_output=True,
                                timeout=20)
        check(second.returncode == 0, f"the second start ends: {second.returncode}")
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

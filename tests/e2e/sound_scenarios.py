#!/usr/bin/env python3
"""End-to-end scenarios of the sound server under the playing program.
Usage: sound_scenarios.py SCENARIO --program PATH --data DIR --artifacts DIR"""

import argparse
import os
import subprocess
import sys
import time
import traceback

from harness import SILENCE_RMS, Desktop, Listener, listen, run, wait_for
from scenarios import Context, check, exit_program, make_song_folder, open_songs_and_add

SCENARIOS = {}


def scenario(fn):
    SCENARIOS[fn.__name__] = fn
    return fn


def position(app):
    """The playing position in seconds, as the media controls read it."""
    result = subprocess.run(["playerctl", "-p", "quavette", "position"], env=app.env, capture_output=True,
                            text=True, timeout=10)
    return float(result.stdout.strip())


@scenario
def sound_server_restart(ctx):
    root, _ = make_song_folder(ctx)
    app = ctx.start(cwd=root)
    try:
        open_songs_and_add(app, ["a first.mid", "b second.mid"])
        app.press("Play")
        wait_for("the first song's title", lambda: app.title() == "Quavette - a first.mid", 5)
        wait_for("the song under way", lambda: position(app) > 0.8, 5)

        run("pulseaudio", "--kill", env=ctx.desktop.env)
        wait_for("the server gone", lambda: subprocess.run(["pactl", "info"], env=ctx.desktop.env,
                                                           capture_output=True).returncode != 0, 5)
        time.sleep(1.0)
        held = position(app)
        time.sleep(1.5)
        check(abs(position(app) - held) < 0.02, f"the position ran on in silence: {held} -> {position(app)}")
        check(app.title() == "Quavette - a first.mid", f"still the first song: {app.title()!r}")

        ctx.desktop._start_sound()
        ctx.desktop.listener = Listener(ctx.desktop)
        wait_for("the song to go on", lambda: position(app) > held + 0.3, 10)
        check(position(app) < held + 3, f"the song went on from where it was heard ({held})")
        level = listen(ctx.desktop, 1.0, ctx.wav("back"))
        check(level > SILENCE_RMS, f"heard again once the server is back (RMS {level})")
        wait_for("the second song to follow", lambda: app.title() == "Quavette - b second.mid", 15)
        exit_program(app)
    finally:
        app.kill()


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

#!/usr/bin/env python3
"""End-to-end scenarios of the program as a process among others: told to
end by the desktop, reached by floods and by starts that give up, with a
settings file that is not a file, and asked for help with no display.
Usage: process_scenarios.py SCENARIO --program PATH --data DIR --artifacts DIR"""

import argparse
import glob
import os
import resource
import signal
import socket
import subprocess
import sys
import time
import traceback

from desktop_scenarios import _windows, start_with
from harness import Desktop, E2EError, wait_for
from scenarios import Context, check, make_song_folder, read_settings, settings_path

SCENARIOS = {}


def scenario(fn):
    SCENARIOS[fn.__name__] = fn
    return fn


def list_file(ctx):
    return os.path.join(ctx.home, "data", "Kestrix", "Quavette", "list.qvt")


def instance_socket(app):
    found = glob.glob(os.path.join(app.env["XDG_RUNTIME_DIR"], "quavette-*[!k]"))
    sockets = [p for p in found if not p.endswith(".lock") and not p.endswith(".rmlock")]
    check(len(sockets) == 1, f"one instance socket: {found}")
    return sockets[0]


def second_start(ctx, root, app, *args, timeout=20):
    return subprocess.run([ctx.program, *args], cwd=root, env=app.env, capture_output=True, timeout=timeout)


@scenario
def logout_signal(ctx):
    root, songs = make_song_folder(ctx)
    for sig in (signal.SIGTERM, signal.SIGHUP):
        app = start_with(ctx, root, f"-{sig.name}", "songs/a first.mid", "songs/b second.mid")
        try:
            wait_for("the first song", lambda: app.title() == "Quavette - a first.mid", 10)
            app.menu("Option", "Save list")
            app.menu("Option", "Random mode")
            os.kill(app.proc.pid, sig)
            check(app.proc.wait(timeout=15) == 0, f"{sig.name} ends the program")
        finally:
            app.kill()
        check(read_settings(ctx.home).get("Option", "Random") == "1", f"Random mode stored at {sig.name}")
        with open(list_file(ctx), "rb") as f:
            content = f.read()
        expected = b"QVT1.10\r\n2\r\n" + songs.encode() + b"/a first.mid\r\n" + songs.encode() + b"/b second.mid\r\n"
        check(content == expected, f"list.qvt stored at {sig.name}: {content!r}")
        os.remove(list_file(ctx))
        os.remove(settings_path(ctx.home))


@scenario
def instance_flood(ctx):
    root, songs = make_song_folder(ctx)
    # Everyone at the usual limit of 1,024 open files: the flood comes from
    # two clients of 550 connections each.
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(1024, hard), hard))
    app = start_with(ctx, root, "", "songs/a first.mid")
    flooders = []
    try:
        wait_for("the first song", lambda: app.title() == "Quavette - a first.mid", 10)
        path = instance_socket(app)
        for _ in range(2):
            flooders.append(subprocess.Popen([sys.executable, __file__, "flood", path, "550"],
                                             stdout=subprocess.PIPE, text=True))
        held = sum(int(f.stdout.readline() or 0) for f in flooders)
        print(f"{held} idle connections")
        time.sleep(1.0)
        check(os.path.exists(path), "the socket is still there")
        second = second_start(ctx, root, app, "songs/b second.mid")
        check(second.returncode == 0, f"the hand-over after the flood: {second.returncode} {second.stderr!r}")
        wait_for("the handed song to start", lambda: app.title() == "Quavette - b second.mid", 5)
        check(len(_windows(app)) == 1, "one main window")
    finally:
        for f in flooders:
            f.kill()
        app.kill()


def flood(path, count):
    """Holds `count` idle connections to `path` (as far as it can) until
    killed; prints how many it made."""
    held = []
    deadline = time.monotonic() + 30
    while len(held) < count and os.path.exists(path) and time.monotonic() < deadline:
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        s.settimeout(5.0)
        try:
            s.connect(path)
            held.append(s)
        except BlockingIOError:
            s.close()
            time.sleep(0.005)  # its backlog is full: once it has taken some
        except OSError:
            s.close()
    print(len(held), flush=True)
    time.sleep(3600)


@scenario
def instance_stopped(ctx):
    root, songs = make_song_folder(ctx)
    app = start_with(ctx, root, "", "songs/a first.mid")
    try:
        wait_for("the first song", lambda: app.title() == "Quavette - a first.mid", 10)
        os.kill(app.proc.pid, signal.SIGSTOP)
        second = subprocess.Popen([ctx.program, "songs/b second.mid"], cwd=root, env=app.env,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True)
        try:
            box = wait_for("the second start to say it failed", lambda: subprocess.run(
                ["xdotool", "search", "--all", "--onlyvisible", "--pid", str(second.pid), "--name", "^Quavette"],
                env=app.env, capture_output=True, text=True).stdout.split(), 20)[0]
            subprocess.run(["xdotool", "windowfocus", "--sync", box], env=app.env, timeout=10)
            subprocess.run(["xdotool", "key", "Return"], env=app.env, timeout=10)
            check(second.wait(timeout=10) == 1, "the second start ends, failed")
            check(b"does not answer" in second.stderr.read(), "and says so on standard error")
        finally:
            if second.poll() is None:
                os.killpg(second.pid, signal.SIGKILL)
        os.kill(app.proc.pid, signal.SIGCONT)
        time.sleep(2.0)
        check(app.title() == "Quavette - a first.mid", "a hand-over given up is not taken later")
        check(len(_windows(app)) == 1, "one main window")
    finally:
        os.kill(app.proc.pid, signal.SIGCONT)
        app.kill()


@scenario
def settings_fifo(ctx):
    root, songs = make_song_folder(ctx)
    os.makedirs(os.path.dirname(settings_path(ctx.home)), exist_ok=True)
    os.mkfifo(settings_path(ctx.home))
    app = start_with(ctx, root, "")  # waits for its window
    try:
        caption, texts = app.wait_dialog("Quavette")
        check(texts, "the settings file that is not a file is named")
    finally:
        app.kill()


@scenario
def no_display(ctx):
    env = {k: v for k, v in ctx.desktop.env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    for option, expected in (("--version", "Quavette 1.0.0"), ("--help", "[FILE...]")):
        result = subprocess.run([ctx.program, option], env=env, capture_output=True, text=True, timeout=20)
        check(result.returncode == 0 and expected in result.stdout,
              f"{option} without a display: {result.returncode} {result.stdout!r} {result.stderr!r}")


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "flood":
        flood(sys.argv[2], int(sys.argv[3]))
        return 0
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

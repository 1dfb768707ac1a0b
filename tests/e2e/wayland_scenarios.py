#!/usr/bin/env python3
"""End-to-end scenarios on a Wayland compositor (weston, headless), with and
without an X display beside it: a start and a close keep every stored place
and size, at scale factors 1 and 2.
Usage: wayland_scenarios.py SCENARIO --program PATH --data DIR --artifacts DIR"""

import argparse
import os
import signal
import subprocess
import sys
import traceback

from harness import Desktop, E2EError, wait_for
from scenarios import check, read_settings, settings_path

STORED = {"Top": "100", "Left": "120", "Width": "600", "Height": "401", "ListWidth": "330",
          "CtrlTop": "300", "CtrlLeft": "400"}
SCENARIOS = {}


def scenario(fn):
    SCENARIOS[fn.__name__] = fn
    return fn


def start_weston(desktop, artifacts):
    log = open(os.path.join(artifacts, "weston.log"), "w")
    proc = desktop._spawn("weston", "--backend=headless-backend.so", "--socket=wayland-quavette", "--idle-time=0",
                          "--width=1280", "--height=800", output_to=log)
    wait_for("weston", lambda: os.path.exists(os.path.join(desktop.runtime, "wayland-quavette"))
             or proc.poll() is not None, 20)
    if proc.poll() is not None:
        raise E2EError(f"weston ended at start (exit status {proc.returncode})")


def cycle(desktop, program, artifacts, home, label, with_x, scale):
    """Starts the program, waits until it is up, ends it as a logout does;
    returns how it was reached: by X or not."""
    env = dict(desktop.env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_DATA_HOME=os.path.join(home, "data"), WAYLAND_DISPLAY="wayland-quavette",
               QT_SCALE_FACTOR=scale)
    env.pop("QT_QPA_PLATFORM", None)
    if not with_x:
        env.pop("DISPLAY", None)
    with open(os.path.join(artifacts, f"{label}.log"), "w") as log:
        proc = subprocess.Popen([program], env=env, stdout=log, stderr=log, start_new_session=True)
    try:
        wait_for("the player on the bus", lambda: subprocess.run(
            ["playerctl", "-p", "quavette", "status"], env=env, capture_output=True, text=True).stdout.strip()
            == "Stopped", 20)
        on_x = bool(with_x and subprocess.run(
            ["xdotool", "search", "--all", "--onlyvisible", "--pid", str(proc.pid), "--name", "^Quavette$"],
            env=env, capture_output=True, text=True).stdout.split())
        os.kill(proc.pid, signal.SIGTERM)
        check(proc.wait(timeout=15) == 0, f"{label}: ends at SIGTERM")
        return on_x
    finally:
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)


@scenario
def wayland_cycles(ctx):
    desktop, program, artifacts = ctx
    start_weston(desktop, artifacts)
    for label, with_x, scale in (("native", False, "1"), ("native-scale2", False, "2"), ("xwayland", True, "1")):
        home = desktop.scenario_home(label)
        os.makedirs(os.path.dirname(settings_path(home)), exist_ok=True)
        with open(settings_path(home), "w") as f:
            f.write("[Position]\n" + "".join(f"{k}={v}\n" for k, v in STORED.items())
                    + "[Option]\nShowController=1\n")
        for round in (1, 2, 3):
            on_x = cycle(desktop, program, artifacts, home, f"{label}-{round}", with_x, scale)
            check(on_x == with_x, f"{label}: on X11 exactly when an X display is there")
            stored = read_settings(home)
            got = {k: stored.get("Position", k) for k in STORED}
            check(got == STORED, f"{label}, start {round}: stored places and sizes kept: {got}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--program", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--artifacts", required=True)
    args = parser.parse_args()
    os.makedirs(args.artifacts, exist_ok=True)
    with Desktop(args.artifacts) as desktop:
        try:
            SCENARIOS[args.scenario]((desktop, args.program, args.artifacts))
        except Exception:
            traceback.print_exc()
            return 1
    print(f"{args.scenario}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())

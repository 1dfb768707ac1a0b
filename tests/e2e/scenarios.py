#!/usr/bin/env python3
"""End-to-end scenarios: the built program on a real display with a real
sound server. Usage: scenarios.py SCENARIO --program PATH --data DIR --artifacts DIR"""

import argparse
import configparser
import os
import shutil
import subprocess
import sys
import time
import traceback

from harness import SILENCE_RMS, Desktop, E2EError, Program, listen, run, wait_for

SCENARIOS = {}


def scenario(fn=None, window_manager=False):
    """Registers a scenario; with `window_manager`, it runs under openbox."""
    def register(fn):
        fn.window_manager = window_manager
        SCENARIOS[fn.__name__] = fn
        return fn
    return register(fn) if fn else register


def check(condition, message):
    if not condition:
        raise E2EError(message)


def settings_path(home):
    return os.path.join(home, "config", "Kestrix", "Quavette.conf")


def read_settings(home):
    parser = configparser.ConfigParser()
    parser.optionxform = str
    parser.read(settings_path(home), encoding="utf-8")
    return parser


def make_song_folder(ctx, name="music"):
    """A folder holding a subfolder "songs" with two short real songs."""
    root = os.path.join(ctx.desktop.root, name)
    songs = os.path.join(root, "songs")
    os.makedirs(songs, exist_ok=True)
    shutil.copy(os.path.join(ctx.data, "midi", "jazzsoft__test-c-major-scale.mid"), os.path.join(songs, "a first.mid"))
    shutil.copy(os.path.join(ctx.data, "midi", "jazzsoft__test-2-tracks-type-1.mid"),
                os.path.join(songs, "b second.mid"))
    return root, songs


def exit_program(app, menu="File", item="Exit"):
    app.menu(menu, item)
    try:
        app.proc.wait(timeout=15)
    except subprocess.TimeoutExpired:
        raise E2EError("the program did not end after File > Exit")


def open_songs_and_add(app, names):
    """Opens the subfolder "songs" in the folder list, selects `names` in the
    file list and presses Add."""
    folders = app.wait_find("list", "Folders")
    app.click(app.wait_find("list item", "songs", root=folders), repeat=2)
    files = app.wait_find("list", "Files")
    first = app.wait_find("list item", names[0], root=files)
    app.click(first)
    for name in names[1:]:
        item = app.wait_find("list item", name, root=files)
        subprocess.run(["xdotool", "keydown", "ctrl"], env=app.env)
        app.click(item)
        subprocess.run(["xdotool", "keyup", "ctrl"], env=app.env)
    app.press("Add")
    playlist = app.wait_find("tree", "Playlist")
    wait_for("the added rows", lambda: all(_row_exists(app, playlist, n) for n in names), 5)


def _row_exists(app, playlist, name):
    try:
        app.find("table cell", name, root=playlist, visible_only=False)
        return True
    except E2EError:
        return False


class Context:
    def __init__(self, desktop, program, data, artifacts, name):
        self.desktop = desktop
        self.program = program
        self.data = data
        self.artifacts = artifacts
        self.name = name
        self.home = desktop.scenario_home(name)

    def start(self, cwd=None, label="", accessible=True):
        return Program(self.desktop, self.program, self.home, cwd or self.desktop.root, self.artifacts,
                       self.name + label, accessible)

    def wav(self, label):
        return os.path.join(self.artifacts, f"{self.name}-{label}.wav")


@scenario
def first_run(ctx):
    app = ctx.start()
    try:
        check(app.geometry() == (156, 78, 549, 369), f"first-run geometry {app.geometry()}")
        check(app.title() == "Quavette", f"title {app.title()!r}")
        check(app.icon_name() == "Quavette", f"application title {app.icon_name()!r}")
        check(os.path.isfile(settings_path(ctx.home)), "the settings file exists from the first start")
        check(os.path.getsize(settings_path(ctx.home)) == 0, "nothing is written before the first close")
        check(not app.enabled(app.wait_find("push button", "Pause")), "Pause starts disabled")
        app.screenshot("main")
        # The menu by its mnemonics, as a keyboard user closes the program.
        app.keys("alt+f")
        app.wait_find("menu item", "Exit")
        app.keys("x")
        try:
            app.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            raise E2EError("Alt+F, X did not close the program")
    finally:
        app.kill()
    s = read_settings(ctx.home)
    expected = {"Top": "78", "Left": "156", "Width": "549", "Height": "369", "ListWidth": "329",
                "FileNameWidth": "100", "PathNameWidth": "150", "Maximized": "0", "CtrlTop": "141",
                "CtrlLeft": "176"}
    for key, value in expected.items():
        check(s.get("Position", key, fallback=None) == value, f"Position/{key} = {s.get('Position', key, fallback=None)}")
    for key, value in {"Random": "0", "English": "1", "ListSave": "0", "ShowPosition": "0", "AutoPlay": "0",
                       "ShowController": "0"}.items():
        check(s.get("Option", key, fallback=None) == value, f"Option/{key}")


@scenario
def typical_song(ctx):
    root, songs = make_song_folder(ctx)
    app = ctx.start(cwd=root)
    try:
        open_songs_and_add(app, ["a first.mid", "b second.mid"])
        app.press("Play")
        wait_for("the first song's title", lambda: app.title() == "Quavette - a first.mid", 5)
        check(app.icon_name() == "a first.mid", f"application title {app.icon_name()!r}")
        level = listen(ctx.desktop, 1.5, ctx.wav("playing"))
        check(level > SILENCE_RMS, f"the first song is heard (RMS {level})")

        app.press("Pause")
        time.sleep(0.5)
        level = listen(ctx.desktop, 1.0, ctx.wav("paused"))
        check(level < SILENCE_RMS, f"silence while paused (RMS {level})")
        app.press("Play")
        level = listen(ctx.desktop, 1.0, ctx.wav("resumed"))
        check(level > SILENCE_RMS, f"sound again after Play (RMS {level})")

        wait_for("the second song to start by itself", lambda: app.title() == "Quavette - b second.mid", 12)
        check(app.icon_name() == "b second.mid", "application title follows the song")
        app.press("Next")
        wait_for("Next to wrap to the first song", lambda: app.title() == "Quavette - a first.mid", 5)
        app.keys("alt+t")  # S&top by its mnemonic
        wait_for("the stopped title", lambda: app.title() == "Quavette", 5)
        time.sleep(0.5)
        level = listen(ctx.desktop, 1.0, ctx.wav("stopped"))
        check(level < SILENCE_RMS, f"silence after Stop (RMS {level})")
        exit_program(app)
    finally:
        app.kill()


@scenario
def persistence(ctx):
    root, songs = make_song_folder(ctx)
    app = ctx.start(cwd=root)
    try:
        open_songs_and_add(app, ["a first.mid", "b second.mid"])
        app.menu("Option", "Auto play")  # also checks "Save list"
        app.menu("Option", "Show controller")
        controller = wait_for("the controller window", lambda: _controller_window(app), 5)
        subprocess.run(["xdotool", "windowmove", "--sync", controller, "700", "300"], env=app.env)
        time.sleep(0.3)
        exit_program(app)
    finally:
        app.kill()
    s = read_settings(ctx.home)
    check(s.get("Option", "ListSave") == "1" and s.get("Option", "AutoPlay") == "1", "options stored")
    check(s.get("Position", "CtrlLeft") == "700" and s.get("Position", "CtrlTop") == "300", "controller place stored")
    list_file = os.path.join(ctx.home, "data", "Kestrix", "Quavette", "list.qvt")
    with open(list_file, "rb") as f:
        content = f.read()
    expected = b"QVT1.10\r\n2\r\n" + songs.encode() + b"/a first.mid\r\n" + songs.encode() + b"/b second.mid\r\n"
    check(content == expected, f"list.qvt holds the playlist: {content!r}")

    app = ctx.start(cwd=root, label="-again")
    try:
        wait_for("auto play", lambda: app.title() == "Quavette - a first.mid", 10)
        level = listen(ctx.desktop, 1.5, ctx.wav("autoplay"))
        check(level > SILENCE_RMS, f"the first song sounds at start (RMS {level})")
        controller = wait_for("the controller at start", lambda: _controller_window(app), 5)
        out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", controller], env=app.env,
                             capture_output=True, text=True).stdout
        values = dict(line.split("=") for line in out.split())
        check((values["X"], values["Y"]) == ("700", "300"), f"controller at its stored place: {values}")
        app.screenshot("controller", window=controller)
        exit_program(app)
    finally:
        app.kill()


def _controller_window(app):
    out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(app.proc.pid),
                          "--name", "^Controller$"], env=app.env, capture_output=True, text=True).stdout.split()
    return out[0] if out else None


@scenario
def bad_input(ctx):
    root, songs = make_song_folder(ctx)
    with open(os.path.join(songs, "c text.mid"), "w") as f:
        f.write("This is not a song, only words.\n")
    open(os.path.join(songs, "d empty.mid"), "wb").close()
    app = ctx.start(cwd=root)
    try:
        open_songs_and_add(app, ["c text.mid", "d empty.mid", "a first.mid"])
        playlist = app.wait_find("tree", "Playlist")
        for row_name in ("c text.mid", "d empty.mid"):
            app.click(app.find("table cell", row_name, root=playlist))
            app.press("Play")
            caption, texts = app.answer_dialog("error")
            check("Error(b-1)" in texts, f"{row_name}: {texts}")
            check(app.title() == f"Quavette - {row_name}", "the title already names the file")
        os.remove(os.path.join(songs, "a first.mid"))
        app.click(app.find("table cell", "a first.mid", root=playlist))
        app.press("Play")
        caption, texts = app.answer_dialog("error")
        check(f"Bad file name : {songs}/a first.mid" in texts, f"missing file: {texts}")
        check(app.proc.poll() is None, "the program keeps running")
        exit_program(app)
    finally:
        app.kill()

    # A damaged automatic list and a damaged settings file.
    data_folder = os.path.join(ctx.home, "data", "Kestrix", "Quavette")
    os.makedirs(data_folder, exist_ok=True)
    with open(os.path.join(data_folder, "list.qvt"), "wb") as f:
        f.write(b"QVT1.10\r\nlots\r\n/x.mid\r\n")
    with open(settings_path(ctx.home), "w") as f:
        f.write("[Option]\nListSave=1\n")
    app = ctx.start(cwd=root, label="-damaged-list")
    try:
        caption, texts = app.answer_dialog("Quavette")
        check(any("Cannot read the playlist file" in t for t in texts), f"damaged list: {texts}")
        check(os.path.exists(os.path.join(data_folder, "list.qvt.bak")), "the unreadable list is kept")
        exit_program(app)
    finally:
        app.kill()

    with open(settings_path(ctx.home), "w") as f:
        f.write("[Position]\nTop=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n")
    app = ctx.start(cwd=root, label="-damaged-settings")
    try:
        caption, texts = app.answer_dialog("Quavette")
        check("'Top' のデータ型が不正です." in texts, f"damaged settings: {texts}")
        app.wait_find("push button", "Play")
        exit_program(app)
    finally:
        app.kill()


@scenario
def japanese(ctx):
    app = ctx.start()
    try:
        app.menu("Option", "Japanese")
        app.wait_find("push button", "再生(P)")
        app.wait_find("push button", "一時停止(S)")
        app.wait_find("menu item", "ﾌｧｲﾙ(F)")
        shot = app.screenshot("main-japanese")
        check(os.path.getsize(shot) > 0, "screenshot taken")
        fonts = subprocess.run(["fc-list", ":lang=ja"], capture_output=True, text=True).stdout
        check(fonts.strip() != "", "a Japanese font is installed, so the captions render as text")
        exit_program(app, "ﾌｧｲﾙ(F)", "終了(X)")
    finally:
        app.kill()
    check(read_settings(ctx.home).get("Option", "English") == "0", "the language is stored")


def write_settings(home, text):
    os.makedirs(os.path.dirname(settings_path(home)), exist_ok=True)
    with open(settings_path(home), "w") as f:
        f.write(text)


def all_settings(home):
    s = read_settings(home)
    return {f"{section}/{key}": value for section in s.sections() for key, value in s.items(section)}


def _framed(app, window):
    """True once the window manager, if there is one, has framed the window."""
    if not app.desktop.window_manager:
        return True
    return "=" in run("xprop", "-id", window, "_NET_FRAME_EXTENTS", env=app.env)


def _maximized(app, window):
    return "_NET_WM_STATE_MAXIMIZED_VERT" in run("xprop", "-id", window, "_NET_WM_STATE", env=app.env)


def settled_frames(app, maximized=False):
    """The frames of the main window and the controller once both are shown,
    framed, in the expected state, and still for a moment."""
    def frames():
        main, controller = app.window, _controller_window(app)
        if not (main and controller and _framed(app, main) and _framed(app, controller)):
            return None
        if app.desktop.window_manager and _maximized(app, main) != maximized:
            return None
        return app.frame(main), app.frame(controller)

    def still():
        first = frames()
        time.sleep(0.3)
        return first if first and frames() == first else None
    return wait_for("both windows in place", still, 15)


def _window_cycles(ctx):
    """Start and close, again and again: every stored value stays as it was,
    and each window's frame lands where its values say."""
    write_settings(ctx.home, "[Position]\nTop=100\nLeft=120\nWidth=600\nHeight=400\nMaximized=0\n"
                             "CtrlTop=300\nCtrlLeft=700\n[Option]\nShowController=1\n")
    expected = None
    runs = [("normal", False, False)] * 5 + [("started maximized", True, True)] * 3
    if ctx.desktop.window_manager:
        runs.insert(5, ("maximized while running", False, True))
    for number, (what, starts_maximized, ends_maximized) in enumerate(runs):
        if starts_maximized and read_settings(ctx.home).get("Position", "Maximized") != "1":
            settings = read_settings(ctx.home)
            settings["Position"]["Maximized"] = "1"
            with open(settings_path(ctx.home), "w") as f:
                settings.write(f, space_around_delimiters=False)
        app = ctx.start(label=f"-{number}", accessible=False)
        try:
            main, controller = settled_frames(app, starts_maximized)
            if not starts_maximized:
                check(main == (120, 100, 600, 400), f"{what} {number}: main window's frame at {main}")
            check(controller[:2] == (700, 300), f"{what} {number}: controller's frame at {controller}")
            if ends_maximized and not starts_maximized:
                # A double click on the title bar, as a person maximizes.
                app.click_at(main[0] + 200, main[1] + 8, repeat=2)
                settled_frames(app, True)
            app.close_box()
        finally:
            app.kill()
        stored = all_settings(ctx.home)
        if expected is None:
            expected = dict(stored)
        expected["Position/Maximized"] = "1" if ends_maximized else "0"
        check(stored == expected, f"{what} {number}: stored {stored}, before {expected}")
        if number == 0:
            check({k: stored[f"Position/{k}"] for k in ("Top", "Left", "Width", "Height", "CtrlTop", "CtrlLeft")}
                  == {"Top": "100", "Left": "120", "Width": "600", "Height": "400", "CtrlTop": "300",
                      "CtrlLeft": "700"}, f"the first close keeps the stored places: {stored}")


@scenario(window_manager=True)
def window_cycles_openbox(ctx):
    _window_cycles(ctx)


@scenario
def window_cycles_bare(ctx):
    _window_cycles(ctx)


@scenario(window_manager=True)
def captions(ctx):
    write_settings(ctx.home, "[Position]\nCtrlTop=200\nCtrlLeft=720\n[Option]\nShowController=1\n")
    app = ctx.start()
    try:
        controller = wait_for("the controller window", lambda: _controller_window(app), 5)
        settled_frames(app)
        actions = run("xprop", "-id", controller, "_NET_WM_ALLOWED_ACTIONS", env=app.env)
        check("_NET_WM_ACTION_CLOSE" in actions and "MINIMIZE" not in actions and "MAXIMIZE" not in actions,
              f"the controller's only title-bar button is the close box: {actions}")
        app.screenshot("main-english")
        app.screenshot("controller-english", window=controller)
        app.menu("Option", "Japanese")
        app.wait_find("push button", "一時停止(S)")
        app.wait_find("push button", "一時停止(E)")
        time.sleep(0.3)
        app.screenshot("main-japanese")
        app.screenshot("controller-japanese", window=controller)
        exit_program(app, "ﾌｧｲﾙ(F)", "終了(X)")
    finally:
        app.kill()
    env = dict(ctx.desktop.env, QT_QPA_PLATFORM="xcb")
    result = subprocess.run([ctx.caption_check], env=env, capture_output=True, text=True, timeout=60)
    with open(os.path.join(ctx.artifacts, "captions-fit.log"), "w") as log:
        log.write(result.stdout + result.stderr)
    check(result.returncode == 0, "a caption does not fit its button:\n" + result.stdout[-3000:])


@scenario
def quiet_title(ctx):
    # A UTF-8 locale: a title beyond ASCII goes to WM_NAME as compound text.
    env = dict(ctx.desktop.env, QT_QPA_PLATFORM="xcb", LC_ALL="C.UTF-8")
    result = subprocess.run([ctx.x11_check], env=env, capture_output=True, text=True, timeout=60)
    with open(os.path.join(ctx.artifacts, "quiet-title.log"), "w") as log:
        log.write(result.stdout + result.stderr)
    check(result.returncode == 0, "the title's own changes came back as events:\n" + result.stdout[-3000:])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--program", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--caption-check")
    parser.add_argument("--x11-check")
    args = parser.parse_args()
    os.makedirs(args.artifacts, exist_ok=True)
    with Desktop(args.artifacts, SCENARIOS[args.scenario].window_manager) as desktop:
        ctx = Context(desktop, args.program, args.data, args.artifacts, args.scenario)
        ctx.caption_check = args.caption_check
        ctx.x11_check = args.x11_check
        try:
            SCENARIOS[args.scenario](ctx)
        except Exception:
            traceback.print_exc()
            return 1
    print(f"{args.scenario}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""A real display, a real sound server and the real program, driven the way a
person drives it: xdotool moves the mouse and types, the accessibility tree
(AT-SPI) tells where the controls are and what they say, parec and sox
listen to what comes out of the speakers."""

import array
import ctypes
import ctypes.util
import math
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import wave

import pyatspi

SILENCE_RMS = 0.0005


class E2EError(AssertionError):
    pass


def run(*cmd, env=None, check=True, timeout=30):
    result = subprocess.run(list(cmd), env=env, capture_output=True, text=True, timeout=timeout)
    if check and result.returncode != 0:
        raise E2EError(f"{' '.join(cmd)} failed: {result.stderr.strip()}")
    return result.stdout


def wait_for(what, predicate, timeout=10.0, interval=0.05):
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        try:
            last = predicate()
            if last:
                return last
        except Exception as error:  # the tree changes under us while we look
            last = error
        time.sleep(interval)
    raise E2EError(f"timed out waiting for {what} (last: {last!r})")


class Desktop:
    """Xvfb, a session bus with the accessibility bus, and PulseAudio with a
    null sink, on a private display number and runtime folder; with
    `window_manager`, openbox runs on the display before any program."""

    def __init__(self, artifacts, window_manager=False):
        self.artifacts = artifacts
        self.window_manager = window_manager
        self.root = tempfile.mkdtemp(prefix="quavette-e2e-")
        self.runtime = os.path.join(self.root, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        self.procs = []
        self.env = dict(os.environ)
        self.env.update(XDG_RUNTIME_DIR=self.runtime, HOME=self.root)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)

    def __enter__(self):
        try:
            self._start_x()
            if self.window_manager:
                self._start_window_manager()
            self._start_bus()
            self._start_sound()
            self.listener = Listener(self)
        except BaseException:
            self.__exit__()  # nothing started may outlive a failed start
            raise
        os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR")})
        return self

    def __exit__(self, *exc):
        for proc in reversed(self.procs):
            try:
                os.killpg(proc.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        subprocess.run(["pulseaudio", "--kill"], env=self.env, capture_output=True)
        for proc in self.procs:
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
        shutil.rmtree(self.root, ignore_errors=True)

    def _spawn(self, *cmd, output_to=subprocess.DEVNULL, **kw):
        proc = subprocess.Popen(list(cmd), env=self.env, stdout=output_to, stderr=output_to,
                                start_new_session=True, **kw)
        self.procs.append(proc)
        return proc

    def _start_x(self):
        for number in range(70 + os.getpid() % 200, 400):
            if os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}"):
                continue
            # -noreset: by default the server resets when its last client
            # leaves (a probe, the accessibility launcher) and drops whoever
            # connects at that moment.
            proc = self._spawn("Xvfb", f":{number}", "-noreset", "-screen", "0", "1280x800x24", "-nolisten", "tcp")
            try:
                wait_for("Xvfb", lambda: os.path.exists(f"/tmp/.X11-unix/X{number}") or proc.poll() is not None, 10)
            except E2EError:
                pass
            if proc.poll() is None:
                self.env["DISPLAY"] = f":{number}"
                return
        raise E2EError("no free X display")

    def _start_window_manager(self):
        with open(os.path.join(self.artifacts, "openbox.log"), "w") as log:
            proc = self._spawn("openbox", "--sm-disable", output_to=log)
        wait_for("openbox", lambda: "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK",
                                                      env=self.env, check=False) or proc.poll() is not None, 30)
        if proc.poll() is not None:
            raise E2EError(f"openbox ended at start (exit status {proc.returncode})")

    def _start_bus(self):
        out = run("dbus-launch", "--sh-syntax", env=self.env)
        for line in out.splitlines():
            if line.startswith("DBUS_SESSION_BUS_ADDRESS="):
                self.env["DBUS_SESSION_BUS_ADDRESS"] = line.split("=", 1)[1].rstrip(";").strip("'")
            if line.startswith("DBUS_SESSION_BUS_PID="):
                pid = int(line.split("=", 1)[1].rstrip(";"))
                self.procs.append(_Pid(pid))
        self._spawn("/usr/libexec/at-spi-bus-launcher", "--launch-immediately")
        time.sleep(0.5)

    def _start_sound(self):
        run("pulseaudio", "-D", "--exit-idle-time=-1", "-n", "--load=module-null-sink sink_name=test rate=44100",
            "--load=module-native-protocol-unix", "--log-target=stderr", env=self.env, check=False)
        wait_for("PulseAudio", lambda: subprocess.run(["pactl", "info"], env=self.env,
                                                      capture_output=True).returncode == 0, 15)
        run("pactl", "set-default-sink", "test", env=self.env)

    def scenario_home(self, name):
        """A fresh HOME and XDG folders for one scenario."""
        home = os.path.join(self.root, name)
        for sub in ("config", "data", "cache"):
            os.makedirs(os.path.join(home, sub), exist_ok=True)
        return home


class _Pid:
    def __init__(self, pid):
        self.pid = pid

    def wait(self, timeout=None):
        return 0

    def poll(self):
        return 0


class Listener:
    """Records the null sink's monitor from the start of the session, so the
    sink never idles into high latency; `listen` measures a stretch of it."""

    RATE = 44100
    FRAME_BYTES = 4  # s16le, two channels

    def __init__(self, desktop):
        self.path = os.path.join(desktop.root, "monitor.raw")
        self.file = open(self.path, "wb")
        self.proc = subprocess.Popen(["parec", "-d", "test.monitor", "--latency-msec=20", "--raw",
                                      "--format=s16le", "--rate=44100", "--channels=2"],
                                     env=desktop.env, stdout=self.file, stderr=subprocess.DEVNULL,
                                     start_new_session=True)
        desktop.procs.append(self.proc)
        wait_for("the recorder", lambda: os.path.getsize(self.path) > 0, 10)

    def mark(self):
        return os.path.getsize(self.path)

    def since(self, mark):
        with open(self.path, "rb") as f:
            f.seek(mark)
            data = f.read()
        return data[: len(data) - len(data) % self.FRAME_BYTES]


def listen(desktop, seconds, path):
    """Records `seconds` of what plays, keeps it as a WAV file and returns its
    RMS amplitude (0 to 1)."""
    start = desktop.listener.mark()
    time.sleep(seconds)
    data = desktop.listener.since(start)
    with wave.open(path, "wb") as out:
        out.setnchannels(2)
        out.setsampwidth(2)
        out.setframerate(Listener.RATE)
        out.writeframes(data)
    samples = array.array("h")
    samples.frombytes(data)
    if not samples:
        raise E2EError("nothing was recorded")
    return math.sqrt(sum(v * v for v in samples) / len(samples)) / 32768.0


class Program:
    """The player, started with its own HOME, in a given folder."""

    def __init__(self, desktop, binary, home, cwd, artifacts, name, accessible=True, args=()):
        self.desktop = desktop
        self.artifacts = artifacts
        self.name = name
        self.env = dict(desktop.env)
        self.env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                        XDG_DATA_HOME=os.path.join(home, "data"), XDG_CACHE_HOME=os.path.join(home, "cache"),
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
        self.log = open(os.path.join(artifacts, f"{name}.log"), "w")
        self.proc = subprocess.Popen([binary, *args], cwd=cwd, env=self.env, stdout=self.log, stderr=self.log,
                                     start_new_session=True)
        wait_for("a window", self._find_main_window, 20)
        self.app = wait_for("the program in the accessibility tree", self._find_app, 20) if accessible else None

    def _find_main_window(self):
        out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid),
                              "--name", "^Quavette"], env=self.env, capture_output=True, text=True).stdout
        # A message box shown during start-up carries the same caption; the
        # main window is the one with the menu bar, the largest.
        best = None
        for wid in out.split():
            geo = subprocess.run(["xdotool", "getwindowgeometry", "--shell", wid], env=self.env,
                                 capture_output=True, text=True).stdout
            values = dict(line.split("=") for line in geo.split() if "=" in line)
            area = int(values.get("WIDTH", 0)) * int(values.get("HEIGHT", 0))
            if best is None or area > best[0]:
                best = (area, wid)
        return best[1] if best else None

    @property
    def window(self):
        return self._find_main_window()

    def _find_app(self):
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == self.proc.pid:
                    return app
            except Exception:
                continue
        return None

    # --- reading -----------------------------------------------------------
    def title(self):
        return run("xdotool", "getwindowname", self.window, env=self.env).rstrip("\n")

    def icon_name(self):
        out = run("xprop", "-id", self.window, "_NET_WM_ICON_NAME", env=self.env)
        return out.split("=", 1)[1].strip().strip('"') if "=" in out else ""

    def geometry(self):
        out = run("xdotool", "getwindowgeometry", "--shell", self.window, env=self.env)
        values = dict(line.split("=") for line in out.split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def frame(self, window=None):
        """Where the window's frame is and how big the window is inside it:
        (left, top, width, height), as the settings store them."""
        return frame_geometry(self.env, window or self.window)

    def find(self, role, name=None, root=None, visible_only=True):
        """The first node of that role (and name) in the tree."""
        def match(node):
            try:
                if node.getRoleName() != role:
                    return False
                if name is not None and node.name != name:
                    return False
                return not visible_only or node.getState().contains(pyatspi.STATE_SHOWING)
            except Exception:
                return False
        found = pyatspi.findDescendant(root or self.app, match, breadth_first=True)
        if found is None:
            raise E2EError(f"no {role} {name!r}")
        return found

    def wait_find(self, role, name=None, timeout=10, root=None):
        return wait_for(f"{role} {name!r}", lambda: self.find(role, name, root), timeout)

    def frames(self):
        return [child for child in self.app if child is not None]

    def dialog_texts(self):
        """Every open message box: (caption, texts of its labels)."""
        boxes = []
        for frame in self.frames():
            try:
                role = frame.getRoleName()
                if role == "frame" and (frame.name in ("Controller", "Quavette Help", "Lyrics", "歌詞")
                                        or any(c.getRoleName() == "menu bar" for c in frame)):
                    continue
                if role not in ("dialog", "alert", "frame"):
                    continue
                if not frame.getState().contains(pyatspi.STATE_SHOWING):
                    continue
                labels = pyatspi.findAllDescendants(frame, lambda n: n.getRoleName() == "label")
                boxes.append((frame.name, [label.name for label in labels if label.name]))
            except Exception:
                continue
        return boxes

    def wait_dialog(self, caption, timeout=10):
        return wait_for(f"a box captioned {caption!r}",
                        lambda: next((b for b in self.dialog_texts() if b[0] == caption), None), timeout)

    def enabled(self, node):
        return node.getState().contains(pyatspi.STATE_ENABLED)

    # --- acting ------------------------------------------------------------
    def click_at(self, x, y, button=1, repeat=1):
        run("xdotool", "mousemove", "--sync", str(x), str(y), env=self.env)
        run("xdotool", "click", "--repeat", str(repeat), "--delay", "80", str(button), env=self.env)
        time.sleep(0.15)

    def click(self, node, button=1, repeat=1, dx=None, dy=None):
        ext = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        x = ext.x + (ext.width // 2 if dx is None else dx)
        y = ext.y + (ext.height // 2 if dy is None else dy)
        self.click_at(x, y, button, repeat)

    def press(self, name, role="push button"):
        self.click(self.wait_find(role, name))

    def keys(self, *keys, window=None):
        run("xdotool", "windowfocus", "--sync", window or self.window, env=self.env)
        run("xdotool", "key", "--delay", "60", *keys, env=self.env)
        time.sleep(0.2)

    def menu(self, menu_name, item_name):
        self.click(self.wait_find("menu item", menu_name))
        popup_item = self.wait_find("menu item", item_name)
        self.click(popup_item)
        time.sleep(0.2)

    def answer_dialog(self, caption):
        box = self.wait_dialog(caption)
        ok = self.find("push button", "OK")
        self.click(ok)
        wait_for(f"the {caption!r} box to close",
                 lambda: not any(b[0] == caption for b in self.dialog_texts()), 10)
        return box

    def screenshot(self, label, window=None):
        path = os.path.join(self.artifacts, f"{self.name}-{label}.png")
        subprocess.run(["import", "-window", window or self.window, path], env=self.env, capture_output=True)
        return path

    def close_box(self, window=None):
        """The window's close box (WM_DELETE_WINDOW, with or without a window
        manager); waits for the program to end."""
        send_close(self.env["DISPLAY"], int(window or self.window))
        try:
            self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            raise E2EError("the program did not end after its close box")
        return self.proc.returncode

    def close(self):
        """Alt+F4 as a person would; waits for the program to end."""
        self.keys("alt+F4")
        try:
            self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            raise E2EError("the program did not end after Alt+F4")
        return self.proc.returncode

    def kill(self):
        """Ends the program; called from a `finally`, it first keeps a
        screenshot of the screen when a check has failed."""
        if sys.exc_info()[0] is not None and self.proc.poll() is None:
            path = os.path.join(self.artifacts, f"{self.name}-failure.png")
            subprocess.run(["import", "-window", "root", path], env=self.env, capture_output=True)
            print(f"screenshot of the failure: {path}")
        if self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()
        self.log.close()


def frame_geometry(env, window):
    """(left, top, width, height): the frame's place on the screen (under a
    window manager the client area lies inside it by _NET_FRAME_EXTENTS) and
    the window's own size."""
    info = run("xwininfo", "-id", str(window), env=env)
    values = {}
    for line in info.splitlines():
        key, _, value = line.strip().partition(":")
        values[key] = value.strip()
    extents = run("xprop", "-id", str(window), "_NET_FRAME_EXTENTS", env=env)
    left = top = 0
    if "=" in extents:
        left, _, top, _ = (int(v) for v in extents.split("=", 1)[1].split(","))
    return (int(values["Absolute upper-left X"]) - left, int(values["Absolute upper-left Y"]) - top,
            int(values["Width"]), int(values["Height"]))


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def send_close(display, window):
    """Asks a window to close the way its close box does: a WM_PROTOCOLS
    client message carrying WM_DELETE_WINDOW."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        raise E2EError(f"cannot open display {display}")
    try:
        event = _XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", False)
        event.xclient.format = 32
        event.xclient.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", False)
        event.xclient.data[1] = 0  # CurrentTime
        x11.XSendEvent(dpy, window, False, 0, ctypes.byref(event))
        x11.XFlush(dpy)
    finally:
        x11.XCloseDisplay(dpy)

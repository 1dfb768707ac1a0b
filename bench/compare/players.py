#!/usr/bin/python3
"""Quavette beside the players people would pick instead.

Runs, in one go and under the same conditions, Quavette (the whole program,
driven by clicks on its buttons, the SoundFont set in its settings as a user
would choose it), its sequencer alone (bench_device_realtime, without the
window and its timer), `fluidsynth -n` (its shell drives it) at two period
sizes, -z 512 ("fluidsynth") and -z 4096 ("fluidsynth-4096"), `audacious -H`
with its MIDI plugin (its D-Bus interface drives it) and `vlc` with its
FluidSynth plugin (its rc interface drives it): the same song and SoundFont,
a private PulseAudio (or PipeWire) null sink, a private Xvfb with openbox as
its window manager, as a desktop has one. Rounds are interleaved (every player
in round 1, then every player in round 2, ...) and the median of each figure
is printed with Quavette's ratio to each peer. Figures:

  playing  over SECONDS of the song from 5 s after launch: CPU seconds of the
           program, of the sound server, of the X server and of the window
           manager (what a window's drawing and events cost besides the
           program's own), "both" (program and sound server) and "all four";
           the program's largest RSS; the program's wake-ups (voluntary
           context switches of all its threads: a thread went to sleep and
           was woken again) and preemptions (involuntary ones: it was ready to
           run on and another task took the core) per second, and the sound
           server's wake-ups per second;
  paused   over IDLE seconds after Pause: CPU of the same four, wake-ups of
           the program and of the server;
  idle     over IDLE seconds after Stop (from paused): the same;
  threads  for Quavette, over the playing window, each thread's CPU seconds
           and wake-ups per second, the threads of one name summed (the main
           thread as "GUI"; names under 0.01 s and 1 wake-up/s folded into
           "other"), in a table of its own after the main one;
  latency  from the command to the sound, from a recording of the sink's
           monitor: first sound after Play (from stopped), silence after Pause
           and after Stop, first sound of the other song after Next (a click
           on another row does the same: Stop, then Play of another song);
  gap      between two songs that follow each other: the second song's first
           sound after the first song's length.

Silence is a level below -70 dBFS for 200 ms; sound is a level above -50 dBFS.
Latencies include a few milliseconds of the recorder's own; in the ratios a
latency or gap under 1 ms counts as 1 ms. A gap a few milliseconds below zero
is the detector's own error: the next song began on time.
"""

import argparse
import array
import bisect
import ctypes
import math
import os
import pwd
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

RATE = 44100
SOUND = 10 ** (-50 / 20)
SILENCE = 10 ** (-70 / 20)
LOW_NOTE, HIGH_NOTE = 48, 93  # C3 and A6: told apart by pitch
LOW_HZ, HIGH_HZ = 130.81, 1760.0
GAP_SONG_MS = 1000


def log(*args):
    print(*args, file=sys.stderr, flush=True)


# Songs for the latency and gap rounds --------------------------------------

def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def write_song(path, notes, length_ms, program=16):
    """A one-track song at 1 tick = 1 ms: drawbar organ (instant attack,
    steady sound) playing `notes` as (key, start ms, end ms)."""
    events = [(0, bytes([0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20])),  # 500,000 us per quarter
              (0, bytes([0xC0, program]))]
    for key, start, end in notes:
        events.append((start, bytes([0x90, key, 110])))
        events.append((end, bytes([0x80, key, 0])))
    events.sort(key=lambda e: e[0])
    track = b""
    now = 0
    for tick, data in events:
        track += vlq(tick - now) + data
        now = tick
    track += vlq(length_ms - now) + b"\xFF\x2F\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 500))
        f.write(b"MTrk" + struct.pack(">I", len(track)) + track)


# Figures of a running process ----------------------------------------------

TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICK
    except OSError:
        return float("nan")


def task_files(pid, *names):
    """The named files of each thread's /proc folder, read, by thread id; a
    thread gone while being read is left out."""
    found = {}
    try:
        tasks = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return found
    for task in tasks:
        try:
            texts = []
            for name in names:
                with open(f"/proc/{pid}/task/{task}/{name}") as f:
                    texts.append(f.read())
        except OSError:
            continue
        found[task] = texts
    return found


def context_switches(status):
    """(voluntary, nonvoluntary) from a thread's status file: a thread that
    sleeps and is woken again switches out of its own will; one that is
    preempted, or spends its time slice, does not."""
    fields = dict(line.split(":", 1) for line in status.splitlines() if ":" in line)
    return int(fields["voluntary_ctxt_switches"]), int(fields["nonvoluntary_ctxt_switches"])


def switches(pid):
    """Context switches of each thread, by thread id, as (voluntary,
    nonvoluntary)."""
    return {task: context_switches(status) for task, (status,) in task_files(pid, "status").items()}


def woken(before, after, which=0):
    """Wake-ups (which=0) or preemptions (which=1) between two counts; a
    thread gone meanwhile takes its count with it."""
    return sum(n[which] - before.get(tid, (0, 0))[which] for tid, n in after.items())


def threads(pid):
    """Each thread's name, CPU seconds and wake-ups, by thread id; the main
    thread is named GUI."""
    found = {}
    for task, (comm, stat, status) in task_files(pid, "comm", "stat", "status").items():
        fields = stat.rsplit(")", 1)[1].split()
        found[task] = ("GUI" if task == str(pid) else comm.strip(), (int(fields[11]) + int(fields[12])) / TICK,
                       context_switches(status)[0])
    return found


def by_thread(before, after, seconds):
    """CPU seconds and wake-ups per second between two looks, summed over
    the threads of each name: {name: (cpu, wakes/s, threads)}. A thread
    started meanwhile counts from zero; one gone meanwhile is not counted."""
    out = {}
    for tid, (name, cpu, wakes) in after.items():
        _, cpu0, wakes0 = before.get(tid, (name, 0.0, 0))
        c, w, n = out.get(name, (0.0, 0.0, 0))
        out[name] = (c + cpu - cpu0, w + (wakes - wakes0) / seconds, n + 1)
    return out


def rss_mb(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return float("nan")


# The private desktop --------------------------------------------------------

class Desktop:
    def __init__(self, work, server="pulseaudio"):
        self.work = work
        self.procs = []
        os.makedirs(f"{work}/run", mode=0o700)
        os.makedirs(f"{work}/pub", mode=0o755)
        display = 90
        while os.path.exists(f"/tmp/.X11-unix/X{display}") or os.path.exists(f"/tmp/.X{display}-lock"):
            display += 1
        self.display = f":{display}"
        self.env = dict(os.environ, DISPLAY=self.display, XDG_RUNTIME_DIR=f"{work}/run",
                        PULSE_SERVER=f"unix:{work}/run/pulse/native")
        self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        self.pipewire = server == "pipewire"
        self._spawn(["Xvfb", self.display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"])
        bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                             capture_output=True, text=True, check=True).stdout.split()
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus[0]
        self.bus_pid = int(bus[1])
        if self.pipewire:
            self._start_pipewire()
        else:
            self._start_pulseaudio()
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{display}"):
                break
            time.sleep(0.05)
        self.x_server = self.procs[0].pid
        self._start_window_manager()

    def _start_window_manager(self):
        """openbox, as a desktop has one: the players' windows are framed,
        placed and given the focus as they would be there."""
        self.window_manager = self._spawn(["openbox", "--sm-disable"]).pid
        for _ in range(200):
            check = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env,
                                   capture_output=True, text=True).stdout
            if "window id" in check:
                return
            time.sleep(0.05)
        raise RuntimeError("openbox did not start")

    def _start_pipewire(self):
        """PipeWire with its session manager and its PulseAudio service, as
        today's desktops run it; the same null sink, at 44.1 kHz."""
        env = dict(self.env, PIPEWIRE_RUNTIME_DIR=self.env["XDG_RUNTIME_DIR"])
        self.env = env
        self.server = self._spawn(["pipewire"]).pid
        self._spawn(["wireplumber"])
        self._spawn(["pipewire-pulse"])
        for _ in range(200):
            if subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode == 0:
                break
            time.sleep(0.05)
        subprocess.run(["pactl", "load-module", "module-null-sink", "sink_name=bench", "rate=44100"], env=env,
                       check=True, capture_output=True)
        subprocess.run(["pactl", "set-default-sink", "bench"], env=env, check=True)

    def _start_pulseaudio(self):
        work = self.work
        subprocess.run(["pulseaudio", "-D", "--exit-idle-time=-1", "-n",
                        "--load=module-null-sink sink_name=bench rate=44100",
                        "--load=module-native-protocol-unix",
                        f"--load=module-native-protocol-unix auth-anonymous=1 socket={work}/pub/native"],
                       env=self.env, check=True, stderr=subprocess.DEVNULL)
        os.chmod(f"{work}/pub/native", 0o777)
        with open(f"{work}/run/pulse/pid") as f:
            self.server = int(f.read())

    def _spawn(self, cmd):
        proc = subprocess.Popen(cmd, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        self.procs.append(proc)
        return proc

    def close(self):
        if not self.pipewire:
            subprocess.run(["pulseaudio", "--kill"], env=self.env, stderr=subprocess.DEVNULL)
        # Politely first, so that Xvfb takes its lock and socket with it.
        for proc in reversed(self.procs):
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        try:
            os.kill(self.bus_pid, signal.SIGTERM)
        except OSError:
            pass


class Recorder:
    """Records the sink's monitor, stamping every block with the moment it
    arrived, so that a moment of the steady clock maps to a frame."""

    def __init__(self, desktop, path):
        self.blocks = []  # (index of the block's first frame, its frame count, arrival)
        self.samples = array.array("h")
        self.path = path
        self.proc = subprocess.Popen(["parec", "-d", "bench.monitor", "--latency-msec=5", "--raw",
                                      "--format=s16le", "--rate=44100", "--channels=2"],
                                     env=desktop.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     start_new_session=True)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()
        while not self.blocks:
            time.sleep(0.01)

    def _read(self):
        pending = b""
        fd = self.proc.stdout.fileno()
        while True:
            data = os.read(fd, 65536)
            now = time.monotonic()
            if not data:
                return
            data = pending + data
            usable = len(data) - len(data) % 4
            pending = data[usable:]
            stereo = array.array("h", data[:usable])
            mono = array.array("h", ((stereo[i] + stereo[i + 1]) // 2 for i in range(0, len(stereo), 2)))
            self.blocks.append((len(self.samples), len(mono), now))
            self.samples.extend(mono)

    def stop(self):
        self.proc.terminate()
        self.proc.wait()
        self.thread.join(2)
        with open(self.path, "wb") as f:
            f.write(self.samples.tobytes())

    def index_at(self, moment):
        ends = [b[2] for b in self.blocks]
        i = min(bisect.bisect_left(ends, moment), len(self.blocks) - 1)
        first, count, arrival = self.blocks[i]
        return max(0, first + count - 1 - int((arrival - moment) * RATE))

    def moment_of(self, index):
        firsts = [b[0] for b in self.blocks]
        i = max(0, bisect.bisect_right(firsts, index) - 1)
        first, count, arrival = self.blocks[i]
        return arrival - (first + count - 1 - index) / RATE

    def _rms(self, start, count):
        chunk = self.samples[start:start + count]
        if not chunk:
            return 0.0
        return math.sqrt(sum(v * v for v in chunk) / len(chunk)) / 32768

    def _tone(self, start, count, hz):
        chunk = self.samples[start:start + count]
        if len(chunk) < count:
            return 0.0
        k = 2 * math.cos(2 * math.pi * hz / RATE)
        s1 = s2 = 0.0
        for n, v in enumerate(chunk):  # Goertzel, Hann window
            s0 = v * (0.5 - 0.5 * math.cos(2 * math.pi * n / count)) + k * s1 - s2
            s2, s1 = s1, s0
        power = s1 * s1 + s2 * s2 - k * s1 * s2
        return 4 * math.sqrt(max(power, 0)) / count / 32768

    def sound_after(self, moment, within=3.0, hz=None):
        """Milliseconds from `moment` to the first sound (of pitch `hz`)."""
        start = self.index_at(moment)
        window = 44 if hz is None else 441
        for i in range(start, min(len(self.samples), start + int(within * RATE)), 44):
            level = self._rms(i, window) if hz is None else self._tone(i, window, hz)
            if level > SOUND:
                return 1000 * (self.moment_of(i + window // 2) - moment)
        return None

    def silence_after(self, moment, within=3.0):
        """Milliseconds from `moment` to the start of 200 ms of silence; None
        when nothing sounded just before `moment`."""
        start = self.index_at(moment)
        if self._rms(max(0, start - 2205), 2205) < SOUND:
            return None
        quiet_from, quiet = None, 0
        for i in range(start, min(len(self.samples), start + int(within * RATE)), 44):
            if self._rms(i, 44) < SILENCE:
                quiet_from = i if quiet_from is None else quiet_from
                quiet += 1
                if quiet >= 200:
                    return max(0.0, 1000 * (self.moment_of(quiet_from) - moment))
            else:
                quiet_from, quiet = None, 0
        return None

    def wait_for_sound(self, timeout=20):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if len(self.samples) > 4410 and self._rms(len(self.samples) - 4410, 4410) > SOUND:
                return True
            time.sleep(0.05)
        return False


# The players ----------------------------------------------------------------

class Pointer:
    """Clicks through XTest: no helper process between the moment stamped
    and the click reaching the X server."""

    def __init__(self, display):
        self.x = ctypes.CDLL("libX11.so.6")
        self.xt = ctypes.CDLL("libXtst.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.xt.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                                 ctypes.c_ulong]
        self.xt.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.x.XOpenDisplay(display.encode())

    def move(self, x, y):
        self.xt.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        self.x.XFlush(self.display)

    def click(self):
        self.xt.XTestFakeButtonEvent(self.display, 1, 1, 0)
        self.xt.XTestFakeButtonEvent(self.display, 1, 0, 0)
        self.x.XFlush(self.display)

    def close(self):
        self.x.XCloseDisplay(self.display)


class Player:
    name = ""
    proc = None

    def __init__(self, bench):
        self.bench = bench

    @property
    def pid(self):
        return self.proc.pid

    def quit(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def _popen(self, cmd, env, stdin=False):
        log_file = open(os.path.join(self.bench.work, f"{self.name}.log"), "ab")
        self.proc = subprocess.Popen(cmd, env=env, stdin=subprocess.PIPE if stdin else subprocess.DEVNULL,
                                     stdout=log_file, stderr=subprocess.STDOUT, start_new_session=True)

    def _line(self, text):
        self.proc.stdin.write(text.encode() + b"\n")
        self.proc.stdin.flush()
        return time.monotonic()


class Quavette(Player):
    """Driven by clicks on its buttons: a mnemonic key would add the 100 ms
    that Qt takes to animate a button's press."""
    name = "quavette"
    # Left edges of the buttons, in the row 17 pixels high at the bottom.
    buttons = {"play": 8, "pause": 72, "stop": 144, "next": 608}

    def __init__(self, bench, show_position=False):
        super().__init__(bench)
        self.show_position = show_position
        if show_position:
            self.name = "quavette-pos"
        self.launches = 0
        self.pointer = None

    def launch(self, files):
        self.launches += 1
        home = os.path.join(self.bench.work, f"{self.name}-home-{self.launches}")
        os.makedirs(f"{home}/config/Kestrix")
        os.makedirs(f"{home}/data/Kestrix/Quavette")
        # Wide enough for the whole row of buttons.
        # The same SoundFont as the peers, as a user would choose it.
        options = ("[Position]\nLeft=40\nTop=40\nWidth=760\nHeight=420\n"
                   f"[Option]\nListSave=1\nAutoPlay=1\nSoundFont={self.bench.soundfont}\n")
        if self.show_position:
            # The controller beside the main window, clear of its buttons.
            options = options.replace("[Option]", "CtrlLeft=850\nCtrlTop=40\n[Option]")
            options += "ShowPosition=1\nShowController=1\n"
        with open(f"{home}/config/Kestrix/Quavette.conf", "w") as f:
            f.write(options)
        with open(f"{home}/data/Kestrix/Quavette/list.qvt", "wb") as f:
            f.write(b"QVT1.10\r\n%d\r\n" % len(files) + b"".join(p.encode() + b"\r\n" for p in files))
        env = dict(self.bench.desktop.env, HOME=home, XDG_CONFIG_HOME=f"{home}/config",
                   XDG_DATA_HOME=f"{home}/data", QT_QPA_PLATFORM="xcb")
        self._popen([self.bench.quavette], env)
        window = subprocess.run(["xdotool", "search", "--sync", "--all", "--onlyvisible", "--pid", str(self.pid),
                                 "--name", "^Quavette"],
                                env=env, capture_output=True, text=True, timeout=20).stdout.split()[0]
        # xwininfo's absolute place of the client area: under a reparenting
        # window manager xdotool's geometry counts the frame twice.
        for _ in range(50):
            info = subprocess.run(["xwininfo", "-id", window], env=env, capture_output=True, text=True,
                                  timeout=10).stdout
            fields = dict(line.strip().split(": ", 1) for line in info.splitlines() if ": " in line)
            self.geometry = {"X": int(fields["Absolute upper-left X"]), "Y": int(fields["Absolute upper-left Y"]),
                             "WIDTH": int(fields["Width"]), "HEIGHT": int(fields["Height"])}
            if self.geometry["Y"] > 0:  # framed by now
                break
            time.sleep(0.1)
        self.pointer = Pointer(self.bench.desktop.display)

    def command(self, what):
        g = self.geometry
        self.pointer.move(g["X"] + self.buttons[what] + 28, g["Y"] + g["HEIGHT"] - 9)
        time.sleep(0.05)
        moment = time.monotonic()
        self.pointer.click()
        return moment

    def quit(self):
        if self.pointer:
            self.pointer.close()
            self.pointer = None
        super().quit()


class Device(Player):
    name = "device"

    def launch(self, files):
        self._popen([self.bench.device, "--soundfont", self.bench.soundfont] + files, self.bench.desktop.env,
                    stdin=True)

    def command(self, what):
        return self._line(what)


class FluidSynth(Player):
    name = "fluidsynth"

    def __init__(self, bench, period=512):
        super().__init__(bench)
        self.period = period
        if period != 512:
            self.name = f"fluidsynth-{period}"

    def launch(self, files):
        # Its shell on standard input; -z 512 as its users set it (its default
        # period of 64 frames costs several times more), or -z 4096, a long
        # period that wakes it an eighth as often, nearer to the several
        # thousand frames Quavette renders at each wake-up. Its shell cannot
        # make it sound again after player_stop (neither player_start nor
        # player_cont strikes the held note again), so its first sound after
        # Play and after Pause are not measured.
        self._popen(["fluidsynth", "-n", "-a", "pulseaudio", "-r", "44100", "-z", str(self.period),
                     self.bench.soundfont] + files, self.bench.desktop.env, stdin=True)
        self.paused = False

    def command(self, what):
        if what == "play":
            line = "player_cont" if self.paused else "player_start"
        else:
            line = {"pause": "player_stop", "stop": "player_stop", "next": "player_next"}[what]
        self.paused = what == "pause"
        return self._line(line)


class Audacious(Player):
    name = "audacious"
    methods = {"play": "Play", "pause": "Pause", "stop": "Stop", "next": "Advance"}

    def launch(self, files):
        home = tempfile.mkdtemp(prefix="audacious-", dir=self.bench.work)
        os.makedirs(f"{home}/config/audacious")
        with open(f"{home}/config/audacious/config", "w") as f:
            f.write(f"[amidiplug]\nfsyn_soundfont_file={self.bench.soundfont}\n")
        env = dict(self.bench.desktop.env, HOME=home, XDG_CONFIG_HOME=f"{home}/config")
        self._popen(["audacious", "-H"] + files, env)
        # Its own D-Bus interface, called from here: no helper process between
        # the moment stamped and the call.
        import dbus
        bus = dbus.bus.BusConnection(env["DBUS_SESSION_BUS_ADDRESS"])
        for _ in range(200):
            if bus.name_has_owner("org.atheme.audacious"):
                break
            time.sleep(0.05)
        self.remote = dbus.Interface(bus.get_object("org.atheme.audacious", "/org/atheme/audacious"),
                                     "org.atheme.audacious")

    def command(self, what):
        moment = time.monotonic()
        getattr(self.remote, self.methods[what])()
        return moment


class Vlc(Player):
    name = "vlc"

    def launch(self, files):
        # vlc refuses to run as root; a plain user plays through the
        # server's anonymous socket.
        home = tempfile.mkdtemp(prefix="vlc-", dir=self.bench.work)
        os.chmod(home, 0o755)
        env = dict(self.bench.desktop.env, HOME=home, PULSE_SERVER=f"unix:{self.bench.work}/pub/native")
        cmd = ["vlc", "-I", "rc", "--no-video", "--soundfont", self.bench.soundfont] + files
        if os.geteuid() == 0:
            user = self.bench.plain_user()
            os.chown(home, user.pw_uid, user.pw_gid)
            cmd = ["setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}", "--clear-groups"] + cmd
        self._popen(cmd, env, stdin=True)
        self.paused = False

    def command(self, what):
        # Its "pause" toggles; "play" does not resume a paused stream.
        line = {"play": "pause" if self.paused else "play", "pause": "pause", "stop": "stop", "next": "next"}[what]
        self.paused = what == "pause"
        return self._line(line)


# The rounds -----------------------------------------------------------------

class Bench:
    def __init__(self, args):
        self.args = args
        self.work = tempfile.mkdtemp(prefix="quavette-players-")
        os.chmod(self.work, 0o755)
        self.quavette = os.path.join(args.build, "src", "quavette")
        self.device = os.path.join(args.build, "bench", "device", "bench_device_realtime")
        self.soundfont = args.soundfont
        self.desktop = Desktop(self.work, args.server)
        # Songs where every player, vlc's plain user too, may read them.
        self.song = self._copy(args.song, "song.mid")
        self.lat_low, self.lat_high = f"{self.work}/low.mid", f"{self.work}/high.mid"
        write_song(self.lat_low, [(LOW_NOTE, 0, 60000)], 60000)
        write_song(self.lat_high, [(HIGH_NOTE, 0, 60000)], 60000)
        self.gap_low, self.gap_high = f"{self.work}/gap-low.mid", f"{self.work}/gap-high.mid"
        write_song(self.gap_low, [(LOW_NOTE, 0, 300)], GAP_SONG_MS)
        write_song(self.gap_high, [(HIGH_NOTE, 0, 300)], GAP_SONG_MS)
        for path in (self.lat_low, self.lat_high, self.gap_low, self.gap_high):
            os.chmod(path, 0o644)

    def _copy(self, source, name):
        path = os.path.join(self.work, name)
        shutil.copyfile(source, path)
        os.chmod(path, 0o644)
        return path

    def plain_user(self):
        name = "quavette-bench"
        try:
            return pwd.getpwnam(name)
        except KeyError:
            subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", name],
                           check=True)
            return pwd.getpwnam(name)

    def close(self):
        self.desktop.close()
        if not self.args.keep:
            shutil.rmtree(self.work, ignore_errors=True)

    def measure(self, pid, seconds, per_thread=False):
        """The figures of one window: CPU of the program, the sound server,
        the X server and the window manager; the program's wake-ups and
        preemptions, the server's wake-ups, the program's largest RSS and,
        with `per_thread`, the program's threads by name."""
        desktop = self.desktop
        others = {"server": desktop.server, "x": desktop.x_server, "wm": desktop.window_manager}
        start = {key: cpu_seconds(other) for key, other in others.items()}
        c0, w0, v0 = cpu_seconds(pid), switches(pid), switches(desktop.server)
        t0 = threads(pid) if per_thread else None
        rss = 0.0
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            time.sleep(min(1.0, max(0.0, end - time.monotonic())))
            rss = max(rss, rss_mb(pid))
        w1 = switches(pid)
        figures = {key: cpu_seconds(other) - start[key] for key, other in others.items()}
        figures |= {"cpu": cpu_seconds(pid) - c0, "wake": woken(w0, w1) / seconds,
                    "preempt": woken(w0, w1, 1) / seconds,
                    "server_wake": woken(v0, switches(desktop.server)) / seconds, "rss": rss}
        if per_thread:
            figures["threads"] = by_thread(t0, threads(pid), seconds)
        return figures

    def playing_and_idle(self, player):
        player.launch([self.song])
        time.sleep(5)  # the SoundFont is loaded, the song has started
        playing = self.measure(player.pid, self.args.seconds, per_thread=isinstance(player, Quavette))
        player.command("pause")
        time.sleep(3)  # what stops at once and what lingers a moment
        paused = self.measure(player.pid, self.args.idle)
        player.command("stop")
        time.sleep(3)
        idle = self.measure(player.pid, self.args.idle)
        player.quit()
        return ({"play_" + k: v for k, v in playing.items()} | {"paused_" + k: v for k, v in paused.items()}
                | {"idle_" + k: v for k, v in idle.items()})

    def latency(self, player, round_no):
        recorder = Recorder(self.desktop, f"{self.work}/{player.name}-latency-{round_no}.raw")
        try:
            player.launch([self.lat_low, self.lat_high])
            if not recorder.wait_for_sound():
                log(f"{player.name}: no sound")
                return {}
            time.sleep(1)
            player.command("stop")
            time.sleep(1.5)
            moments = {}
            for what, pause in (("play", 2), ("pause", 1.5), ("resume", 2), ("next", 2), ("stop", 1.5)):
                moments[what] = player.command("play" if what == "resume" else what)
                time.sleep(pause)
            player.quit()
            return {"first_sound": recorder.sound_after(moments["play"]),
                    "pause_silent": recorder.silence_after(moments["pause"]),
                    "resume_sound": recorder.sound_after(moments["resume"]),
                    "next_sound": recorder.sound_after(moments["next"], hz=HIGH_HZ),
                    "stop_silent": recorder.silence_after(moments["stop"])}
        finally:
            player.quit()
            recorder.stop()

    def gap(self, player, round_no):
        recorder = Recorder(self.desktop, f"{self.work}/{player.name}-gap-{round_no}.raw")
        try:
            player.launch([self.gap_low, self.gap_high] * 3)
            if not recorder.wait_for_sound():
                return {}
            start = time.monotonic() - 0.5
            time.sleep(4 * GAP_SONG_MS / 1000 + 2)
            player.quit()
            # Both onsets found the same way, so that the detector's own delay
            # cancels out.
            gaps = []
            low = recorder.sound_after(start, within=2, hz=LOW_HZ)
            while low is not None and len(gaps) < 2:
                at = start + low / 1000
                high = recorder.sound_after(at + 0.4, within=4, hz=HIGH_HZ)
                if high is None:
                    break
                gaps.append(high + 400 - GAP_SONG_MS)
                start = at + (high + 400) / 1000 + 0.4
                low = recorder.sound_after(start, within=4, hz=LOW_HZ)
            return {"gap": statistics.median(gaps) if gaps else None}
        finally:
            player.quit()
            recorder.stop()


ROWS = [
    ("play_cpu", "playing: program CPU (s)", 2),
    ("play_server", "playing: sound server CPU (s)", 2),
    ("play_total", "playing: both (s)", 2),
    ("play_x", "playing: X server CPU (s)", 2),
    ("play_wm", "playing: window manager CPU (s)", 2),
    ("play_all", "playing: all four (s)", 2),
    ("play_rss", "playing: RSS (MB)", 0),
    ("play_wake", "playing: program wake-ups/s", 0),
    ("play_preempt", "playing: program preemptions/s", 0),
    ("play_server_wake", "playing: server wake-ups/s", 0),
    ("paused_cpu", "paused: program CPU (s)", 2),
    ("paused_server", "paused: sound server CPU (s)", 2),
    ("paused_x", "paused: X server CPU (s)", 2),
    ("paused_wm", "paused: window manager CPU (s)", 2),
    ("paused_wake", "paused: program wake-ups/s", 1),
    ("paused_server_wake", "paused: server wake-ups/s", 1),
    ("idle_cpu", "stopped: program CPU (s)", 2),
    ("idle_server", "stopped: sound server CPU (s)", 2),
    ("idle_x", "stopped: X server CPU (s)", 2),
    ("idle_wm", "stopped: window manager CPU (s)", 2),
    ("idle_wake", "stopped: program wake-ups/s", 1),
    ("idle_server_wake", "stopped: server wake-ups/s", 1),
    ("first_sound", "first sound after Play (ms)", 0),
    ("pause_silent", "silent after Pause (ms)", 0),
    ("stop_silent", "silent after Stop (ms)", 0),
    ("next_sound", "other song heard after Next (ms)", 0),
    ("resume_sound", "sound after Play from pause (ms)", 0),
    ("gap", "song-to-song gap (ms)", 0),
]


LATENCIES = {"first_sound", "pause_silent", "stop_silent", "next_sound", "resume_sound", "gap"}


def print_threads(name, rounds):
    """The playing window thread by thread: the median over the rounds of
    each thread name's CPU seconds and wake-ups per second, the threads of
    one name summed; the names under 0.01 s and 1 wake-up/s folded into
    "other"."""
    if not rounds:
        return
    names = {n for r in rounds for n in r}
    rows = []
    other = [0.0, 0.0, 0]
    for n in names:
        present = [r[n] for r in rounds if n in r]
        cpu = statistics.median(t[0] for t in present)
        wakes = statistics.median(t[1] for t in present)
        count = max(t[2] for t in present)
        if cpu < 0.01 and wakes < 1:
            other = [other[0] + cpu, other[1] + wakes, other[2] + count]
        else:
            rows.append((n, cpu, wakes, count))
    rows.sort(key=lambda row: (row[0] != "GUI", -row[1], -row[2], row[0]))
    if other[2]:
        rows.append(("other", *other))
    print()
    print(f"{name}, playing, by thread (median of {len(rounds)})")
    width = max(len(row[0]) for row in rows) + 2
    print("thread".ljust(width) + "CPU (s)".rjust(10) + "wake-ups/s".rjust(12) + "threads".rjust(9))
    for n, cpu, wakes, count in rows:
        print(n.ljust(width) + f"{cpu:.2f}".rjust(10) + f"{wakes:.1f}".rjust(12) + str(count).rjust(9))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True)
    parser.add_argument("--data", required=True)
    args = parser.parse_args()
    args.song = os.environ.get("SONG", os.path.join(args.data, "midi", "tonejs__concerto_for_orchestra_1.mid"))
    args.soundfont = os.environ.get("SF", "/usr/share/sounds/sf2/FluidR3_GM.sf2")
    args.seconds = float(os.environ.get("PLAY_SECONDS", "60"))
    args.idle = float(os.environ.get("IDLE", "30"))
    args.rounds = int(os.environ.get("ROUNDS", "3"))
    args.keep = bool(os.environ.get("KEEP"))
    args.server = os.environ.get("SERVER", "pulseaudio")
    args.parts = os.environ.get("PARTS", "cpu,latency,gap").split(",")
    names = os.environ.get("PLAYERS", "quavette,device,fluidsynth,fluidsynth-4096,audacious,vlc").split(",")

    bench = Bench(args)
    makers = {"quavette": lambda: Quavette(bench), "quavette-pos": lambda: Quavette(bench, True),
              "device": lambda: Device(bench), "fluidsynth": lambda: FluidSynth(bench),
              "fluidsynth-4096": lambda: FluidSynth(bench, 4096),
              "audacious": lambda: Audacious(bench), "vlc": lambda: Vlc(bench)}
    players = [makers[n]() for n in names]
    results = {p.name: [] for p in players}
    try:
        for round_no in range(1, args.rounds + 1):
            for player in players:
                log(f"round {round_no}: {player.name}")
                figures = {}
                if "cpu" in args.parts:
                    figures = bench.playing_and_idle(player)
                    figures["play_total"] = figures["play_cpu"] + figures["play_server"]
                    figures["play_all"] = figures["play_total"] + figures["play_x"] + figures["play_wm"]
                if "latency" in args.parts:
                    figures |= bench.latency(player, round_no)
                if "gap" in args.parts:
                    figures |= bench.gap(player, round_no)
                results[player.name].append(figures)
                log("   " + ", ".join(f"{k} {v:.3f}" if isinstance(v, float) else f"{k} {v}"
                                      for k, v in sorted(figures.items()) if k != "play_threads"))
    finally:
        bench.close()

    def median(name, key):
        values = [r[key] for r in results[name] if r.get(key) is not None and not math.isnan(r[key])]
        return statistics.median(values) if values else None

    table = {n: {key: median(n, key) for key, _, _ in ROWS} for n in results}
    print(f"sound server: {args.server}; song: {args.song} (first {args.seconds:.0f} s), SoundFont: {args.soundfont}")
    print(f"median of {args.rounds} interleaved rounds; paused and stopped: {args.idle:.0f} s after Pause, then Stop")
    width = max(len(label) for _, label, _ in ROWS) + 2
    column = max([13] + [len(n) + 2 for n in results])
    print("".ljust(width) + "".join(n.rjust(column) for n in results))
    for key, label, digits in ROWS:
        cells = []
        for n in results:
            v = table[n][key]
            cells.append(("-" if v is None else f"{v:.{digits}f}").rjust(column))
        print(label.ljust(width) + "".join(cells))
    ours = [n for n in results if n.startswith("quavette")]
    peers = [n for n in results if not n.startswith("quavette") and n != "device"]
    for our in ours:
        if not peers:
            break
        print()
        print(f"{our} / peer".ljust(width) + "".join(p.rjust(column) for p in peers))
        for key, label, _ in ROWS:
            cells = []
            for p in peers:
                a, b = table[our][key], table[p][key]
                if key in LATENCIES and a is not None and b is not None:
                    a, b = max(a, 1.0), max(b, 1.0)
                cells.append(("-" if a is None or not b else f"{a / b:.2f}").rjust(column))
            print(label.ljust(width) + "".join(cells))
    for our in ours:
        print_threads(our, [r["play_threads"] for r in results[our] if "play_threads" in r])


if __name__ == "__main__":
    main()

#!/usr/bin/python3
# Whole-program resident memory when the user swaps SoundFonts: FluidR3_GM ->
# TimGM6mb chosen through Option > Sound&Font... while the orchestral piece
# plays, on a private Xvfb with openbox and a PulseAudio null sink.
#
#   bench/gui/swap_memory.py [RUNS] [fresh] [control]     (build in ./build)
#
# "fresh" adds a fresh start with each font; "control" a dialog opened and
# cancelled. Prints the resident memory (VmRSS) at each step.
import os, subprocess, sys, tempfile, time, array, math
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
QV = f"{ROOT}/build/src/quavette"
SONG = f"{ROOT}/tests/data/midi/tonejs__concerto_for_orchestra_1.mid"
FLUID = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
TIM = "/usr/share/sounds/sf2/TimGM6mb.sf2"
work = tempfile.mkdtemp(prefix="swapmem-")
os.makedirs(f"{work}/run", mode=0o700)
disp = ":77"
env = dict(os.environ, DISPLAY=disp, XDG_RUNTIME_DIR=f"{work}/run", PULSE_SERVER=f"unix:{work}/run/pulse/native")
env.pop("DBUS_SESSION_BUS_ADDRESS", None)
procs = []
def spawn(cmd, e=None):
    p = subprocess.Popen(cmd, env=e or env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    procs.append(p); return p
spawn(["Xvfb", disp, "-screen", "0", "1280x800x24", "-nolisten", "tcp"])
while not os.path.exists("/tmp/.X11-unix/X77"): time.sleep(0.05)
spawn(["openbox", "--sm-disable"])
while "window id" not in subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env, capture_output=True, text=True).stdout:
    time.sleep(0.05)
bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"], capture_output=True, text=True, check=True).stdout.split()
env["DBUS_SESSION_BUS_ADDRESS"] = bus[0]
subprocess.run(["pulseaudio", "-D", "--exit-idle-time=-1", "-n", "--load=module-null-sink sink_name=bench rate=44100",
                "--load=module-native-protocol-unix"], env=env, check=True, stderr=subprocess.DEVNULL)

def status(pid):
    out = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(("VmRSS", "VmHWM", "RssAnon", "RssFile")):
                k, v = line.split(":"); out[k] = int(v.split()[0]) / 1024
    return out

def fonts(pid):
    found = set()
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            t = os.readlink(f"/proc/{pid}/fd/{fd}")
        except OSError: continue
        if t.endswith(".sf2"): found.add(os.path.basename(t))
    with open(f"/proc/{pid}/maps") as f:
        for line in f:
            if line.rstrip().endswith(".sf2"): found.add(os.path.basename(line.split()[-1]) + "(mapped)")
    return sorted(found)

def level():
    p = subprocess.run(["timeout", "1", "parec", "-d", "bench.monitor", "--raw", "--format=s16le", "--rate=44100", "--channels=1"],
                       env=env, capture_output=True)
    a = array.array("h", p.stdout[: len(p.stdout) // 2 * 2])
    return 20 * math.log10(max(1e-9, math.sqrt(sum(v * v for v in a) / max(1, len(a))) / 32768))

started = []
def start(font, tag):
    home = f"{work}/home-{tag}"
    os.makedirs(f"{home}/config/Kestrix"); os.makedirs(f"{home}/data/Kestrix/Quavette")
    with open(f"{home}/config/Kestrix/Quavette.conf", "w") as f:
        f.write(f"[Position]\nLeft=40\nTop=40\nWidth=760\nHeight=420\n[Option]\nListSave=1\nAutoPlay=1\nSoundFont={font}\n")
    with open(f"{home}/data/Kestrix/Quavette/list.qvt", "wb") as f:
        f.write(b"QVT1.10\r\n1\r\n" + SONG.encode() + b"\r\n")
    e = dict(env, HOME=home, XDG_CONFIG_HOME=f"{home}/config", XDG_DATA_HOME=f"{home}/data", QT_QPA_PLATFORM="xcb")
    p = subprocess.Popen([QV], env=e, stdout=open(f"{work}/{tag}.log", "wb"), stderr=subprocess.STDOUT, start_new_session=True)
    started.append(p)
    win = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(p.pid), "--name", "^Quavette"], env=e,
                   capture_output=True, text=True, timeout=20).stdout.split()[0]
    p.win = win
    return p, e, home

def open_dialog(p, e):
    subprocess.run(["xdotool", "windowactivate", "--sync", p.win], env=e, timeout=10)
    time.sleep(0.5)
    subprocess.run(["xdotool", "key", "alt+o"], env=e); time.sleep(0.7)
    subprocess.run(["xdotool", "key", "f"], env=e)
    found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(p.pid), "--name", "^Open$"], env=e,
                           capture_output=True, text=True, timeout=10).stdout.split()
    time.sleep(1)
    active = subprocess.run(["xdotool", "getactivewindow"], env=e, capture_output=True, text=True).stdout.strip()
    if active not in found:
        raise RuntimeError(f"dialog {found} not active ({active})")
    print("  dialog:", found, subprocess.run(["xdotool", "getactivewindow", "getwindowname"], env=e, capture_output=True, text=True).stdout.strip(), flush=True)

def show(what, p):
    s = status(p.pid)
    print(f"  {what}: RSS {s['VmRSS']:.1f} MB (anon {s['RssAnon']:.1f}, file {s['RssFile']:.1f}), peak {s['VmHWM']:.1f}; "
          f"fonts {fonts(p.pid)}; monitor {level():.0f} dBFS", flush=True)

def quit(p, home):
    p.terminate(); p.wait(10)
    conf = open(f"{home}/config/Kestrix/Quavette.conf").read()
    print("  stored:", [l for l in conf.splitlines() if l.startswith("SoundFont")], flush=True)

def typed_in_dialog(tag):
    """Started with FluidR3_GM and playing for 10 s, then the SoundFont dialog
    open with TimGM6mb's path typed, not yet chosen."""
    p, e, home = start(FLUID, tag)
    time.sleep(10); show("after 10 s of play with FluidR3_GM", p)
    open_dialog(p, e)
    subprocess.run(["xdotool", "type", "--delay", "20", TIM], env=e); time.sleep(2)
    show("dialog open, path typed, not yet chosen", p)
    return p, e, home

runs = int(sys.argv[1]) if len(sys.argv) > 1 else 1
try:
    for r in range(runs):
        for font in ((FLUID, TIM) if "fresh" in sys.argv else ()):
            print(f"fresh start with {os.path.basename(font)} (run {r + 1})", flush=True)
            p, e, home = start(font, f"fresh-{os.path.basename(font)}-{r}")
            time.sleep(10); show("after 10 s of play", p)
            quit(p, home)
        if "control" in sys.argv:
            print(f"control: dialog opened and cancelled, FluidR3_GM kept (run {r + 1})", flush=True)
            p, e, home = typed_in_dialog(f"cancel-{r}")
            subprocess.run(["xdotool", "key", "Escape"], env=e)
            time.sleep(10); show("10 s after Cancel", p)
            quit(p, home)
        print(f"swap FluidR3_GM -> TimGM6mb while playing (run {r + 1})", flush=True)
        p, e, home = typed_in_dialog(f"swap-{r}")
        subprocess.run(["xdotool", "key", "Return"], env=e)
        chosen = time.monotonic()
        for t in (1, 3, 10):
            time.sleep(max(0, chosen + t - time.monotonic())); show(f"{t} s after choosing TimGM6mb", p)
        quit(p, home)
finally:
    for p in started:
        if p.poll() is None: p.kill(); p.wait()
    subprocess.run(["pulseaudio", "--kill"], env=env, stderr=subprocess.DEVNULL)
    for p in procs: p.terminate(); p.wait()
    try: os.kill(int(bus[1]), 15)
    except OSError: pass
    print("work:", work)

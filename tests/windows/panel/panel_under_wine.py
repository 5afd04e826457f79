#!/usr/bin/env python3
"""TalvexPanel.exe under Wine, used the way an operator uses it.

    panel_under_wine.py prepare PREFIX
        starts an X display (Xvfb) and the prefix's wineserver, both kept
        until "finish", and creates the prefix the first time
    panel_under_wine.py finish PREFIX
    panel_under_wine.py exec PREFIX [--dll-dir DIR]... PROGRAM [ARG...]
        runs a Windows program on Qt's offscreen platform, with DIRs on its
        DLL search path, and returns its exit status
    panel_under_wine.py SCENARIO PREFIX SIM FOLDER REFERENCE
        runs the panel unpacked in FOLDER against talvex-sim (SIM), its
        port mapped as COM5 and listed in the registry as Windows lists a
        serial port; REFERENCE is a screenshot of the Linux panel

    panel_under_wine.py console PREFIX FOLDER LAUNCHER
        the panel's --help, --version and a port it cannot open, started
        by LAUNCHER (start_without_std_handles.exe) from a console as cmd
        starts a windowed program: what it prints must reach the console

    panel_under_wine.py desktop PREFIX SIM FOLDER OUTPUT
        the same, in a Wine desktop window with the frame Windows draws,
        and saves a picture of it in OUTPUT (docs/screenshot-wine.png)

Scenarios: startup (the port is found through the registry, the start-up
exchanges, the window compared with REFERENCE, the About box from the
system menu, Escape, and no password key left behind), password (a stored
password locks the panel, Unlock with it unlocks) and schedule (a one-time
shut-down due a few seconds after start-up fires).
"""

import datetime
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

SERIALCOMM = r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM"
PASSWORD_KEY = r"HKLM\SOFTWARE\Vemra"
CAPTION = "Vemra_K2 PC control   V1.0"
FONTS = "/usr/share/fonts/truetype/liberation"

# The start-up exchanges: the probe (power on), then the six first reads:
# device type, state, frequency, power, line volume, microphone volume.
STARTUP_FRAMES = ["01 01 03", "01 01 1b", "01 01 18", "01 01 1c", "01 01 1f", "01 01 1d", "01 01 1e"]
SHUTDOWN_FRAME = "01 01 02"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wine_env(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    display_file = prefix + ".display"
    if os.path.exists(display_file):
        with open(display_file) as f:
            env["DISPLAY"] = f.read().strip()
    return env


# --- The prefix and its display ---------------------------------------------

def prepare(prefix):
    os.makedirs(prefix, exist_ok=True)
    finish(prefix)  # what an interrupted run left behind
    # -displayfd: Xvfb picks a free display and says which.
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    os.close(write_end)
    with os.fdopen(read_end) as f:
        display = ":" + f.readline().strip()
    check(display != ":", "Xvfb did not start")
    with open(prefix + ".xvfb.pid", "w") as f:
        f.write(str(xvfb.pid))
    with open(prefix + ".display", "w") as f:
        f.write(display)
    env = wine_env(prefix)
    with open(prefix + ".server.log", "w") as log:
        subprocess.run(["wineserver", "-p"], env=env, stdout=log, stderr=log, check=True)
    start = time.monotonic()
    first = [] if os.path.exists(os.path.join(prefix, "system.reg")) else ["-i"]
    with open(prefix + ".boot.log", "w") as log:
        subprocess.run(["wineboot"] + first, env=env, stdout=log, stderr=log, check=True)
    # The symbols of the caption buttons Wine draws (Debian's fonts-wine)
    # are found only in the prefix's own font folder.
    marlett = "/usr/share/wine/fonts/marlett.ttf"
    fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
    if os.path.exists(marlett) and not os.path.exists(os.path.join(fonts, "marlett.ttf")):
        shutil.copy(marlett, fonts)
    print(f"Wine prefix started on display {display} in {time.monotonic() - start:.1f} s")


def finish(prefix):
    subprocess.run(["wineserver", "-k"], env=wine_env(prefix), stderr=subprocess.DEVNULL)
    try:
        with open(prefix + ".xvfb.pid") as f:
            os.killpg(int(f.read()), 15)
    except (OSError, ValueError):
        pass
    for leftover in (".xvfb.pid", ".display"):
        if os.path.exists(prefix + leftover):
            os.unlink(prefix + leftover)


def find_window(env, name, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--name", "^" + re.escape(name) + "$"], env=env,
                               capture_output=True, text=True).stdout.split()
        if found:
            return found[0]
        time.sleep(0.2)
    raise Failure(f'no window "{name}"')


def press(env, window, *keys):
    # xdotool complains of the display's focus without a window manager.
    subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", "--delay", "50"] + list(keys), env=env,
                   stderr=subprocess.DEVNULL, check=True)


def run_program(prefix, args):
    dll_dirs = []
    while len(args) >= 2 and args[0] == "--dll-dir":
        dll_dirs.append("Z:" + args[1])
        args = args[2:]
    env = wine_env(prefix)
    # Wine hands a variable named WINE<name> to the program as <name>.
    env.update(WINEPATH=";".join(dll_dirs), WINEQT_QPA_PLATFORM="offscreen", WINEQT_QPA_FONTDIR="Z:" + FONTS)
    return subprocess.run(["wine"] + args, env=env).returncode


# --- Pictures ---------------------------------------------------------------

class Picture:
    """An RGB picture read through ImageMagick as a binary PPM."""

    def __init__(self, ppm):
        fields = []
        pos = 0
        while len(fields) < 4:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[pos:end])
            pos = end
        check(fields[0] == b"P6" and fields[3] == b"255", "not an 8-bit PPM")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.data = ppm[pos + 1:]

    @staticmethod
    def load(path):
        return Picture(subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True, check=True).stdout)

    @staticmethod
    def of_window(window, env):
        return Picture(subprocess.run(["import", "-window", window, "-depth", "8", "ppm:-"], env=env, capture_output=True,
                                      check=True).stdout)

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return self.data[i], self.data[i + 1], self.data[i + 2]

    def save(self, path):
        header = f"P6 {self.width} {self.height} 255\n".encode()
        subprocess.run(["convert", "ppm:-", path], input=header + self.data, check=True)


def colour_class(rgb):
    """The panel's colours, as the eye tells them apart."""
    r, g, b = rgb
    if r < 30 and g < 30 and b < 30:
        return "black"
    if r > 200 and g < 140 and b < 80:
        return "orange"   # active buttons
    if g > 90 and r < 60 and b < 60:
        return "green"    # meter blocks, device name
    if b > 100 and b > r + 40 and b > g + 40:
        return "blue"     # readouts and labels
    if abs(r - g) < 20 and abs(g - b) < 20:
        return "dark" if r < 90 else "light"   # idle buttons; rules, thumbs, frames
    return "other"


def classes_in(picture, box, share=0.02):
    """The colour classes (other than black) covering at least `share` of a box."""
    x0, y0, x1, y1 = box
    counts = {}
    for y in range(y0, y1):
        for x in range(x0, x1):
            c = colour_class(picture.pixel(x, y))
            counts[c] = counts.get(c, 0) + 1
    total = max(1, (x1 - x0) * (y1 - y0))
    return {c for c, n in counts.items() if c != "black" and n >= share * total}


def count_in(picture, box, wanted):
    x0, y0, x1, y1 = box
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if colour_class(picture.pixel(x, y)) == wanted)


def green_runs(picture, y):
    runs, inside = 0, False
    for x in range(picture.width):
        green = colour_class(picture.pixel(x, y)) == "green"
        runs += green and not inside
        inside = green
    return runs


# --- The reference's layout, found in the Linux panel's screenshot ----------

class Layout:
    """Where things are, in the reference's pixels, scaled to a window."""

    # Readouts (frequency, power, SWR, line, microphone, temperature) and
    # buttons, in the reference's pixels.
    READOUTS = {"frequency": (75, 35, 195, 100), "power": (360, 25, 405, 58), "swr": (365, 62, 405, 98),
                "line": (562, 28, 602, 62), "mic": (570, 62, 600, 98), "temperature": (622, 22, 705, 100)}
    LOCK_BUTTON = (366, 413, 474, 454)
    FREQ_UP = (783, 184)

    def __init__(self, reference):
        self.reference = reference
        # The meter's row: the one crossing the most green blocks.
        self.meter_y, self.meter_blocks = max(((y, green_runs(reference, y)) for y in range(reference.height // 2)),
                                              key=lambda item: item[1])

    def scaled(self, picture, box):
        sx, sy = picture.width / self.reference.width, picture.height / self.reference.height
        x0, y0, x1, y1 = box
        return round(x0 * sx), round(y0 * sy), round(x1 * sx), round(y1 * sy)

    def point(self, picture, xy):
        x, y = xy
        return round(x * picture.width / self.reference.width), round(y * picture.height / self.reference.height)


def compare_with_reference(layout, shot):
    """Same size, same colours in the same places, readouts shown."""
    ref = layout.reference
    check(abs(shot.width - ref.width) <= ref.width * 0.03 and abs(shot.height - ref.height) <= ref.height * 0.03,
          f"window {shot.width}x{shot.height}, the Linux panel's is {ref.width}x{ref.height}")
    columns, rows = 21, 13
    same, cells, differing = 0, 0, []
    for row in range(rows):
        for column in range(columns):
            box = (column * ref.width // columns, row * ref.height // rows,
                   (column + 1) * ref.width // columns, (row + 1) * ref.height // rows)
            if box[1] <= layout.meter_y < box[3]:
                continue  # the meter shows the moment's level; counted apart
            cells += 1
            expected, seen = classes_in(ref, box), classes_in(shot, layout.scaled(shot, box))
            if expected == seen:
                same += 1
            else:
                differing.append(f"{box}: {sorted(expected)} / {sorted(seen)}")
    print(f"colours: {same} of {cells} cells as in the Linux panel")
    check(same >= 0.9 * cells, "colours differ from the Linux panel's in:\n  " + "\n  ".join(differing))
    for name, box in layout.READOUTS.items():
        expected, seen = count_in(ref, box, "blue"), count_in(shot, layout.scaled(shot, box), "blue")
        check(seen >= expected // 4, f"the {name} readout is empty ({seen} lit pixels, {expected} in the Linux panel)")
    # The settings the simulator starts with (100.0 MHz, 10.0 W, line 7,
    # microphone 15), which the Linux panel showed too, look the same.
    if (shot.width, shot.height) == (ref.width, ref.height):
        for name in ("frequency", "power", "line", "mic"):
            x0, y0, x1, y1 = layout.READOUTS[name]
            differ = sum(1 for y in range(y0, y1) for x in range(x0, x1)
                         if colour_class(ref.pixel(x, y)) != colour_class(shot.pixel(x, y)))
            check(differ <= 0.03 * (x1 - x0) * (y1 - y0), f"the {name} readout differs from the Linux panel's")


# --- One run of the panel against the simulator ------------------------------

class PanelRun:
    def __init__(self, prefix, sim, folder):
        self.prefix, self.env = prefix, wine_env(prefix)
        self.work = tempfile.mkdtemp(prefix="talvex-wine-")
        # The panel's folder as an operator unpacks it; config.xml is their own.
        self.folder = os.path.join(self.work, "TalvexPanel")
        shutil.copytree(folder, self.folder, copy_function=os.link)
        config = os.path.join(self.folder, "config.xml")
        os.unlink(config)
        shutil.copy(os.path.join(folder, "config.xml"), config)
        self.frames, self.lock = [], threading.Lock()
        line = os.path.join(self.work, "line")
        self.sim = subprocess.Popen([sim, "--link", line, "--trace"], stdout=subprocess.PIPE, text=True)
        threading.Thread(target=self._read_sim, daemon=True).start()
        deadline = time.monotonic() + 5
        while not os.path.exists(line):
            check(time.monotonic() < deadline and self.sim.poll() is None, "talvex-sim did not start")
            time.sleep(0.05)
        self.com5 = os.path.join(prefix, "dosdevices", "com5")
        if os.path.lexists(self.com5):
            os.unlink(self.com5)
        os.symlink(line, self.com5)
        self.panel = None
        self.window = None

    def _read_sim(self):
        for text in self.sim.stdout:
            if text.startswith("request: "):
                with self.lock:
                    self.frames.append((time.monotonic(), text[len("request: "):].strip()))

    def received(self):
        with self.lock:
            return list(self.frames)

    def wait_for_frame(self, frame, timeout, after=0.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for when, seen in self.received():
                if seen == frame and when >= after:
                    return when
            time.sleep(0.05)
        return None

    def reg(self, *args):
        subprocess.run(["wine", "reg"] + list(args) + ["/f"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def list_ports(self):
        # Wine lists only the serial devices it found itself, and the key
        # lives only as long as the wineserver: the simulator's port is
        # added as a driver would add it. Before it, a value too long for a
        # port name (skipped) and a port that cannot be opened (passed over).
        self.reg("delete", SERIALCOMM, "/va")
        self.reg("add", SERIALCOMM, "/v", r"\Device\Serial0", "/d", "COM_NAME_TOO_LONG_FOR_A_PORT")
        self.reg("add", SERIALCOMM, "/v", r"\Device\Serial1", "/d", "COM9")
        self.reg("add", SERIALCOMM, "/v", r"\Device\Serial4", "/d", "COM5")

    def start_panel(self, desktop=None):
        self.started = time.monotonic()
        self.output = os.path.join(self.work, "panel.log")
        # In a desktop window of its own, Wine draws the frames of the windows
        # in it as Windows does; without one, the X display's manager would.
        command = ["wine", "TalvexPanel.exe"] if desktop is None else [
            "wine", "explorer", f"/desktop=Talvex,{desktop[0]}x{desktop[1]}", "TalvexPanel.exe"]
        with open(self.output, "w") as output:
            self.panel = subprocess.Popen(command, cwd=self.folder, env=self.env, stdout=output,
                                          stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 90
        while time.monotonic() < deadline:
            found = subprocess.run(["xdotool", "search", "--name", "^" + CAPTION + "$"], env=self.env,
                                   capture_output=True, text=True).stdout.split()
            if found:
                self.window = found[0]
                return
            if self.panel.poll() is not None:
                raise Failure(f"the panel ended at start-up with {self.panel.returncode}:\n{self.panel_output()}")
            time.sleep(0.25)
        raise Failure("the panel's window did not appear")

    def panel_output(self):
        with open(self.output, errors="replace") as f:
            return f.read()

    def check_startup_frames(self):
        check(self.wait_for_frame(STARTUP_FRAMES[-1], 30) is not None, "no start-up reads")
        first = [frame for _, frame in self.received()][:len(STARTUP_FRAMES)]
        self.startup_done = self.received()[len(STARTUP_FRAMES) - 1][0]
        check(first == STARTUP_FRAMES, f"start-up exchanges {first}, expected {STARTUP_FRAMES}")
        print("start-up exchanges: " + ", ".join(first))

    def wait_for_readouts(self):
        """The readouts are filled in by the pollers' first rounds."""
        for frame in ("01 01 17", "01 01 1d", "01 01 1e"):
            check(self.wait_for_frame(frame, 15, after=self.startup_done) is not None, f"no poll {frame}")

    def screenshot(self):
        # Shown first: a window still mapping is captured black.
        time.sleep(0.3)
        return Picture.of_window(self.window, self.env)

    def click(self, layout, shot, xy):
        x, y = layout.point(shot, xy)
        subprocess.run(["xdotool", "mousemove", "--window", self.window, str(x), str(y), "click", "1"], env=self.env,
                       check=True)

    def keys(self, window, *keys):
        press(self.env, window, *keys)

    def find_window(self, name, timeout=10):
        return find_window(self.env, name, timeout)

    def about_from_system_menu(self):
        """Alt+Space opens the window's system menu; its last entry is About
        (Up from the first; the letter A would also find Wine's own "About Wine")."""
        self.keys(self.window, "alt+space")
        time.sleep(0.5)
        self.keys(self.window, "Up", "Return")
        about = self.find_window("About VO-Raduzarizad")
        self.keys(about, "Return")
        deadline = time.monotonic() + 10
        while subprocess.run(["xdotool", "search", "--name", "^About VO-Raduzarizad$"], env=self.env,
                             capture_output=True).returncode == 0:
            check(time.monotonic() < deadline, "the About box did not close")
            time.sleep(0.2)
        print("system menu: the About entry opens the About box")

    def password_keys(self):
        """The views of the registry that hold the password key."""
        return [view for view in ("/reg:32", "/reg:64")
                if subprocess.run(["wine", "reg", "query", PASSWORD_KEY, view], env=self.env,
                                  capture_output=True).returncode == 0]

    def delete_password(self):
        for view in ("/reg:32", "/reg:64"):
            self.reg("delete", PASSWORD_KEY, view)

    def escape_ends_the_program(self):
        self.keys(self.window, "Escape")
        try:
            code = self.panel.wait(timeout=15)
        except subprocess.TimeoutExpired:
            raise Failure("Escape did not end the program within 15 s")
        if code != 0:
            raise Failure(f"the panel ended with {code}:\n{self.panel_output()}")
        # Every thread has stopped: nothing more reaches the transmitter.
        count = len(self.received())
        time.sleep(1.5)
        check(len(self.received()) == count, "requests went on after the program ended")
        print("Escape: exit code 0, no requests after it")

    def close(self):
        if self.panel is not None and self.panel.poll() is None:
            self.panel.kill()
            self.panel.wait()
        self.sim.terminate()
        self.sim.wait()
        if os.path.lexists(self.com5):
            os.unlink(self.com5)
        shutil.rmtree(self.work, ignore_errors=True)


def setting_frames(run, after):
    """Requests that carry data (settings), as opposed to the pollers' reads."""
    return [frame for when, frame in run.received() if when >= after and len(frame.split()) > 3]


def scenario_startup(run, layout, artefacts):
    run.delete_password()
    run.list_ports()
    run.start_panel()
    run.check_startup_frames()
    run.wait_for_readouts()
    time.sleep(0.5)
    # The level moves: look for a while and keep the fullest meter.
    best = None
    for _ in range(24):
        shot = run.screenshot()
        blocks = green_runs(shot, layout.scaled(shot, (0, layout.meter_y, 1, layout.meter_y + 1))[1])
        check(blocks <= layout.meter_blocks, f"{blocks} meter blocks lit, more than {layout.meter_blocks}")
        if best is None or blocks > best[0]:
            best = (blocks, shot)
        if blocks == layout.meter_blocks:
            break
    blocks, shot = best
    shot.save(os.path.join(artefacts, "panel-under-wine.png"))
    check(blocks == layout.meter_blocks, f"the meter lit at most {blocks} of {layout.meter_blocks} blocks")
    print(f"meter: {blocks} blocks at full level, as in the Linux panel")
    compare_with_reference(layout, shot)
    run.about_from_system_menu()
    run.escape_ends_the_program()
    check(run.password_keys() == [], f"the panel left a password key behind in {run.password_keys()}")
    print("no password key after a run without one")


def scenario_password(run, layout, artefacts):
    # Where the earlier, 32-bit panel keeps it.
    run.delete_password()
    run.reg("add", PASSWORD_KEY, "/v", "param", "/t", "REG_SZ", "/d", "s3cret", "/reg:32")
    run.list_ports()
    run.start_panel()
    run.check_startup_frames()
    shot = run.screenshot()
    lock = layout.scaled(shot, layout.LOCK_BUTTON)
    check("orange" in classes_in(shot, lock), "LOCK/UNLOCK is not shown as locked")
    # Locked: the frequency's step button does nothing.
    before = time.monotonic()
    run.click(layout, shot, layout.FREQ_UP)
    time.sleep(1.5)
    check(setting_frames(run, before) == [], "a locked panel sent a setting")

    run.click(layout, shot, ((layout.LOCK_BUTTON[0] + layout.LOCK_BUTTON[2]) // 2,
                                 (layout.LOCK_BUTTON[1] + layout.LOCK_BUTTON[3]) // 2))
    unlock = run.find_window("Unlock")
    subprocess.run(["xdotool", "type", "--window", unlock, "--delay", "50", "s3cret"], env=run.env,
                   stderr=subprocess.DEVNULL, check=True)
    run.keys(unlock, "Return")
    deadline = time.monotonic() + 10
    while "orange" in classes_in(run.screenshot(), lock):
        check(time.monotonic() < deadline, "Unlock with the stored password did not unlock the panel")
    before = time.monotonic()
    run.click(layout, shot, layout.FREQ_UP)
    deadline = time.monotonic() + 5
    while not setting_frames(run, before):
        check(time.monotonic() < deadline, "the unlocked panel's step button sent nothing")
        time.sleep(0.1)
    print(f"locked by the stored password; unlocked with it, the step button sends {setting_frames(run, before)[0]}")
    run.delete_password()
    run.escape_ends_the_program()


def scenario_schedule(run, layout, artefacts):
    run.delete_password()
    run.list_ports()
    # Row 1: a one-time shut-down, due a little after the panel is up. Wine's
    # local time is this machine's.
    due = datetime.datetime.now().replace(microsecond=0) + datetime.timedelta(seconds=25)
    rows = [f'\t<Task Year="{due.year}" Month="{due.month}" Day="{due.day}" Hour="{due.hour}" Min="{due.minute}" '
            f'Sec="{due.second}" Opt="2" />']
    rows += ['\t<Task Year="2026" Month="1" Day="1" Hour="0" Min="0" Sec="0" Opt="0" />'] * 4
    with open(os.path.join(run.folder, "config.xml"), "w") as f:
        f.write('<?xml version="1.0"?>\n<root>\n' + "\n".join(rows) + "\n</root>\n")
    run.start_panel()
    run.check_startup_frames()
    check(datetime.datetime.now() < due, "the panel took too long to start for this test")
    fired = run.wait_for_frame(SHUTDOWN_FRAME, (due - datetime.datetime.now()).total_seconds() + 10)
    check(fired is not None, f"the shut-down due at {due:%H:%M:%S} was not sent")
    late = time.time() - (time.monotonic() - fired) - due.timestamp()
    check(-1.0 <= late <= 3.0, f"the shut-down was sent {late:+.1f} s from its due time")
    print(f"scheduled shut-down sent {late:+.1f} s from its due time ({due:%H:%M:%S})")
    run.escape_ends_the_program()


def desktop_picture(run, layout, output):
    run.delete_password()
    run.list_ports()
    size = (layout.reference.width + 40, layout.reference.height + 60)
    run.start_panel(desktop=size)
    run.check_startup_frames()
    run.wait_for_readouts()
    desktop = run.find_window("Talvex - Wine desktop")
    time.sleep(2)  # a round of the slower readings
    for _ in range(40):
        shot = Picture.of_window(desktop, run.env)
        # Wherever the window landed, some row crosses the whole meter.
        if max(green_runs(shot, y) for y in range(0, shot.height, 2)) >= layout.meter_blocks:
            break
    shot.save(output)
    run.keys(run.window, "Escape")
    run.panel.wait(timeout=15)


# --- What the panel prints, in a console ---------------------------------------

ESCAPES = re.compile(r"\x1b\[[0-9;?]*[A-Za-z]|\x1b\][^\x07]*\x07")


class Terminal:
    """A command on a pseudo-terminal, which Wine makes the console of it."""

    def __init__(self, command, cwd, env):
        master, slave = os.openpty()
        self.process = subprocess.Popen(command, cwd=cwd, env=env, stdin=slave, stdout=slave, stderr=slave)
        os.close(slave)
        self.master, self.data = master, b""
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        while True:
            try:
                chunk = os.read(self.master, 4096)
            except OSError:
                return
            if not chunk:
                return
            self.data += chunk

    def finish(self, timeout=60):
        """The exit status and the text shown, without the console's escape
        sequences and white space (Wine's console moves the cursor for blanks)."""
        try:
            code = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure("the program did not end")
        self.reader.join(5)
        os.close(self.master)
        return code, "".join(ESCAPES.sub("", self.data.decode(errors="replace")).split())


def scenario_console(prefix, folder, launcher):
    env = wine_env(prefix)
    # By its full name: a bare name is looked for beside the launcher first.
    command = ["wine", launcher, "Z:" + os.path.join(folder, "TalvexPanel.exe").replace("/", "\\")]

    code, text = Terminal(command + ["--version"], folder, env).finish()
    check(code == 0 and re.search(r"TalvexPanel\d+\.\d+", text), f"--version: {code}, shown: {text!r}")
    code, text = Terminal(command + ["--help"], folder, env).finish()
    for expected in ("Usage:TalvexPanel[options]", "--port<DEVICE>", "COM3", "%LOCALAPPDATA%\\Talvex"):
        check(expected in text, f"--help does not show {expected!r}: {text!r}")
    # A port that cannot be opened: the reason is printed, then the panel
    # says that no transmitter is connected, and ends when told OK.
    terminal = Terminal(command + ["--port", "COM9"], folder, env)
    press(env, find_window(env, "Error", 90), "Return")
    code, text = terminal.finish()
    check("TalvexPanel:cannotopenportCOM9:nosuchdevice" in text, f"--port COM9 showed {text!r}")
    print("console: --version, --help (COM3, %LOCALAPPDATA%) and the port's failure reach the console")


SCENARIOS = {"startup": scenario_startup, "password": scenario_password, "schedule": scenario_schedule}


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    action, prefix = argv[1], os.path.abspath(argv[2])
    if action == "prepare":
        prepare(prefix)
        return 0
    if action == "finish":
        finish(prefix)
        return 0
    if action == "exec":
        return run_program(prefix, argv[3:])
    if action == "console" and len(argv) == 5:
        try:
            scenario_console(prefix, os.path.abspath(argv[3]), os.path.abspath(argv[4]))
        except Failure as failure:
            print(f"FAILED: {failure}", file=sys.stderr)
            return 1
        return 0
    if action == "desktop" and len(argv) == 6:
        run = PanelRun(prefix, argv[3], argv[4])
        try:
            desktop_picture(run, Layout(Picture.load(os.path.join(os.path.dirname(__file__), "..", "..", "..",
                                                                       "docs", "screenshot.png"))), argv[5])
        finally:
            run.close()
        return 0
    if action not in SCENARIOS or len(argv) != 6:
        print(__doc__, file=sys.stderr)
        return 2
    sim, folder, reference = argv[3:6]
    layout = Layout(Picture.load(reference))
    run = PanelRun(prefix, sim, folder)
    try:
        SCENARIOS[action](run, layout, os.path.dirname(prefix))
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        run.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

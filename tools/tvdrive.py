"""Drives the real tessivane binary in a private Xvfb with xdotool.

Each session gets a free display number, a scratch working folder holding copies of
the program's inputs, and cleans up only the processes it started.
"""
import ctypes
import os
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import time

# What the program reads from its folder. Only these are copied into a session's folder:
# never the user's recordings or other files that share a run folder with them, and
# nothing the program writes can reach back into the folder they came from.
INPUTS = ("test.scn", "bone.bmp", "data", "worlds")

UPDATES = re.compile(r"updates/sec: (\d+)\n")

WIDTH, HEIGHT = 720, 480

# Button rectangles (x, y, w, h) counted from the window's bottom-left corner.
INTEGRATOR = (0, 96, 64, 32)
SOURCE = (0, 32, 64, 32)
RESET = (0, 64, 64, 32)
PLAY = (128, 64, 32, 32)

# The jelly blob in the sky before it falls, from the start camera (top-left pixels).
BLOB_IN_SKY = (570, 65)

STATUS = re.compile(r"updates/sec: (\d+)\npar: (\d+)/(\d+) emit: (\d+)/(\d+) spring: (\d+) emitter: (\d+) sink: (\d+) \n")


def centre_top(rect):
    """The centre of a bottom-left rectangle in xdotool's top-left window pixels."""
    x, y, w, h = rect
    return x + w // 2, HEIGHT - (y + h // 2)


def play_holding_pinned_blob(s):
    """Takes hold of the blob in the sky while the world is paused, when no spark can be
    nearer the cursor's ray than the blob is, pins it, presses play and holds the pinned
    particle again with the same press (left button down on return). Grabbing after play
    instead would race the world, which runs as far as the machine's speed lets it."""
    s.press(1, *BLOB_IN_SKY)
    s.press(3)
    s.release(3)
    s.release(1)
    s.click(*centre_top(PLAY))
    s.press(1, *BLOB_IN_SKY)


class Status:
    def __init__(self, m):
        vals = [int(v) for v in m.groups()]
        (self.updates, self.live, self.created, self.emitLive, self.emitCreated,
         self.springs, self.emitters, self.sinks) = vals


def free_display():
    for n in range(90, 400):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return n
    raise RuntimeError("no free X display number")


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def send_wm_delete(display_name, window):
    """Asks the window to close the way a window manager's close button does."""
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display_name.encode())
    if not dpy:
        raise RuntimeError("cannot open display " + display_name)
    ev = _XEvent()
    ev.xclient.type = 33  # ClientMessage
    ev.xclient.window = window
    ev.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    ev.xclient.format = 32
    ev.xclient.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    ev.xclient.data[1] = 0  # CurrentTime
    x11.XSendEvent(dpy, window, 0, 0, ctypes.byref(ev))
    x11.XFlush(dpy)
    x11.XCloseDisplay(dpy)


def _display_opens(display_name, timeout):
    """Whether a client can connect to the display within the timeout."""
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    deadline = time.time() + timeout
    while time.time() < deadline:
        dpy = x11.XOpenDisplay(display_name.encode())
        if dpy:
            x11.XCloseDisplay(dpy)
            return True
        time.sleep(0.05)
    return False


def read_bmp(path):
    """Decodes a 24-bit uncompressed BMP: returns (width, height, rows top-first of (r, g, b))."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError("not a BMP")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bpp = struct.unpack_from("<H", data, 28)[0]
    if bpp != 24:
        raise ValueError("not 24-bit")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        base = offset + y * stride
        row = [(data[base + 3 * x + 2], data[base + 3 * x + 1], data[base + 3 * x]) for x in range(width)]
        rows.append(row)
    if height > 0:
        rows.reverse()
    return width, abs(height), rows


class Session:
    """One Xvfb and one tessivane process, working in a scratch folder."""

    def __init__(self, binary, run_dir, width=1024, height=768, args=(), installed=False):
        self.binary = binary
        self.run_dir = run_dir
        self.workdir = tempfile.mkdtemp(prefix="tv_e2e_")
        for name in INPUTS:
            src = os.path.join(run_dir, name)
            if os.path.isdir(src):
                shutil.copytree(src, os.path.join(self.workdir, name))
            elif os.path.exists(src):
                shutil.copyfile(src, os.path.join(self.workdir, name))
        # The program reads its shipped files from beside its executable, so a copy of it
        # makes the scratch folder its run folder. An installed one runs where it is.
        if not installed:
            binary = shutil.copy(binary, os.path.join(self.workdir, "tessivane"))
        self.xvfb = None
        self._start_xvfb(width, height)
        self.env = dict(os.environ, DISPLAY=self.display)
        self.out_path = os.path.join(self.workdir, "console.txt")
        self.out = open(self.out_path, "wb")
        self.proc = subprocess.Popen([binary, *args], cwd=self.workdir, env=self.env, stdout=self.out,
                                     stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.window = None

    def _start_xvfb(self, width, height):
        """Lets the server choose a free display itself (-displayfd), so that sessions
        started at the same moment by other suites never race for one number; -noreset
        keeps it from regenerating (and refusing connections) when a client leaves; -r
        turns key repeat off, so that a key held across slow frames is pressed only once."""
        screen = ["-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp", "-noreset", "-r"]
        for _ in range(3):
            rfd, wfd = os.pipe()
            self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(wfd), *screen], pass_fds=(wfd,),
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(wfd)
            text = b""
            deadline = time.time() + 30
            while not text.endswith(b"\n") and time.time() < deadline:
                chunk = os.read(rfd, 16)
                if not chunk:
                    break
                text += chunk
            os.close(rfd)
            if text.strip().isdigit():
                self.display_num = int(text)
                self.display = f":{self.display_num}"
                if _display_opens(self.display, 10):
                    return
            self._stop_xvfb()
        raise RuntimeError("Xvfb did not start")

    def _stop_xvfb(self):
        if self.xvfb is not None and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()

    # Console
    def console(self):
        with open(self.out_path, "rb") as f:
            return f.read().decode("latin-1")

    def wait_for(self, text, timeout=20, start=0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if text in self.console()[start:]:
                return True
            if self.proc.poll() is not None:
                return text in self.console()[start:]
            time.sleep(0.05)
        return False

    def updates_since(self, start):
        """Updates the program has surely made since console offset `start`: the counts of
        the status lines printed after it, less the first, which may count earlier ones."""
        return sum(int(n) for n in UPDATES.findall(self.console()[start:])[1:])

    def wait_updates(self, count, start=None, timeout=120):
        """Waits until the program has made `count` updates (frames) after `start` (default:
        now), however slowly the frames come. The world moves one fixed step per update
        while it plays."""
        if start is None:
            start = len(self.console())
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.updates_since(start) >= count:
                return True
            if self.proc.poll() is not None:
                return False
            time.sleep(0.05)
        return False

    # Window and input
    def xdo(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True, text=True,
                              timeout=20).stdout

    def find_window(self, timeout=20):
        deadline = time.time() + timeout
        while time.time() < deadline:
            ids = self.xdo("search", "--name", "^Tessivane(: [a-z]+)?$").split()
            if ids:
                self.window = int(ids[0])
                self.xdo("windowfocus", "--sync", self.window)
                return self.window
            time.sleep(0.1)
        raise RuntimeError("window did not appear")

    def geometry(self):
        out = self.xdo("getwindowgeometry", "--shell", self.window)
        vals = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(vals["WIDTH"]), int(vals["HEIGHT"])

    def frame_seconds(self):
        """How long a frame takes now, from the last status line (a guess before one)."""
        counts = UPDATES.findall(self.console())
        return 1.0 / max(1, int(counts[-1])) if counts else 0.1

    def hold_key(self, key, seconds=0.25):
        """Keys must stay down across at least one frame to be seen: however slow the frames
        are, the key stays down for three of them."""
        self.xdo("keydown", "--window", self.window, key)
        time.sleep(max(seconds, 3 * self.frame_seconds()))
        self.xdo("keyup", "--window", self.window, key)
        time.sleep(0.1)

    def key_until(self, key, text, timeout=20):
        """Holds a key down until the console shows `text` after the press, so that a slow
        frame cannot miss it; returns whether it showed."""
        start = len(self.console())
        self.xdo("keydown", "--window", self.window, key)
        try:
            return self.wait_for(text, timeout, start)
        finally:
            self.xdo("keyup", "--window", self.window, key)
            time.sleep(0.1)

    def move(self, x, y):
        """x, y in window pixels from the top-left corner."""
        self.xdo("mousemove", "--window", self.window, x, y)
        time.sleep(0.1)

    def press(self, button=1, x=None, y=None, shift=False):
        if x is not None:
            self.move(x, y)
        if shift:
            self.xdo("keydown", "shift")
        self.xdo("mousedown", button)
        time.sleep(0.15)

    def release(self, button=1, shift=False):
        self.xdo("mouseup", button)
        if shift:
            self.xdo("keyup", "shift")
        time.sleep(0.15)

    def click(self, x, y, button=1, shift=False):
        self.press(button, x, y, shift)
        self.release(button, shift)

    def close(self, timeout=20):
        """Closes the window like a window manager would; returns the exit status, or None
        when there is no window to close (shutdown then stops the program)."""
        if self.window is None:
            return None
        send_wm_delete(self.display, self.window)
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def wait_for_frames(self, count, timeout=20):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if len(self.frames()) >= count:
                return True
            time.sleep(0.05)
        return False

    def frames(self):
        return sorted(f for f in os.listdir(self.workdir) if f.startswith("dumper") and f.endswith(".bmp"))

    def shutdown(self, keep=False):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
        self.out.close()
        self._stop_xvfb()
        if not keep:
            shutil.rmtree(self.workdir, ignore_errors=True)

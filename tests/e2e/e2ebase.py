"""Shared steps of the end-to-end suites: the argument parsing, one session per test,
status-line parsing, frame grabbing and the window places of the buttons."""
import argparse
import os
import re
import struct
import sys
import time
import unittest

# The driver and the window's layout live with the tools, which use them too.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import tvdrive  # noqa: E402
from tvdrive import (BLOB_IN_SKY, HEIGHT, INTEGRATOR, PLAY, RESET, SOURCE, STATUS,  # noqa: E402,F401
                     WIDTH, Status, centre_top)

ARGS = None
FRAME_BYTES = 54 + WIDTH * 3 * HEIGHT
# Updates in one second of world time: the playing world advances 1/60 s per update.
UPDATES_PER_SECOND = 60


class Frame:
    """A recorded frame, decoded on demand: px(x, y) counts y from the top."""

    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self.data = f.read()
        if self.data[:2] != b"BM" or struct.unpack_from("<H", self.data, 28)[0] != 24:
            raise ValueError("not a 24-bit BMP: " + path)
        self.offset = struct.unpack_from("<I", self.data, 10)[0]
        self.width, height = struct.unpack_from("<ii", self.data, 18)
        self.height = abs(height)
        self.bottom_up = height > 0
        self.stride = (self.width * 3 + 3) & ~3

    def px(self, x, y):
        row = self.height - 1 - y if self.bottom_up else y
        b = self.offset + row * self.stride + 3 * x
        d = self.data
        return (d[b + 2], d[b + 1], d[b])

    def region(self, x0, y0, x1, y1, step=1):
        """Pixels of the box [x0, x1) × [y0, y1) in top-left coordinates."""
        return [self.px(x, y) for y in range(y0, y1, step) for x in range(x0, x1, step)]

    def count(self, pred, box=None, step=1):
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        return sum(1 for p in self.region(x0, y0, x1, y1, step) if pred(p))

    def diff(self, other, box=None, step=2):
        """Mean absolute channel difference over a box."""
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        a = self.region(x0, y0, x1, y1, step)
        b = other.region(x0, y0, x1, y1, step)
        return sum(abs(p[i] - q[i]) for p, q in zip(a, b) for i in range(3)) / (3.0 * len(a))


def font():
    """The program's own 5 x 7 glyphs, read from its font table: rows to character."""
    path = os.path.join(os.path.dirname(__file__), "..", "..", "gui", "bitmapfont.cpp")
    with open(path) as f:
        text = f.read()
    glyphs = {(0,) * 7: " "}
    for ch, rows in re.findall(r"\{'(\\\\|.)', \{([^}]*)\}\}", text):
        glyphs[tuple(int(v, 16) for v in rows.split(","))] = "\\" if ch == "\\\\" else ch
    return glyphs


def read_text(frame, x0, y0, lines, columns, ink, line_height=10):
    """Text drawn in the program's font from the top-left glyph corner x0, y0: 6 pixels a
    character, `line_height` a line; `ink` tells a lit pixel."""
    glyphs = font()
    out = []
    for line in range(lines):
        chars = []
        for col in range(columns):
            rows = []
            for r in range(7):
                bits = 0
                for c in range(5):
                    bits = bits << 1 | (1 if ink(frame.px(x0 + 6 * col + c, y0 + line_height * line + r)) else 0)
                rows.append(bits)
            chars.append(glyphs.get(tuple(rows), "?"))
        out.append("".join(chars).rstrip())
    return "\n".join(out)


# The last problem line at the bottom of the window: amber glyphs from (7, HEIGHT - 14).
PROBLEM_TEXT = (7, HEIGHT - 14)


def read_problem(frame):
    return read_text(frame, *PROBLEM_TEXT, 1, 115, lambda p: p[0] > 200 and p[1] > 140 and p[2] < 120)


def picture_diff(frame, rect, picture):
    """Mean channel difference between a button's drawn rectangle and its picture file."""
    pw, ph, prow = tvdrive.read_bmp(picture)
    x, y, w, h = rect
    total = 0
    n = 0
    # Sample the inner part only: the texture is filtered at the edges.
    for j in range(3, h - 3):
        for i in range(3, w - 3):
            fp = frame.px(x + i, HEIGHT - 1 - (y + j))
            pp = prow[ph - 1 - (j * ph // h)][i * pw // w]
            total += sum(abs(fp[c] - pp[c]) for c in range(3))
            n += 3
    return total / n


class SessionTest(unittest.TestCase):
    """Starts the program in its own Xvfb for every test and stops it afterwards."""

    program_args = ()  # the program's command line, for a suite that needs one

    def setUp(self):
        self.s = tvdrive.Session(os.path.abspath(ARGS.binary), os.path.abspath(ARGS.run_dir), args=self.program_args)
        try:
            self.s.find_window(timeout=60)
        except RuntimeError:
            self.s.shutdown(keep=True)
            self.fail("no window; console: %r" % self.s.console()[-800:])
        self.assertTrue(self.s.wait_for("updates/sec:", timeout=60), self.s.console()[-500:])

    def tearDown(self):
        if ARGS.console:
            # Kept for whoever runs the suite by hand, e.g. to read a sanitizer's report.
            with open(ARGS.console, "a", encoding="latin-1") as f:
                f.write(self.s.console())
        self.s.shutdown()

    # Console
    def mark(self):
        return len(self.s.console())

    def statuses(self, start=0):
        return [Status(m) for m in STATUS.finditer(self.s.console()[start:])]

    def next_status(self, count=1, timeout=20):
        """Waits for `count` complete status lines printed after now; returns the last."""
        start = self.mark()
        deadline = time.time() + timeout
        while time.time() < deadline:
            found = self.statuses(start)
            if len(found) >= count:
                return found[count - 1]
            self.assertIsNone(self.s.proc.poll(), self.s.console()[-800:])
            time.sleep(0.05)
        self.fail("no status line within %d s" % timeout)

    def wait_updates(self, count, start=None):
        """Lets `count` updates (frames) go by, however long they take."""
        self.assertTrue(self.s.wait_updates(count, start),
                        "fewer than %d updates; console: %r" % (count, self.s.console()[-800:]))

    def wait_world_seconds(self, seconds):
        """Lets the playing world move on by `seconds` of its own time."""
        self.wait_updates(int(round(seconds * UPDATES_PER_SECOND)))

    def expect_line(self, text, start, timeout=20):
        self.assertTrue(self.s.wait_for(text, timeout=timeout, start=start),
                        "missing %r in %r" % (text, self.s.console()[start:][-800:]))

    # Input
    def key(self, name, seconds=0.2):
        self.s.hold_key(name, seconds)

    def key_until(self, name, text, timeout=20, count=1):
        """Holds a key down until the console shows its effect (`count` times): a slow frame
        on a loaded machine cannot then see both the press and the release at once."""
        start = self.mark()
        self.s.xdo("keydown", "--window", self.s.window, name)
        try:
            deadline = time.time() + timeout
            while self.s.console()[start:].count(text) < count and time.time() < deadline:
                self.assertIsNone(self.s.proc.poll(), self.s.console()[-800:])
                time.sleep(0.05)
            self.assertGreaterEqual(self.s.console()[start:].count(text), count,
                                    "missing %r in %r" % (text, self.s.console()[start:][-800:]))
        finally:
            self.s.xdo("keyup", "--window", self.s.window, name)
            time.sleep(0.1)

    def picture(self, name):
        return os.path.join(self.s.workdir, "data", name)

    def assertShows(self, frame, rect, shown, other):
        """The button at rect shows the picture file `shown`, not `other`."""
        a = picture_diff(frame, rect, self.picture(shown))
        b = picture_diff(frame, rect, self.picture(other))
        self.assertLess(a, 25, "%s is not drawn (%.1f)" % (shown, a))
        self.assertLess(a, b, "%s drawn instead of %s" % (other, shown))

    def click_button(self, rect):
        self.s.click(*centre_top(rect))

    def play(self):
        """Clicks play and waits until particles are being made."""
        before = self.next_status()
        self.click_button(PLAY)
        deadline = time.time() + 30
        while time.time() < deadline:
            now = self.next_status()
            if now.created > before.created:
                return now
        self.fail("play did not start the world")

    # Frames
    def grab(self, settle=0.0):
        """Records a short run of frames and returns the last complete one, after `settle`
        seconds of world time (counted in updates, not on the clock)."""
        if settle:
            self.wait_world_seconds(settle)
        s = self.s
        have = len(s.frames())
        self.key_until("backslash", "begin recording\n")
        self.assertTrue(s.wait_for_frames(have + 2, timeout=30), "no frames were recorded")
        self.key_until("backslash", "end recording\n")
        deadline = time.time() + 10
        frames = s.frames()
        path = os.path.join(s.workdir, frames[-1])
        while os.path.getsize(path) < FRAME_BYTES and time.time() < deadline:
            time.sleep(0.05)
        if os.path.getsize(path) < FRAME_BYTES:
            path = os.path.join(s.workdir, frames[-2])
        return Frame(path)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--run-dir", required=True)
    parser.add_argument("--console", help="append each session's console output to this file")
    ARGS, rest = parser.parse_known_args()
    unittest.main(module="__main__", argv=[sys.argv[0]] + rest)

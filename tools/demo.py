"""Headless demo: starts the sandbox in a private virtual X server, presses play,
records a few seconds of frames and writes them as PNG files (and as a short video when
ffmpeg is installed). With --replay it renders a recorded session instead, every update
from the start to the end of the log."""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import zlib

import tvdrive  # the session driver beside this script

here = os.path.dirname(os.path.abspath(__file__))


def write_png(path, width, height, rows):
    """rows: top row first, each a list of (r, g, b)."""
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("out", nargs="?", default="demo-frames", help="folder for the PNG files")
    parser.add_argument("--seconds", type=float, default=4.0, help="how long to record")
    parser.add_argument("--warmup", type=float, default=2.0, help="seconds of play before recording")
    parser.add_argument("--every", type=int, default=1, help="keep every n-th frame")
    parser.add_argument("--four", action="store_true", help="record the four views instead of one")
    parser.add_argument("--fountain", action="store_true",
                        help="hold the jelly blob up in the sky and start fountains on it with z")
    parser.add_argument("--world", help="open a world of the gallery by name (cloth, sinks, ...) instead of the default")
    parser.add_argument("--replay", metavar="FILE", help="render the input log FILE from its start to its end")
    parser.add_argument("--size", metavar="WxH", help="the window's size in pixels (720x480 unless given)")
    parser.add_argument("--build", default=os.path.join(here, "..", "build"), help="the build folder")
    parser.add_argument("--console", help="write the program's console output to this file")
    args = parser.parse_args()

    # The world as the build ships it, in a folder of its own: the run folder may hold the
    # user's edited scene and recordings, which are neither ours to show nor to touch.
    build = os.path.abspath(args.build)
    binary = os.path.join(build, "run", "tessivane")
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    # Frames and a video already there are someone's earlier recording: never written over,
    # nor mixed into this one's numbering or video.
    taken = sorted(n for n in os.listdir(out) if re.fullmatch(r"frame\d{5}\.png", n) or n == "demo.mp4")
    if taken:
        sys.exit("%s already holds %s from an earlier recording (%d files); nothing there is written over: "
                 "name a new folder, or move them away first" % (out, taken[0], len(taken)))

    size = None
    if args.size:
        m = re.fullmatch(r"(\d+)x(\d+)", args.size)
        if not m or not (64 <= int(m.group(1)) <= 4096 and 64 <= int(m.group(2)) <= 4096):
            sys.exit("--size takes WIDTHxHEIGHT, each from 64 to 4096 pixels, such as 1280x720")
        size = int(m.group(1)), int(m.group(2))
    shipped = os.path.join(build, "shipped")
    if args.replay:
        replay(args, binary, shipped, out, size)
        return
    world = ()
    if args.world:
        world = ("worlds/%s.scn" % args.world,)
        if not os.path.isfile(os.path.join(shipped, world[0])):
            names = sorted(n[:-4] for n in os.listdir(os.path.join(shipped, "worlds")) if n.endswith(".scn"))
            sys.exit("no world named %s; the gallery has %s" % (args.world, ", ".join(names)))
    s = tvdrive.Session(binary, shipped, args=world, **screen(size))
    try:
        s.find_window()
        resize(s, size)
        if not s.wait_for("par: ", timeout=60):
            sys.exit("the sandbox did not start: " + s.console()[-500:])
        if args.fountain:
            # The blob pinned in the sky, held, and the cursor moved off so it hangs below.
            tvdrive.play_holding_pinned_blob(s)
            s.move(450, 200)
            s.hold_key("z")
        else:
            s.click(*tvdrive.centre_top(tvdrive.PLAY))
        time.sleep(args.warmup)
        if args.four:
            s.move(360, 240)
            s.hold_key("space")
        if not s.key_until("backslash", "begin recording\n"):
            sys.exit("recording did not start: " + s.console()[-500:])
        time.sleep(args.seconds)
        s.wait_for_frames(1, timeout=60)
        if not s.key_until("backslash", "end recording\n"):
            sys.exit("recording did not stop: " + s.console()[-500:])
        s.wait_updates(2)  # the last frame is complete on disk
        write_frames(s, out, args.every, 30)
    finally:
        finish(s, args)


def screen(size):
    """A virtual screen that holds the window at its size."""
    return {} if not size else {"width": max(1024, size[0] + 64), "height": max(768, size[1] + 64)}


def resize(s, size):
    if size:
        s.xdo("windowsize", "--sync", s.window, size[0], size[1])
        if s.geometry() != size:
            sys.exit("the window could not be made %dx%d" % size)


def write_frames(s, out, every, rate):
    frames = s.frames()[:: max(1, every)]
    written = []
    for i, name in enumerate(frames):
        width, height, rows = tvdrive.read_bmp(os.path.join(s.workdir, name))
        path = os.path.join(out, "frame%05d.png" % i)
        write_png(path, width, height, rows)
        written.append(path)
    print("wrote %d frames to %s" % (len(written), out))
    if written and shutil.which("ffmpeg"):
        video = os.path.join(out, "demo.mp4")
        subprocess.run(["ffmpeg", "-y", "-loglevel", "error", "-framerate", str(rate), "-i",
                        os.path.join(out, "frame%05d.png"), "-pix_fmt", "yuv420p", video], check=False)
        if os.path.exists(video):
            print("wrote " + video)


def finish(s, args):
    s.close()
    if args.console:
        with open(args.console, "w", encoding="latin-1") as f:
            f.write(s.console())
    s.shutdown()


def replay(args, binary, shipped, out, size):
    """Every frame of a replay, one an update, at the world's own 60 a second."""
    log = os.path.abspath(args.replay)
    s = tvdrive.Session(binary, shipped, args=("--replay", log), **screen(size))
    try:
        try:
            s.find_window()
        except RuntimeError:
            sys.exit(s.console().strip()[-500:] or "the sandbox did not start")
        resize(s, size)
        # Down before the world has loaded, the key starts the recording with its first frame.
        if not s.key_until("backslash", "begin recording\n", timeout=60):
            sys.exit("recording did not start: " + s.console()[-500:])
        if not s.wait_for("replay finished", timeout=24 * 3600):
            sys.exit("the replay did not finish: " + s.console()[-500:])
        if not s.key_until("backslash", "end recording\n"):
            sys.exit("recording did not stop: " + s.console()[-500:])
        s.wait_updates(2)
        print(re.findall(r"replay finished: .*", s.console())[-1])
        write_frames(s, out, args.every, 60)
    finally:
        finish(s, args)


if __name__ == "__main__":
    main()

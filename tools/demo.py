"""Headless demo: starts the sandbox in a private virtual X server, presses play,
records a few seconds of frames and writes them as PNG files (and as a short video when
ffmpeg is installed)."""
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

    shipped = os.path.join(build, "shipped")
    world = ()
    if args.world:
        world = ("worlds/%s.scn" % args.world,)
        if not os.path.isfile(os.path.join(shipped, world[0])):
            names = sorted(n[:-4] for n in os.listdir(os.path.join(shipped, "worlds")) if n.endswith(".scn"))
            sys.exit("no world named %s; the gallery has %s" % (args.world, ", ".join(names)))
    s = tvdrive.Session(binary, shipped, args=world)
    try:
        s.find_window()
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
        frames = s.frames()[:: max(1, args.every)]
        written = []
        for i, name in enumerate(frames):
            width, height, rows = tvdrive.read_bmp(os.path.join(s.workdir, name))
            path = os.path.join(out, "frame%05d.png" % i)
            write_png(path, width, height, rows)
            written.append(path)
        print("wrote %d frames to %s" % (len(written), out))
        if written and shutil.which("ffmpeg"):
            video = os.path.join(out, "demo.mp4")
            subprocess.run(["ffmpeg", "-y", "-loglevel", "error", "-framerate", "30", "-i",
                            os.path.join(out, "frame%05d.png"), "-pix_fmt", "yuv420p", video], check=False)
            if os.path.exists(video):
                print("wrote " + video)
    finally:
        s.close()
        if args.console:
            with open(args.console, "w", encoding="latin-1") as f:
                f.write(s.console())
        s.shutdown()


if __name__ == "__main__":
    main()

"""End to end: the build, the test sessions and the demo leave what a user made in the run
folder alone. An edited scene survives a build that brings the untouched files up to
date; recordings already there are neither overwritten nor taken as new frames."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.dirname(__file__))
import e2ebase  # noqa: E402
import tvdrive  # noqa: E402

SOURCE = os.path.normpath(os.path.join(os.path.dirname(__file__), "..", ".."))
MAGENTA = (255, 0, 255)


def write_bmp(path, width, height, colour):
    """A 24-bit BMP of one colour, standing for a recording the user made earlier."""
    stride = (width * 3 + 3) & ~3
    row = bytes((colour[2], colour[1], colour[0]) * width) + b"\0" * (stride - width * 3)
    size = 54 + stride * height
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", size, 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, stride * height, 2835, 2835, 0, 0))
        f.write(row * height)


def png_pixels(path):
    """The first pixel and the mean of the first row of a PNG as the demo writes it
    (8-bit RGB, one IDAT, filter 0 on every row)."""
    with open(path, "rb") as f:
        data = f.read()
    width = struct.unpack_from(">I", data, 16)[0]
    pos, idat = 8, b""
    while pos < len(data):
        length = struct.unpack_from(">I", data, pos)[0]
        if data[pos + 4:pos + 8] == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    raw = zlib.decompress(idat)
    return [tuple(raw[1 + 3 * x:4 + 3 * x]) for x in range(width)]


def snapshot(folder):
    """Every file under a folder with its bytes."""
    out = {}
    for root, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                out[os.path.relpath(path, folder)] = f.read()
    return out


class ToolsTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="tv_tools_")

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def fill_run(self, run):
        """A run folder as a user leaves it: the build's inputs, an edited scene and two
        old recordings, one of them numbered where a new run's frames begin."""
        os.makedirs(run)
        for name in tvdrive.INPUTS:
            src = os.path.join(e2ebase.ARGS.run_dir, name)
            (shutil.copytree if os.path.isdir(src) else shutil.copyfile)(src, os.path.join(run, name))
        with open(os.path.join(run, "test.scn"), "a") as f:
            f.write("\n# my own fountain\nemitter\ntranslate 1 2 3\nrate 77\n")
        for name in ("dumper00000.bmp", "dumper00500.bmp"):
            write_bmp(os.path.join(run, name), e2ebase.WIDTH, e2ebase.HEIGHT, MAGENTA)
        os.symlink(os.path.abspath(e2ebase.ARGS.binary), os.path.join(run, "tessivane"))
        return snapshot(run)

    def test_build_brings_its_files_up_to_date_and_keeps_the_users(self):
        shipped = os.path.join(self.tmp, "shipped")
        run = os.path.join(self.tmp, "run")
        record = os.path.join(self.tmp, "written.txt")
        os.makedirs(os.path.join(shipped, "data"))
        os.makedirs(run)
        write_bmp(os.path.join(run, "dumper00500.bmp"), 4, 4, MAGENTA)
        with open(os.path.join(run, "data.obj"), "w") as f:
            f.write("# the user's own model beside ours\n")

        def ship(scene, model):
            for rel, text in (("test.scn", scene), ("data/blob.obj", model)):
                with open(os.path.join(shipped, rel), "w") as f:
                    f.write(text)

        def build():
            out = subprocess.run(["cmake", "-DSHIPPED=" + shipped, "-DRUN=" + run, "-DRECORD=" + record,
                                  "-P", os.path.join(SOURCE, "tools", "runfolder.cmake")],
                                 capture_output=True, text=True, timeout=60)
            self.assertEqual(out.returncode, 0, out.stderr)
            with open(os.path.join(run, "test.scn")) as f:
                scene = f.read()
            with open(os.path.join(run, "data", "blob.obj")) as f:
                model = f.read()
            return scene, model, out.stdout + out.stderr

        def edit(rel, text):
            with open(os.path.join(run, rel), "w") as f:
                f.write(text)

        user = snapshot(run)
        # (what the build ships, what the user then does in the run folder,
        #  the scene and model found there after the build, which files it says it kept)
        steps = [
            (("scene 1", "model 1"), None, ("scene 1", "model 1"), []),
            (("scene 2", "model 1"), None, ("scene 2", "model 1"), []),
            (("scene 3", "model 2"), ("test.scn", "mine"), ("mine", "model 2"), ["test.scn"]),
            (("scene 4", "model 3"), None, ("mine", "model 3"), ["test.scn"]),
            (("scene 4", "model 4"), ("data/blob.obj", "my model"), ("mine", "my model"),
             ["test.scn", "data/blob.obj"]),
            # Put back as the build last wrote it, the file is the build's again.
            (("scene 5", "model 4"), ("test.scn", "scene 2"), ("scene 5", "my model"), ["data/blob.obj"]),
        ]
        for shipped_now, user_edit, expected, kept in steps:
            if user_edit:
                edit(*user_edit)
            ship(*shipped_now)
            scene, model, log = build()
            self.assertEqual((scene, model), expected, (shipped_now, user_edit, log))
            for rel in ("test.scn", "data/blob.obj"):
                said = "Kept your edited %s:" % os.path.join(run, rel)
                self.assertEqual(said in log, rel in kept, (shipped_now, user_edit, log))
        # A run folder whose scene predates the record is kept as it is too.
        os.remove(record)
        edit("test.scn", "older")
        ship("scene 6", "model 6")
        scene, model, log = build()
        self.assertEqual(scene, "older")
        self.assertIn("Kept your edited", log)
        # Nothing else there was read, written or removed.
        after = snapshot(run)
        for rel, data in user.items():
            self.assertEqual(after.get(rel), data, rel)
        self.assertEqual(sorted(after), sorted(list(user) + ["test.scn", "data/blob.obj"]))

    def test_sessions_and_demo_leave_the_run_folder_alone(self):
        run = os.path.join(self.tmp, "build", "run")
        before = self.fill_run(run)
        os.symlink(os.path.abspath(e2ebase.ARGS.run_dir), os.path.join(self.tmp, "build", "shipped"))

        # A session started on the user's run folder records into its own folder only.
        s = tvdrive.Session(os.path.join(run, "tessivane"), run)
        try:
            s.find_window(timeout=60)
            self.assertTrue(s.wait_for("updates/sec:", timeout=60), s.console()[-500:])
            s.hold_key("backslash")
            self.assertTrue(s.wait_for("begin recording\n"))
            self.assertTrue(s.wait_for_frames(3, timeout=60), "no frames were recorded")
            mark = len(s.console())
            s.hold_key("backslash")
            self.assertTrue(s.wait_for("end recording\n", start=mark))
            s.wait_updates(2)
            frames = s.frames()
            self.assertEqual(frames, ["dumper%05d.bmp" % i for i in range(len(frames))])
            first = e2ebase.Frame(os.path.join(s.workdir, frames[0]))
            self.assertNotEqual(first.px(5, 5), MAGENTA, "an old recording was taken as a new frame")
        finally:
            s.shutdown()
        self.assertEqual(snapshot(run), before)

        # The demo runs the shipped world and keeps only the frames it recorded.
        out = os.path.join(self.tmp, "demo")
        console = os.path.join(self.tmp, "demo.txt")
        demo = subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "demo.py"), out, "--console", console,
                               "--build", os.path.join(self.tmp, "build"), "--warmup", "0", "--seconds", "0.5"],
                              capture_output=True, text=True, timeout=240)
        self.assertEqual(demo.returncode, 0, demo.stdout + demo.stderr)
        with open(console, encoding="latin-1") as f:
            text = f.read()
        self.assertIn("ParScene::load read line ", text)
        self.assertFalse("rate 77" in text, "the demo ran the user's scene")
        pngs = sorted(f for f in os.listdir(out) if f.endswith(".png"))
        self.assertTrue(pngs, demo.stdout)
        self.assertIn("wrote %d frames" % len(pngs), demo.stdout)
        for name in pngs:
            row = png_pixels(os.path.join(out, name))
            self.assertLess(sum(1 for p in row if p == MAGENTA), len(row) // 2,
                            "%s is an old recording, not a frame of the demo" % name)
        self.assertEqual(snapshot(run), before)

        # A second demo into the same folder would write over the first one's frames.
        recorded = snapshot(out)
        again = subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "demo.py"), out,
                                "--build", os.path.join(self.tmp, "build")],
                               capture_output=True, text=True, timeout=240)
        self.assertNotEqual(again.returncode, 0, again.stdout)
        self.assertIn("already holds frame00000.png", again.stderr)
        self.assertEqual(snapshot(out), recorded)


if __name__ == "__main__":
    e2ebase.main()

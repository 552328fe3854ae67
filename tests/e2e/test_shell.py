"""End to end: the window, the extension report, frame recording and a clean exit; starts
on servers as a user starts them, failed starts that say why and exit non-zero, and the
program installed and started from a folder of the user's."""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import tvdrive  # noqa: E402

ARGS = None


class ShellTest(unittest.TestCase):
    def setUp(self):
        self.s = tvdrive.Session(ARGS.binary, ARGS.run_dir)

    def tearDown(self):
        self.s.shutdown()

    def test_window_recording_and_close(self):
        s = self.s
        s.find_window()
        self.assertEqual(s.geometry(), (720, 480))
        self.assertTrue(s.wait_for("found GL extension GL_ARB_multitexture\n"))
        self.assertIn("found GL extension GL_ARB_texture_cube_map\n", s.console())

        s.hold_key("backslash")
        self.assertTrue(s.wait_for("begin recording\n"))
        self.assertTrue(s.wait_for_frames(3), "no frames were recorded")
        mark = len(s.console())
        s.hold_key("backslash")
        self.assertTrue(s.wait_for("end recording\n", start=mark))
        s.wait_updates(2)  # a frame being written when the key went down may still land

        frames = s.frames()
        self.assertIn("dumper00000.bmp", frames)
        first = os.path.join(s.workdir, "dumper00000.bmp")
        self.assertEqual(os.path.getsize(first), 1036854)
        width, height, rows = tvdrive.read_bmp(first)
        self.assertEqual((width, height), (720, 480))
        # Numbering is consecutive from zero.
        self.assertEqual(frames, [f"dumper{i:05d}.bmp" for i in range(len(frames))])

        # No more frames once recording is off.
        count = len(frames)
        s.wait_updates(5)
        self.assertEqual(len(s.frames()), count)

        status = s.close()
        self.assertEqual(status, 0, s.console())
        self.assertTrue(s.console().endswith("shutdown system..."), s.console()[-200:])


# Start-up runs. These need servers exactly as a user starts them (no -noreset, nobody
# else connected, the program started without waiting for them) and a folder in which an
# input can be missing, so they do not use tvdrive.Session, whose server has -noreset and
# is probed before the program starts, and whose folder links the run folder.
SHIPPED_SCENE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "test.scn")
NO_DISPLAY = "Tessivane needs a display and none could be opened"


def free_displays(count, first=700):
    numbers, n = [], first
    while len(numbers) < count:
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            numbers.append(n)
        n += 1
    return numbers


def xvfb(number, noreset=False):
    return subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                             *(["-noreset"] if noreset else [])],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


class Run:
    """A scratch run folder: a copy of the program and its inputs (the shipped scene, the
    run folder's pictures and models) without `leave_out`, in which start() runs the
    program with its console in a file; `elsewhere` starts it from an empty folder."""

    def __init__(self, leave_out=None, elsewhere=False):
        self.proc = None
        self.folder = os.path.realpath(tempfile.mkdtemp(prefix="tv_start_"))
        shutil.copytree(os.path.join(ARGS.run_dir, "data"), os.path.join(self.folder, "data"))
        shutil.copy(os.path.join(ARGS.run_dir, "bone.bmp"), self.folder)
        shutil.copy(SHIPPED_SCENE, os.path.join(self.folder, "test.scn"))
        self.binary = shutil.copy(ARGS.binary, os.path.join(self.folder, "tessivane"))
        if leave_out:
            os.remove(os.path.join(self.folder, leave_out))
        self.cwd = self.folder
        if elsewhere:
            self.cwd = os.path.join(self.folder, "elsewhere")
            os.mkdir(self.cwd)
        self.out_path = os.path.join(self.folder, "console.txt")

    def start(self, display=None, args=()):
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        if display:
            env["DISPLAY"] = display
        with open(self.out_path, "wb") as out:
            self.proc = subprocess.Popen([self.binary, *args], cwd=self.cwd, env=env,
                                         stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        return self

    def console(self):
        with open(self.out_path, "rb") as f:
            return f.read().decode("latin-1")

    def wait_for(self, text, timeout=180):
        """True once the console shows text; false if the program ends without it."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            if text in self.console():
                return True
            if self.proc.poll() is not None:
                return text in self.console()
            time.sleep(0.05)
        return False

    def end(self, timeout=120):
        """Waits for the program to end by itself; returns its exit status."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def close(self):
        if self.proc:
            stop(self.proc)
        shutil.rmtree(self.folder, ignore_errors=True)


class StartTest(unittest.TestCase):
    def test_starts_at_once_on_fresh_servers(self):
        """Ten servers started as the README starts one, the program started at once in
        each, every other one named by -display with DISPLAY unset."""
        runs = [Run() for _ in range(10)]
        servers = []
        try:
            for i, (run, n) in enumerate(zip(runs, free_displays(10))):
                servers.append(xvfb(n))
                if i % 2:
                    run.start(args=("-display", f":{n}"))
                else:
                    run.start(display=f":{n}")
            for i, run in enumerate(runs):
                self.assertTrue(run.wait_for("updates/sec:"), "start %d: %r" % (i, run.console()[-300:]))
        finally:
            for run in runs:
                run.close()
            for server in servers:
                stop(server)

        run = Run().start()
        try:
            self.assertEqual(run.end(), 1)
            self.assertTrue(run.console().startswith(NO_DISPLAY + ' (DISPLAY is "")'), run.console())
        finally:
            run.close()

    def test_failed_starts_say_why_in_order_and_exit_non_zero(self):
        # After the extension report, each start prints exactly the reports of the steps
        # before the failing one (the helper models carry no normals), its own lines, then
        # the chain's. Earlier steps print nothing when their files are there.
        normals = "found no/invaild normals - generating...\ndone generating normals.\n"
        tail = "failed to init object scene!\ninit() failed\nshutdown system..."
        # Started from another folder, the program reads beside itself and says so ({}).
        cases = [
            ("data/par_lum.bmp", False, "Failed to open DIB file data/par_lum.bmp.\nunable to load par_lum.bmp\n"),
            ("data/par_lum.bmp", True, "Failed to open DIB file {}/data/par_lum.bmp.\nunable to load par_lum.bmp\n"),
            ("data/yaw.obj", False, "unable to open the file data/yaw.obj\n"),
            ("test.scn", False, 3 * normals + "unable to open the file test.scn\n"),
            ("test.scn", True, 3 * normals + "unable to open the file {}/test.scn\n"),
        ]
        n = free_displays(1)[0]
        server = xvfb(n, noreset=True)
        try:
            for missing, elsewhere, cause in cases:
                run = Run(leave_out=missing, elsewhere=elsewhere).start(display=f":{n}")
                cause = cause.format(run.folder)
                try:
                    status = run.end()
                    console = run.console()
                finally:
                    run.close()
                with self.subTest(missing=missing, elsewhere=elsewhere):
                    self.assertNotIn(status, (0, None), console[-300:])
                    self.assertEqual(re.sub(r"^(found GL extension \S+\n)+", "", console), cause + tail)
        finally:
            stop(server)

    def test_installed_program_runs_from_any_folder(self):
        """Installed into a scratch prefix, the program answers --help and --version without a
        display and, started from a folder of the user's with a scene named there, reads that
        scene from it, the files the scene names from the installed ones, and records there."""
        tmp = os.path.realpath(tempfile.mkdtemp(prefix="tv_install_"))
        try:
            prefix = os.path.join(tmp, "prefix")
            out = subprocess.run(["cmake", "--install", ARGS.build_dir, "--prefix", prefix],
                                 capture_output=True, text=True, timeout=300)
            self.assertEqual(out.returncode, 0, out.stdout + out.stderr)
            share = os.path.join(prefix, "share", "tessivane")
            for rel in ("bin/tessivane", "bin/tessivane-inspect", "share/tessivane/test.scn",
                        "share/tessivane/data/sky/blueft.bmp", "share/applications/tessivane.desktop",
                        "share/icons/hicolor/scalable/apps/tessivane.svg"):
                self.assertTrue(os.path.isfile(os.path.join(prefix, rel)), rel)
            binary = os.path.join(prefix, "bin", "tessivane")

            env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
            for option, line in (("--version", "tessivane %s\n" % ARGS.project_version),
                                 ("--help", "Shipped files (test.scn, data/, worlds/): %s\n" % share)):
                got = subprocess.run([binary, "-geometry", "720x480", option], cwd=tmp, env=env,
                                     capture_output=True, text=True, timeout=60)
                self.assertEqual(got.returncode, 0, got.stdout)
                self.assertIn(line, got.stdout)
                self.assertEqual(got.stdout.startswith("usage: tessivane "), option == "--help", got.stdout)

            # The user's folder holds only their own test.scn, named relatively.
            user = os.path.join(tmp, "user")
            os.mkdir(user)
            with open(os.path.join(user, "test.scn"), "w") as f:
                f.write(OWN_SCENE)
            before = folder_files(share)
            s = tvdrive.Session(binary, user, installed=True, args=("test.scn",))
            try:
                s.find_window(timeout=60)
                self.assertTrue(s.wait_for("updates/sec:", timeout=120), s.console()[-500:])
                console = s.console()
                self.assertIn("ParScene::load read line rate 33\n", console)
                self.assertIn("0 bbox:", console)
                self.assertNotIn("unable to", console)
                self.assertNotIn("Failed to open", console)
                s.hold_key("backslash")
                self.assertTrue(s.wait_for("begin recording\n"))
                self.assertTrue(s.wait_for_frames(2, timeout=60), "no frames were recorded")
                s.hold_key("backslash")
                self.assertTrue(s.wait_for("end recording\n"))
                self.assertEqual(s.close(), 0, s.console()[-300:])
                self.assertEqual(s.frames()[0], "dumper00000.bmp")
            finally:
                s.shutdown()
            self.assertEqual(folder_files(share), before)
        finally:
            shutil.rmtree(tmp, ignore_errors=True)


# A bowl and one fountain; the model and its picture are named as shipped.
OWN_SCENE = """start
translate 0 0 10

object
translate 60 0 -2
texture data/metal.bmp
data/bowl.obj

emitter
translate 0 60 10
massinv 0
life 1000000
rate 33
childlife 1
"""


def folder_files(folder):
    """Every file under a folder with its size and modification time."""
    out = {}
    for root, _, files in os.walk(folder):
        for name in files:
            info = os.stat(os.path.join(root, name))
            out[os.path.relpath(os.path.join(root, name), folder)] = (info.st_size, info.st_mtime_ns)
    return out


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--run-dir", required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--project-version", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)

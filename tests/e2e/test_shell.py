"""End to end: the window, the extension report, frame recording and a clean exit."""
import argparse
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
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


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--run-dir", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)

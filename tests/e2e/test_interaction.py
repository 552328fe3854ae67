"""End to end: grabbing, dragging, pinning and fountains on a particle; paging fine
ground tiles with Shift and the mouse; placing a fountain with the source button; a
session recorded and replayed to the same world."""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(__file__))
import e2ebase  # noqa: E402
import tvdrive  # noqa: E402
from e2ebase import BLOB_IN_SKY, INTEGRATOR, SOURCE, WIDTH, HEIGHT, picture_diff  # noqa: E402

# Window places (top-left pixels) of the default world seen from the start camera.
GROUND = (560, 450)
BLOB = (320, 370)


def cyan(p):
    return p[0] < 40 and p[1] > 215 and p[2] > 215


class InteractionTest(e2ebase.SessionTest):
    def test_grab_drag_pin_and_fountain(self):
        # Paused, the only particles are the bodies' and the emitters', which live on, so
        # whichever is nearest to the cursor's ray stays held.
        s = self.s
        before = self.grab()
        self.assertLess(before.count(cyan), 5)
        s.press(1, *BLOB)
        s.move(BLOB[0] + 60, BLOB[1] - 120)
        held = self.grab()
        # The drag line joins the held particle to the point under the cursor.
        self.assertGreater(held.count(cyan), 25, "no drag line")

        # Pin, start a fountain on it, free it again. Every force pass of the step sees the
        # key's press, so the default fourth-order step makes four fountains.
        emitters = self.next_status().emitters
        s.press(3)
        s.release(3)
        s.xdo("keydown", "--window", s.window, "z")
        st = self.next_status(2)
        s.xdo("keyup", "--window", s.window, "z")
        self.assertEqual(st.emitters, emitters + 4)
        s.press(3)
        s.release(3)
        s.release(1)
        after = self.grab()
        self.assertLess(after.count(cyan), 5, "the drag line outlived the release")
        # Paused, the fountains neither emit nor age; playing, they live five seconds.
        self.assertEqual(self.next_status().emitters, emitters + 4)
        self.play()
        start = self.mark()
        while self.next_status().emitters != emitters:
            self.assertLess(self.s.updates_since(start), 10 * e2ebase.UPDATES_PER_SECOND,
                            "the key z fountains outlived ten seconds of play")
        self.assertIsNone(s.proc.poll())

    def test_holding_through_a_lively_world(self):
        # Playing, the nearest particle is often a short-lived spark: holding it past its
        # life must neither crash nor leave a line to a recycled particle.
        s = self.s
        self.play()
        s.press(1, *BLOB)
        s.move(BLOB[0], BLOB[1] - 150)
        self.wait_world_seconds(1.0)
        s.release(1)
        self.assertIsNone(s.proc.poll())
        self.assertGreater(self.next_status().emitLive, 0)

    def test_shift_clicks_page_fine_tiles(self):
        s = self.s
        ground = (170, 260, WIDTH, HEIGHT)
        coarse = self.grab()
        start = self.mark()
        s.click(*GROUND, button=1, shift=True)
        self.expect_line("level 0 tile ", start)
        m = re.search(r"level 0 tile (\d+) (\d+)\n", s.console()[start:])
        self.assertIsNotNone(m)
        col, row = int(m.group(1)), int(m.group(2))
        self.assertTrue(0 <= col < 8 and 0 <= row < 8)
        self.assertNotEqual((col, row), (4, 4), "the click should land beside the centre tile")
        # The fine tile draws over its part of the ground instead of the coarse level.
        fine = self.grab()
        self.assertGreater(fine.diff(coarse, ground), 0.6)
        # Loading again keeps that tile; evicting it brings the coarse ground back.
        start = self.mark()
        s.click(*GROUND, button=1, shift=True)
        self.expect_line("level 0 tile %d %d\n" % (col, row), start)
        self.assertLess(self.grab().diff(fine, ground), 0.3)
        start = self.mark()
        s.click(*GROUND, button=3, shift=True)
        self.expect_line("level 0 tile %d %d\n" % (col, row), start)
        self.assertLess(self.grab().diff(coarse, ground), 0.3)
        s.click(*GROUND, button=1, shift=True)
        # A reloaded tile bakes its colour jitter afresh: close to the first, not equal.
        again = self.grab()
        self.assertLess(2 * again.diff(fine, ground), again.diff(coarse, ground))
        # A Shift-click into the sky finds no ground.
        start = self.mark()
        s.click(WIDTH // 2, 20, button=1, shift=True)
        self.expect_line("got not landscape intersection!\n", start)
        self.assertIsNone(s.proc.poll())

    def test_source_button_then_ground_places_a_fountain(self):
        s = self.s
        self.play()
        base = self.next_status()
        # Armed, SOURCE is lit until the next click in a view. One on the sky places
        # nothing and says so at the bottom of the window, never on the console.
        self.click_button(SOURCE)
        self.assertGreater(picture_diff(self.grab(), SOURCE, self.picture("source.bmp")), 40, "SOURCE not lit")
        start = self.mark()
        s.click(WIDTH // 2, 10)
        self.assertEqual(self.next_status(2).emitters, base.emitters)
        self.assertEqual([line for line in s.console()[start:].splitlines()
                          if not line.startswith(("updates/sec: ", "par: "))], [])
        missed = self.grab()
        self.assertLess(picture_diff(missed, SOURCE, self.picture("source.bmp")), 25, "SOURCE still lit")
        said = "NO SOURCE PLACED: NOTHING SOLID UNDER THE CURSOR"
        self.assertEqual(e2ebase.read_problem(missed)[:len(said)], said)

        self.click_button(SOURCE)
        s.click(*GROUND)
        st = self.next_status(2)
        self.assertEqual(st.emitters, base.emitters + 1)
        # Only one placement per press of the button.
        s.click(GROUND[0] - 40, GROUND[1])
        self.assertEqual(self.next_status(2).emitters, base.emitters + 1)
        frame = self.grab(settle=1.0)
        # Its red-to-orange sparks rise from the ground near the click.
        box = (GROUND[0] - 120, 150, min(WIDTH, GROUND[0] + 120), HEIGHT)
        self.assertGreater(frame.count(lambda p: p[0] > 200 and p[2] < 150, box, 2), 30)


FINISHED = r"%s finished: (\d+) updates, world hash (0x[0-9a-f]{16})\n"


class RecordAndReplayTest(e2ebase.SessionTest):
    program_args = ("--record", "take.tvlog")

    def test_a_recorded_session_replays_to_the_same_world(self):
        s = self.s
        tvdrive.play_holding_pinned_blob(s)
        self.wait_updates(20)
        s.move(BLOB_IN_SKY[0] + 60, BLOB_IN_SKY[1] + 80)
        self.wait_updates(20)
        s.press(3)
        s.release(3)
        self.key("z")
        s.release(1)
        self.click_button(SOURCE)
        s.click(*GROUND)
        self.click_button(INTEGRATOR)
        self.wait_updates(30)
        start = self.mark()
        self.assertEqual(s.close(), 0)
        recorded = re.search(FINISHED % "recording", s.console()[start:])
        self.assertIsNotNone(recorded, s.console()[start:])
        log = os.path.join(s.workdir, "take.tvlog")
        with open(log) as f:
            kinds = {line.split()[1] for line in f.read().split("\ninputs ")[1].splitlines()[1:-1]}
        self.assertLessEqual({"grab", "ray", "pin", "fountain", "release", "source", "integrator", "timestep"}, kinds)

        # Played back in another server and folder, with nobody's hand on it.
        replay = tvdrive.Session(os.path.abspath(e2ebase.ARGS.binary), os.path.abspath(e2ebase.ARGS.run_dir),
                                 args=("--replay", log))
        try:
            replay.find_window(timeout=60)
            self.assertTrue(replay.wait_for("replay finished", timeout=300), replay.console()[-500:])
            replayed = re.search(FINISHED % "replay", replay.console())
            self.assertEqual(replayed.groups(), recorded.groups())
        finally:
            replay.shutdown()


if __name__ == "__main__":
    e2ebase.main()

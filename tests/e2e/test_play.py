"""End to end: the play/pause, reset and integrator buttons, seen in the status line and
in the button pictures of recorded frames."""
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
import e2ebase  # noqa: E402
from e2ebase import INTEGRATOR, PLAY, RESET, SOURCE, WIDTH, HEIGHT, picture_diff  # noqa: E402


def glowing(p):
    return sum(p) > 600


class PlayTest(e2ebase.SessionTest):
    def test_play_then_reset_pauses_again(self):
        paused = self.next_status(2)
        before = self.grab()
        # The bar in the lower-left: play (paused world), RK4, reset and source pictures.
        self.assertShows(before, PLAY, "play.bmp", "pause.bmp")
        self.assertShows(before, INTEGRATOR, "int_rk4.bmp", "int_euler.bmp")
        self.assertLess(picture_diff(before, RESET, self.picture("reset.bmp")), 25)
        self.assertLess(picture_diff(before, SOURCE, self.picture("source.bmp")), 25)
        # The sky fills the top of the view.
        sky = before.count(lambda p: p[2] > p[0] and p[2] > 100, (0, 0, WIDTH, 60), 4)
        self.assertGreater(sky, 0.8 * (WIDTH // 4) * 15)
        glow0 = before.count(glowing, (0, 0, WIDTH, HEIGHT - 140), 2)
        # The object blocks' model lines read as unknown commands and are no problem to show.
        self.assertEqual(e2ebase.read_problem(before), "")

        first = self.play()
        self.wait_world_seconds(0.5)
        later = self.next_status()
        self.assertGreater(later.live, paused.live)
        self.assertGreater(later.emitLive, 100)
        self.assertGreater(later.created, first.created - 1)
        playing = self.grab(settle=1.0)
        self.assertShows(playing, PLAY, "pause.bmp", "play.bmp")
        glow1 = playing.count(glowing, (0, 0, WIDTH, HEIGHT - 140), 2)
        self.assertGreater(glow1, glow0 + 100, "no glowing sprites")

        # A line the world cannot read shows at the bottom of the window after the reset.
        with open(os.path.join(self.s.workdir, "test.scn"), "a") as f:
            f.write("wobble 3\n")
        start = self.mark()
        self.click_button(RESET)
        self.expect_line("ParScene::load read line ", start, timeout=30)
        self.expect_line("bbox: ", start, timeout=30)
        self.expect_line("found an unknown command: wobble 3\n", start, timeout=30)
        said = "FOUND AN UNKNOWN COMMAND: WOBBLE 3"
        self.assertEqual(e2ebase.read_problem(self.grab())[:len(said) + 1].rstrip(), said)
        a = self.next_status(2, timeout=30)
        b = self.next_status(1)
        # Paused again: the counts stand still and the bar offers play.
        self.assertEqual((a.live, a.created, a.emitLive), (b.live, b.created, b.emitLive))
        self.assertEqual(a.emitters, paused.emitters)
        self.assertEqual(a.springs, paused.springs)
        self.assertShows(self.grab(), PLAY, "play.bmp", "pause.bmp")

        # Pause by the same button stops the counts too.
        self.play()
        self.click_button(PLAY)
        self.wait_updates(2)
        a = self.next_status()
        b = self.next_status()
        self.assertEqual((a.live, a.emitLive), (b.live, b.emitLive))

    def test_integrator_button_swaps_its_picture(self):
        self.assertShows(self.grab(), INTEGRATOR, "int_rk4.bmp", "int_euler.bmp")
        self.click_button(INTEGRATOR)
        self.assertShows(self.grab(), INTEGRATOR, "int_euler.bmp", "int_rk4.bmp")
        # The world runs under either integrator.
        self.play()
        self.click_button(INTEGRATOR)
        self.assertShows(self.grab(), INTEGRATOR, "int_rk4.bmp", "int_euler.bmp")
        st = self.next_status(2)
        self.assertGreater(st.emitLive, 0)
        self.assertIsNone(self.s.proc.poll())

    def test_n_steps_a_paused_world_once_and_escape_quits(self):
        before = self.next_status(2)
        still = self.grab()
        # Held over many frames, n still runs exactly one update at the play rate: the
        # seven fountains owe floor(rate / 60) sparks each, 2+2+1+1+1+0+0 = 7.
        self.key("n", 0.5)
        after = self.next_status(1)
        self.assertEqual(after.emitCreated - before.emitCreated, 7)
        self.assertEqual(after.created - before.created, 7)  # sparks come from the one pool
        stepped = self.grab()
        again = self.grab()
        view = (0, 0, WIDTH, HEIGHT - 140)
        changed = sum(1 for a, b in zip(stepped.region(*view), still.region(*view)) if a != b)
        self.assertGreater(changed, 0, "the step was not shown")
        self.assertLess(again.diff(stepped, view), 0.01, "the world went on after the step")
        self.assertEqual(self.next_status(1).emitCreated, after.emitCreated)
        self.assertShows(again, PLAY, "play.bmp", "pause.bmp")

        # Escape leaves the way closing the window does.
        self.s.xdo("key", "--window", self.s.window, "Escape")
        self.assertEqual(self.s.proc.wait(30), 0, self.s.console()[-300:])
        self.assertTrue(self.s.console().endswith("shutdown system..."), self.s.console()[-200:])


if __name__ == "__main__":
    e2ebase.main()

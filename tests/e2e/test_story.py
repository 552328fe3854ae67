"""End to end: one run of the program through everything a newcomer tries, in order —
play, grab and drag, pin and free, a fountain on the held particle, the four views and
one of them full-window, flight and turns, the display toggles, paging a fine ground
tile, placing a fountain, reset, the integrator, and closing the window."""
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
import e2ebase  # noqa: E402
from e2ebase import INTEGRATOR, PLAY, RESET, SOURCE, WIDTH, HEIGHT  # noqa: E402

VIEW = (0, 0, WIDTH, HEIGHT - 140)   # above the button bar
GROUND = (560, 450)                  # open ground right of the ramp, from the start camera
BLOB = e2ebase.BLOB_IN_SKY

TOGGLES = [("b", "lod freeze is %s\n"), ("m", "lod mapping is %s\n"), ("y", "white seams are %s\n"),
           ("h", "renderFast is %s\n"), ("g", "veg is %s\n"), ("t", "testCompile is %s\n"),
           ("w", "wireframe is %s\n"), ("c", "tracking mouse is %s\n")]


def cyan(p):
    return p[0] < 40 and p[1] > 215 and p[2] > 215


class StoryTest(e2ebase.SessionTest):
    def fountain_on_held(self):
        """Presses z on the held particle; returns how many fountains it started."""
        s = self.s
        before = self.next_status().emitters
        s.xdo("keydown", "--window", s.window, "z")
        after = self.next_status(2).emitters
        s.xdo("keyup", "--window", s.window, "z")
        return after - before

    def test_the_whole_story(self):
        s = self.s
        start_view = self.grab()

        # Take hold of the blob while the world is paused, when no spark can be nearer the
        # cursor's ray than the blob is (how far the world has run by any moment after play
        # depends on the machine's speed), and pin it where it hangs in the sky. The cursor
        # moves on and the drag line stretches after it, straight up into open sky.
        paused = self.next_status()
        s.press(1, *BLOB)
        s.press(3)
        s.release(3)
        far = (BLOB[0] - 100, 10)
        s.move(*far)
        held = self.grab()
        line = [(x, y) for y in range(VIEW[1], VIEW[3]) for x in range(VIEW[0], VIEW[2]) if cyan(held.px(x, y))]
        self.assertGreater(len(line), 25, "no drag line to the held particle")
        # Play, and hold the pinned particle again by pressing right on it: the line's end
        # away from the cursor.
        pinned = max(line, key=lambda p: (p[0] - far[0]) ** 2 + (p[1] - far[1]) ** 2)
        s.release(1)
        self.click_button(PLAY)
        self.assertGreater(self.next_status(2).created, paused.created, "play did not start the world")
        s.press(1, *pinned)
        # A fountain on it: the fourth-order step's four force passes start four.
        self.assertEqual(self.fountain_on_held(), 4)
        # Free it and let go.
        s.press(3)
        s.release(3)
        s.release(1)
        self.assertLess(self.grab().count(cyan, VIEW), 5, "the drag line outlived the release")

        # Four views, then the upper-left one full-window.
        s.move(WIDTH // 2, HEIGHT // 2)
        self.key("space", 0.3)
        quad = self.grab()
        self.assertGreater(quad.diff(held, VIEW), 5)
        s.move(WIDTH // 4, HEIGHT // 4)
        self.key("space", 0.3)
        chosen = self.grab()
        self.assertGreater(chosen.diff(quad, VIEW), 5)

        # Fly and turn that camera: every key moves the picture. A slow turning speed
        # keeps a fast frame rate from spinning the view round to where it began.
        self.key("exclam", 0.3)
        last = self.grab()
        for key in ("e", "d", "s", "f", "r", "v", "j", "l", "i", "k", "o", "u"):
            self.key(key, 0.35)
            now = self.grab()
            self.assertGreater(now.diff(last, VIEW), 1.0, "key %s left the view unchanged" % key)
            last = now

        # Back to the start camera, untouched by the flight: the same ground and sky.
        s.move(WIDTH // 2, HEIGHT // 2)
        self.key("space", 0.3)
        s.move(WIDTH * 3 // 4, HEIGHT * 3 // 4)
        self.key("space", 0.3)
        back = self.grab()
        self.assertLess(back.diff(start_view, (0, 0, WIDTH, 60)), 8, "not the start camera again")

        # The display toggles announce themselves on and off.
        for key, text in TOGGLES:
            self.key_until(key, text % "on")
            self.key_until(key.upper(), text % "off")
        self.key_until("equal", "baseRadius is ")
        self.key_until("minus", "baseRadius is ")

        # Shift-left on the ground pages in a fine tile, Shift-right evicts it.
        ground = (170, 260, WIDTH, HEIGHT)
        coarse = self.grab()
        start = self.mark()
        s.click(*GROUND, button=1, shift=True)
        self.expect_line("level 0 tile ", start)
        tile = e2ebase.re.search(r"level 0 tile \d+ \d+\n", s.console()[start:]).group(0)
        fine = self.grab()
        self.assertGreater(fine.diff(coarse, ground), 0.6, "no fine tile drawn")
        start = self.mark()
        s.click(*GROUND, button=3, shift=True)
        self.expect_line(tile, start)

        # The source button, then a click on the ground: one more fountain.
        before = self.next_status().emitters
        self.click_button(SOURCE)
        s.click(*GROUND)
        self.assertGreaterEqual(self.next_status(2).emitters, before + 1)

        # Reset: the file is read again and the world waits, paused.
        start = self.mark()
        self.click_button(RESET)
        self.expect_line("ParScene::load read line ", start, timeout=30)
        self.expect_line("bbox: ", start, timeout=30)
        a = self.next_status(2, timeout=30)
        b = self.next_status()
        self.assertEqual((a.live, a.created, a.emitLive), (b.live, b.created, b.emitLive))

        # The integrator button: Euler now, whose one force pass per step starts one
        # fountain per press of z, and back to RK4.
        self.assertShows(self.grab(), INTEGRATOR, "int_rk4.bmp", "int_euler.bmp")
        self.click_button(INTEGRATOR)
        self.assertShows(self.grab(), INTEGRATOR, "int_euler.bmp", "int_rk4.bmp")
        s.press(1, *BLOB)
        s.move(BLOB[0] - 60, BLOB[1] + 150)
        self.assertGreater(self.grab().count(cyan, VIEW), 25, "the reset blob could not be held")
        self.assertEqual(self.fountain_on_held(), 1)
        s.release(1)
        self.click_button(INTEGRATOR)
        self.assertShows(self.grab(), INTEGRATOR, "int_rk4.bmp", "int_euler.bmp")

        # Closing the window shuts the program down cleanly.
        start = self.mark()
        self.assertEqual(s.close(), 0)
        self.assertIn("shutdown system...", s.console()[start:])


if __name__ == "__main__":
    e2ebase.main()

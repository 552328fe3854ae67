"""End to end: the status line, camera flight and turns, the four-way view and the
display toggles, seen on the console and in recorded frames."""
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
import e2ebase  # noqa: E402
from e2ebase import HEIGHT, WIDTH  # noqa: E402

# The part of the window above the button bar, where only the 3-D view shows.
VIEW = (0, 0, WIDTH, HEIGHT - 140)

# The help overlay's text: 5 x 7 glyphs from the top-left corner, 6 pixels a character and
# 10 a line, read back with the program's own font table.
OVERLAY_TEXT = (14, 14)
OVERLAY_AREA = (8, 8, 400, 200)
# The settings panel (F2) along the window's right edge, and its integrator's EULER
# choice, as its font and spacing lay it out (top-left window pixels).
PANEL_AREA = (440, 30, 700, 300)
PANEL_EULER = (503, 114)
FIGURES = re.compile(r"UPDATES/SEC (\d+)  PARTICLES (\d+)/(\d+)  GLOW (\d+)  SPRINGS (\d+)\n"
                     r"EMITTERS (\d+)  SINKS (\d+)  (RK4|EULER)  (PAUSED|PLAYING)  (NOT RECORDING|RECORDING)  VIEW (\w+)")


def read_overlay(frame, lines=20, columns=60):
    """The overlay's text as drawn: white ink on the dark panel."""
    return e2ebase.read_text(frame, *OVERLAY_TEXT, lines, columns, lambda p: min(p) > 200)


def jelly(p):
    return p[1] > 170 and 55 < p[0] < 150 and 75 < p[2] < 150 and p[1] - p[0] > 55


def stone(p):
    return 120 < p[0] < 225 and abs(p[0] - p[1]) < 14 and 0 <= p[0] - p[2] < 25


def wood(p):
    return p[0] > 150 and 80 < p[1] < 170 and p[2] < 110 and p[0] - p[2] > 80


def skyish(p):
    return p[2] > p[1] + 10 and p[2] > 120


def horizon_row(frame, x0=200, x1=520):
    """The first row from the top where most sampled pixels stop looking like sky."""
    for y in range(0, HEIGHT, 2):
        row = [frame.px(x, y) for x in range(x0, x1, 8)]
        if sum(1 for p in row if skyish(p)) < len(row) // 2:
            return y
    return HEIGHT


class ControlsTest(e2ebase.SessionTest):
    def test_status_line_once_a_second(self):
        start = self.mark()
        t0 = time.time()
        self.next_status(count=3, timeout=30)
        elapsed = time.time() - t0
        found = self.statuses(start)
        self.assertGreaterEqual(len(found), 3)
        # Three prints take two to four seconds of wall clock, however slow the frames.
        self.assertGreater(elapsed, 1.5)
        for st in found:
            self.assertGreater(st.updates, 0)
            self.assertLessEqual(st.live, st.created)
            self.assertLessEqual(st.emitLive, st.emitCreated)
            self.assertLessEqual(st.created, 3000)
        # The paused world makes nothing between prints.
        self.assertEqual(found[-1].created, found[-2].created)
        self.assertGreaterEqual(found[-1].emitters, 3)

    def test_page_keys_step_through_the_worlds(self):
        # A special key acts on its press, between frames: one short press, one world.
        for key, world, first_line, title in (("Next", "worlds/bridge.scn", "# A rope bridge", "Tessivane: bridge"),
                                              ("Prior", "test.scn", "# The default world", "Tessivane")):
            start = self.mark()
            self.s.xdo("key", "--window", self.s.window, key)
            self.expect_line("world: %s\n" % world, start)
            self.expect_line("ParScene::load read line " + first_line, start)
            self.next_status()
            self.assertEqual(self.s.xdo("getwindowname", self.s.window).strip(), title)

    def test_flight_and_turns_move_the_view(self):
        # Turn at 0.3 degrees a frame ('!'), so that however fast the frames come, a key
        # held for a fraction of a second turns the view by a few degrees, not round.
        self.key("exclam", 0.3)
        base = self.grab()
        still = self.grab()
        # A paused world with a still camera draws the same picture again.
        self.assertLess(base.diff(still, VIEW), 1.0)
        h0 = horizon_row(base)
        self.assertTrue(40 < h0 < HEIGHT - 60, h0)

        last = base
        for key in ("e", "d", "s", "f", "r", "v", "j", "l", "o", "u"):
            self.key(key, 0.35)
            frame = self.grab()
            self.assertGreater(frame.diff(last, VIEW), 1.0, "key %s did not change the view" % key)
            last = frame

        # Tilting the view down ('i') lifts the horizon in the picture; up ('k') lowers it.
        h1 = horizon_row(last)
        self.key("i", 0.4)
        down = self.grab()
        self.assertLess(horizon_row(down), h1 - 5)
        self.key("k", 0.9)
        up = self.grab()
        self.assertGreater(horizon_row(up), horizon_row(down) + 10)

        # Home: flown, turned and rolled, the view goes back to the world's start, level.
        self.key("Home", 0.2)
        self.assertLess(self.grab().diff(base, VIEW), 1.0)

    def test_four_views_and_choosing_one(self):
        single = self.grab()
        self.s.move(WIDTH // 2, HEIGHT // 2)
        self.key("space", 0.3)
        quad = self.grab()
        self.assertGreater(quad.diff(single, VIEW), 5)
        # The main camera now fills the lower-right quadrant: half-size, the same picture.
        def half(frame, x, y):
            return frame.px(2 * x, 2 * y)
        scores = []
        for qx, qy in ((0, 0), (WIDTH // 2, 0), (0, HEIGHT // 2), (WIDTH // 2, HEIGHT // 2)):
            total = 0
            n = 0
            for y in range(10, HEIGHT // 2 - 70, 6):
                for x in range(10, WIDTH // 2 - 10, 6):
                    a = half(single, x, y)
                    b = quad.px(qx + x, qy + y)
                    total += sum(abs(a[c] - b[c]) for c in range(3))
                    n += 3
            scores.append(total / n)
        self.assertEqual(scores.index(min(scores)), 3, scores)

        # Space over the upper-right quadrant takes its camera full-window.
        self.s.move(WIDTH * 3 // 4, HEIGHT // 4)
        self.key("space", 0.3)
        chosen = self.grab()
        self.assertGreater(chosen.diff(quad, VIEW), 5)
        self.assertGreater(chosen.diff(single, VIEW), 5)
        total = 0
        n = 0
        for y in range(10, HEIGHT // 2 - 10, 6):
            for x in range(10, WIDTH // 2 - 10, 6):
                a = chosen.px(2 * x, 2 * y)
                b = quad.px(WIDTH // 2 + x, y)
                total += sum(abs(a[c] - b[c]) for c in range(3))
                n += 3
        self.assertLess(total / n, min(scores[:3]), "the full view is not the chosen quadrant's camera")

        # Space again returns to the quadrants wherever the cursor is.
        self.key("space", 0.3)
        again = self.grab()
        self.assertLess(again.diff(quad, (WIDTH // 2, 0, WIDTH, HEIGHT // 2)), 20)

    def test_middle_drag_orbits_and_the_wheel_flies(self):
        still = self.grab()
        # Pressed on the stone tower, dragged right: the view turns about the point of the
        # tower under the cursor, so the tower stays there while everything else moves.
        x, y = 255, 290

        def tower(frame):
            """Stone pixels in a band round the cursor's row: how many, and their mean column."""
            cols = [px for px in range(x - 40, x + 40) for py in range(y - 6, y + 6) if stone(frame.px(px, py))]
            return len(cols), sum(cols) / max(1, len(cols))

        before, centre = tower(still)
        self.assertGreater(before, 300)
        self.s.press(2, x, y)
        for i in range(1, 11):
            self.s.xdo("mousemove", "--window", self.s.window, x + 8 * i, y)
            time.sleep(0.05)
        self.s.release(2)
        turned = self.grab()
        self.assertGreater(turned.diff(still, VIEW), 5, "middle drag did not turn the view")
        after, moved_to = tower(turned)
        self.assertGreater(after, 0.6 * before, "the tower left the cursor")
        self.assertLess(abs(moved_to - centre), 15, "the tower left the cursor")
        for _ in range(3):
            self.s.xdo("click", "--window", self.s.window, 4)
        self.assertGreater(self.grab().diff(turned, VIEW), 2, "the wheel did not move the view")

    def test_a_frames_the_world_in_each_fixed_view(self):
        self.s.move(WIDTH // 2, HEIGHT // 2)
        self.key("space", 0.3)
        quadrants = {"front": (0, 0, WIDTH // 2, HEIGHT // 2), "side": (WIDTH // 2, 0, WIDTH, HEIGHT // 2),
                     "top": (0, HEIGHT // 2, WIDTH // 2, HEIGHT)}

        def seen(frame):
            return {name: [frame.count(pred, box, 2) > 100 for pred in (jelly, stone, wood)]
                    for name, box in quadrants.items()}

        # At first the fixed views show a small patch round the origin, not the world.
        before = seen(self.grab())
        self.assertNotEqual(before, {name: [True] * 3 for name in quadrants}, before)
        for name, (x0, y0, x1, y1) in quadrants.items():
            self.s.move((x0 + x1) // 2, (y0 + y1) // 2)
            self.key("a", 0.3)
        # The blob, the stone tower and pillar, and the wooden ramp in every one of them.
        after = seen(self.grab())
        self.assertEqual(after, {name: [True] * 3 for name in quadrants}, after)

    def test_display_toggles_report_themselves(self):
        s = self.s
        toggles = [("b", "lod freeze is %s\n"), ("m", "lod mapping is %s\n"), ("y", "white seams are %s\n"),
                   ("h", "renderFast is %s\n"), ("g", "veg is %s\n"), ("t", "testCompile is %s\n"),
                   ("w", "wireframe is %s\n"), ("c", "tracking mouse is %s\n")]
        for key, text in toggles:
            self.key_until(key, text % "on")
            start = self.mark()
            self.key_until(key.upper(), text % "off")
            self.assertNotIn(text % "on", s.console()[start:])

        # A tap changes baseRadius in its pressed and its released frame; holding keeps going.
        start = self.mark()
        self.key_until("equal", "baseRadius is 65\n")
        self.wait_updates(2)
        seen = [int(v) for v in e2ebase.re.findall(r"baseRadius is (\d+)\n", s.console()[start:])]
        self.assertEqual(seen, list(range(65, 65 + len(seen))))
        start = self.mark()
        self.key_until("minus", "baseRadius is ", count=3)
        self.wait_updates(2)
        down = [int(v) for v in e2ebase.re.findall(r"baseRadius is (\d+)\n", s.console()[start:])]
        self.assertGreaterEqual(len(down), 3)
        self.assertEqual(down, list(range(seen[-1] - 1, seen[-1] - 1 - len(down), -1)))

    def test_f1_overlay_shows_the_controls_and_the_status_figures(self):
        off = self.grab()
        self.key("F1", 0.3)
        on = self.grab()
        self.assertGreater(on.diff(off, OVERLAY_AREA), 20, "no overlay drawn")
        text = read_overlay(on)
        self.assertIn("KEYS (THE VIEW UNDER THE CURSOR)", text)
        self.assertIn("F1        THIS HELP", text)
        m = FIGURES.search(text)
        self.assertIsNotNone(m, text)
        st = self.statuses()[-1]
        ups, live, pool, glow, springs, emitters, sinks = (int(v) for v in m.groups()[:7])
        # Paused, the world's counts stand still, so the overlay and the console agree.
        self.assertEqual((live, glow, springs, emitters, sinks),
                         (st.live, st.emitLive, st.springs, st.emitters, st.sinks), text)
        self.assertEqual(pool, 3000)
        self.assertIn(ups, [s.updates for s in self.statuses()], text)
        self.assertEqual(m.groups()[7:10], ("RK4", "PAUSED", "RECORDING"))
        self.assertEqual(m.group(11), "MAIN")
        # The bar is drawn before it and stays; F1 again takes the overlay away.
        self.assertLess(on.diff(off, (0, HEIGHT - 140, 200, HEIGHT)), 1.0)
        self.key("F1", 0.3)
        self.assertLess(self.grab().diff(off, OVERLAY_AREA), 1.0)

    def test_f2_panel_switches_the_integrator(self):
        # Keys go to the panel while the cursor is over it: keep it over the view.
        self.s.move(200, 200)
        off = self.grab()
        self.key_until("F2", "settings panel is on\n")
        on = self.grab()
        self.assertGreater(on.diff(off, PANEL_AREA), 20, "no panel drawn")
        self.assertShows(on, e2ebase.INTEGRATOR, "int_rk4.bmp", "int_euler.bmp")
        start = self.mark()
        self.s.click(*PANEL_EULER)
        self.expect_line("integrator is EULER\n", start)
        self.s.move(200, 200)
        # The world took it: the bar shows the integrator in use.
        self.assertShows(self.grab(), e2ebase.INTEGRATOR, "int_euler.bmp", "int_rk4.bmp")
        # F2 again takes the panel away and leaves the view as it was.
        self.key_until("F2", "settings panel is off\n")
        self.assertLess(self.grab().diff(off, PANEL_AREA), 1.0)


if __name__ == "__main__":
    e2ebase.main()

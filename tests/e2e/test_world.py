"""End to end: the default world in motion. Sparks come to rest on the scenery and the
ground, the jelly blob squashes where it lands and its gas rounds it again, the tower
sways in its bowl without falling over, and the wireframe and mouse-tracking toggles
draw what they should."""
import os
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import e2ebase  # noqa: E402
import tvdrive  # noqa: E402
from e2ebase import WIDTH, HEIGHT  # noqa: E402

# Window places (top-left pixels) of the default world from the start camera.
RAMP_GROUND = (380, 300, WIDTH, 440)   # the ramp and the ground around it
BLOB_AREA = (400, 0, WIDTH, 330)       # where the blob falls and lands: sky, ramp top
TOWER = (215, 265, 295, 318)           # the tower's body above the bowl's rim
GROUND = (170, 300, WIDTH, HEIGHT)


def sparkish(p):
    return p[0] > 200 and p[1] > 140 and p[2] < 110


def jelly(p):
    return p[1] > 170 and 55 < p[0] < 150 and 75 < p[2] < 150 and p[1] - p[0] > 55


def stone(p):
    return 120 < p[0] < 225 and abs(p[0] - p[1]) < 14 and 0 <= p[0] - p[2] < 25


def mask_box(frame, pred, box):
    pts = [(x, y) for y in range(box[1], box[3]) for x in range(box[0], box[2]) if pred(frame.px(x, y))]
    if not pts:
        return None, 0
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return (min(xs), min(ys), max(xs), max(ys)), len(pts)


class WorldTest(e2ebase.SessionTest):
    def record_run(self, seconds):
        """Records every frame from pressing play until the world has run `seconds` of its
        own time (one frame per update); returns the complete frames."""
        s = self.s
        have = len(s.frames())
        self.key_until("backslash", "begin recording\n")
        self.click_button(e2ebase.PLAY)
        count = have + int(seconds * e2ebase.UPDATES_PER_SECOND)
        self.assertTrue(s.wait_for_frames(count, timeout=240), "only %d frames recorded" % len(s.frames()))
        self.key_until("backslash", "end recording\n")
        names = s.frames()
        self.assertGreater(len(names), 10, "too few frames recorded")
        paths = [os.path.join(s.workdir, n) for n in names]
        return [e2ebase.Frame(p) for p in paths if os.path.getsize(p) >= e2ebase.FRAME_BYTES]

    def test_bodies_and_sparks_after_play(self):
        paused = self.grab()
        _, tower_px = mask_box(paused, stone, TOWER)
        self.assertGreater(tower_px, 400, "the tower is not standing in the bowl")
        sparks_paused = paused.count(sparkish, RAMP_GROUND, 2)

        def shape(frame):
            box, n = mask_box(frame, jelly, BLOB_AREA)
            return (box[3] - box[1] + 1) / (box[2] - box[0] + 1) if box and n > 150 else None

        at_rest = shape(paused)
        self.assertTrue(at_rest, "the blob is not up in the sky at the start")
        frames = self.record_run(2.0)
        # The blob: round while it falls, squashed by the impact, then round again where it
        # landed, its gas holding it up: not a puddle.
        shapes = [r for r in map(shape, frames[::2]) if r]
        self.assertTrue(shapes, "the blob never showed")
        self.assertGreater(max(shapes), 0.8, "the blob never looked round: %s" % shapes)
        self.assertLess(min(shapes), 0.6, "the blob never squashed: %s" % shapes)
        # Seen from here the ramp's edge hides the landed blob's bottom: with its gas it
        # shows about 0.45 of its height-to-width ratio at rest, without (a puddle) 0.28.
        landed = sorted(r for r in map(shape, frames[-9:]) if r)
        self.assertTrue(landed, "the blob left the ramp's top within two seconds")
        self.assertGreater(landed[len(landed) // 2], 0.37 * at_rest,
                           "the landed blob is a puddle: %s against %.2f at rest" % (landed, at_rest))

        # The tower: sways (its stone outline moves between frames) but stays up.
        tops = []
        centres = []
        for f in frames:
            box, n = mask_box(f, stone, TOWER)
            if box and n > 0.5 * tower_px:
                tops.append(box[1])
                centres.append((box[0] + box[2]) / 2.0)
        self.assertGreater(len(tops), len(frames) // 2, "the tower fell over or sank")
        self.assertTrue(max(tops) - min(tops) >= 2 or max(centres) - min(centres) >= 1.5,
                        "the tower never moved: %s %s" % (tops, centres))

        # The sparks: many rest and skid on the ramp and the ground around it instead of
        # falling through.
        later = self.grab(settle=1.0)
        resting = later.count(sparkish, RAMP_GROUND, 2) - sparks_paused
        self.assertGreater(resting, 60, "no sparks on the ramp or the ground")
        box, n = mask_box(later, stone, TOWER)
        self.assertGreater(n, 0.5 * tower_px, "the tower fell over")
        st = self.next_status()
        self.assertLess(st.created, 3000, "the particle pool ran dry")
        self.assertGreater(st.emitLive, 500)

    def test_pinned_blob_hangs_and_freed_blob_falls(self):
        s = self.s
        sky = (0, 0, WIDTH, 230)

        def hang_test(clicks):
            # Paused, the nearest particle to a ray through the blob is one of its own.
            box, n = mask_box(self.grab(), jelly, sky)
            self.assertTrue(box and n > 300, "the blob is not up in the sky at the start")
            s.press(1, (box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
            for _ in range(clicks):
                s.press(3)
                s.release(3)
            s.release(1)
            self.play()
            self.wait_world_seconds(1.5)
            return mask_box(self.grab(), jelly, sky)[1]

        # Pinned and freed again: it falls like the rest.
        freed = hang_test(2)
        self.assertLess(freed, 100, "a freed blob stayed up")
        start = self.mark()
        self.click_button(e2ebase.RESET)
        self.expect_line("bbox: ", start, timeout=30)
        self.next_status(2)
        # Pinned: it hangs from the held particle.
        pinned = hang_test(1)
        self.assertGreater(pinned, 300, "the pinned blob fell")

    def test_wireframe_and_tracking_marks(self):
        s = self.s
        s.move(WIDTH // 2, HEIGHT - 60)
        plain = self.grab()
        self.key_until("w", "wireframe is on\n")
        wire = self.grab()
        self.assertGreater(wire.diff(plain, GROUND), 3.0, "wireframe changed nothing on the ground")
        self.key_until("w", "wireframe is off\n")
        self.assertLess(self.grab().diff(plain, GROUND), 0.3)

        # Tracking: a thick red probe line through the ground under the cursor.
        red = lambda p: p[0] > 200 and p[1] < 50 and p[2] < 50  # noqa: E731
        self.assertLess(plain.count(red), 5)
        self.key_until("c", "tracking mouse is on\n")
        s.move(WIDTH // 2 + 20, HEIGHT - 70)
        marked = self.grab()
        self.assertGreater(marked.count(red), 40, "no tracking marks")
        self.key_until("c", "tracking mouse is off\n")
        self.assertLess(self.grab().count(red), 5)

    def test_both_integrators_keep_the_world_whole(self):
        """Twenty seconds of play under each integrator, counted in updates, never in wall
        time: no runaway spring force, the tower still up in its bowl, the blob one piece."""
        paused = self.grab()
        _, tower_px = mask_box(paused, stone, TOWER)
        blob_box, blob_px = mask_box(paused, jelly, BLOB_AREA)
        self.assertIsNotNone(blob_box, "the blob is not in the sky at the start")
        blob_w, blob_h = blob_box[2] - blob_box[0] + 1, blob_box[3] - blob_box[1] + 1
        for integrator in ("EULER", "RK4"):
            with self.subTest(integrator=integrator):
                start = self.mark()
                if integrator == "EULER":
                    self.click_button(e2ebase.INTEGRATOR)
                    self.assertShows(self.grab(), e2ebase.INTEGRATOR, "int_euler.bmp", "int_rk4.bmp")
                else:
                    # A rebuilt world starts paused under the fourth-order step.
                    self.click_button(e2ebase.RESET)
                    self.expect_line("bbox: ", start, timeout=30)
                    self.next_status(2)
                    self.assertShows(self.grab(), e2ebase.INTEGRATOR, "int_rk4.bmp", "int_euler.bmp")
                played = self.mark()
                self.click_button(e2ebase.PLAY)
                try:
                    # The first status line after play may count paused updates too.
                    deadline = time.time() + 240
                    while sum(st.updates for st in self.statuses(played)[1:]) < 20 * 60:
                        self.assertLess(time.time(), deadline, "the world stopped updating")
                        self.assertIsNone(self.s.proc.poll(), self.s.console()[-800:])
                        time.sleep(0.2)
                    frame = self.grab()
                    self.assertNotIn("got an out of bounds force", self.s.console()[played:])
                    _, n = mask_box(frame, stone, TOWER)
                    self.assertGreater(n, 0.5 * tower_px, "the tower left its bowl")
                    # Green sparks share the jelly's colour but are specks: the blob is the
                    # largest patch, about as big as it was in the sky.
                    w, h, n = largest_patch(frame, jelly)
                    self.assertGreater(n, 0.4 * blob_px, "the blob is in pieces or out of view")
                    self.assertLess(w, 1.5 * blob_w, "the blob is torn wide")
                    self.assertLess(h, 1.5 * blob_h, "the blob is torn tall")
                finally:
                    self.click_button(e2ebase.PLAY)


def largest_patch(frame, pred, step=2):
    """Width, height (pixels) and pixel count of the largest connected patch matching pred,
    sampled every `step` pixels."""
    cols, rows = frame.width // step, frame.height // step
    on = [[pred(frame.px(x * step, y * step)) for x in range(cols)] for y in range(rows)]
    best = (0, 0, 0)
    for y0 in range(rows):
        for x0 in range(cols):
            if not on[y0][x0]:
                continue
            on[y0][x0] = False
            todo, xs, ys = [(x0, y0)], [], []
            while todo:
                x, y = todo.pop()
                xs.append(x)
                ys.append(y)
                for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                    if 0 <= nx < cols and 0 <= ny < rows and on[ny][nx]:
                        on[ny][nx] = False
                        todo.append((nx, ny))
            if len(xs) > best[2]:
                best = ((max(xs) - min(xs) + 1) * step, (max(ys) - min(ys) + 1) * step, len(xs))
    return best[0], best[1], best[2] * step * step


# A world of our own, kept outside the run folder: one fountain, nothing else.
OWN_SCENE = """start
translate 0 0 10

emitter
translate 0 60 10
massinv 0
life 1000000
rate 33
childlife 1
"""


class SceneByNameTest(unittest.TestCase):
    """The program started with a scene file named after the window library's options."""

    def start(self, *args):
        self.s = tvdrive.Session(os.path.abspath(e2ebase.ARGS.binary), os.path.abspath(e2ebase.ARGS.run_dir),
                                 args=args)
        return self.s

    def tearDown(self):
        self.s.shutdown()

    def test_named_scene_loads_and_reset_reloads_it(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "own.scn")
            with open(path, "w") as f:
                f.write(OWN_SCENE)
            s = self.start("-geometry", "720x480+0+0", path)
            s.find_window(timeout=60)
            self.assertTrue(s.wait_for("updates/sec:", timeout=60), s.console()[-500:])
            self.assertIn("ParScene::load read line rate 33\n", s.console())
            status = e2ebase.STATUS.findall(s.console())
            self.assertTrue(status)
            # One fountain's particle; none of the default world's bodies or fountains.
            self.assertEqual(status[-1][1:3] + status[-1][5:7], ("1", "1", "0", "1"))

            mark = len(s.console())
            s.click(*e2ebase.centre_top(e2ebase.RESET))
            self.assertTrue(s.wait_for("ParScene::load read line rate 33\n", timeout=30, start=mark))
            self.assertNotIn("springmodel", s.console()[mark:])
            self.assertEqual(s.close(), 0, s.console()[-300:])

    def test_refused_command_lines(self):
        missing = os.path.join(tempfile.gettempdir(), "tv_no_such_world.scn")
        usage = "; usage: tessivane [window options] [--record FILE] [scene file] | --replay FILE\n"
        logs = tempfile.mkdtemp(prefix="tv_logs_")
        # A log cut short, and a whole one whose scene has other text than the shipped one.
        log = ("tessivane input log 1\nrandom 00000001\nscene 8 6\ntest.scn\nstart\n\n"
               "updates 0\nhash 0000000000000000\ninputs 0\nend\n")
        cut, other = os.path.join(logs, "cut.tvlog"), os.path.join(logs, "other.tvlog")
        with open(cut, "w") as f:
            f.write(log[:-4])
        with open(other, "w") as f:
            f.write(log)
        try:
            for args, status, console in (
                    ((missing,), 1, "cannot open the scene file %s\n" % missing),
                    (("test.scn", "test.scn"), 2, "tessivane: one scene file at most" + usage),
                    (("-geometry", "720x480", "-nosuch"), 2, "tessivane: unknown option -nosuch" + usage),
                    # Refused before any window, one line each.
                    (("--replay", cut), 1, "cannot replay %s: it is truncated\n" % cut),
                    (("--replay", other), 1, "cannot replay %s: it was recorded with another test.scn\n" % other)):
                s = self.start(*args)
                self.assertEqual(s.proc.wait(60), status, s.console())
                self.assertEqual(s.console(), console)
                s.shutdown()
        finally:
            shutil.rmtree(logs, ignore_errors=True)


if __name__ == "__main__":
    e2ebase.main()

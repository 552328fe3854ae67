"""End to end: the default world in motion. Sparks come to rest on the scenery and the
ground, the jelly blob squashes where it lands, the tower sways in its bowl without
falling over, and the wireframe and mouse-tracking toggles draw what they should."""
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
import e2ebase  # noqa: E402
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

        frames = self.record_run(2.0)
        # The blob: round while it falls, squashed once it has landed.
        shapes = []
        for f in frames[::2]:
            box, n = mask_box(f, jelly, BLOB_AREA)
            if box and n > 150:
                shapes.append((box[3] - box[1] + 1) / (box[2] - box[0] + 1))
        self.assertTrue(shapes, "the blob never showed")
        self.assertGreater(max(shapes), 0.8, "the blob never looked round: %s" % shapes)
        self.assertLess(min(shapes), 0.6, "the blob never squashed: %s" % shapes)

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


if __name__ == "__main__":
    e2ebase.main()

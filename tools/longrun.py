"""Long runs of the real sandbox in a private virtual X server.

  longrun.py soak [--minutes 10]
      The default world playing with a blob particle pinned high in the sky and the z key
      starting four fountains on it every second, so both pools stay full. Samples the
      resident memory every five seconds and reads every status line; passes when the
      memory after the first minute stays within 5% of its one-minute value, a status
      line came every second, the counts stayed within the pools, and closing the window
      shut the program down cleanly.

  longrun.py pace [--seconds 10]
      The default world paused, then playing, untouched: the CPU time of the program
      (every thread, from /proc) per second of wall clock between status lines, and the
      updates each status line counts. Passes when the playing world makes at most 60
      updates a second (the frame cap) and the paused one costs at most 0.6 CPU seconds a
      second. The virtual X server's own time is not counted.

  longrun.py story --binary build-asan/run/tessivane
      The whole interaction story (the end-to-end story test) on a sanitizer build, then
      counts the frames it drew and reads the console for the sanitizers' reports.

Prints its figures and PASS or FAIL; the exit status is 0 only on PASS.
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import time

import tvdrive  # the session driver beside this script
from tvdrive import STATUS

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.normpath(os.path.join(here, ".."))

BLOB = tvdrive.BLOB_IN_SKY
POOL = 3000


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def soak(args):
    s = tvdrive.Session(os.path.abspath(args.binary), os.path.abspath(args.run_dir))
    failures = []
    samples = []  # (seconds since play, RSS KiB)
    try:
        s.find_window(timeout=60)
        if not s.wait_for("updates/sec:", timeout=60):
            sys.exit("the sandbox did not start: " + s.console()[-500:])
        tvdrive.play_holding_pinned_blob(s)
        s.move(BLOB[0] - 150, BLOB[1] + 150)
        t0 = time.time()
        next_z = t0
        next_sample = t0
        end = t0 + args.minutes * 60
        while time.time() < end:
            now = time.time()
            if s.proc.poll() is not None:
                failures.append("the program ended during the run (status %s)" % s.proc.returncode)
                break
            if now >= next_sample:
                samples.append((now - t0, rss_kib(s.proc.pid)))
                next_sample += 5
            if now >= next_z:
                s.hold_key("z", 0.2)
                next_z += 1
            time.sleep(0.05)
        s.release(1)
        console = s.console()
        status = s.close(timeout=60)
        if status != 0:
            failures.append("closing the window gave exit status %s" % status)
        if "shutdown system..." not in s.console():
            failures.append("no shutdown line")
    finally:
        s.shutdown()

    lines = [tvdrive.Status(m) for m in STATUS.finditer(console)]
    seconds = args.minutes * 60
    if len(lines) < 0.9 * seconds:
        failures.append("only %d status lines in %d s" % (len(lines), seconds))
    for i, st in enumerate(lines):
        if not (0 <= st.live <= POOL and 0 <= st.emitLive <= POOL and st.emitLive <= st.live):
            failures.append("status line %d out of bounds: %r" % (i, vars(st)))
            break
    rate = [st.updates for st in lines[2:]]
    # Full: at most one update's worth of expired sparks short of the pool's size.
    full = [st for st in lines[60:] if st.live >= POOL - 50]
    one_minute = [kib for t, kib in samples if t >= 60]
    if not one_minute:
        failures.append("the run ended before its first minute")
        ref = hi = lo = 0
    else:
        ref = one_minute[0]
        hi, lo = max(one_minute), min(one_minute)
        if hi > ref * 1.05 or lo < ref * 0.95:
            failures.append("resident memory left the 5%% band: %d..%d KiB around %d KiB" % (lo, hi, ref))

    print("soak: %.1f minutes, %d status lines, %d frames" % (args.minutes, len(lines), sum(st.updates for st in lines)))
    if rate:
        print("updates/sec: median %d, min %d, max %d" % (statistics.median(rate), min(rate), max(rate)))
    print("status lines after the first minute with the particle pool full (>= %d live): %d of %d" %
          (POOL - 50, len(full), max(0, len(lines) - 60)))
    if lines:
        print("largest counts: par %d, emit %d, emitters %d" %
              (max(st.live for st in lines), max(st.emitLive for st in lines), max(st.emitters for st in lines)))
    print("resident memory: %d KiB at 5 s, %d KiB at 1 min, %d..%d KiB after, %d KiB at the end (%+.2f%%)" %
          (samples[0][1] if samples else 0, ref, lo, hi, samples[-1][1] if samples else 0,
           100.0 * (samples[-1][1] - ref) / ref if ref else 0))
    return failures


def cpu_seconds(pid):
    """User and system time of every thread of the process so far."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def pace_phase(s, seconds):
    """CPU seconds per second and the updates of each status line over `seconds` status
    lines, measured from one status line to the next after a settling one."""
    start = len(s.console())
    if not s.wait_for("updates/sec:", timeout=30, start=start):
        sys.exit("no status line: " + s.console()[-500:])
    marks = []
    seen = 0
    deadline = time.time() + seconds * 3 + 30
    while len(marks) <= seconds and time.time() < deadline:
        text = s.console()[start:]
        count = len(STATUS.findall(text))
        if count > seen:
            seen = count
            marks.append((time.monotonic(), cpu_seconds(s.proc.pid)))
        time.sleep(0.02)
    rates = [(c1 - c0) / (t1 - t0) for (t0, c0), (t1, c1) in zip(marks, marks[1:])]
    updates = [tvdrive.Status(m).updates for m in STATUS.finditer(s.console()[start:])][1:len(marks)]
    return rates, updates


def pace(args):
    s = tvdrive.Session(os.path.abspath(args.binary), os.path.abspath(args.run_dir))
    failures = []
    try:
        s.find_window(timeout=60)
        if not s.wait_for("updates/sec:", timeout=60):
            sys.exit("the sandbox did not start: " + s.console()[-500:])
        # The cursor rests off the window, as a user's does while looking at a paused world.
        s.xdo("mousemove", 1000, 700)
        figures = {}
        for phase in ("paused", "playing"):
            if phase == "playing":
                s.click(*tvdrive.centre_top(tvdrive.PLAY))
                s.xdo("mousemove", 1000, 700)
            figures[phase] = pace_phase(s, args.seconds)
        s.close(timeout=60)
    finally:
        s.shutdown()
    for phase, (rates, updates) in figures.items():
        if not rates or not updates:
            failures.append("no figures while %s" % phase)
            continue
        print("%s: CPU seconds per second median %.2f (%.2f..%.2f); updates/sec median %d (%d..%d), %d status lines" %
              (phase, statistics.median(rates), min(rates), max(rates), statistics.median(updates), min(updates),
               max(updates), len(rates)))
    if figures["paused"][0] and statistics.median(figures["paused"][0]) > 0.6:
        failures.append("a paused world costs more than 0.6 CPU seconds a second")
    if figures["playing"][1] and statistics.median(figures["playing"][1]) > 60:
        failures.append("the playing world runs more than 60 updates a second")
    return failures


def story(args):
    console = os.path.abspath(args.console or "story-console.txt")
    if os.path.exists(console):
        os.remove(console)
    env = dict(os.environ)
    supp = os.path.join(root, ".ci", "lsan.supp")
    env.setdefault("ASAN_OPTIONS", "detect_leaks=1")
    # The leak report is read below rather than turned into the exit status: the system GL
    # driver is unloaded at exit, and what it keeps then shows as indirect leaks of an
    # unknown module, which no suppression can name.
    env.setdefault("LSAN_OPTIONS", "suppressions=%s:print_suppressions=0:exitcode=0" % supp)
    env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1")
    started = time.time()
    result = subprocess.run([sys.executable, os.path.join(root, "tests", "e2e", "test_story.py"),
                             "--binary", os.path.abspath(args.binary), "--run-dir", os.path.abspath(args.run_dir),
                             "--console", console], env=env)
    failures = []
    if result.returncode != 0:
        failures.append("the story test failed")
    text = open(console, encoding="latin-1").read() if os.path.exists(console) else ""
    frames = sum(tvdrive.Status(m).updates for m in STATUS.finditer(text))
    reports = {
        "invalid access (AddressSanitizer)": text.count("ERROR: AddressSanitizer"),
        "undefined behaviour (runtime error)": text.count("runtime error:"),
        "definite leaks (Direct leak)": text.count("Direct leak of"),
    }
    indirect = re.findall(r"Indirect leak of (\d+) byte\(s\) in \d+ object\(s\) allocated from:\n(.*)\n(.*)", text)
    ours = [m for m in indirect if "tessivane" in m[2] or "/work/" in m[2]]
    reports["indirect leaks from our own code"] = len(ours)
    print("story: %.0f s, %d frames drawn, console kept in %s" % (time.time() - started, frames, console))
    for name, count in reports.items():
        print("  %s: %d" % (name, count))
        if count:
            failures.append(name)
    print("  indirect leaks of the GL driver (unloaded at exit): %d blocks, %d bytes" %
          (len(indirect) - len(ours), sum(int(m[0]) for m in indirect if m not in ours)))
    if frames < args.frames:
        failures.append("only %d frames (wanted %d)" % (frames, args.frames))
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("mode", choices=["soak", "story", "pace"])
    parser.add_argument("--binary", default=os.path.join(root, "build", "run", "tessivane"))
    parser.add_argument("--run-dir", help="the folder with test.scn and data/ (default: the build's "
                        "shipped/ beside the binary's folder, as the build made them)")
    parser.add_argument("--minutes", type=float, default=10.0, help="soak length")
    parser.add_argument("--frames", type=int, default=600, help="frames the story must draw at least")
    parser.add_argument("--console", help="where the story keeps the program's console output")
    parser.add_argument("--seconds", type=int, default=10, help="status lines measured in each pace phase")
    args = parser.parse_args()
    if not args.run_dir:
        args.run_dir = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(args.binary))), "shipped")
    failures = {"soak": soak, "story": story, "pace": pace}[args.mode](args)
    for f in failures:
        print("FAIL: " + f)
    print("PASS" if not failures else "FAIL")
    sys.exit(0 if not failures else 1)


if __name__ == "__main__":
    main()

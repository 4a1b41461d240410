#!/usr/bin/env python3
"""Idle and soak figures of the real application, by hand, never in CI.

Run inside the test services, from the source tree:
    scripts/with-test-services -- python3 tests/figures/app_figures.py idle
    scripts/with-test-services -- python3 tests/figures/app_figures.py soak

`idle`: a user past the welcome window, at rest without a tablet, then with a tablet connected
and idle for 60 s (`draw --duration 60 --strokes 0`), then two Studio sessions of 20 s, each with
the rest after it (the first also loads the media libraries, once per process): the CPU time and
the resident memory of `quillory` in each part, read from procfs, and its largest mappings. `soak`: `draw --duration 600` at the stylus rate, the resident memory every
10 s; at the end nothing may be held down on the X server (`app_pen_path_bench --released`).
"""

import argparse
import json
import os
import subprocess
import sys
import threading
import time

TICKS = os.sysconf("SC_CLK_TCK")


def listening_port(pid):
    """The TCP port the process listens on, from procfs; None before it does."""
    inodes = set()
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            target = os.readlink(f"/proc/{pid}/fd/{fd}")
        except OSError:
            continue
        if target.startswith("socket:["):
            inodes.add(target[8:-1])
    for table in ("tcp", "tcp6"):
        with open(f"/proc/{pid}/net/{table}") as rows:
            for row in rows.readlines()[1:]:
                fields = row.split()
                if fields[3] == "0A" and fields[9] in inodes:
                    return int(fields[1].rsplit(":", 1)[1], 16)
    return None


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def largest_mappings(pid, count=25):
    """Resident KiB per mapped file (anonymous ones by their kind), largest first."""
    totals = {}
    name = None
    with open(f"/proc/{pid}/smaps") as smaps:
        for line in smaps:
            fields = line.split()
            if "-" in fields[0] and ":" not in fields[0]:
                name = fields[5] if len(fields) > 5 else "[anonymous]"
            elif fields[0] == "Rss:":
                totals[name] = totals.get(name, 0) + int(fields[1])
    return sorted(totals.items(), key=lambda item: -item[1])[:count]


def thread_cpu(pid):
    """CPU seconds per thread name (threads of one name added up)."""
    seconds = {}
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/stat") as stat:
                text = stat.read()
        except OSError:
            continue
        name = text[text.index("(") + 1:text.rindex(")")]
        fields = text.rsplit(")", 1)[1].split()
        seconds[name] = seconds.get(name, 0) + (int(fields[11]) + int(fields[12])) / TICKS
    return seconds


def print_mappings(pid, title):
    print(f"{title}: RSS {rss_kib(pid) / 1024:.1f} MiB; largest resident mappings (KiB):")
    for name, kib in largest_mappings(pid):
        print(f"  {kib:8d}  {name}")


def fail(message):
    print(message, file=sys.stderr)
    sys.exit(1)


class Figures:
    def __init__(self, build):
        self.quillory = os.path.join(build, "app/quillory")
        self.pad = os.path.join(build, "tools/pad/quillory-pad")
        self.bench = os.path.join(build, "tests/figures/app_pen_path_bench")
        self.log = os.path.join(os.environ["HOME"], "quillory.log")
        self.app = None
        self.address = []

    def start(self):
        """quillory trusting the command-line tablet, which has remembered it, started as by a
        user who has been through the welcome window."""
        subprocess.run([self.bench, "--trust-pad-tool"], check=True, timeout=60)
        config = os.path.join(os.environ.get("XDG_CONFIG_HOME", os.path.expanduser("~/.config")),
                              "quillory")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "defaults.json"), "w") as file:
            json.dump({"onboarding.completed": True}, file)
        with open(self.log, "w") as log:
            self.app = subprocess.Popen([self.quillory, "--test-events"], stdout=log,
                                        stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 60
        port = None
        while port is None:
            if time.monotonic() > deadline or self.app.poll() is not None:
                fail(f"quillory did not listen; see {self.log}")
            time.sleep(0.1)
            port = listening_port(self.app.pid)
        # By address: a tablet that looked on the network could find another host there.
        self.address = ["--host", "127.0.0.1", "--port", str(port)]
        paired = subprocess.run([self.pad, "--json", "pair", "--host", "127.0.0.1", "--port",
                                 str(port)], capture_output=True, text=True, timeout=60)
        if paired.returncode != 0:
            fail(f"the tablet did not pair: {paired.stdout}{paired.stderr}")

    def draw(self, *arguments):
        """`quillory-pad draw` once the host's desktop context has arrived; its events are read
        on a thread from then on (a full pipe would stop the tablet) into `pad.events`."""
        pad = subprocess.Popen([self.pad, "--json", "draw", *self.address, *arguments],
                               stdout=subprocess.PIPE, text=True)
        for line in pad.stdout:
            if json.loads(line).get("event") == "context":
                break
        else:
            fail(f"the tablet ended before the host's context: {pad.wait()}")
        pad.events = []

        def read():
            for line in pad.stdout:
                event = json.loads(line)
                event.pop("samples", None)
                pad.events.append(event)

        pad.reader = threading.Thread(target=read)
        pad.reader.start()
        return pad

    def stop(self):
        if self.app and self.app.poll() is None:
            self.app.terminate()
            self.app.wait(timeout=30)


def idle(figures, seconds):
    pid = figures.app.pid
    time.sleep(5)  # past the start's work
    before = (time.monotonic(), cpu_seconds(pid))
    time.sleep(20)
    print_mappings(pid, "without a tablet")
    pad = figures.draw("--duration", str(seconds), "--strokes", "0")
    start = (time.monotonic(), cpu_seconds(pid))
    per_thread = thread_cpu(pid)
    pad.reader.join()
    end = (time.monotonic(), cpu_seconds(pid))
    spent = {name: value - per_thread.get(name, 0) for name, value in thread_cpu(pid).items()}
    if pad.wait() != 0:
        fail("the idle tablet did not end cleanly")
    share = lambda a, b: 100 * (b[1] - a[1]) / (b[0] - a[0])
    print(f"idle without a tablet for {start[0] - before[0]:.1f} s: CPU "
          f"{share(before, start):.3f} %")
    print(f"idle with a tablet for {end[0] - start[0]:.1f} s: CPU {share(start, end):.3f} %, "
          f"RSS {rss_kib(pid) / 1024:.1f} MiB")
    print("CPU seconds per thread while idle:",
          json.dumps({name: round(value, 2) for name, value in spent.items() if value > 0}))
    print_mappings(pid, "with the idle tablet")
    rest = rss_kib(pid)
    for session in ("first", "second"):
        studio(figures, session)
    print(f"after both Studio sessions: RSS {(rss_kib(pid) - rest) / 1024:+.1f} MiB against the "
          f"rest before the first")


def studio(figures, session, seconds=20, settle=10):
    """A Studio session of the main display, then the rest after it ends."""
    pid = figures.app.pid
    before = rss_kib(pid)
    share = subprocess.run([figures.pad, "--json", "studio", "share", *figures.address, "--seconds",
                            str(seconds)],
                           capture_output=True, text=True, timeout=seconds + 120)
    events = [json.loads(line) for line in share.stdout.splitlines() if line.startswith("{")]
    frames = [e for e in events if e.get("event") == "frames"]
    during = rss_kib(pid)
    if share.returncode != 0 or not frames:
        fail(f"the Studio session did not stream: {share.returncode} {share.stderr[-2000:]}")
    time.sleep(settle)  # past the session's teardown
    rest = (time.monotonic(), cpu_seconds(pid))
    time.sleep(20)
    end = (time.monotonic(), cpu_seconds(pid))
    after = rss_kib(pid)
    print(f"{session} Studio session for {seconds} s ({frames[-1].get('frames', '?')} frames): RSS "
          f"{before / 1024:.1f} MiB before, {during / 1024:.1f} MiB at its end, "
          f"{after / 1024:.1f} MiB {settle + 20} s after ({(after - before) / 1024:+.1f} MiB)")
    print(f"at rest after Studio for {end[0] - rest[0]:.1f} s: CPU "
          f"{100 * (end[1] - rest[1]) / (end[0] - rest[0]):.3f} %")
    print_mappings(pid, f"after the {session} Studio session")


def soak(figures, seconds):
    pid = figures.app.pid
    pad = figures.draw("--duration", str(seconds))
    began = time.monotonic()
    curve = []
    while pad.poll() is None:
        curve.append((round(time.monotonic() - began), rss_kib(pid)))
        print(f"{curve[-1][0]:5d} s  RSS {curve[-1][1] / 1024:.1f} MiB", flush=True)
        deadline = time.monotonic() + 10
        while pad.poll() is None and time.monotonic() < deadline:
            time.sleep(0.2)
    pad.reader.join()
    strokes = [e for e in pad.events if e.get("event") == "stroke"]
    print(f"{len(strokes)} strokes drawn, {sum(e['complete'] for e in strokes)} complete; "
          f"ended: {[e for e in pad.events if e.get('event') == 'ended']}")
    after_minute = [kib for at, kib in curve if at >= 60]
    if after_minute:
        growth = (max(after_minute) - after_minute[0]) / 1024
        print(f"growth after the first minute: {growth:.2f} MiB")
    released = subprocess.run([figures.bench, "--released"], capture_output=True, text=True)
    print("held on the X server at the end:", released.stdout.strip())
    if pad.returncode != 0 or released.returncode != 0:
        fail("the soak did not end cleanly")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("mode", choices=["idle", "soak"])
    parser.add_argument("--build", default="build/default")
    parser.add_argument("--seconds", type=float)
    arguments = parser.parse_args()
    figures = Figures(arguments.build)
    try:
        figures.start()
        if arguments.mode == "idle":
            idle(figures, arguments.seconds or 60)
        else:
            soak(figures, arguments.seconds or 600)
    finally:
        figures.stop()


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Runs the command-line tablet against the headless test host, in two processes, or against
the real application with a target window that reports what reaches it.

    e2e_driver.py --pad PAD --host HOST --services WITH_TEST_SERVICES <scenario>
    e2e_driver.py --pad PAD --app QUILLORY --input INPUT --target MENU_TEST_GTK ... app-<scenario>

Each scenario runs in a session of its own (fresh keyring, HOME and XDG folders) nested inside
the test services, and waits only for output lines, each wait bounded.
"""

import argparse
import importlib.util
import json
import os
import queue
import signal
import socket
import subprocess
import sys
import threading
import time

SKIP = 77
WAIT = 20.0
ATSPI_READ = os.path.join(os.path.dirname(os.path.abspath(__file__)), "atspi_read.py")
PRIVATE_AVAHI = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                             "lib", "private-avahi")
# The system's interpreter has the GObject bindings when the running one does not.
GI_PYTHON = sys.executable if importlib.util.find_spec("gi") else "/usr/bin/python3"


class Failure(Exception):
    pass


class Skip(Exception):
    pass


class Process:
    """A child with piped standard streams; its output lines are parsed as JSON when they can be."""

    def __init__(self, name, argv, env=None):
        self.name = name
        self.lines = queue.Queue()
        self.transcript = []
        self.child = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE, text=True, bufsize=1,
                                      env=env or os.environ.copy())
        # Daemons, so that a child left running cannot keep the driver from ending.
        self.readers = [threading.Thread(target=self._read, args=(self.child.stdout, False),
                                         daemon=True),
                        threading.Thread(target=self._read, args=(self.child.stderr, True),
                                         daemon=True)]
        for reader in self.readers:
            reader.start()

    def _read(self, stream, is_error):
        for line in stream:
            line = line.rstrip("\n")
            self.transcript.append(("! " if is_error else "") + line)
            if is_error:
                self.lines.put({"stderr": line})
                continue
            try:
                event = json.loads(line)
            except ValueError:
                event = {"text": line}
            self.lines.put(event if isinstance(event, dict) else {"text": line})
        self.lines.put(None if not is_error else {"stderrClosed": True})

    def send(self, line):
        self.child.stdin.write(line + "\n")
        self.child.stdin.flush()

    def expect(self, wanted, timeout=WAIT, avoid=None):
        """The next event named `wanted` (or matching it, when callable); fails on `avoid`."""
        match = wanted if callable(wanted) else (lambda event: event.get("event") == wanted)
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            try:
                event = self.lines.get(timeout=max(0.0, left))
            except queue.Empty:
                raise Failure(f"{self.name}: no {wanted} within {timeout} s") from None
            if event is None:
                raise Failure(f"{self.name}: output ended before {wanted}")
            if avoid and avoid(event):
                raise Failure(f"{self.name}: unexpected {event}")
            if match(event):
                return event

    def collect(self, until, name):
        """Every event named `name` before the event named `until`."""
        found = []
        self.expect(lambda event: (event.get("event") == name and found.append(event)) or
                    event.get("event") == until)
        return found

    def wait(self, timeout=WAIT):
        try:
            code = self.child.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"{self.name}: still running after {timeout} s") from None
        for reader in self.readers:
            reader.join(timeout)
        return code

    def kill(self):
        if self.child.poll() is None:
            self.child.kill()
        self.wait()

    def close(self):
        if self.child.poll() is None:
            try:
                self.send("quit")
                self.child.stdin.close()
                self.child.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired):
                pass
        self.kill()


class Scenario:
    def __init__(self, arguments):
        self.arguments = arguments
        self.pad_binary = arguments.pad
        self.host_binary = arguments.host
        self.processes = []
        self.host_env = os.environ.copy()
        self.host_env["XDG_DATA_HOME"] = os.path.join(os.environ["HOME"], "host-data")
        self.host_name = f"E2E Host {os.getpid()}"
        self.cleanups = []

    def start_host(self, port=0, env=None):
        host = Process("host", [self.host_binary, "--name", self.host_name, "--port", str(port)],
                       env or self.host_env)
        self.processes.append(host)
        host.port = host.expect("listening")["port"]
        return host

    def pad(self, *arguments, env=None):
        process = Process("pad " + arguments[0], [self.pad_binary, "--json", *arguments], env)
        self.processes.append(process)
        return process

    def run_pad(self, *arguments, env=None):
        """Runs a pad command to its end; its exit status and events."""
        process = self.pad(*arguments, env=env)
        code = process.wait()
        events = []
        while not process.lines.empty():
            event = process.lines.get()
            if event is not None:
                events.append(event)
        return code, events, process

    def pair(self, host, where=None, env=None):
        where = where or ["--host", "127.0.0.1", "--port", str(host.port)]
        pad = self.pad("pair", *where, env=env)
        pad_code = pad.expect("pairing")["code"]
        host_code = host.expect("pairing")["code"]
        check(pad_code == host_code, f"codes differ: pad {pad_code}, host {host_code}")
        check(len(pad_code) == 6 and pad_code.isdigit(), f"not a six-digit code: {pad_code}")
        pad.send("y")
        host.send("approve")
        host.expect("ready")
        paired = pad.expect("paired")
        check(pad.wait() == 0, "pairing did not exit with 0")
        host.expect("ended")
        return paired

    def wait_all(self, process, *wanted, timeout=WAIT):
        """Waits until each predicate has matched one event, in any order; the matches."""
        found = [None] * len(wanted)

        def match(event):
            for index, predicate in enumerate(wanted):
                if found[index] is None and predicate(event):
                    found[index] = event
            return all(event is not None for event in found)

        process.expect(match, timeout=timeout)
        return found

    # The real application, its target window and the user's hands.

    def start_target(self):
        target = Process("target", [self.arguments.target, "--report-events", "--items", "300"])
        self.processes.append(target)
        target.expect(lambda event: event.get("text", "").startswith("ready"))
        target.window = x_window("Menu test")["id"]
        return target

    def start_app(self):
        """quillory, once it advertises and its panel has become a window of its own."""
        # This session's accessibility bus, up before quillory looks for one: otherwise it may
        # take the one another session named on the shared display, where nobody reads it.
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                        "/org/a11y/bus", "org.a11y.Bus.GetAddress"], capture_output=True,
                       timeout=WAIT, check=True)
        # A user who has been through the welcome window: it would take the focus these
        # scenarios watch.
        config = os.path.join(self.host_env.get("XDG_CONFIG_HOME",
                                                os.path.join(os.environ["HOME"], ".config")),
                              "quillory")
        os.makedirs(config, exist_ok=True)
        defaults = os.path.join(config, "defaults.json")
        if not os.path.exists(defaults):
            with open(defaults, "w") as file:
                json.dump({"onboarding.completed": True}, file)
        app = Process("quillory", [self.arguments.app, "--test-events"], self.host_env)
        self.processes.append(app)
        advertised, _ = self.wait_all(
            app, lambda event: "Advertising “" in event.get("stderr", ""),
            lambda event: "the panel becomes a window" in event.get("stderr", ""))
        app.advertised = advertised["stderr"].split("Advertising “", 1)[1].rsplit("”", 1)[0]
        # Opened as if by the user, the fallback window takes the focus once it is mapped.
        self.wait_active(x_window("Quillory")["id"])
        return app

    def user(self, *arguments):
        """The user's pointer or keyboard, through XTEST."""
        result = subprocess.run([self.arguments.input, *arguments], capture_output=True, text=True,
                                timeout=WAIT)
        check(result.returncode == 0, f"input {arguments}: {result.stderr.strip()}")

    def focus(self, window):
        """Raises and focuses a window: a process with its window, or an x_window()."""
        window = window["id"] if isinstance(window, dict) else window.window
        # Asked again while waiting: a window of ours that maps late may take the focus back.
        deadline = time.monotonic() + WAIT
        while True:
            try:
                # A window the window manager has yet to take on is not in its list to raise.
                self.user("raise", str(window))
                self.wait_active(window, timeout=1.0)
                return
            except Failure as failure:
                check(time.monotonic() < deadline,
                      f"window {window} did not take the focus from {active_window()}: {failure}")
                time.sleep(0.05)

    def wait_active(self, window, timeout=WAIT):
        deadline = time.monotonic() + timeout
        while active_window() != window:
            check(time.monotonic() < deadline,
                  f"window {window} did not take the focus from {active_window()}")
            time.sleep(0.05)

    def find_app(self, app):
        """The application's advertisement, as the tablet lists it."""
        deadline = time.monotonic() + WAIT
        while True:
            code, events, _ = self.run_pad("list", "--wait", "2")
            check(code == 0, f"list exited with {code}")
            found = [e for e in events_named(events, "host") if e["name"] == app.advertised]
            if found:
                return found[0]
            check(time.monotonic() < deadline, f"“{app.advertised}” was not listed")

    def pair_app(self, app, target):
        """Pairs a new tablet through the panel the code opens, while the target has the focus."""
        entry = self.find_app(app)
        pad = self.pad("pair", "--host", "127.0.0.1", "--port", str(entry["port"]))
        pad_code = pad.expect("pairing")["code"]
        app_code = app.expect("pairing")["code"]
        shown = time.monotonic()
        check(pad_code == app_code, f"codes differ: pad {pad_code}, quillory {app_code}")
        # What the user reads in the panel: the code view names its digits one by one.
        view = accessible("Quillory", "Verification code")[0]
        read = view["name"].removeprefix("Verification code").replace(" ", "")
        check(read == pad_code, f"the panel shows “{view['name']}”, the pad {pad_code}")
        check(active_window() == target.window, "the panel the code opened took the focus")
        # A stray Return goes where the user types, and confirms nothing.
        self.user("key", "enter")
        target.expect(lambda event: event.get("event") == "key" and event["key"] == "Return")
        # The panel floats above the target, which covers the screen; a click into its header
        # gives it the keyboard.
        panel = x_window("Quillory")
        check(stacked_above(panel["id"], target.window), "the code's panel is under the target")
        self.user("click", str(panel["x"] + panel["width"] // 2), str(panel["y"] + 28))
        self.wait_active(panel["id"])
        # Confirm waits one second after the code appeared, counted from when the panel drew
        # it, which a loaded machine may do late: Return again until it confirms.
        time.sleep(max(0.0, shown + 1.1 - time.monotonic()))
        for attempt in range(5):
            self.user("key", "enter")
            try:
                approval = app.expect("approval", timeout=2.0)
                break
            except Failure:
                check(attempt < 4, "Return in the panel did not confirm")
        check(approval["local"], f"Return in the panel did not confirm: {approval}")
        pad.send("y")
        pad.expect("paired")
        check(pad.wait() == 0, "pairing did not exit with 0")
        app.expect(lambda event: event.get("event") == "connected" and event["connected"])
        return entry

    def paired_app(self):
        """The target focused, quillory running and a tablet paired with it."""
        target = self.start_target()
        app = self.start_app()
        self.focus(target)
        self.pair_app(app, target)
        self.focus(target)
        return target, app

    def rediscover(self, app):
        """The tablet finds a restarted quillory by its advertisement: it listens on a new port."""
        entry = self.find_app(app)
        path = os.path.join(os.environ.get("XDG_DATA_HOME", ""), "quillory-pad", "hosts.json")
        with open(path) as file:
            remembered = json.load(file)
        for host in remembered["hosts"]:
            if host["id"] == entry["id"]:
                host["port"] = entry["port"]
        with open(path, "w") as file:
            json.dump(remembered, file)

    def close(self):
        for process in reversed(self.processes):
            try:
                process.close()
            except Failure as failure:
                print(f"closing: {failure}")
        for cleanup in self.cleanups:
            cleanup()

    def transcripts(self):
        for process in self.processes:
            print(f"--- {process.name} (exit {process.child.returncode})")
            for line in process.transcript:
                print("   ", line)


class PrivateAvahi:
    """A system bus and an avahi-daemon of this scenario's own, the daemon in its own network
    and mount namespaces, so that stopping it disturbs nobody else."""

    BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
"""
    def __init__(self, folder):
        os.makedirs(folder, exist_ok=True)
        bus_config = os.path.join(folder, "bus.conf")
        with open(bus_config, "w") as file:
            file.write(self.BUS_CONFIG.format(socket=os.path.join(folder, "system_bus_socket")))
        self.bus = Process("system bus", ["dbus-daemon", "--config-file", bus_config, "--nofork",
                                          "--print-address=1"])
        address = self.bus.expect(lambda event: "text" in event)["text"]
        self.env = os.environ.copy()
        self.env["DBUS_SYSTEM_BUS_ADDRESS"] = address
        self.daemon = None

    def start(self):
        self.daemon = Process("avahi-daemon", [PRIVATE_AVAHI], self.env)
        self.daemon.expect(lambda event: "Server startup complete" in str(event))

    def stop(self):
        self.daemon.child.terminate()
        self.daemon.wait()

    def close(self):
        for process in (self.daemon, self.bus):
            if process:
                process.kill()


def x_window(name):
    """The top-level window called `name`, once it is mapped: its id and its place on the root."""
    deadline = time.monotonic() + WAIT
    while True:
        output = subprocess.run(["xwininfo", "-int", "-name", name], capture_output=True,
                                text=True, timeout=WAIT).stdout
        fields = {}
        for line in output.splitlines():
            key, _, value = line.strip().partition(":")
            fields[key] = value.strip()
        if fields.get("Map State") == "IsViewable":
            break
        check(time.monotonic() < deadline, f"no window “{name}” on the screen")
        time.sleep(0.05)
    window_id = output.split("Window id:", 1)[1].split()[0]
    return {"id": int(window_id, 0),
            "x": int(fields["Absolute upper-left X"]), "y": int(fields["Absolute upper-left Y"]),
            "width": int(fields["Width"]), "height": int(fields["Height"])}


def stacked_above(window, other):
    """Whether `window` is in front of `other` in the window manager's stacking order."""
    output = subprocess.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"], capture_output=True,
                            text=True, timeout=WAIT).stdout
    order = [int(word.strip(","), 16) for word in output.rsplit("#", 1)[-1].split()]
    return window in order and other in order and order.index(window) > order.index(other)


def accessible(application, prefix):
    """The showing objects of an application's windows whose names start with `prefix`, once
    there is one, as AT-SPI gives them."""
    deadline = time.monotonic() + WAIT
    while True:
        result = subprocess.run([GI_PYTHON, ATSPI_READ, application, prefix],
                                capture_output=True, text=True, timeout=WAIT)
        check(result.returncode == 0, f"reading {application} over AT-SPI: {result.stderr}")
        found = json.loads(result.stdout)
        if found:
            return found
        check(time.monotonic() < deadline, f"no “{prefix}…” showing in {application}")
        time.sleep(0.1)


def active_window():
    output = subprocess.run(["xprop", "-root", "_NET_ACTIVE_WINDOW"], capture_output=True,
                            text=True, timeout=WAIT).stdout
    return int(output.rsplit("#", 1)[-1].split(",")[0], 16) if "#" in output else None


def check(condition, message):
    if not condition:
        raise Failure(message)


def events_named(events, name):
    return [event for event in events if event.get("event") == name]


def scenario_list(s):
    host = s.start_host()
    # The advertisement is registered shortly after the listener is ready; each look is bounded.
    deadline = time.monotonic() + WAIT
    while True:
        code, events, _ = s.run_pad("list", "--wait", "2")
        check(code == 0, f"list exited with {code}")
        found = [e for e in events_named(events, "host") if e["name"] == s.host_name]
        if found or time.monotonic() > deadline:
            break
    check(found, "the test host was not listed")
    entry = found[0]
    fingerprint = host.transcript and json.loads(host.transcript[0])["fingerprint"]
    check(entry["port"] == host.port, f"listed port {entry['port']}, host on {host.port}")
    check(entry["id"] == fingerprint, "TXT id is not the host's fingerprint")
    check(entry["version"] == "9" and entry["platform"] == "mac", f"TXT records: {entry}")
    check(entry["address"] == "127.0.0.1", f"resolved to {entry['address']}")


def scenario_pair(s):
    host = s.start_host()
    paired = s.pair(host)
    check(paired["name"] == s.host_name, f"paired with {paired['name']}")
    # Known on both sides now: a new pairing needs no code.
    pad = s.pad("pair", "--host", "127.0.0.1", "--port", str(host.port))
    pad.expect("paired", avoid=lambda event: event.get("event") == "pairing")
    check(pad.wait() == 0, "second pairing failed")


def scenario_draw(s):
    host = s.start_host()
    s.pair(host)
    pad = s.pad("draw", "--strokes", "3")
    context = pad.expect("context")["context"]
    check(context["applicationID"] == "org.quillory.canvas", f"context: {context}")
    strokes = pad.collect("drawn", "stroke")
    check(pad.wait() == 0, "draw did not exit with 0")
    batches = host.collect("ended", "samples")
    sent = [sample for stroke in strokes for sample in stroke["samples"]]
    received = [sample for batch in batches for sample in batch["samples"]]
    check(len(strokes) == 3 and all(stroke["complete"] for stroke in strokes), "strokes missing")
    check(len(sent) == 180, f"{len(sent)} samples sent")
    check(received == sent, f"received {len(received)} samples, not the {len(sent)} sent")
    phases = [sample["phase"] for sample in sent[:60]]
    check(phases[0] == "began" and phases[-1] == "ended" and set(phases[1:-1]) == {"moved"},
          "a stroke is not began, moved…, ended")
    check(len({sample["pressure"] for sample in sent}) > 10, "pressure does not vary")
    check(len({sample["altitude"] for sample in sent}) > 10, "tilt does not vary")
    # Stamped at 240 samples a second.
    span = sent[59]["timestamp"] - sent[0]["timestamp"]
    check(0.2 <= span < 0.6, f"a 60-sample stroke took {span:.3f} s")


def scenario_key(s):
    host = s.start_host()
    s.pair(host)
    code, events, _ = s.run_pad("key", "command+z")
    check(code == 0, f"key exited with {code}")
    actions = host.collect("ended", "action")
    sent_contexts = [json.loads(line)["context"] for line in host.transcript
                     if line.startswith("{") and json.loads(line).get("event") == "contextSent"]
    check(len(actions) == 1, f"{len(actions)} actions arrived")
    action = actions[0]["action"]
    check(action["kind"] == "tap" and action["keys"] == ["command", "z"], f"action: {action}")
    check(action["contextID"] == sent_contexts[-1]["id"], "the tap is not for the last context")


def scenario_reconnect(s):
    host = s.start_host()
    s.pair(host)
    pad = s.pad("draw", "--reconnect", "--strokes", "4000")
    first_peer = host.expect("peer")
    pad.expect("stroke")
    host.kill()
    pad.expect("interrupted")
    host = s.start_host(port=host.port)
    peer = host.expect("peer", avoid=lambda event: event.get("event") == "pairing")
    check(peer["intent"] == first_peer["intent"], "the reconnect carries a new intent")
    host.expect("ready", avoid=lambda event: event.get("event") == "pairing")
    pad.expect("ready", avoid=lambda event: event.get("event") == "pairing")
    host.expect("samples")
    pad.send("quit")
    check(pad.wait() == 0, "quitting the pad failed")


def scenario_stop(s):
    host = s.start_host()
    s.pair(host)
    pad = s.pad("draw", "--reconnect", "--strokes", "4000")
    intent = pad.expect("connecting")["intent"]
    pad.expect("stroke")
    host.send("stop")
    ended = pad.expect("ended")
    check(ended["message"] == "Disconnected", f"pad ended with {ended}")
    check(pad.wait() != 0, "a stop by the host is not a success")
    check(not events_named(drain(pad), "reconnecting"), "the pad reconnected after a stop")
    host.expect("ended")
    # The same session coming back on its own is refused...
    code, events, _ = s.run_pad("draw", "--reconnect", "--intent", intent)
    check(code != 0, "the stopped session was let in again")
    check(not events_named(events, "ready"), "the stopped session became ready")
    check(events_named(events, "ended")[0]["message"] == "Disconnected", f"events: {events}")
    host.expect("ended")
    # ...while a new one is welcome.
    code, events, _ = s.run_pad("draw", "--strokes", "1")
    check(code == 0 and events_named(events, "drawn"), "a new session was refused")


def scenario_forget(s):
    host = s.start_host()
    s.pair(host)
    device_key = [json.loads(line) for line in host.transcript
                  if '"event":"peer"' in line][0]["deviceKey"]
    host.send(f"forget {device_key}")
    check(host.expect("forgotten")["ok"], "forget failed")
    code, events, _ = s.run_pad("draw", "--strokes", "1")
    check(code != 0, "a forgotten tablet could still draw")
    ended = events_named(events, "ended")
    check(ended and ended[0]["message"] == "Pair this device again to connect.", f"{events}")
    check(not events_named(events, "stroke"), "samples were sent without trust")
    host.expect("ended")
    s.pair(host)


def scenario_second_connection(s):
    host = s.start_host()
    s.pair(host)
    pad = s.pad("draw", "--strokes", "4000")
    pad.expect("stroke")
    intruder = socket.create_connection(("127.0.0.1", host.port), timeout=WAIT)
    host.expect("refused")
    check(intruder.recv(1) == b"", "the second connection was not closed")
    intruder.close()
    pad.send("quit")
    check(pad.wait() == 0, "the first link did not survive the second connection")
    check(not events_named(drain(pad), "interrupted"), "the first link was interrupted")


def scenario_bad_input(s):
    def fails_cleanly(expected_code, text, *arguments):
        code, events, process = s.run_pad(*arguments)
        messages = [e.get("message", "") for e in events_named(events, "error")] + \
                   [e["stderr"] for e in events if "stderr" in e]
        check(code == expected_code, f"{arguments}: exit {code}, expected {expected_code}")
        check(any(text in message for message in messages), f"{arguments}: {messages}")

    fails_cleanly(2, "Unknown key “foo”", "key", "command+foo")
    fails_cleanly(2, "is not a key chord", "key", "a+b")
    fails_cleanly(2, "is not a key chord", "key", "command+command")
    fails_cleanly(2, "is not a port", "pair", "--host", "127.0.0.1", "--port", "70000")
    fails_cleanly(2, "Unknown command", "scribble")
    fails_cleanly(1, "has not paired with a computer yet", "draw")
    closed = socket.socket()
    closed.bind(("127.0.0.1", 0))
    port = closed.getsockname()[1]
    closed.close()
    fails_cleanly(1, f"Could not connect to 127.0.0.1 port {port}", "pair", "--host", "127.0.0.1",
                  "--port", str(port))
    fails_cleanly(1, "Could not find no-such-host.invalid", "pair", "--host",
                  "no-such-host.invalid", "--port", "4242")
    host = s.start_host()
    s.pair(host)
    fails_cleanly(1, "No paired computer matches “elsewhere”", "draw", "--host", "elsewhere")


def scenario_avahi_restart(s):
    if os.geteuid() != 0:
        print("skipped: a private avahi-daemon needs root for its namespaces")
        raise Skip()
    avahi = PrivateAvahi(os.path.join(os.environ["HOME"], "avahi"))
    s.cleanups.append(avahi.close)
    avahi.start()
    env = s.host_env.copy()
    env["DBUS_SYSTEM_BUS_ADDRESS"] = avahi.env["DBUS_SYSTEM_BUS_ADDRESS"]
    host = s.start_host(env=env)
    pad_env = avahi.env

    def listed():
        deadline = time.monotonic() + WAIT
        while True:
            code, events, _ = s.run_pad("list", "--wait", "2", env=pad_env)
            check(code == 0, f"list exited with {code}")
            if any(e["name"] == s.host_name for e in events_named(events, "host")):
                return True
            if time.monotonic() > deadline:
                return False

    check(listed(), "the host was not advertised")
    # This daemon knows no other host: pairing finds this one by itself.
    paired = s.pair(host, where=["--wait", "5"], env=pad_env)
    check(paired["name"] == s.host_name, f"paired with {paired}")
    avahi.stop()
    host.expect(lambda event: "lost the Avahi daemon" in event.get("stderr", ""))
    # Without a daemon the host still takes a tablet.
    code, events, _ = s.run_pad("pair", "--host", "127.0.0.1", "--port", str(host.port))
    check(code == 0 and events_named(events, "paired"), f"no pairing without a daemon: {events}")
    code, events, _ = s.run_pad("list", "--wait", "1", env=pad_env)
    check(not events_named(events, "host"), "listed without a daemon")
    avahi.start()
    check(listed(), "the host was not advertised again when the daemon returned")
    check(not [e for e in drain(host) if e.get("event") == "listenerFailed"],
          "the listener failed with the daemon")


def scenario_app_list(s):
    target = s.start_target()
    app = s.start_app()
    s.focus(target)
    entry = s.find_app(app)
    check(entry["version"] == "9" and entry["address"] == "127.0.0.1", f"listed as {entry}")
    check(app.advertised.split(" #")[0] == socket.gethostname(),
          f"advertised as “{app.advertised}”, not under the computer's name")


def scenario_app_pair(s):
    target = s.start_target()
    app = s.start_app()
    s.focus(target)
    s.pair_app(app, target)
    # The tablet comes back without a code.
    pad = s.pad("draw", "--strokes", "1")
    pad.expect("drawn", avoid=lambda event: event.get("event") == "pairing")
    check(pad.wait() == 0, "drawing after pairing failed")


def target_events(target, last):
    """The target's events up to the one `last` accepts."""
    found = []
    target.expect(lambda event: found.append(event) or last(event))
    return found


def scenario_app_draw(s):
    target, app = s.paired_app()
    width, height = (int(side) for side in os.environ["QUILLORY_TEST_SCREEN"].split("x"))
    code, events, _ = s.run_pad("draw", "--strokes", "1")
    check(code == 0, f"draw exited with {code}")
    samples = [sample for stroke in events_named(events, "stroke") for sample in stroke["samples"]]
    check(samples, "no stroke was drawn")
    points = [(round(sample["x"] * (width - 1)), round(sample["y"] * (height - 1)))
              for sample in samples]
    reported = target_events(target, lambda event: event.get("event") == "button" and
                             not event["down"])
    motion = [(event["x"], event["y"]) for event in reported if event.get("event") == "motion"]
    buttons = [event for event in reported if event.get("event") == "button"]
    check([(event["button"], event["down"]) for event in buttons] == [(1, True), (1, False)],
          f"buttons: {buttons}")
    check((buttons[0]["x"], buttons[0]["y"]) == points[0], f"down at {buttons[0]}, not {points[0]}")
    check((buttons[1]["x"], buttons[1]["y"]) == points[-1], f"up at {buttons[1]}, not {points[-1]}")
    # The pointer visits the stroke's points in order (a repeated point moves nothing).
    remaining = iter(points)
    check(all(point in remaining for point in motion), f"motion off the stroke: {motion}")
    check(len(set(motion)) > len(set(points)) // 2, f"{len(motion)} motions for {len(points)}")

    code, events, _ = s.run_pad("key", "control+a")
    check(code == 0, f"key exited with {code}")
    keys = target_events(target, lambda event: event.get("event") == "key" and
                         event["key"].startswith("Control") and not event["down"])
    typed = [(event["key"], event["down"]) for event in keys if event.get("event") == "key"]
    check(typed == [("Control_L", True), ("a", True), ("a", False), ("Control_L", False)],
          f"the target got {typed}")


def menu_commands(s):
    """The target's menu commands as `commands` lists them, in its chunks."""
    code, events, _ = s.run_pad("commands")
    check(code == 0, f"commands exited with {code}")
    chunks = events_named(events, "commands")
    check(len(chunks) > 1, f"{len(chunks)} chunk for more than 300 commands")
    check([chunk["final"] for chunk in chunks] == [False] * (len(chunks) - 1) + [True],
          "final is not on the last chunk alone")
    return [command["title"] for chunk in chunks for command in chunk["commands"]]


def scenario_app_commands(s):
    target, app = s.paired_app()
    titles = menu_commands(s)
    expected = {"New", "Save", "Undo", "Redo", "Item 0", "Item 299"}
    check(expected <= set(titles), f"missing {expected - set(titles)}")
    check(len([title for title in titles if title.startswith("Item ")]) == 300, "items missing")


def scenario_app_record(s):
    target, app = s.paired_app()
    pad = s.pad("record", "Brush")
    pad.expect("request")
    # The recorder's panel (the only window of ours with a "Clear" button) is up before the user
    # types.
    check(accessible("Quillory", "Clear")[0]["role"] == "push button", "no recorder")
    s.user("key", "control+shift+b")
    recorded = pad.expect("recorded", avoid=lambda event: event.get("event") == "cancelRecording")
    check(recorded["name"] == "Brush", f"recorded for {recorded['name']}")
    check(recorded["keys"] == ["control", "shift", "b"], f"recorded {recorded['keys']}")
    check(pad.wait() == 0, "record did not exit with 0")


def scenario_app_quit(s):
    target, app = s.paired_app()
    pad = s.pad("draw", "--reconnect", "--strokes", "4000")
    intent = pad.expect("connecting")["intent"]
    pad.expect("stroke")
    # A second launch leaves at once and brings the running one's panel up, with the keyboard.
    second = Process("second quillory", [s.arguments.app], s.host_env)
    s.processes.append(second)
    check(second.wait() == 0, "the second launch did not exit with 0")
    s.wait_active(x_window("Quillory")["id"])
    s.user("key", "control+q")
    ended = pad.expect("ended")
    check(ended["end"] == "stopped" and ended["message"] == "Disconnected", f"pad: {ended}")
    check(pad.wait() != 0, "a stop by the computer is not a success")
    check(not events_named(drain(pad), "reconnecting"), "the pad reconnected after a quit")
    check(app.wait() == 0, "quillory did not exit with 0 after Ctrl+Q")
    # The stopped session coming back on its own is refused by the next run.
    s.rediscover(s.start_app())
    code, events, _ = s.run_pad("draw", "--reconnect", "--intent", intent)
    check(code != 0 and not events_named(events, "ready"), f"the stopped session came back: {events}")
    check(events_named(events, "ended")[0]["message"] == "Disconnected", f"events: {events}")


def scenario_app_interrupt(s):
    target, app = s.paired_app()
    pad = s.pad("draw", "--reconnect", "--strokes", "4000")
    pad.expect("stroke")
    app.child.send_signal(signal.SIGTERM)
    pad.expect("interrupted", avoid=lambda event: event.get("event") == "ended" and
               event["end"] == "stopped")
    pad.expect("reconnecting")
    app.wait()
    pad.send("quit")
    pad.wait()
    # Once quillory runs again, the tablet is back without a code.
    s.rediscover(s.start_app())
    code, events, _ = s.run_pad("draw", "--strokes", "1")
    check(code == 0 and events_named(events, "drawn"), f"the tablet did not come back: {events}")
    check(not events_named(events, "pairing"), "the tablet had to pair again")


def drain(process):
    events = []
    while not process.lines.empty():
        event = process.lines.get()
        if event is not None:
            events.append(event)
    return events


def scenario_studio_unanswered(s):
    # The test host logs Studio signals but has no Studio: the list must end with a clear message.
    host = s.start_host()
    s.pair(host)
    code, events, _ = s.run_pad("studio", "list")
    check(code == 1, f"studio list exited with {code}")
    asked = [e["studio"] for e in host.collect("ended", "studio")]
    check([signal["kind"] for signal in asked] == ["listSources"], f"the host got {asked}")
    messages = [e.get("message", "") for e in events_named(events, "error")]
    check(any("did not answer the source list" in m for m in messages), f"messages: {messages}")
    # Sharing a named window lists first, and ends the same way.
    code, events, _ = s.run_pad("studio", "share", "--window", "Notes")
    messages = [e.get("message", "") for e in events_named(events, "error")]
    check(code == 1 and any("did not answer the source list" in m for m in messages),
          f"studio share exited with {code}: {messages}")


# Studio with the real application on a 1920×1080 screen: the tablet views a display or a test
# window through `quillory-pad studio`, at the modest size CI affords.

STUDIO_SCREEN = "1920x1080"
SHARE = ["--viewport", "1280x720", "--preset", "balanced"]
# Sixty flags: a title long in bytes and made of multi-codepoint characters.
FLAGS = "".join(chr(0x1F1E6 + ord(a) - ord("A")) + chr(0x1F1E6 + ord(b) - ord("A")) for a, b in (
    "FR DE IT ES PT NL BE LU IE GB DK SE NO FI IS AT CH PL CZ SK HU SI HR RS BA ME AL GR BG RO "
    "MD UA BY LT LV EE US CA MX BR AR CL PE CO VE UY PY BO EC JP KR CN IN ID TH VN PH MY SG AU "
    "NZ").split()[:60])


def start_studio(s):
    """quillory paired with a new tablet; the panel is left in front."""
    target = s.start_target()
    app = s.start_app()
    s.focus(target)
    s.pair_app(app, target)
    return app


def start_window(s, title, geometry):
    """A quillory-test-window, once mapped and in front: its id and its place on the root."""
    window = Process("window", [s.arguments.window, "--title", title, "--geometry", geometry])
    s.processes.append(window)
    window.id = window.window = window.expect("ready")["window"]
    window.place = window_place(window.id)
    # The window manager may keep a new window under the focused full-screen target, whose
    # layer is above it: the window would paint, yet nothing on the display would change.
    s.focus(window)
    return window


def window_place(window_id, frame=False):
    """A window's place on the root; with `frame`, of the window manager's frame around it."""
    deadline = time.monotonic() + WAIT
    while True:
        output = subprocess.run(["xwininfo", "-int", "-id", str(window_id)], capture_output=True,
                                text=True, timeout=WAIT).stdout
        fields = dict(line.strip().split(":", 1) for line in output.splitlines()
                      if ":" in line and not line.strip().startswith("xwininfo"))
        fields = {key.strip(): value.strip() for key, value in fields.items()}
        if fields.get("Map State") == "IsViewable":
            break
        check(time.monotonic() < deadline, f"window {window_id} is not on the screen")
        time.sleep(0.05)
    place = {"x": int(fields["Absolute upper-left X"]), "y": int(fields["Absolute upper-left Y"]),
             "width": int(fields["Width"]), "height": int(fields["Height"])}
    if frame:
        extents = subprocess.run(["xprop", "-id", str(window_id), "_NET_FRAME_EXTENTS"],
                                 capture_output=True, text=True, timeout=WAIT).stdout
        left, right, top, bottom = (int(v) for v in extents.split("=", 1)[1].split(","))
        place = {"x": place["x"] - left, "y": place["y"] - top,
                 "width": place["width"] + left + right,
                 "height": place["height"] + top + bottom}
    return place


def studio_changed(predicate):
    return lambda event: event.get("event") == "studio" and predicate(event)


def share(s, *arguments):
    """A `studio share` once its first picture is decoded; the offer and that picture."""
    pad = s.pad("studio", "share", *SHARE, *arguments)
    offer = pad.expect("offer")
    check(offer["valid"], f"invalid offer: {offer}")
    pad.expect("answered")
    first = pad.expect("firstFrame")
    return pad, offer, first


def pointer_at(window, kind, x, y, timeout=WAIT):
    """The window's next `kind` pointer event within a pixel of (x, y), window coordinates."""
    event = window.expect(lambda e: e.get("event") == kind, timeout=timeout)
    check(abs(event["x"] - x) <= 1 and abs(event["y"] - y) <= 1,
          f"{kind} at ({event['x']}, {event['y']}), expected ({x:.1f}, {y:.1f})")
    return event


def drawn_at(window, draw, to_window, timeout=WAIT):
    """The window got the press and the motion of a `draw` at mapped points, within a pixel."""
    points = [to_window(point["x"], point["y"]) for point in draw["points"]]
    pointer_at(window, "press", *points[0], timeout=timeout)
    motions = []
    window.expect(lambda e: (e.get("event") == "motion" and motions.append(e) and False) or
                  e.get("event") == "release")
    for x, y in points[1:]:
        check(any(abs(m["x"] - x) <= 1 and abs(m["y"] - y) <= 1 for m in motions),
              f"no motion near ({x:.1f}, {y:.1f}): {motions}")


def scenario_studio_list(s):
    app = start_studio(s)
    titles = ["Studio list one", "Studio list two"]
    for index, title in enumerate(titles):
        start_window(s, title, f"480x320+{200 + 520 * index}+200")
    folder = os.path.join(os.environ["HOME"], "thumbnails")
    code, events, _ = s.run_pad("studio", "list", "--thumbnails", folder)
    check(code == 0, f"studio list exited with {code}")
    sources = events_named(events, "source")
    kinds = [source["kind"] for source in sources]
    check(kinds and kinds[0] == "display" and kinds == sorted(kinds), f"order: {kinds}")
    windows = {source["name"]: source for source in sources if source["kind"] == "window"}
    for title in titles:
        check(title in windows, f"“{title}” not listed: {list(windows)}")
        window = windows[title]
        check(window["application"] and window.get("iconWidth", 0) > 0, f"listed as {window}")
    ours = [source for source in sources
            if source["name"] == "Quillory" or source["application"].lower() == "quillory"]
    check(not ours, f"windows of quillory itself listed: {ours}")
    thumbnails = events_named(events, "thumbnail")
    check(sorted(t["sourceID"] for t in thumbnails) == sorted(s["id"] for s in sources),
          "not one thumbnail per source")
    for thumbnail in thumbnails:
        with open(thumbnail["file"], "rb") as file:
            data = file.read()
        check(data[:2] == b"\xff\xd8" and data[-2:] == b"\xff\xd9" and thumbnail.get("width"),
              f"not a JPEG: {thumbnail}")
    arrivals = [t["arrival"] for t in thumbnails]
    gaps = [later - earlier for earlier, later in zip(arrivals, arrivals[1:])]
    check(all(gap >= 0.07 for gap in gaps), f"thumbnails not paced: {gaps}")
    check(not [e for e in drain(app) if e.get("event") == "studio" and e["active"]],
          "listing started a stream")


def scenario_studio_display(s):
    app = start_studio(s)
    # Something that changes on the display, so that pictures keep coming.
    start_window(s, "Studio display content", "640x480+100+100")
    pad, offer, first = share(s)
    check(offer["sourceName"] == "Main display", f"offer: {offer}")
    app.expect(studio_changed(lambda e: e["active"] and e["status"] == "Sharing Main display"))
    pad.expect("frames")
    # Forced IDRs are spaced at least 300 ms apart on the host, and the request rides on the
    # receiver's RTCP timing: half a second of pictures bounds it.
    pad.send("keyframe")
    after = pad.expect("keyframe")["afterFrames"]
    check(after <= 30, f"the IDR came {after} pictures after the request")
    pad.send("configure responsive 1180x820")
    configured = pad.expect("configured")
    check(configured["preset"] == "responsive", f"configured: {configured}")
    size = pad.expect(lambda e: e.get("event") == "size" and
                      (e["width"], e["height"]) == (configured["width"], configured["height"]))
    check(size["width"] <= 1180 and size["height"] <= 820, f"decoded {size} after configure")
    pad.expect("frames")
    pad.send("quit")
    shared = pad.expect("shared")
    check(pad.wait() == 0, "sharing did not exit with 0")
    check(shared["longestGap"] < 1.0, f"pictures stopped for {shared['longestGap']:.2f} s")
    check(shared["frames"] > 20, f"only {shared['frames']} pictures")
    app.expect(studio_changed(lambda e: not e["active"]))


def scenario_studio_window(s):
    app = start_studio(s)
    # Placed over the display's centre, so that a stroke there lands in it either way.
    window = start_window(s, FLAGS, "800x600+560+240")
    log = os.path.join(os.environ["HOME"], "paint.log")
    pad, offer, first = share(s, "--window", FLAGS, "--paint-log", log)
    check(offer["sourceName"].startswith(FLAGS[:8]), f"offer for {offer['sourceName']}")
    app.expect(studio_changed(lambda e: e["active"] and e["status"].startswith("Sharing ")))
    frames = pad.expect(lambda e: e.get("event") == "frames" and e["barcodes"] > 0)
    check("counter" in frames, f"no barcode read: {frames}")
    # The stream shows the window with its frame, and strokes map over that picture.
    place = window_place(window.id)
    frame = window_place(window.id, frame=True)
    # Even sides for the encoder.
    check(abs(offer["width"] - frame["width"]) <= 1 and abs(offer["height"] - frame["height"]) <= 1,
          f"offered {offer['width']}×{offer['height']} for the frame {frame}")
    pad.send("draw 0.5 0.5")
    draw = pad.expect("draw")
    check(draw["studioID"], "the stroke is not tagged with the stream")
    drawn_at(window, draw, lambda x, y: (frame["x"] + x * frame["width"] - place["x"],
                                         frame["y"] + y * frame["height"] - place["y"]))
    # The painter's log up to now, for the latency the summary prints.
    with open(log, "w") as file:
        file.write("\n".join(line for line in list(window.transcript) if '"counter"' in line))
    pad.send("stop")
    # The connection's own latency line, sent every few seconds, shares the event's name.
    latency = pad.expect(lambda e: e.get("event") == "latency" and "frames" in e)
    check(latency["frames"] > 0 and latency["median"] > 0, f"latency: {latency}")
    app.expect(studio_changed(lambda e: not e["active"]))
    pad.expect("context")
    # The stop sends the host's context twice (the main display's mapping, then the input
    # boundary), and the boundary's reset drops input queued before it: a stroke drawn on the
    # first context can be lost whole, so it is drawn again until one lands.
    for attempt in (1, 2, 3):
        pad.send("draw 0.5 0.5")
        draw = pad.expect("draw")
        check(draw["studioID"] is None, f"tagged after stop: {draw}")
        try:
            drawn_at(window, draw, lambda x, y: (x * 1920 - place["x"], y * 1080 - place["y"]),
                     timeout=3.0)
            break
        except Failure:
            check(attempt < 3, "no stroke after the stop landed on the display")
    pad.send("quit")
    check(pad.wait() == 0, "quitting did not exit with 0")


def scenario_studio_moved(s):
    app = start_studio(s)
    window = start_window(s, "Studio moving window", "640x480+700+300")
    pad, _, _ = share(s, "--window", "Studio moving window")
    pad.expect("frames")
    window.send("move 100 100")
    window.expect("ack")
    text = "The shared source changed or is unavailable. Reconnecting the view…"
    failure = pad.expect("failure")
    check(failure["message"] == text, f"failure: {failure}")
    # The host holds the failure while the link lasts; the pad's exit then ends the link.
    app.expect(studio_changed(lambda e: not e["active"] and e["failure"] == text))
    check(pad.wait() == 1, "a failed share did not exit with 1")
    app.expect(lambda e: e.get("event") == "connected" and not e["connected"])
    # The next connection draws on the main display again.
    place = window_place(window.id)
    code, events, _ = s.run_pad("draw", "--strokes", "1")
    check(code == 0, f"draw exited with {code}")
    begin = events_named(events, "stroke")[0]["samples"][0]
    pointer_at(window, "press", begin["x"] * 1920 - place["x"], begin["y"] * 1080 - place["y"])
    check(not [e for e in drain(app) if e.get("event") == "studio" and e["active"]],
          "Studio came back without a request")


def scenario_studio_shaped(s):
    """A capped, lossy network steps the stream down; once lifted, it climbs back to full size."""
    start_studio(s)
    # A large scrolling window keeps the encoder busy enough to feel the cap.
    start_window(s, "Studio shaped content", "1600x900+100+80")
    pad, _, _ = share(s, "--shape", "off")

    def steady(event):
        return event.get("event") == "frames" and event["width"] >= 1280 and event["fps"] >= 20

    full = pad.expect(steady, timeout=30)
    pad.send("shape rate=1.5mbit,loss=2%")
    pad.expect("shaped")
    # Reports come once a second: one more than the five seconds allowed.
    pad.expect(lambda e: e.get("event") == "frames" and
               (e["width"] < full["width"] or e["fps"] < 0.8 * full["fps"]), timeout=6)
    pad.send("shape off")
    pad.expect("shaped")
    pad.expect(lambda e: steady(e) and e["width"] >= full["width"] and
               e["fps"] >= 0.8 * full["fps"], timeout=31)
    pad.send("quit")
    pad.expect("shared")
    check(pad.wait() == 0, "sharing did not exit with 0")


SCENARIOS = {
    "list": scenario_list,
    "pair": scenario_pair,
    "draw": scenario_draw,
    "key": scenario_key,
    "reconnect": scenario_reconnect,
    "stop": scenario_stop,
    "forget": scenario_forget,
    "second-connection": scenario_second_connection,
    "bad-input": scenario_bad_input,
    "avahi-restart": scenario_avahi_restart,
    "app-list": scenario_app_list,
    "app-pair": scenario_app_pair,
    "app-draw": scenario_app_draw,
    "app-commands": scenario_app_commands,
    "app-record": scenario_app_record,
    "app-quit": scenario_app_quit,
    "app-interrupt": scenario_app_interrupt,
    "studio-unanswered": scenario_studio_unanswered,
    "studio-list": scenario_studio_list,
    "studio-display": scenario_studio_display,
    "studio-window": scenario_studio_window,
    "studio-moved": scenario_studio_moved,
    "studio-shaped": scenario_studio_shaped,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pad", required=True)
    parser.add_argument("--host")
    parser.add_argument("--app")
    parser.add_argument("--input")
    parser.add_argument("--target")
    parser.add_argument("--window")
    parser.add_argument("--services", required=True)
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    arguments = parser.parse_args()
    if not os.environ.get("QUILLORY_TEST_SERVICES"):
        print("skipped: needs the test services (run inside scripts/with-test-services)")
        return SKIP
    if not os.environ.get("QUILLORY_E2E_SESSION"):
        # A session of its own: a fresh keyring and fresh folders for both identities.
        screen = ["--screen", STUDIO_SCREEN] if arguments.window else []
        return subprocess.call([arguments.services, *screen, "--", "env",
                                "QUILLORY_E2E_SESSION=1", sys.executable, *sys.argv])
    scenario = Scenario(arguments)
    try:
        SCENARIOS[arguments.scenario](scenario)
    except Skip:
        scenario.close()
        return SKIP
    except Exception as failure:  # a slip in the driver too shows every transcript
        print(f"FAILED {arguments.scenario}: {failure!r}")
        scenario.close()
        scenario.transcripts()
        return 1
    scenario.close()
    if os.environ.get("QUILLORY_E2E_VERBOSE"):
        scenario.transcripts()
    print(f"passed {arguments.scenario}")
    return 0


if __name__ == "__main__":
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    sys.exit(main())

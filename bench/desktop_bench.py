#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The agent on a desktop, measured from outside: its memory with the gtk driver idle, and how
long a right click on its tray icon takes to bring up the popup menu, idle and while a long job
prints on "pdf-file".

A desktop of its own: a private session bus, Xvfb, openbox and tint2's XEmbed tray. Memory is
the agent's peak resident set (VmHWM) a few seconds after its start-up, once with GL kept out
(the default) and once with GDK_GL set empty, which lets GDK probe GL as it would by itself.
Latency is from xdotool's click on the icon to the X server's MapNotify of the menu's window
(xev on the root window), the menu dismissed with Escape between trials.

    bench/desktop_bench.py build/src/wydrukid95 [trials]
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

AGENT = os.path.abspath(sys.argv[1])
TRIALS = int(sys.argv[2]) if len(sys.argv) > 2 else 10
started = []


def start(args, **kw):
    kw.setdefault("stdout", subprocess.DEVNULL)
    kw.setdefault("stderr", subprocess.DEVNULL)
    process = subprocess.Popen(args, **kw)
    started.append(process)
    return process


def wait_for(condition, what, limit=60.0):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise SystemExit(f"waited {limit} s in vain for {what}")


def x(*args):
    return subprocess.run(list(args), check=True, capture_output=True, text=True).stdout


def status(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def tray_icon():
    for line in x("xwininfo", "-root", "-tree").splitlines():
        match = re.search(r'\("wydrukid95" "Wydrukid95"\)\s+(\d+)x(\d+)\+\S+\s+\+(\d+)\+(\d+)',
                          line)
        if match and int(match.group(1)) <= 48 and int(match.group(4)) > 600:
            w, h, left, top = (int(v) for v in match.groups())
            return left + w // 2, top + h // 2
    return None


class Maps:
    """MapNotify and UnmapNotify of the root window's children, as they happen."""

    def __init__(self):
        self.lock = threading.Condition()
        self.events = []
        self.process = start(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"],
                             stdout=subprocess.PIPE, text=True)
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        # xev gives each event on a line of its own, the windows it concerns on the next.
        kind = None
        sized = set()  # windows created larger than GTK's small helper windows
        for line in self.process.stdout:
            if os.environ.get("BENCH_DEBUG"):
                print(f"{time.monotonic():.3f} {line.strip()}", file=sys.stderr)
            if " event," in line:
                kind = line.split(" event,", 1)[0]
                continue
            window = re.search(r"window (0x[0-9a-f]+)", line)
            if kind is None or window is None:
                continue
            if kind == "CreateNotify":
                size = re.search(r"width (\d+), height (\d+)", line)
                if size and int(size.group(1)) > 16 and int(size.group(2)) > 16:
                    sized.add(window.group(1))
            elif kind in ("MapNotify", "UnmapNotify") and window.group(1) in sized:
                with self.lock:
                    self.events.append((kind, time.monotonic()))
                    self.lock.notify_all()
            kind = None

    def next(self, kind, after, limit=30.0):
        with self.lock:
            end = time.monotonic() + limit
            while True:
                for event, at in self.events[after:]:
                    if event == kind:
                        return at
                if not self.lock.wait(end - time.monotonic()):
                    raise SystemExit(f"no {kind} within {limit} s")

    def count(self):
        with self.lock:
            return len(self.events)


class Agent:
    def __init__(self, work, name, env_extra):
        self.dir = os.path.join(work, name)
        self.jobs = os.path.join(self.dir, "jobs")
        os.makedirs(self.jobs)
        os.makedirs(os.path.join(self.dir, "run"), mode=0o700)
        os.makedirs(os.path.join(self.dir, "out"))
        self.record = os.path.join(self.dir, "screen.txt")
        ini = os.path.join(self.dir, "win.ini")
        with open(ini, "w") as f:
            f.write(f"[windows]\ndevice=pdf-file,builtin,{self.dir}/out\n"
                    f"[display]\ndriver=gtk\nrecord={self.record}\n")
        env = dict(os.environ, WYDRUKI_INI=ini, XDG_RUNTIME_DIR=os.path.join(self.dir, "run"),
                   CUPS_SERVER="127.0.0.1:1", **env_extra)
        self.process = start([AGENT, self.jobs + "/"], cwd=self.dir, env=env)

    def started(self):
        try:
            with open(self.record, "rb") as f:
                return b"HIDE Wydruki dla D95" in f.read()
        except FileNotFoundError:
            return False

    def printing(self):
        with open(self.record, "rb") as f:
            tips = [line for line in f.read().splitlines() if line.startswith(b"TRAY MODIFY")]
        return bool(tips) and b"Drukowanie" in tips[-1]

    def keep_printing(self):
        """Gives the agent a long job whenever it has none."""
        if self.printing():
            return
        wait_for(lambda: not os.path.exists(os.path.join(self.jobs, "win95.drk")), "a job to end")
        name = os.path.join(self.jobs, "long.txt")
        with open(name, "wb") as f:
            f.write((b"Linia wydruku " * 9 + b"\r\n") * 60 * 2000)
        with open(os.path.join(self.jobs, "win95.drk"), "wb") as f:
            f.write(name.encode() + b"\r\n")
        wait_for(self.printing, "the job to start")

    def stop(self):
        open(os.path.join(self.jobs, "koniec.drk"), "wb").close()
        self.process.wait(timeout=60)


def memory(work, name, env_extra):
    agent = Agent(work, name, env_extra)
    wait_for(agent.started, "the agent's start-up")
    time.sleep(3)  # idle: the first ticks are over
    figures = (status(agent.process.pid, "VmHWM"), status(agent.process.pid, "VmRSS"))
    agent.stop()
    return figures


def latencies(maps, icon, trials, before=lambda: None):
    out = []
    for _ in range(trials):
        before()
        mark = maps.count()
        clicked = time.monotonic()
        if os.environ.get("BENCH_DEBUG"):
            print(f"{clicked:.3f} click", file=sys.stderr)
        x("xdotool", "mousemove", str(icon[0]), str(icon[1]), "click", "3")
        out.append((maps.next("MapNotify", mark) - clicked) * 1000.0)
        mark = maps.count()
        x("xdotool", "key", "Escape")
        maps.next("UnmapNotify", mark)
        # Two right clicks within the double-click time are a double click, which shows the
        # configuration window.
        time.sleep(1.0)
    return out


def describe(values):
    return (f"median {statistics.median(values):.0f} ms, min {min(values):.0f} ms, "
            f"max {max(values):.0f} ms over {len(values)}")


def main():
    for tool in ("Xvfb", "openbox", "tint2", "xdotool", "xev", "xwininfo", "stdbuf"):
        if shutil.which(tool) is None:
            raise SystemExit(f"{tool} is not installed (scripts/install-deps.sh installs it)")
    work = tempfile.mkdtemp(prefix="wydruki-desktop-bench-")
    try:
        read, write = os.pipe()
        start(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp"], pass_fds=(write,))
        os.close(write)
        os.environ["DISPLAY"] = ":" + os.read(read, 16).decode().strip()
        start(["openbox"])
        start(["tint2"])

        peak, resident = memory(work, "gl-kept-out", {})
        print(f"memory, gtk driver idle, GL kept out: peak {peak:.1f} MB, now {resident:.1f} MB")
        peak, resident = memory(work, "gl-probed", {"GDK_GL": ""})
        print(f"memory, gtk driver idle, GDK_GL='' (GL probed): peak {peak:.1f} MB, "
              f"now {resident:.1f} MB")

        agent = Agent(work, "latency", {})
        wait_for(agent.started, "the agent's start-up")
        icon = wait_for(tray_icon, "the icon in the tray")
        maps = Maps()
        time.sleep(0.5)  # xev has selected its events
        print("right click to popup, idle: " + describe(latencies(maps, icon, TRIALS)))
        during = latencies(maps, icon, TRIALS, agent.keep_printing)
        print("right click to popup, printing on pdf-file: " + describe(during))
        agent.stop()
    finally:
        for process in reversed(started):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    if not os.environ.get("WYDRUKI_BENCH_SESSION"):
        os.environ["WYDRUKI_BENCH_SESSION"] = "1"
        os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable] + sys.argv)
    main()

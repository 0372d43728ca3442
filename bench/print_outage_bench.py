#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""How long the agent can be kept from its ticks while the print system does not answer.

The agent holds a job whose printer is a CUPS queue; the scheduler is either absent (nothing
listens: connections are refused) or silent (connections are taken, nothing is answered, as a
hung scheduler or a half-dead print server does). SIGTERM is sent at a random moment and the
time until the agent has ended is measured from outside: the signal is taken between ticks,
so the longest of these times bounds how long one tick blocks.

    bench/print_outage_bench.py build/src/wydrukid95 [trials]
"""
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time


def silent_scheduler():
    """A port that takes connections and never answers; returns "127.0.0.1:<port>"."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    held = []

    def take():
        while True:
            held.append(listener.accept()[0])

    threading.Thread(target=take, daemon=True).start()
    return "127.0.0.1:%d" % listener.getsockname()[1]


def absent_scheduler():
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()  # nothing listens there now
    return "127.0.0.1:%d" % port


def one_trial(agent, server):
    d = tempfile.mkdtemp(prefix="wydruki-outage-")
    os.makedirs(d + "/jobs")
    os.makedirs(d + "/run", mode=0o700)
    with open(d + "/win.ini", "w") as ini:
        ini.write("[windows]\ndevice=biuro,cups,biuro\n[display]\ndriver=null\n"
                  "record=%s/screen.txt\n" % d)
    with open(d + "/jobs/A.TXT", "w") as text:
        text.write("A\r\n")
    env = dict(os.environ, WYDRUKI_INI=d + "/win.ini", XDG_RUNTIME_DIR=d + "/run",
               CUPS_SERVER=server)
    agent_process = subprocess.Popen([agent, d + "/jobs/"], env=env, stderr=subprocess.DEVNULL)
    record = d + "/screen.txt"
    while not (os.path.exists(record) and "HIDE" in open(record).read()):
        time.sleep(0.02)
    with open(d + "/jobs/win95.drk", "w") as job:
        job.write(d + "/jobs/A.TXT\r\n")
    time.sleep(random.uniform(1.0, 12.0))
    start = time.monotonic()
    agent_process.send_signal(signal.SIGTERM)
    agent_process.wait()
    took = time.monotonic() - start
    shutil.rmtree(d, ignore_errors=True)
    return took, agent_process.returncode


def main():
    agent = sys.argv[1]
    trials = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    for name, server in (("absent", absent_scheduler()), ("silent", silent_scheduler())):
        times = []
        for _ in range(trials):
            took, status = one_trial(agent, server)
            times.append(took)
            if status != 0:
                print("%s: the agent ended with status %d" % (name, status))
        print("%s scheduler: SIGTERM to exit over %d trials: longest %.3f s, median %.3f s"
              % (name, trials, max(times), sorted(times)[len(times) // 2]))


if __name__ == "__main__":
    main()

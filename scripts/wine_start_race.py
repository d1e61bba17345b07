#!/usr/bin/env python3
"""Shows how a `wine` start fails with exit status 1 and no output at all: when
no wineserver listens for the prefix, `wine` starts one itself and waits for it;
if that server dies before it is ready (here: the SIGINT that `wineserver -k`
sends, arriving while the server starts), `wine` exits with the server's status,
1 for a server killed by a signal, and prints nothing. This is the failure
"probe windows failed (1):" with empty output; probe.exe itself only ever
returns 0 or 2 for `windows`.

    scripts/wine_start_race.py [ATTEMPTS]     (after make build; default 5)

Each attempt uses a copy of build/wine/template (made by make test) under
build/scratch/wine_start_race, with no display: probe.exe `windows` then lists
nothing, and only the exit status and the output count. A second part starts
the same probe 20 times with a persistent server already listening, as the
end-to-end harness does: no probe starts a server, and each exits 0.
"""

import glob
import os
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BUILD = ROOT / "build"
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
from harness import copy_prefix  # noqa: E402


def descendants(pid: int):
    found, todo = [], [pid]
    while todo:
        parent = todo.pop()
        try:
            for tid in os.listdir(f"/proc/{parent}/task"):
                with open(f"/proc/{parent}/task/{tid}/children") as f:
                    children = [int(c) for c in f.read().split()]
                found += children
                todo += children
        except OSError:
            pass
    return found


def command_name(pid: int) -> str:
    try:
        with open(f"/proc/{pid}/comm") as f:
            return f.read().strip()
    except OSError:
        return ""


def main() -> int:
    attempts = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    template, probe = BUILD / "wine" / "template", BUILD / "probe.exe"
    if not (template / "system.reg").exists() or not probe.exists():
        print("wine_start_race: run make test first (build/wine/template, build/probe.exe)")
        return 2
    scratch = BUILD / "scratch" / "wine_start_race"
    subprocess.run(["rm", "-rf", str(scratch)], check=True)
    (scratch / "home").mkdir(parents=True)
    prefix = scratch / "prefix"
    copy_prefix(template, prefix)
    env = {k: v for k, v in os.environ.items() if not k.startswith(("WINE", "DISPLAY"))}
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", HOME=str(scratch / "home"))
    out_path = scratch / "probe.out"

    def stop_server():
        for option in ("-k", "-w"):
            subprocess.run(["wineserver", option], env=env, stderr=subprocess.DEVNULL)

    def start_probe(out):
        return subprocess.Popen(["wine", str(probe), "windows"], env=env, cwd=scratch,
                                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)

    print("the probe starts the server itself, which gets SIGINT while it starts:")
    for attempt in range(attempts):
        stop_server()
        with open(out_path, "wb") as out:
            client = start_probe(out)
            hit, deadline = None, time.monotonic() + 10
            while hit is None and client.poll() is None and time.monotonic() < deadline:
                for pid in descendants(client.pid):
                    if command_name(pid).startswith("wineserver"):
                        os.kill(pid, signal.SIGINT)
                        hit = pid
                        break
            status = client.wait()
        print(f"  attempt {attempt + 1}: {'signalled' if hit else 'missed'} server {hit}; "
              f"wine exited {status}, output {out_path.read_bytes()!r}")

    print("a persistent server is up first; the same probe started 20 times against it:")
    stop_server()
    server = subprocess.Popen(["wineserver", "--foreground", "--persistent"], env=env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        st = os.stat(prefix)
        name = f"server-{st.st_dev:x}-{st.st_ino:x}"
        deadline = time.monotonic() + 20
        while not [p for pattern in (f"/tmp/.wine-{os.getuid()}", "/tmp/wine-*")
                   for p in glob.glob(f"{pattern}/{name}/socket")]:
            if time.monotonic() > deadline or server.poll() is not None:
                print("wine_start_race: the persistent server did not come up")
                return 1
            time.sleep(0.02)
        statuses = []
        for _ in range(20):
            with open(out_path, "wb") as out:
                statuses.append(start_probe(out).wait())
        print(f"  exit statuses: {sorted(set(statuses))}")
    finally:
        server.send_signal(signal.SIGINT)
        server.wait()
        subprocess.run(["rm", "-rf", str(scratch)])
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Time to the first frame of a large binary STL: Zelvista side by side with f3d and osgviewer.

Generates height fields of 250k, 1M and 4M triangles as binary STL (kept in --work), then runs the
three programs on the same file, in turns whose order rotates, several times each, and prints
the median with min and max of every program and its peak memory. Run it under an X server:

    xvfb-run -a -s "-screen 0 1280x1024x24" benchmarks/compare.py --build build-bench

scripts/benchmark-compare.sh builds Zelvista without sanitizers, installs the peers and does
that. What is timed, from the process start:
- Zelvista: until its record "The loaded scene is on the screen", which it writes once the
  window has swapped the first frame that shows the loaded scene to the screen;
- f3d: until it has rendered the file off-screen and written the picture (--output), and ended;
- osgviewer: until it has drawn two frames (OSG_RUN_FRAME_COUNT=2) and ended; it reads the STL
  with the options Zelvista's reader uses (no triangle strips, which take osgDB minutes).
All draw at the size of Zelvista's viewport. Peak memory is the resident set's high-water mark;
Zelvista's reader helper is given on its own.
"""
import argparse
import math
import os
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time

SCENE_SHOWN = "The loaded scene is on the screen"


def write_height_field(path, triangles):
    """A wavy grid of triangles, 50 bytes each: normal, three corners, attribute count."""
    columns = int(math.sqrt(triangles / 2.0)) + 1
    record = struct.Struct("<12fH")

    def z(x, y):
        return 0.2 * math.sin(x * 0.1) * math.cos(y * 0.1)

    with open(path + ".part", "wb") as out:
        out.write(b"Zelvista comparison height field".ljust(80, b" "))
        out.write(struct.pack("<I", triangles))
        chunk = bytearray(record.size * 4096)
        filled = 0
        for t in range(triangles):
            cell, upper = divmod(t, 2)
            y, x = divmod(cell, columns)
            corners = ((x, y), (x, y + 1) if upper else (x + 1, y), (x + 1, y + 1))
            p = [(cx, cy, z(cx, cy)) for cx, cy in corners]
            ux, uy, uz = (p[1][i] - p[0][i] for i in range(3))
            vx, vy, vz = (p[2][i] - p[0][i] for i in range(3))
            nx, ny, nz = uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx
            length = math.sqrt(nx * nx + ny * ny + nz * nz) or 1.0
            record.pack_into(chunk, filled * record.size, nx / length, ny / length, nz / length,
                             *p[0], *p[1], *p[2], 0)
            filled += 1
            if filled == 4096:
                out.write(chunk)
                filled = 0
        out.write(chunk[: filled * record.size])
    os.replace(path + ".part", path)


def peak_of(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024.0
    except OSError:
        pass
    return float("nan")


def run_zelvista(program, mesh, data_home, timeout):
    environment = dict(os.environ, XDG_DATA_HOME=data_home, TMP=data_home, QT_QPA_PLATFORM="xcb")
    start = time.monotonic()
    process = subprocess.Popen([program, "--loadFile", mesh], stderr=subprocess.PIPE,
                               stdout=subprocess.DEVNULL, env=environment, text=True)
    shown = None
    helper = float("nan")
    size = None
    window = None
    for line in process.stderr:
        if "Main window shown." in line and window is None:
            window = time.monotonic() - start
        if "reader helper held at most" in line:
            helper = float(line.split("held at most")[1].split()[0])
        if SCENE_SHOWN in line:
            shown = time.monotonic() - start
            if " pixels)" in line:
                size = line.rsplit("(", 1)[1].split(" pixels")[0]
            break
        if time.monotonic() - start > timeout:
            break
    peak = peak_of(process.pid)
    process.send_signal(signal.SIGTERM)
    try:
        process.communicate(timeout=60)
    except subprocess.TimeoutExpired:
        process.kill()
        process.communicate()
    if shown is None:
        sys.exit(f"Zelvista never showed {mesh}")
    return {"time": shown, "peak": peak, "helper": helper, "size": size, "window": window}


def run_peer(arguments, environment, timeout):
    start = time.monotonic()
    pid = os.posix_spawnp(arguments[0], arguments, environment)
    deadline = start + timeout
    while True:
        done, status, usage = os.wait4(pid, os.WNOHANG)
        if done == pid:
            break
        if time.monotonic() > deadline:
            os.kill(pid, signal.SIGKILL)
            os.wait4(pid, 0)
            sys.exit(f"{arguments[0]} took longer than {timeout} s")
        time.sleep(0.002)
    elapsed = time.monotonic() - start
    if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0:
        print(f"{' '.join(arguments)} failed (status {status}); run again", flush=True)
        return None
    return {"time": elapsed, "peak": usage.ru_maxrss / 1024.0}


def outcome_size(results):
    return results["Zelvista"][-1]["size"]


def summary(values, unit="ms", scale=1000.0):
    values = [v * scale for v in values]
    return f"{statistics.median(values):.0f} ({min(values):.0f}-{max(values):.0f}) {unit}"


def load():
    with open("/proc/loadavg") as loadavg:
        return loadavg.read().split()[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build-bench")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="250000,1000000,4000000")
    parser.add_argument("--work", default=os.path.join(tempfile.gettempdir(), "zelvista-compare"))
    parser.add_argument("--timeout", type=float, default=300)
    arguments = parser.parse_args()
    program = os.path.abspath(os.path.join(arguments.build, "bin", "Zelvista"))
    os.makedirs(arguments.work, exist_ok=True)
    sizes = [int(s) for s in arguments.sizes.split(",")]
    meshes = {}
    for triangles in sizes:
        meshes[triangles] = os.path.join(arguments.work, f"height-field-{triangles}.stl")
        if not os.path.exists(meshes[triangles]):
            print(f"generating {triangles} triangles...", flush=True)
            write_height_field(meshes[triangles], triangles)

    print(f"load average at the start: {load()}", flush=True)
    rows = []
    with tempfile.TemporaryDirectory() as data_home, \
            tempfile.TemporaryDirectory() as pictures:
        # Zelvista's viewport size sets the peers' window size. Taken from a second start (the
        # first has no saved layout yet) on the largest mesh: a small one can be drawn before the
        # restored layout has given the viewport its size.
        for _ in range(2):
            size = run_zelvista(program, meshes[sizes[-1]], data_home, arguments.timeout)["size"]
        width, height = (int(v) for v in (size or "800x600").split("x"))
        print(f"viewport: {width}x{height}", flush=True)
        peer_environment = dict(os.environ, OSG_RUN_FRAME_COUNT="2")
        for triangles in sizes:
            mesh = meshes[triangles]
            contenders = {
                "Zelvista": lambda: run_zelvista(program, mesh, data_home, arguments.timeout),
                "f3d": lambda: run_peer(
                    ["f3d", "--output", os.path.join(pictures, "f3d.png"),
                     f"--resolution={width},{height}", mesh], dict(os.environ), arguments.timeout),
                "osgviewer": lambda: run_peer(
                    ["osgviewer", "-O", "noTriStripPolygons", "--window", "0", "0", str(width),
                     str(height), mesh], peer_environment, arguments.timeout),
            }
            names = list(contenders)
            results = {name: [] for name in names}
            for run in range(arguments.runs + 1):
                order = names[run % len(names):] + names[: run % len(names)]
                for name in order:
                    # A peer that crashes (osgviewer now and then does) runs again, at most twice.
                    outcome = None
                    for _ in range(3):
                        outcome = contenders[name]()
                        if outcome:
                            break
                    if not outcome:
                        sys.exit(f"{name} failed three times on {mesh}")
                    if run > 0:  # the first round warms the file cache
                        results[name].append(outcome)
                print(f"{triangles} triangles, round {run}: " + ", ".join(
                    f"{name} {results[name][-1]['time'] * 1000:.0f} ms" for name in names
                    if results[name]) + (f" (Zelvista's viewport {outcome_size(results)})"
                                         if results["Zelvista"] else ""), flush=True)
            rows.append((triangles, results))

    print(f"load average at the end: {load()}")
    sizes_seen = {r["size"] for _, results in rows for r in results["Zelvista"]}
    if sizes_seen != {f"{width}x{height}"}:
        print(f"Zelvista's viewport varied: {sorted(map(str, sizes_seen))}, peers drew {width}x{height}")
    print()
    print("| triangles | Zelvista | f3d | osgviewer | Zelvista / faster peer | Zelvista / f3d |")
    print("|---|---|---|---|---|---|")
    for triangles, results in rows:
        medians = {n: statistics.median(r["time"] for r in results[n]) for n in results}
        faster = min(medians["f3d"], medians["osgviewer"])
        cells = [summary([r["time"] for r in results[n]]) for n in ("Zelvista", "f3d", "osgviewer")]
        print(f"| {triangles} | " + " | ".join(cells) +
              f" | {medians['Zelvista'] / faster:.2f} | {medians['Zelvista'] / medians['f3d']:.2f} |")
    print()
    print("Peak memory, MiB (median of the runs); main window shown (Zelvista, median)")
    print("| triangles | Zelvista | its reader helper | f3d | osgviewer | window shown |")
    print("|---|---|---|---|---|---|")
    for triangles, results in rows:
        def mib(name, key="peak"):
            return f"{statistics.median(r[key] for r in results[name]):.0f}"
        window = statistics.median(r["window"] for r in results["Zelvista"]) * 1000
        print(f"| {triangles} | {mib('Zelvista')} | {mib('Zelvista', 'helper')} | {mib('f3d')} | "
              f"{mib('osgviewer')} | {window:.0f} ms |")


if __name__ == "__main__":
    main()

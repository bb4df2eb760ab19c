#!/usr/bin/env python3
"""Time from process start until Zelvista's main window is shown, over several runs.

Starts build/bin/Zelvista (shipped plug-ins, the sample scene) under the current display, reads
its log on standard error until the record "Main window shown." appears, then ends it with
SIGTERM. Prints each run and the median. Run it under xvfb-run when no display is at hand:

    xvfb-run -a benchmarks/startup.py [--runs 7] [--build build] [scene]
"""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def one_run(program, scene, data_home):
    environment = dict(os.environ, XDG_DATA_HOME=data_home)
    arguments = [program] + (["--loadFile", scene] if scene else [])
    start = time.monotonic()
    process = subprocess.Popen(arguments, stderr=subprocess.PIPE, stdout=subprocess.DEVNULL,
                               env=environment, text=True)
    shown = None
    for line in process.stderr:
        if "Main window shown." in line:
            shown = time.monotonic() - start
            break
    process.send_signal(signal.SIGTERM)
    process.communicate(timeout=60)
    return shown


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--build", default="build")
    parser.add_argument("scene", nargs="?")
    arguments = parser.parse_args()
    program = os.path.join(arguments.build, "bin", "Zelvista")
    scene = arguments.scene or os.path.join(arguments.build, "Media", "samples", "sample.osgt")
    if not os.path.exists(scene):
        scene = None
    times = []
    with tempfile.TemporaryDirectory() as data_home:
        one_run(program, scene, data_home)  # warm the file cache
        for run in range(arguments.runs):
            shown = one_run(program, scene, data_home)
            if shown is None:
                sys.exit("the window was never shown")
            times.append(shown)
            print(f"run {run + 1}: {shown * 1000:.0f} ms")
    print(f"median time to the main window: {statistics.median(times) * 1000:.0f} ms "
          f"({arguments.runs} runs, scene: {scene or 'none'})")


if __name__ == "__main__":
    main()

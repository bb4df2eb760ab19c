#!/usr/bin/env python3
"""Time from process start until Zelvista's main window is shown, over several runs.

Starts build/bin/Zelvista (shipped plug-ins, the sample scene) under the current display, reads
its log on standard error until the record "Main window shown." appears, then ends it with
SIGTERM. Prints each run and the median, with the plug-in check cache warm (the libraries'
verdicts known from the run before), cold (the cache removed before every run), or both. Run it
under xvfb-run when no display is at hand:

    xvfb-run -a benchmarks/startup.py [--runs 5] [--cache both] [--build build] [scene]
"""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

CACHE = os.path.join("Korvath Lab", "Zelvista", "PluginProbe.cache")


def one_run(program, scene, data_home, cold):
    if cold and os.path.exists(os.path.join(data_home, CACHE)):
        os.remove(os.path.join(data_home, CACHE))
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


def median_of_runs(program, scene, runs, cold):
    times = []
    with tempfile.TemporaryDirectory() as data_home:
        one_run(program, scene, data_home, cold)  # warm the file cache (and the check cache)
        for run in range(runs):
            shown = one_run(program, scene, data_home, cold)
            if shown is None:
                sys.exit("the window was never shown")
            times.append(shown)
            print(f"{'cold' if cold else 'warm'} run {run + 1}: {shown * 1000:.0f} ms")
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--build", default="build")
    parser.add_argument("--cache", choices=["warm", "cold", "both"], default="both",
                        help="plug-in check cache kept between runs, removed, or both in turn")
    parser.add_argument("scene", nargs="?")
    arguments = parser.parse_args()
    program = os.path.join(arguments.build, "bin", "Zelvista")
    scene = arguments.scene or os.path.join(arguments.build, "Media", "samples", "sample.osgt")
    if not os.path.exists(scene):
        scene = None
    modes = {"warm": [False], "cold": [True], "both": [False, True]}[arguments.cache]
    for cold in modes:
        median = median_of_runs(program, scene, arguments.runs, cold)
        print(f"median time to the main window, plug-in check cache {'cold' if cold else 'warm'}:"
              f" {median * 1000:.0f} ms ({arguments.runs} runs, scene: {scene or 'none'})")


if __name__ == "__main__":
    main()

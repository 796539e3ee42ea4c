#!/usr/bin/env python3
"""Start-up of Korvastel against a bare Qt main window, measured in one run.

Starts build/bin/korvastel_startup and build/bin/bare_startup alternately on
the offscreen platform; each quits at the first idle moment after its window
was painted. Prints the median wall time and peak resident memory of each and
their ratios (goal: both at most 1.5x the bare program).

    bench/startup/startup_bench.py [--bin DIR] [--runs N]
"""
import argparse
import os
import statistics
import subprocess
import sys
import time


def run_once(program):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    start = time.perf_counter()
    child = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit(f"{program} ended with status {status}")
    return elapsed * 1000.0, usage.ru_maxrss / 1024.0  # ms, MiB


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin", default=os.path.join(here, "..", "..", "build", "bin"))
    parser.add_argument("--runs", type=int, default=15)
    args = parser.parse_args()

    programs = {name: os.path.join(args.bin, name) for name in ("korvastel_startup", "bare_startup")}
    for program in programs.values():
        if not os.access(program, os.X_OK):
            sys.exit(f"missing {program}: build the benchmarks first")
    for program in programs.values():  # warm the file cache for both alike
        run_once(program)

    samples = {name: [] for name in programs}
    for _ in range(args.runs):
        for name, program in programs.items():
            samples[name].append(run_once(program))

    medians = {}
    for name, runs in samples.items():
        medians[name] = (statistics.median(t for t, _ in runs), statistics.median(m for _, m in runs))
        print(f"{name:18} start-up {medians[name][0]:8.1f} ms   peak memory {medians[name][1]:7.1f} MiB")
    (mine_time, mine_mem), (bare_time, bare_mem) = medians["korvastel_startup"], medians["bare_startup"]
    print(f"\nmedians of {args.runs} runs each, offscreen platform")
    print(f"start-up time  korvastel / bare = {mine_time / bare_time:.2f}x   (goal <= 1.5x)")
    print(f"peak memory    korvastel / bare = {mine_mem / bare_mem:.2f}x   (goal <= 1.5x)")


if __name__ == "__main__":
    main()

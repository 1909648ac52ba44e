#!/usr/bin/env python3
"""Figures for choosing the bundled layer's MIME library, side by side with the real QMF.

    bench/compare_parsers.py [--rounds N] LABEL=BUNDLED_BUILD,QMF_BUILD[,ACCEPTED] ...

BUNDLED_BUILD is a Release build of the bundled layer with ZAVEK_BUILD_BENCH=ON; QMF_BUILD a
Release build against the installed QMF with ZAVEK_BUILD_BENCH=ON and
ZAVEK_QMF_CONFORMANCE_SOURCE (build/release-qmf of scripts/test, configured that way). Per
label it gives the conformance suites' totals, the differential check's differences (all of
them, and those differences.txt does not accept), and the large message's load time (median
of the rounds, LF and CRLF) and peak memory growth; the real QMF's own figures come from the
last QMF_BUILD. ACCEPTED is that build's list of accepted differences (by default
conformance/differences.txt). Run by hand on a quiet machine: it is no test.
"""

import glob
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, errors="replace", **kwargs)


def conformance_totals(qmf_build):
    """Passed, failed and skipped test functions over the conformance suites."""
    totals = [0, 0, 0]
    qmf_build = os.path.abspath(qmf_build)
    for directory in sorted(glob.glob(os.path.join(qmf_build, "conformance", "tst_*"))):
        suite = os.path.basename(directory)
        binary = os.path.join(directory, suite)
        workdirs = glob.glob(os.path.join(qmf_build, "conformance", "qmf-source", "*", "tests", suite))
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
                   QMF_DATA=os.path.join(os.path.dirname(binary), "data"))
        output = run([binary, "-o", "-,txt"], cwd=workdirs[0] if workdirs else None, env=env).stdout
        match = re.search(r"Totals: (\d+) passed, (\d+) failed, (\d+) skipped", output)
        if match:
            totals = [t + int(n) for t, n in zip(totals, match.groups())]
        else:
            totals[1] += 1   # a suite that did not finish counts as a failure
    return totals


def differences(qmf_build, accepted):
    """(facts compared, differing facts, differing messages) of the layer's dump against the
    installed QMF's."""
    directory = os.path.join(qmf_build, "conformance")
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, QMF_DATA=work)
        theirs = os.path.join(work, "installed-qmf.txt")
        with open(theirs, "w") as out:
            subprocess.run([os.path.join(directory, "messagedump_qmf"), os.path.join(directory, "corpus.list")],
                           stdout=out, stderr=subprocess.DEVNULL, env=env, check=True)
        output = run([os.path.join(directory, "messagedump_layer"), os.path.join(directory, "corpus.list"),
                      "--against", theirs, "--accepted", accepted], env=env).stdout
    match = re.search(r"(\d+) facts compared, (\d+) unexplained differences", output)
    messages = {line.split(" ", 1)[0] for line in output.splitlines() if line and not line.startswith(" ")
                and " facts compared" not in line and not line.startswith("accepted difference")}
    return (int(match.group(1)), int(match.group(2)), len(messages)) if match else (0, -1, -1)


def load_figures(build, rounds):
    """Median load time (CPU, ms; neighbours on a shared machine move wall time more) per
    line-end kind, and the lowest peak memory growth in kB over three loads (LF)."""
    binary = os.path.join(build, "bench", "bench_messageload")
    times = {0: [], 1: []}
    for _ in range(rounds):
        output = run([binary, "--benchmark_filter=BM_QmfFromRfc2822File", "--benchmark_format=json"]).stdout
        for entry in json.loads(output)["benchmarks"]:
            times[int(entry["name"].rsplit("/", 1)[1])].append(entry["cpu_time"])
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "large.eml")
        subprocess.run([binary, "--write", path], check=True)
        peaks = []
        for _ in range(3):
            output = run([binary, "--peak-memory", path], env=dict(os.environ, QMF_DATA=work)).stdout
            match = re.search(r"growth while loading: (-?\d+) kB", output)
            peaks.append(int(match.group(1)) if match else -1)
    return statistics.median(times[0]), statistics.median(times[1]), min(peaks)


def main(argv):
    rounds = 5
    if len(argv) > 2 and argv[1] == "--rounds":
        rounds = int(argv[2])
        argv = argv[2:]
    default_accepted = os.path.join(SOURCE, "conformance", "differences.txt")
    builds = [(label, *(os.path.abspath(d) for d in (dirs.split(",") + [default_accepted])[:3]))
              for label, dirs in (arg.split("=", 1) for arg in argv[1:])]
    if not builds:
        print(__doc__)
        return 2
    with tempfile.NamedTemporaryFile("w", suffix=".txt") as nothing:
        print(f"{'parser':<12} {'conformance pass/fail/skip':>27} {'differing facts all/unaccepted':>27} "
              f"{'load LF ms':>11} {'load CRLF ms':>13} {'peak growth kB':>15}")
        for label, bundled, qmf, accepted in builds:
            passed, failed, skipped = conformance_totals(qmf)
            facts, every, messages = differences(qmf, nothing.name)
            _, unaccepted, _ = differences(qmf, accepted)
            lf, crlf, peak = load_figures(bundled, rounds)
            print(f"{label:<12} {f'{passed}/{failed}/{skipped}':>27} {f'{every} ({messages} msgs)/{unaccepted} of {facts}':>27} "
                  f"{lf:>11.1f} {crlf:>13.1f} {peak:>15}")
        lf, crlf, peak = load_figures(builds[-1][2], rounds)
        print(f"{'real QMF':<12} {'(reference)':>27} {'(reference)':>27} {lf:>11.1f} {crlf:>13.1f} {peak:>15}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

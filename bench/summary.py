#!/usr/bin/env python3
"""Summary of bench/run: the performance figures against their targets, one summary line.

Reads the results directory bench/run fills: <program>.round<k>.json (one Google Benchmark run
of each program per round), default-heap/bench_manager.round<k>.json (the queue's scaling
again on glibc's default heap), instructions.txt (callgrind) and realqmf.txt (the real stack).

Every timed figure is a ratio of two benchmarks of the same program run. It is worked out for
each round on its own, and the figure reported is the median over the rounds, with the range
of the rounds beside it: a neighbour's burst of work slows some rounds, and the median of a
ratio taken between benchmarks that ran side by side is what such bursts move least.
"""

import glob
import json
import os
import re
import statistics
import sys

SCALE = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def load_rounds(directory):
    """{round: {benchmark name: run}} from every <program>.round<k>.json."""
    rounds = {}
    for path in glob.glob(os.path.join(directory, "*.round*.json")):
        match = re.search(r"\.round(\d+)\.json$", path)
        try:
            with open(path) as f:
                data = json.load(f)
        except (OSError, ValueError):
            continue
        runs = rounds.setdefault(int(match.group(1)), {})
        for b in data.get("benchmarks", []):
            # Extra options may ask for repetitions: their aggregates are not runs.
            if b.get("error_occurred") or b.get("run_type", "iteration") != "iteration":
                continue
            runs.setdefault(b["name"], []).append(b)
    return rounds


class Figures:
    def __init__(self, rounds):
        self.rounds = rounds
        self.line = []

    def per_round(self, compute):
        """compute(value) for each round, value(name, key) reading that round's runs; rounds
        that lack a benchmark are left out."""
        values = []
        for runs in self.rounds.values():
            def value(name, key=None):
                found = runs.get(name)
                if not found:
                    raise LookupError(name)
                # CPU time, as the per-operation counters use: time spent waiting for a core
                # would otherwise count against whichever benchmark happened to wait.
                picked = [b[key] if key else b["cpu_time"] * SCALE[b.get("time_unit", "ns")] for b in found]
                return statistics.median(picked)
            try:
                values.append(compute(value))
            except (LookupError, ZeroDivisionError):
                pass
        return values

    def report(self, label, values, target, ok, text):
        if not values:
            print(f"{label}: missing")
            self.line.append(f"{label} missing")
            return
        middle = statistics.median(values)
        spread = f"{text(min(values))}..{text(max(values))}" if len(values) > 1 else "one round"
        verdict = "ok" if ok(middle) else "FAILED"
        print(f"{label}: {text(middle)}, rounds {spread} (target {target}: {verdict})")
        self.line.append(f"{label} {text(middle)} [{spread}] ({target} {verdict})")


def describe(values, unit, factor):
    if not values:
        return "missing"
    return f"{statistics.median(values) * factor:.2f} {unit} ({min(values) * factor:.2f}..{max(values) * factor:.2f})"


def queue_figures(figures, default_heap):
    per_op = {(kind, n): figures.per_round(lambda v, kind=kind, n=n: v(f"BM_{kind}/{n}", "per_op"))
              for kind in ("EnqueueThenStop", "DescriptionOnly") for n in (2000, 20000)}
    if per_op[("EnqueueThenStop", 2000)]:
        print("  manager per operation, median (range): "
              + ", ".join(f"{describe(per_op[('EnqueueThenStop', n)], 'us', 1e6)} at {n}" for n in (2000, 20000))
              + "; description "
              + ", ".join(f"{describe(per_op[('DescriptionOnly', n)], 'us', 1e6)} at {n}" for n in (2000, 20000)))

    # A cross-check that pairs no rounds: each benchmark's fastest round, the one a neighbour
    # disturbed least.
    fastest = {key: min(values) for key, values in per_op.items() if values}
    if len(fastest) == 4:
        print(f"  from each benchmark's fastest round: scaling {fastest[('EnqueueThenStop', 20000)] / fastest[('EnqueueThenStop', 2000)]:.2f}, "
              "op/description "
              + ", ".join(f"{fastest[('EnqueueThenStop', n)] / fastest[('DescriptionOnly', n)]:.1f}x" for n in (2000, 20000)))

    # The same ratio from the two sizes' own runs, seconds apart in each round: a cross-check
    # that a change of the machine's speed between the runs moves.
    apart = figures.per_round(lambda v: v("BM_EnqueueThenStop/20000", "per_op") / v("BM_EnqueueThenStop/2000", "per_op"))
    if apart:
        print(f"  queue scaling from the sizes' own runs, median (range): {statistics.median(apart):.2f} "
              f"({min(apart):.2f}..{max(apart):.2f})")

    # The queue: seconds per operation for 20,000 against 2,000 queued part retrievals, the two
    # sizes timed side by side.
    figures.report("queue scaling", figures.per_round(lambda v: v("BM_QueueScaling", "scaling")),
                   "<1.2", lambda x: x < 1.2, lambda x: f"{x:.2f}")

    # The same on glibc's default heap, which gives a large queue's memory back between runs:
    # no target, beside it in the summary line so that the reader sees what the kernel adds.
    def faults(run):
        return ", ".join(f"{statistics.median(run.per_round(lambda v, n=n: v('BM_QueueScaling', f'faults_per_op_{n}')) or [0]):.4f} at {n}"
                         for n in (2000, 20000))
    print(f"  page faults per operation on the kept heap: {faults(figures)}")
    scaling = default_heap.per_round(lambda v: v("BM_QueueScaling", "scaling"))
    if scaling:
        middle = statistics.median(scaling)
        print(f"  queue scaling on glibc's default heap: {middle:.2f}, rounds {min(scaling):.2f}..{max(scaling):.2f}; "
              f"page faults per operation {faults(default_heap)}")
        figures.line.append(f"default-heap queue scaling {middle:.2f} [{min(scaling):.2f}..{max(scaling):.2f}] (no target)")

    # The same operations against building and hashing their descriptions; the worse size
    # counts in each round.
    multiples = {n: figures.per_round(lambda v, n=n: v(f"BM_EnqueueThenStop/{n}", "per_op") / v(f"BM_DescriptionOnly/{n}", "per_op"))
                 for n in (2000, 20000)}
    if multiples[2000] and multiples[20000]:
        print("  op/description at 2000 and 20000, median: "
              + ", ".join(f"{statistics.median(multiples[n]):.2f}x" for n in (2000, 20000)))
    figures.report("op/description",
                   figures.per_round(lambda v: max(v(f"BM_EnqueueThenStop/{n}", "per_op") / v(f"BM_DescriptionOnly/{n}", "per_op")
                                                   for n in (2000, 20000))),
                   "<=3", lambda x: x <= 3, lambda x: f"{x:.1f}x")

    # Heap held per queued part retrieval, from the allocator's own count; the worse size
    # counts. No timing, so the rounds agree but for the allocator's own choices.
    sizes = {n: figures.per_round(lambda v, n=n: v(f"BM_QueuedMemory/{n}/iterations:1", "bytes_per_op")) for n in (2000, 20000)}
    if sizes[2000] and sizes[20000]:
        print("  bytes per queued operation at 2000 and 20000: "
              + ", ".join(f"{statistics.median(sizes[n]):.0f}" for n in (2000, 20000)))
    figures.report("queue memory",
                   figures.per_round(lambda v: max(v(f"BM_QueuedMemory/{n}/iterations:1", "bytes_per_op") for n in (2000, 20000))),
                   "<=400 B", lambda x: x <= 400, lambda x: f"{x:.0f} B")


def instruction_figures(directory):
    """Instructions and simulated cache misses per operation, where valgrind ran."""
    counts = {}
    try:
        with open(os.path.join(directory, "instructions.txt")) as f:
            for line in f:
                kind, n, iterations, rest = line.split(" ", 3)
                names, values = rest.split("|")
                events = dict(zip(names.split(), (int(x) for x in values.split())))
                ops = int(iterations) * int(n)
                counts[(kind, int(n))] = {k: events.get(k, 0) / ops for k in ("Ir", "D1mr", "D1mw", "DLmr", "DLmw")}
    except (OSError, ValueError):
        return
    if len(counts) != 4:
        return
    op = {n: counts[("op", n)] for n in (2000, 20000)}
    print("  instructions per operation (callgrind): "
          + ", ".join(f"{op[n]['Ir']:.0f} at {n} ({op[n]['Ir'] / counts[('description', n)]['Ir']:.1f}x description)"
                      for n in (2000, 20000))
          + f"; scaling {op[20000]['Ir'] / op[2000]['Ir']:.2f}")
    print("  cache misses per operation (simulated, 1 MiB last level): "
          + ", ".join(f"L1 {op[n]['D1mr'] + op[n]['D1mw']:.1f} and last level {op[n]['DLmr'] + op[n]['DLmw']:.1f} at {n}"
                      for n in (2000, 20000)))


def other_figures(figures):
    # The resource scan against searching the text once per part.
    perpart = figures.per_round(lambda v: v("BM_MissingResources_PerPartSearch"))
    onepass = figures.per_round(lambda v: v("BM_MissingResources"))
    if perpart and onepass:
        print(f"  resource scan, median (range): per-part search {describe(perpart, 'ms', 1e3)}, "
              f"one pass {describe(onepass, 'ms', 1e3)}")
    figures.report("resource scan",
                   figures.per_round(lambda v: v("BM_MissingResources_PerPartSearch") / v("BM_MissingResources")),
                   ">=50", lambda x: x >= 50, lambda x: f"{x:.0f}x")

    # Message loading speed relative to GMime's own parse (time of GMime / time of ours); the
    # worse of LF and CRLF line ends counts in each round.
    for arg, ends in ((0, "LF"), (1, "CRLF")):
        speeds = figures.per_round(lambda v, arg=arg: v(f"BM_GMimeParse/{arg}") / v(f"BM_QmfFromRfc2822File/{arg}"))
        if speeds:
            print(f"  message load {ends}: speed {statistics.median(speeds):.2f} ({min(speeds):.2f}..{max(speeds):.2f})")
    figures.report("load vs GMime",
                   figures.per_round(lambda v: min(v(f"BM_GMimeParse/{arg}") / v(f"BM_QmfFromRfc2822File/{arg}") for arg in (0, 1))),
                   ">=0.5", lambda x: x >= 0.5, lambda x: f"{x:.2f}")


def real_stack_figures(figures, directory):
    """The manager's overhead on the real stack: bench_realqmf's last line."""
    real = {}
    try:
        with open(os.path.join(directory, "realqmf.txt")) as f:
            for line in f:
                if line.startswith("realqmf "):
                    real = {k: float(v) for k, v in (field.split("=") for field in line.split()[1:])}
    except (OSError, ValueError):
        pass
    if not real and not os.environ.get("QMF_PREFIX"):
        print("real-stack overhead: not run (QMF_PREFIX=<installed QMF> bench/run runs it)")
        figures.line.append("real-stack overhead not run (needs QMF_PREFIX)")
        return
    for kind, label in (("part", "real-stack part retrieval overhead"), ("sync", "real-stack sync overhead")):
        manager, direct = real.get(f"{kind}_manager_ms"), real.get(f"{kind}_direct_ms")
        if not manager or not direct:
            figures.report(label, [], "<=1.05", None, None)
            continue
        # The median over every run of each way; the range is that of the rounds' own ratios.
        value = manager / direct
        low, high = real.get(f"{kind}_round_low"), real.get(f"{kind}_round_high")
        spread = f"{low:.3f}..{high:.3f}" if low is not None and high is not None else "one round"
        verdict = "ok" if value <= 1.05 else "FAILED"
        print(f"{label}: {value:.3f}, rounds {spread} (target <=1.05: {verdict})")
        figures.line.append(f"{label} {value:.3f} [{spread}] (<=1.05 {verdict})")


def main():
    directory = sys.argv[1]
    rounds = load_rounds(directory)
    figures = Figures(rounds)
    queue_figures(figures, Figures(load_rounds(os.path.join(directory, "default-heap"))))
    instruction_figures(directory)
    other_figures(figures)
    real_stack_figures(figures, directory)
    # Timings on a shared machine depend on what else runs: the load goes with the figures.
    load = os.getloadavg()
    print(f"bench summary ({len(rounds)} rounds, medians [range]; load {load[0]:.1f}, {load[1]:.1f} over 5 minutes, "
          f"on {os.cpu_count()} cores): "
          + ", ".join(figures.line))


if __name__ == "__main__":
    main()

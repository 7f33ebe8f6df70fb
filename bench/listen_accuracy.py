#!/usr/bin/env python3
"""Measures LISTEN on a corpus made by make_listen_corpus.py.

Runs `tocksley-cli listen` over every excerpt at device blocks of 256, 512
and 1024 samples and prints, per block size: the share of excerpts whose
adopted tempo at the end lies within 4 % and within 1 % of the truth, the
median and 90th-percentile time to lock (the first time after which the
adopted tempo stays within 4 %; an excerpt that never locks counts as its
whole length), and whether anything was adopted from the excerpts without a
tempo. With -v, one line per excerpt as well.

Usage: listen_accuracy.py CORPUS_DIR TOCKSLEY_CLI [-v]
"""

import csv
import statistics
import subprocess
import sys


def run(cli, path, block):
    out = subprocess.run([cli, "listen", "--in", path, "--block", str(block)],
                         check=True, capture_output=True, text=True).stdout
    rows = list(csv.DictReader(out.splitlines()))
    return [(float(r["time_s"]), int(r["detected_bpm"]), float(r["adopted_bpm"]) if r["adopted_bpm"] else None)
            for r in rows]


def within(value, truth, share):
    return value is not None and abs(value - truth) <= share * truth


def lock_time(rows, truth):
    locked_at = None
    for t, _, adopted in rows:
        if within(adopted, truth, 0.04):
            if locked_at is None:
                locked_at = t
        else:
            locked_at = None
    return locked_at


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p * (len(ordered) - 1))))]


def main():
    corpus, cli = sys.argv[1], sys.argv[2]
    verbose = "-v" in sys.argv
    with open(f"{corpus}/truth.csv") as f:
        truth = [(r["file"], float(r["tempo"])) for r in csv.DictReader(f)]

    for block in (256, 512, 1024):
        within4 = within1 = 0
        locks = []
        adopted_without_tempo = []
        tempo_cases = [(name, t) for name, t in truth if t > 0]
        for name, tempo in truth:
            rows = run(cli, f"{corpus}/{name}", block)
            final = rows[-1][2] if rows else None
            if tempo == 0:
                adopted = [a for _, _, a in rows if a is not None]
                if adopted:
                    adopted_without_tempo.append(name)
                if verbose:
                    print(f"  {block:5d} {name:24s} no tempo: adopted {sorted(set(adopted)) or 'nothing'}")
                continue
            within4 += within(final, tempo, 0.04)
            within1 += within(final, tempo, 0.01)
            lock = lock_time(rows, tempo)
            locks.append(lock if lock is not None else rows[-1][0])
            if verbose:
                print(f"  {block:5d} {name:24s} truth {tempo:6.1f} final {final} lock {lock}")

        n = len(tempo_cases)
        print(f"block {block:4d}: within 4 % {within4}/{n} ({100 * within4 / n:.0f} %), "
              f"within 1 % {within1}/{n} ({100 * within1 / n:.0f} %), "
              f"lock median {statistics.median(locks):.2f} s, 90th percentile {percentile(locks, 0.9):.2f} s, "
              f"adopted without a tempo: {', '.join(adopted_without_tempo) or 'nothing'}")


if __name__ == "__main__":
    main()

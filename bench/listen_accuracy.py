#!/usr/bin/env python3
"""Measures LISTEN on a corpus made by make_listen_corpus.py.

Runs `tocksley-cli listen` over every excerpt at device blocks of 256, 512 and
1024 samples and prints, per block size, one line with the share of excerpts
whose adopted tempo at the end lies within 4 % and within 1 % of the truth, the
median and 90th-percentile time to lock over the excerpts of constant tempo
(the first time after which the adopted tempo stays within 4 % to the end; an
excerpt that never locks counts as its whole length) and whatever was adopted
from the excerpts without a tempo; then
the same shares and lock median for each class of excerpt, and for the tempo
changes the time from the change until the new tempo is held (worst and median).

With --sync, each excerpt is run again with `--sync 1 --out CLICKS.wav`, the
clicks' onsets are found in that track, and for the excerpts read within 4 % it
prints the share of clicks after the first 5 s that fall within 25 ms of a beat
in NAME.beats, with the mean and median signed offset (click minus nearest
beat), over all such excerpts and per class. With -v, one line per excerpt as
well (truth, final adopted tempo, lock time or "never", the sync figures).
--jobs N runs N excerpts at a time (default 2).

Usage: listen_accuracy.py CORPUS_DIR TOCKSLEY_CLI [-v] [--sync] [--jobs N]
Needs Debian's python3-numpy.
"""

import argparse
import csv
import math
import os
import statistics
import struct
import subprocess
import sys
import tempfile
from concurrent.futures import ProcessPoolExecutor

import numpy as np

BLOCKS = (256, 512, 1024)
CLASSES = ("fast", "slow", "mid", "compound", "swing", "sparse", "quiet", "noisy", "loops", "change")
SYNC_FROM_S = 5.0
SYNC_WINDOW_S = 0.025
# A click starts where the track rises above this after at least CLICK_GAP_S below it:
# the click's own decay stays above it until the click ends, and its silence stays below.
CLICK_LEVEL = 1e-3
CLICK_GAP_S = 0.02
# No tempo the metronome can click puts two beats this close: closer onsets mean one click was split.
CLOSEST_CLICKS_S = 0.1


def listen(cli, path, block, extra=()):
    done = subprocess.run([cli, "listen", "--in", path, "--block", str(block), *extra],
                          capture_output=True, text=True)
    if done.returncode:
        raise RuntimeError(f"{cli} listen --in {path} --block {block} failed: {done.stderr.strip()}")
    rows = list(csv.DictReader(done.stdout.splitlines()))
    return [(float(r["time_s"]), float(r["detected_bpm"]), float(r["adopted_bpm"]) if r["adopted_bpm"] else None)
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


def read_float_wav(path):
    """(rate, samples as frames x channels) of a 32-bit float WAV, the CLI's click track."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(f"{path} is no WAV file")
    chunks, at = {}, 12
    while at + 8 <= len(data):
        size = struct.unpack("<I", data[at + 4:at + 8])[0]
        chunks[data[at:at + 4]] = data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    fmt = chunks[b"fmt "]
    tag, channels, rate, _, _, bits = struct.unpack("<HHIIHH", fmt[:16])
    if tag == 0xFFFE:
        tag = struct.unpack("<H", fmt[24:26])[0]
    if tag != 3 or bits != 32:
        raise ValueError(f"{path}: format {tag}, {bits} bits; expected 32-bit float")
    return rate, np.frombuffer(chunks[b"data"], dtype="<f4").reshape(-1, channels)


def click_onsets(samples, rate):
    loud = np.flatnonzero(np.abs(samples).max(axis=1) > CLICK_LEVEL)
    if not len(loud):
        return np.array([])
    starts = loud[np.concatenate(([True], np.diff(loud) > CLICK_GAP_S * rate))] / rate
    if len(starts) > 1 and np.diff(starts).min() < CLOSEST_CLICKS_S:
        print(f"warning: clicks {np.diff(starts).min() * 1000:.0f} ms apart; the onset finder splits clicks",
              file=sys.stderr)
    return starts


def beat_offsets(clicks, beats):
    """Signed distance of each click to its nearest beat."""
    i = np.clip(np.searchsorted(beats, clicks), 1, len(beats) - 1)
    before, after = clicks - beats[i - 1], clicks - beats[i]
    return np.where(np.abs(before) < np.abs(after), before, after)


def measure(job):
    """One excerpt at one block size: final adopted tempo, lock and follow times, sync offsets."""
    cli, corpus, excerpt, block, sync = job
    path = os.path.join(corpus, excerpt["file"])
    rows = listen(cli, path, block)
    tempo = excerpt["tempo"]
    result = {"final": rows[-1][2] if rows else None, "length": rows[-1][0] if rows else 0.0,
              "adopted": sorted({a for _, _, a in rows if a is not None})}
    if tempo:
        result["lock"] = lock_time(rows, tempo)
    if excerpt["change_at"] is not None:
        follow = lock_time([r for r in rows if r[0] >= excerpt["change_at"]], tempo)
        result["follow"] = None if follow is None else follow - excerpt["change_at"]
    if sync and tempo and within(result["final"], tempo, 0.04):
        with tempfile.TemporaryDirectory() as tmp:
            clicks_path = os.path.join(tmp, "clicks.wav")
            listen(cli, path, block, ("--sync", "1", "--out", clicks_path))
            rate, clicks = read_float_wav(clicks_path)
        onsets = click_onsets(clicks, rate)
        beats = np.loadtxt(os.path.join(corpus, excerpt["beats"]), ndmin=1)
        result["offsets"] = beat_offsets(onsets[onsets >= SYNC_FROM_S], beats)
    return result


def read_truth(corpus):
    excerpts = []
    with open(os.path.join(corpus, "truth.csv")) as f:
        for r in csv.DictReader(f):
            tempo = float(r["tempo"])
            excerpts.append({"file": r["file"], "tempo": tempo, "class": r["class"],
                             "change_at": float(r["change_at"]) if r["change_at"] else None,
                             "beats": os.path.splitext(r["file"])[0] + ".beats" if tempo else None})
    return excerpts


def seconds(value):
    return "never" if value is None or math.isinf(value) else f"{value:.2f} s"


def shares(results, excerpts):
    n = len(excerpts)
    within4 = sum(within(r["final"], e["tempo"], 0.04) for r, e in zip(results, excerpts))
    within1 = sum(within(r["final"], e["tempo"], 0.01) for r, e in zip(results, excerpts))
    return (f"within 4 % {within4}/{n} ({100 * within4 / n:.0f} %), "
            f"within 1 % {within1}/{n} ({100 * within1 / n:.0f} %)")


def locks(results):
    return [r["lock"] if r["lock"] is not None else r["length"] for r in results]


def sync_summary(results):
    offsets = [r["offsets"] for r in results if "offsets" in r]
    pooled = np.concatenate(offsets) if offsets else np.array([])
    if not len(pooled):
        return f"no clicks after {SYNC_FROM_S:.0f} s to measure ({len(offsets)} excerpts read within 4 %)"
    near = np.count_nonzero(np.abs(pooled) <= SYNC_WINDOW_S)
    return (f"{100 * near / len(pooled):.0f} % of {len(pooled)} clicks after {SYNC_FROM_S:.0f} s within "
            f"±{SYNC_WINDOW_S * 1000:.0f} ms of a beat ({len(offsets)} excerpts read within 4 %), "
            f"offset mean {1000 * pooled.mean():+.1f} ms, median {1000 * np.median(pooled):+.1f} ms")


def verbose_line(block, excerpt, result):
    name = f"{block:5d} {excerpt['file'][:-4]:28s} {excerpt['class']:9s}"
    if not excerpt["tempo"]:
        return f"  {name} no tempo: adopted {', '.join(f'{a:g}' for a in result['adopted']) or 'nothing'}"
    final = "nothing" if result["final"] is None else f"{result['final']:g}"
    line = f"  {name} truth {excerpt['tempo']:5.1f} final {final:>7s} lock {seconds(result['lock'])}"
    if "follow" in result:
        line += f", follow {seconds(result['follow'])}"
    if "offsets" in result:
        offsets = result["offsets"]
        if len(offsets):
            near = np.count_nonzero(np.abs(offsets) <= SYNC_WINDOW_S)
            line += (f"; sync {near}/{len(offsets)} clicks within ±{SYNC_WINDOW_S * 1000:.0f} ms, "
                     f"offset mean {1000 * offsets.mean():+.1f} ms, median {1000 * np.median(offsets):+.1f} ms")
        else:
            line += f"; sync: no clicks after {SYNC_FROM_S:.0f} s"
    return line


def report(block, excerpts, results, verbose, sync):
    if verbose:
        for excerpt, result in zip(excerpts, results):
            print(verbose_line(block, excerpt, result))
    timed = [(e, r) for e, r in zip(excerpts, results) if e["tempo"]]
    tempo_excerpts, tempo_results = [e for e, _ in timed], [r for _, r in timed]
    adopted_without_tempo = [e["file"] for e, r in zip(excerpts, results) if not e["tempo"] and r["adopted"]]
    # A tempo change is judged by how soon the new tempo is held, not by a lock time.
    all_locks = locks([r for e, r in timed if e["class"] != "change"])
    print(f"block {block:4d}: {shares(tempo_results, tempo_excerpts)}, "
          f"lock median {statistics.median(all_locks):.2f} s, 90th percentile {percentile(all_locks, 0.9):.2f} s, "
          f"adopted without a tempo: {', '.join(adopted_without_tempo) or 'nothing'}")
    for cls in CLASSES:
        members = [(e, r) for e, r in timed if e["class"] == cls]
        if not members:
            continue
        es, rs = [e for e, _ in members], [r for _, r in members]
        line = f"  {cls:9s} {shares(rs, es)}, lock median {statistics.median(locks(rs)):.2f} s"
        if cls == "change":
            follows = [math.inf if r["follow"] is None else r["follow"] for r in rs]
            line += f", follow worst {seconds(max(follows))}, median {seconds(statistics.median(follows))}"
        print(line)
    if sync:
        print(f"  sync      {sync_summary(tempo_results)}")
        for cls in CLASSES:
            members = [r for e, r in timed if e["class"] == cls]
            if members:
                print(f"  sync {cls:9s} {sync_summary(members)}")
    sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser(description="Measures LISTEN on a corpus made by make_listen_corpus.py.")
    parser.add_argument("corpus")
    parser.add_argument("cli")
    parser.add_argument("-v", action="store_true", dest="verbose", help="one line per excerpt")
    parser.add_argument("--sync", action="store_true", help="also measure where the synced clicks fall")
    parser.add_argument("--jobs", type=int, default=2, help="excerpts run at a time")
    args = parser.parse_args()

    excerpts = read_truth(args.corpus)
    jobs = [(args.cli, args.corpus, e, block, args.sync) for block in BLOCKS for e in excerpts]
    with ProcessPoolExecutor(max_workers=args.jobs) as pool:
        results = pool.map(measure, jobs)
        for block in BLOCKS:
            report(block, excerpts, [next(results) for _ in excerpts], args.verbose, args.sync)


if __name__ == "__main__":
    main()

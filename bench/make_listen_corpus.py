#!/usr/bin/env python3
"""Builds the corpus that LISTEN is measured on: excerpts of known tempo and beat.

Classes (the class is a column of truth.csv):
  slow, mid, fast  arrangements written as MIDI by this script in many styles (rock,
                   pop, ballads with 8th and 16th hats, funk, disco, bossa, waltz,
                   reggae one-drop, drum'n'bass, half-time feel, punk, march) and
                   rendered with fluidsynth and the FluidR3 General MIDI soundfont;
  compound         6/8 and 12/8 (slow blues, ballad, rock, jigs); the truth is the
                   dotted quarter a listener taps;
  swing            swung eighths: jazz ride with walking bass, shuffles, swung pop;
  sparse           piano chords on some beats only, arpeggios, soft strings and pads
                   with slow attacks over a quiet plucked or percussive pulse;
  quiet            copies of other excerpts scaled to a peak of -40 and -50 dBFS;
  noisy            copies under pink and under white noise at 10 dB SNR (RMS);
  loops            drum loops mixed from the samples of several hydrogen drumkits;
  change           one step of tempo in the middle; the truth is the tempo at the end;
  none             silence, noise, mains hum: nothing may be adopted.
Every excerpt starts inside the music, not on a downbeat, and lasts 25-30 s; the
sample rate alternates between 44.1 and 48 kHz. Levels given in dBFS are peak levels.
Humanisation moves notes by a few ms; the beat grid stays the truth.

Usage: make_listen_corpus.py OUTPUT_DIR

Writes OUTPUT_DIR/NAME.wav (16-bit PCM), OUTPUT_DIR/NAME.beats for every excerpt with
a tempo (the time in seconds of each beat, one a line: where the grid falls in the
file, fluidsynth's latency and the samples' own lead-in taken into account) and
OUTPUT_DIR/truth.csv with columns file,tempo,class,beat_unit,change_at (tempo 0 for
none; beat_unit quarter or dotted-quarter; change_at in seconds for the change class).
Deterministic: the same script writes the same corpus.

Needs Debian's fluidsynth, fluid-soundfont-gm, hydrogen-drumkits, sox and python3-numpy.
"""

import math
import os
import re
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import wave
import xml.etree.ElementTree as ET
import zlib

import numpy as np

SOUNDFONT = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
DRUMKITS = "/usr/share/hydrogen/data/drumkits"
RATES = (44100, 48000)
TICKS = 960
# Onsets are where a sound first comes within 40 dB of its own peak, for the
# soundfont's notes and the drumkits' samples alike.
ONSET_SHARE = 0.01

KICK, STICK, SNARE, CLAP, HAT, PEDAL, OPEN, CRASH, RIDE = 36, 37, 38, 39, 42, 44, 46, 49, 51
TAMB, SHAKER, LOW_TOM, MID_TOM, HIGH_TOM = 54, 70, 45, 47, 50
DRUM_VELOCITY = {"X": 112, "x": 88, "o": 50}


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, (value & 0x7F) | 0x80)
        value >>= 7
    return bytes(out)


def tempo_event(us_per_quarter):
    return b"\xff\x51\x03" + us_per_quarter.to_bytes(3, "big")


def write_midi(path, events):
    """events: (tick, bytes) pairs, written as one track of a format 0 file."""
    events.sort(key=lambda e: (e[0], e[1][0] & 0xF0 == 0x90))
    track = b""
    last = 0
    for tick, data in events:
        track += var_len(tick - last) + data
        last = tick
    track += var_len(0) + b"\xff\x2f\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, TICKS))
        f.write(b"MTrk" + struct.pack(">I", len(track)) + track)


def note(events, tick, length, channel, pitch, velocity):
    events.append((tick, bytes([0x90 | channel, pitch, velocity])))
    events.append((tick + length, bytes([0x80 | channel, pitch, 0])))


class Score:
    """Notes placed in quarter notes under a tempo map; the same map gives the beats' times.

    The tempo is kept in whole microseconds per quarter, as the MIDI file holds it,
    so that the beat times computed here are the ones fluidsynth plays."""

    def __init__(self, tempi):
        self.tempi = [(q, int(round(60_000_000 / qpm))) for q, qpm in tempi]
        self.events = [(round(q * TICKS), tempo_event(us)) for q, us in self.tempi]

    def us_at(self, q):
        return [us for start, us in self.tempi if start <= q][-1]

    def seconds(self, q):
        t = 0.0
        for i, (start, us) in enumerate(self.tempi):
            end = self.tempi[i + 1][0] if i + 1 < len(self.tempi) else math.inf
            if q <= start:
                break
            t += (min(q, end) - start) * us / 1e6
        return t

    def tick(self, q, shift_ms=0.0):
        return max(0, round((q + shift_ms * 1000 / self.us_at(q)) * TICKS))

    def program(self, channel, program):
        self.events.append((0, bytes([0xC0 | channel, program])))

    def controller(self, q, channel, number, value):
        self.events.append((self.tick(q), bytes([0xB0 | channel, number, value])))

    def note(self, q, length_q, channel, pitch, velocity, shift_ms=0.0):
        start = self.tick(q, shift_ms)
        # Shortened by 25 ms so that a humanised repeat of the same pitch is never cut by this note's end.
        length = max(TICKS // 32, self.tick(q + length_q) - self.tick(q) - round(0.025e6 / self.us_at(q) * TICKS))
        note(self.events, start, length, channel, pitch, max(1, min(127, velocity)))


CHORD = {"maj": (0, 4, 7), "min": (0, 3, 7), "dom7": (0, 4, 7, 10), "maj7": (0, 4, 7, 11),
         "min7": (0, 3, 7, 10), "power": (0, 7, 12)}
PROGRESSIONS = {
    "pop": [(0, "maj"), (7, "maj"), (9, "min"), (5, "maj")],
    "rock": [(0, "power"), (0, "power"), (10, "power"), (5, "power")],
    "minor": [(0, "min"), (8, "maj"), (3, "maj"), (10, "maj")],
    "blues": [(0, "dom7")] * 4 + [(5, "dom7")] * 2 + [(0, "dom7")] * 2 + [(7, "dom7"), (5, "dom7"), (0, "dom7"), (7, "dom7")],
    "jazz": [(2, "min7"), (7, "dom7"), (0, "maj7"), (9, "dom7")],
    "funk": [(0, "dom7"), (0, "dom7"), (5, "dom7"), (0, "dom7")],
    "bossa": [(0, "maj7"), (0, "maj7"), (2, "dom7"), (2, "dom7"), (2, "min7"), (7, "dom7"), (0, "maj7"), (0, "maj7")],
    "folk": [(0, "maj"), (5, "maj"), (0, "maj"), (7, "maj")],
}
PENTATONIC = {"maj": (0, 2, 4, 7, 9), "min": (0, 3, 5, 7, 10)}
BASS_INTERVAL = {"r": 0, "5": 7, "6": 9, "7": 10, "8": 12}

# meter: (quarters per bar, quarters per truth beat, steps per bar). A pattern has one
# character a step and may run over several bars: X accent, x hit, o soft, . rest, - hold.
# Bass: r root, 3 third, 5 fifth, 6 sixth, 7 minor seventh, 8 octave, w walking.
# Parts: (pattern, GM programs to choose from); pad swells in like slow strings.
# kits: GM drum kits to choose from; swing: where an off-beat eighth falls in its beat.
STYLES = {
    "rock": dict(meter=(4, 1, 16), kits=[0, 8, 16], progression="rock", fill=True,
                 drums={KICK: "X.....x.X.x.....", SNARE: "....X.......X...", HAT: "X.x.x.x.X.x.x.x."},
                 bass=("r.....r.r.r.....", [33, 34]), chords=("x-------x-------", [29, 30, 27])),
    "pop": dict(meter=(4, 1, 16), kits=[0, 8], progression="pop", fill=True,
                drums={KICK: "X.......X.x.....", SNARE: "....X.......X...", HAT: "x.x.x.x.x.x.x.x."},
                bass=("r..r..r.r..r..5.", [33, 34, 35]), chords=("x...x...x...x...", [0, 1, 4]),
                melody=("x-.x..x.x---x.x.x---..x.x-.x----", [73, 65, 56, 80])),
    "ballad": dict(meter=(4, 1, 16), kits=[0, 8], progression="pop",
                   drums={KICK: "X.........X.....", STICK: "....x.......x...", HAT: "xoxoxoxoxoxoxoxo"},
                   bass=("r-------5-------", [32, 35, 33]), arp=("a.a.a.a.a.a.a.a.", [0, 1]),
                   pad=("x---------------", [48, 49, 89]), melody=("x---..x.x-------x-x-x---..x-----", [73, 71, 40])),
    "slow16": dict(meter=(4, 1, 16), kits=[0, 25, 16], progression="minor", fill=True,
                   drums={KICK: "X.......X.x.....", SNARE: "....X.......X...", HAT: "xoxoxoxoxoxoxoxo"},
                   bass=("r.......r.5.....", [33, 38, 35]), chords=("x-------x-------", [4, 5, 0]),
                   melody=("x--.x.x-..x-x---x-------..x.x.x-", [65, 66, 81, 73])),
    "soul": dict(meter=(4, 1, 16), kits=[0, 8], progression="jazz",
                 drums={KICK: "X.....x...X.....", SNARE: "....X.......X...", HAT: "x.x.x.x.x.x.x.x."},
                 bass=("r...r.5.r...8.5.", [33, 32]), chords=("x-----x-x-------", [4, 5, 16]),
                 melody=("x--.x.x---..x-..x-x-x-----......", [65, 66, 56])),
    "funk": dict(meter=(4, 1, 16), kits=[0, 8, 16], progression="funk",
                 drums={KICK: "X..x..x...X..x..", SNARE: "....X..o.o..X..o", HAT: "XoxoXoxoXoxoXoxo"},
                 bass=("r..8..r.5.r..8.7", [36, 37, 33]), chords=("..x...x...x.x...", [7, 27, 4])),
    "disco": dict(meter=(4, 1, 16), kits=[0, 24], progression="minor",
                  drums={KICK: "X...X...X...X...", SNARE: "....X.......X...", HAT: "x.o.x.o.x.o.x.o.",
                         OPEN: "..x...x...x...x."},
                  bass=("r.8.r.8.r.8.r.8.", [38, 33, 34]), chords=("x-----x-x-----x-", [48, 50]),
                  arp=("..a...a...a...a.", [0, 4])),
    "bossa": dict(meter=(4, 1, 16), kits=[0, 32], progression="bossa",
                  drums={KICK: "X..xX..xX..xX..x", STICK: "x..x..x...x.x.....x..x..x...x...", SHAKER: "xoxoxoxoxoxoxoxo"},
                  bass=("r-.5----5-.r----", [32, 33]), chords=("x..x..x...x..x..", [24, 26]),
                  melody=("x-.x..x-..x-x---x---x-.x..x-----", [73, 66, 11])),
    "waltz": dict(meter=(3, 1, 12), kits=[0, 32, 40], progression="folk",
                  drums={KICK: "X...........", SNARE: "....o...o...", HAT: "x...x...x..."},
                  bass=("r-------5---", [32, 58, 33]), chords=("....x...x...", [0, 21, 24]),
                  melody=("x-------x-x-x-----x-x-x-", [40, 73, 21])),
    "reggae": dict(meter=(4, 1, 16), kits=[0, 8], progression="minor",
                   drums={KICK: "........X.......", STICK: "........X.......", HAT: "x.x.x.x.x.x.x.x."},
                   bass=("r-.....r5-.r....", [33, 32]), chords=("....x.......x...", [27, 16])),
    "dnb": dict(meter=(4, 1, 16), kits=[24, 25, 0], progression="minor",
                drums={KICK: "X.........X.....X.X.......X.....", SNARE: "....X..o.o..X..o",
                       HAT: "x.x.x.xxx.x.x.xx"},
                bass=("r-------------5-", [38, 39]), pad=("x---------------", [89, 88, 90])),
    "halftime": dict(meter=(4, 1, 16), kits=[0, 16], progression="rock", fill=True,
                     drums={KICK: "X.........x.....", SNARE: "........X.......", HAT: "x.x.x.x.x.x.x.x."},
                     bass=("r...r...5...r...", [34, 33]), chords=("x---x---x---x---", [29, 30, 81])),
    "punk": dict(meter=(4, 1, 16), kits=[16, 0], progression="rock", fill=True,
                 drums={KICK: "X.......X.x.....", SNARE: "....X.......X...", HAT: "x.x.x.x.x.x.x.x."},
                 bass=("r.r.r.r.r.r.r.r.", [34]), chords=("x.x.x.x.x.x.x.x.", [30, 29])),
    "march": dict(meter=(2, 1, 8), kits=[48, 0], progression="folk",
                  drums={KICK: "X...x...", SNARE: "X.xxx.x.", CRASH: "x.......x......."},
                  bass=("r...5...", [58, 57]), chords=("..x...x.", [61, 56, 57]),
                  melody=("x-.xx-x-x---x.x.", [56, 73, 71])),
    "jazz": dict(meter=(4, 1, 12), kits=[32, 40], progression="jazz",
                 drums={RIDE: "x..x.xx..x.x", PEDAL: "...x.....x..", KICK: "o..o..o..o..",
                        SNARE: "........o.......o..o...."},
                 bass=("w..w..w..w..", [32]), chords=("..x.....x.........x..x..", [0, 26, 4]),
                 melody=("x.xx.xx-.-..x-.x.x..x---", [65, 66, 56, 11])),
    "shuffle": dict(meter=(4, 1, 12), kits=[0, 8], progression="blues",
                    drums={KICK: "X.....X.....", SNARE: "...X.....X..", HAT: "x.xx.xx.xx.x"},
                    bass=("r.35.68.65.3", [33, 32, 34]), chords=("...x.....x..", [0, 16, 26])),
    "swingpop": dict(meter=(4, 1, 8), swing=0.62, kits=[0, 40], progression="pop",
                     drums={KICK: "X...X.x.", SNARE: "..X...X.", HAT: "xoxoxoxo"},
                     bass=("r.r.5.5.", [32, 33]), chords=("x..x.x..", [0, 4]),
                     melody=("x-.x..x.x---..x.", [56, 65, 11])),
    "blues128": dict(meter=(6, 1.5, 12), kits=[0, 32], progression="blues",
                     drums={KICK: "X.....X....x", SNARE: "...X.....X..", HAT: "XooXooXooXoo"},
                     bass=("r..3..5..6..", [32, 33]), chords=("xooxooxooxoo", [0, 16]),
                     melody=("x--..x.x-...x-.x--.....x", [65, 66, 29])),
    "ballad68": dict(meter=(3, 1.5, 6), kits=[0, 40], progression="pop",
                     drums={KICK: "X.....", SNARE: "...X..", HAT: "Xooxoo"},
                     bass=("r-.5-.", [32, 35]), arp=("aaaaaa", [0, 46, 24]), pad=("x-----", [48, 49])),
    "rock68": dict(meter=(3, 1.5, 6), kits=[0, 16], progression="minor",
                   drums={KICK: "X..x..", SNARE: "...X..", HAT: "x.xx.x"},
                   bass=("r.rr.r", [33, 34]), chords=("x--x--", [29, 30, 16])),
    "jig": dict(meter=(3, 1.5, 6), kits=[0], progression="folk",
                drums={KICK: "X..x..", TAMB: "x.xx.x"},
                bass=("r..5..", [32]), chords=("x.xx.x", [25, 24]), melody=("xxxxxx", [110, 73, 78])),
    "tarantella": dict(meter=(3, 1.5, 6), kits=[0], progression="minor",
                       drums={KICK: "X..X..", TAMB: "xxxxxx"},
                       bass=("r..5..", [32, 58]), chords=(".xx.xx", [21, 24]), melody=("xxx.xx", [21, 40, 71])),
    "sparse_piano": dict(meter=(4, 1, 16), kits=[0], progression="minor", drums={},
                         bass=("r-------........", [0]), chords=("x-------....x---x-----------x---", [0, 1])),
    "piano_arp": dict(meter=(4, 1, 8), kits=[0], progression="pop", drums={},
                      bass=("r-------", [0, 4]), arp=("aaaaaaaa", [0, 4, 46])),
    "strings_pizz": dict(meter=(4, 1, 8), kits=[0], progression="minor", drums={}, soft=True,
                         bass=("r.5.r.5.", [45]), pad=("x-------", [49, 48, 50])),
    "pad_shaker": dict(meter=(4, 1, 16), kits=[0], progression="pop", soft=True,
                       drums={SHAKER: "x.......x......."},
                       bass=("r...r...5...r...", [32, 45]), pad=("x---------------", [88, 89, 91, 52])),
    "strings_harp": dict(meter=(4, 1, 4), kits=[0], progression="folk", drums={}, soft=True,
                         arp=("aaaa", [46]), pad=("x---", [49, 48])),
}


def hits(pattern, bar, steps):
    """(step, character, length in steps) of the bar's part of a pattern that may span several bars."""
    assert len(pattern) % steps == 0, pattern
    start = (bar % (len(pattern) // steps)) * steps
    part = pattern[start:start + steps]
    out = []
    for i, c in enumerate(part):
        if c not in ".-":
            length = 1
            while i + length < steps and part[i + length] == "-":
                length += 1
            out.append((i, c, length))
    return out


def arrange(style, score, bars, rng):
    bar_q, _, steps = style["meter"]
    step_q = bar_q / steps
    steps_per_beat = steps // bar_q
    swing = style.get("swing")

    def position(bar, step):
        q = bar * bar_q + step * step_q
        if swing and steps_per_beat == 2 and step % 2:
            q += swing - 0.5
        return q

    def human():
        return max(-8.0, min(8.0, rng.gauss(0, 3)))

    key = rng.randint(-5, 6)
    progression = PROGRESSIONS[style["progression"]]
    mode = "min" if progression[0][1] == "min" else "maj"
    soft = 0.55 if style.get("soft") else 1.0
    channels = {"bass": 1, "chords": 2, "arp": 3, "melody": 4, "pad": 5}
    level = {}
    score.program(9, rng.choice(style["kits"]))
    for part, channel in channels.items():
        if part in style:
            score.program(channel, rng.choice(style[part][1]))
            level[part] = rng.uniform(0.7, 1.0) * soft
    drum_level = rng.uniform(0.75, 1.0) * soft
    scale = sorted(p for p in range(62, 88) if (p - key) % 12 in PENTATONIC[mode])
    melody_index = len(scale) // 2
    arp_index = 0

    for bar in range(bars):
        root, quality = progression[bar % len(progression)]
        next_root = progression[(bar + 1) % len(progression)][0]
        pc = (key + root) % 12
        bass_base = 28 + (pc - 4) % 12
        chord_base = 55 + (pc - 7) % 12
        chord = [chord_base + i for i in CHORD[quality]]
        fill = style.get("fill") and bar % 4 == 3

        for pitch, pattern in style["drums"].items():
            for step, c, _ in hits(pattern, bar, steps):
                if fill and pitch in (SNARE, KICK) and step >= steps - steps_per_beat:
                    continue
                velocity = DRUM_VELOCITY[c] * drum_level + rng.randint(-6, 6)
                score.note(position(bar, step), step_q, 9, pitch, round(velocity), human())
        if fill:
            for i, tom in enumerate((HIGH_TOM, MID_TOM, LOW_TOM, LOW_TOM)[:steps_per_beat]):
                score.note(position(bar, steps - steps_per_beat + i), step_q, 9, tom,
                           round(95 * drum_level) + rng.randint(-6, 6), human())
        if style.get("fill") and bar % 4 == 0 and bar:
            score.note(bar * bar_q, 1, 9, CRASH, round(100 * drum_level), human())

        if "bass" in style:
            walk = hits(style["bass"][0], bar, steps)
            for n, (step, c, length) in enumerate(walk):
                if c == "w":
                    if n == 0:
                        interval = 0
                    elif n == len(walk) - 1:
                        interval = (next_root - root) % 12 + rng.choice((-1, 1))
                    else:
                        interval = rng.choice(CHORD[quality][1:] + (2, 5))
                elif c == "3":
                    interval = CHORD[quality][1]
                else:
                    interval = BASS_INTERVAL[c]
                score.note(position(bar, step), length * step_q, 1, bass_base + interval,
                           round(95 * level["bass"]) + rng.randint(-6, 6), human())

        if "chords" in style:
            for step, c, length in hits(style["chords"][0], bar, steps):
                shift = human()
                for p in chord:
                    score.note(position(bar, step), length * step_q, 2, p,
                               round(DRUM_VELOCITY[c] * 0.8 * level["chords"]) + rng.randint(-5, 5), shift)

        if "arp" in style:
            tones = chord + [p + 12 for p in chord]
            cycle = tones + tones[-2:0:-1]
            for step, c, length in hits(style["arp"][0], bar, steps):
                score.note(position(bar, step), max(length * step_q, 1), 3, cycle[arp_index % len(cycle)],
                           round(75 * level["arp"]) + rng.randint(-6, 6), human())
                arp_index += 1

        if "pad" in style:
            for step, c, length in hits(style["pad"][0], bar, steps):
                q = position(bar, step)
                for p in [chord_base - 12] + chord:
                    score.note(q, length * step_q, 5, p, round(70 * level["pad"]))
                # The expression ramp gives the strings a slow attack; the beat must come from the pulse beneath.
                for i in range(9):
                    score.controller(q + i * 0.125, 5, 11, 30 + i * 11)

        if "melody" in style:
            for step, c, length in hits(style["melody"][0], bar, steps):
                landing = [i for i, p in enumerate(scale) if (p - chord[0]) % 12 in CHORD[quality]]
                if step == 0 and landing:
                    melody_index = min(landing, key=lambda i: abs(i - melody_index))
                else:
                    melody_index = max(0, min(len(scale) - 1, melody_index + rng.choice((-2, -1, -1, 1, 1, 2))))
                score.note(position(bar, step), length * step_q, 4, scale[melody_index],
                           round(88 * level["melody"]) + rng.randint(-8, 8), human())


def onset(samples):
    magnitude = np.abs(samples) if samples.ndim == 1 else np.abs(samples).max(axis=1)
    return int(np.argmax(magnitude > ONSET_SHARE * magnitude.max()))


def render(score, rate, workdir):
    midi = os.path.join(workdir, "piece.mid")
    raw = os.path.join(workdir, "piece.raw")
    write_midi(midi, list(score.events))
    subprocess.run(["fluidsynth", "-ni", "-q", "-g", "0.5", "-r", str(rate), "-O", "float", "-T", "raw",
                    "-F", raw, SOUNDFONT, midi], check=True, stdout=subprocess.DEVNULL)
    return np.fromfile(raw, dtype="<f4").reshape(-1, 2).astype(np.float64)


def fluidsynth_latency(rate, workdir):
    """Seconds from a note's time in the MIDI file to its onset in fluidsynth's rendering."""
    score = Score([(0, 60)])
    score.program(9, 0)
    score.note(1, 0.25, 9, STICK, 110)
    latency = onset(render(score, rate, workdir)) / rate - 1.0
    if not 0 <= latency < 0.05:
        raise RuntimeError(f"fluidsynth puts a note {latency * 1000:.1f} ms from its time")
    return latency


def write_wav(path, rate, samples):
    pcm = np.clip(np.round(samples * 32767), -32767, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(1 if samples.ndim == 1 else samples.shape[1])
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(pcm.tobytes())


def read_wav(path):
    with wave.open(path, "rb") as r:
        rate, channels = r.getframerate(), r.getnchannels()
        data = np.frombuffer(r.readframes(r.getnframes()), dtype="<i2") / 32767.0
    return rate, data.reshape(-1, channels) if channels > 1 else data


def write_beats(path, times):
    with open(path, "w") as f:
        f.writelines(f"{t:.6f}\n" for t in times)


def to_peak(samples, dbfs):
    return samples * (10 ** (dbfs / 20) / np.abs(samples).max())


def shape_ends(samples, rate):
    """Short fades so that the cut into the music is no click of its own."""
    n = int(0.01 * rate)
    ramp = np.linspace(0, 1, n)
    if samples.ndim > 1:
        ramp = ramp[:, None]
    samples[:n] *= ramp
    samples[-n:] *= ramp[::-1]
    return samples


def pink(shape, rng):
    """Noise whose power falls 3 dB an octave, made by shaping white noise's spectrum; unit RMS."""
    length = shape[0]
    spectrum = np.fft.rfft(rng.standard_normal(shape), axis=0)
    f = np.arange(spectrum.shape[0], dtype=np.float64)
    f[0] = 1
    weights = 1 / np.sqrt(f)
    weights[0] = 0
    spectrum *= weights[:, None] if len(shape) > 1 else weights
    noise = np.fft.irfft(spectrum, n=length, axis=0)
    return noise / np.sqrt(np.mean(noise ** 2))


def white(shape, rng):
    return rng.standard_normal(shape)


def seed(name):
    return zlib.crc32(name.encode())


def rendered_excerpt(out, name, style_name, tempi, change_bar, rate, latency, workdir):
    """tempi: tempo of the truth beat, one or two (the second from change_bar on).
    Returns (tempo at the end, beat unit, change_at or None)."""
    style = STYLES[style_name]
    rng = random.Random(seed(name))
    bar_q, beat_q, _ = style["meter"]
    duration = round(rng.uniform(25, 30), 1)
    skip = rng.uniform(0.3, 2.5)
    tempo_map = [(0, tempi[0] * beat_q)] + ([(change_bar * bar_q, tempi[1] * beat_q)] if len(tempi) > 1 else [])
    score = Score(tempo_map)
    bars = 1
    while score.seconds(bars * bar_q) < skip + duration + 1:
        bars += 1
    arrange(style, score, bars, rng)
    audio = render(score, rate, workdir)
    start = round(skip * rate)
    audio = shape_ends(audio[start:start + round(duration * rate)].copy(), rate)
    if len(audio) != round(duration * rate):
        raise RuntimeError(f"{name}: fluidsynth stopped {duration - len(audio) / rate:.2f} s early")
    write_wav(os.path.join(out, name + ".wav"), rate, to_peak(audio, -rng.uniform(1, 6)))
    beats, k = [], 0
    while (t := score.seconds(k * beat_q) + latency - skip) < duration:
        if t >= 0:
            beats.append(t)
        k += 1
    write_beats(os.path.join(out, name + ".beats"), beats)
    change_at = score.seconds(change_bar * bar_q) + latency - skip if len(tempi) > 1 else None
    return tempi[-1], "dotted-quarter" if beat_q == 1.5 else "quarter", change_at


ROLES = {
    "kick": lambda n: "kick" in n or "bassdrum" in n or "bass drum" in n,
    "snare": lambda n: "snare" in n and not re.search(r"roll|rim", n),
    "clap": lambda n: "clap" in n,
    "hat": lambda n: ("hat" in n or "hh" in n) and re.search(r"\b(closed|cl)\b", n),
    "open": lambda n: ("hat" in n or "hh" in n) and re.search(r"\b(open|opened|op)\b", n),
    "ride": lambda n: "ride" in n and not re.search(r"bell|cup|crash", n),
    "tom": lambda n: "tom" in n,
}


def load_kit(kit, roles, rate):
    """For each role, the kit's first instrument that fits it: (volume, [(min, max, samples)]),
    every sample resampled to rate, mono, and trimmed to its onset."""
    folder = os.path.join(DRUMKITS, kit)
    root = ET.parse(os.path.join(folder, "drumkit.xml")).getroot()
    ns = root.tag[:root.tag.index("}") + 1] if root.tag.startswith("{") else ""
    found = {}
    for instrument in root.iter(ns + "instrument"):
        name = (instrument.findtext(ns + "name") or "").lower()
        layers = [(float(layer.findtext(ns + "min")), float(layer.findtext(ns + "max")), layer.findtext(ns + "filename"))
                  for layer in instrument.findall(ns + "layer")]
        if not layers and instrument.findtext(ns + "filename"):
            layers = [(0.0, 1.0, instrument.findtext(ns + "filename"))]
        for role in roles:
            if role not in found and layers and ROLES[role](name):
                found[role] = (float(instrument.findtext(ns + "volume") or 1), layers)
    missing = set(roles) - set(found)
    if missing:
        raise RuntimeError(f"{kit} has no {', '.join(sorted(missing))}")
    kit_samples = {}
    for role, (volume, layers) in found.items():
        loaded = []
        for low, high, filename in layers:
            decoded = subprocess.run(["sox", "-V1", os.path.join(folder, filename), "-t", "raw", "-e", "floating-point",
                                      "-b", "32", "-c", "1", "-r", str(rate), "-"],
                                     check=True, capture_output=True).stdout
            samples = np.frombuffer(decoded, dtype="<f4").astype(np.float64)
            loaded.append((low, high, samples[onset(samples):]))
        kit_samples[role] = (volume, loaded)
    return kit_samples


def layer_for(layers, velocity):
    return min(layers, key=lambda layer: 0 if layer[0] <= velocity <= layer[1] else
               min(abs(velocity - layer[0]), abs(velocity - layer[1])))[2]


LOOP_VELOCITY = {"X": 1.0, "x": 0.75, "o": 0.4}


def loop_excerpt(out, name, kit, bpm, meter, patterns, rate):
    """meter: (quarters per bar, steps per bar). Drum hits are placed sample-exactly at
    the grid, humanised by a few ms; their trimmed samples start sounding right there."""
    rng = random.Random(seed(name))
    bar_q, steps = meter
    duration = round(rng.uniform(25, 30), 1)
    skip = rng.uniform(0.3, 2.5)
    samples = load_kit(kit, patterns, rate)
    mix = np.zeros(round(duration * rate))
    beat = 60.0 / bpm
    bar = 0
    while bar * bar_q * beat - skip < duration:
        for role, pattern in patterns.items():
            volume, layers = samples[role]
            for step, c, _ in hits(pattern, bar, steps):
                velocity = max(0.05, min(1.0, LOOP_VELOCITY[c] + rng.uniform(-0.05, 0.05)))
                t = (bar * bar_q + step * bar_q / steps) * beat - skip + max(-0.008, min(0.008, rng.gauss(0, 0.003)))
                at = round(t * rate)
                sound = layer_for(layers, velocity) * velocity * volume
                if at < 0:
                    sound, at = sound[-at:], 0
                end = min(len(mix), at + len(sound))
                if end > at:
                    mix[at:end] += sound[:end - at]
        bar += 1
    write_wav(os.path.join(out, name + ".wav"), rate, to_peak(shape_ends(mix, rate), -rng.uniform(1, 6)))
    beats = [k * beat - skip for k in range(int((duration + skip) / beat) + 1)]
    write_beats(os.path.join(out, name + ".beats"), [t for t in beats if 0 <= t < duration])


def tempo_free(out, name, kind, rate):
    rng = np.random.default_rng(seed(name))
    n = round(rate * 25.0)
    t = np.arange(n) / rate
    if kind == "silence":
        signal = np.zeros(n)
    elif kind.startswith("hum"):
        f0 = int(kind[3:5])
        signal = sum(a * np.sin(2 * np.pi * f0 * h * t + h) for h, a in
                     enumerate((1.0, 0.5, 0.35, 0.25, 0.15, 0.1, 0.07), start=1))
        signal = to_peak(signal, -12)
        if kind.endswith("noise"):
            noise = (pink if f0 == 50 else white)((n,), rng)
            signal = signal + noise * np.sqrt(np.mean(signal ** 2)) / 10
    else:
        colour, level = kind.split("@")
        signal = to_peak((pink if colour == "pink" else white)((n,), rng), float(level))
    write_wav(os.path.join(out, name + ".wav"), rate, signal)


def quiet_copy(out, name, source, dbfs):
    rate, audio = read_wav(os.path.join(out, source + ".wav"))
    write_wav(os.path.join(out, name + ".wav"), rate, to_peak(audio, dbfs))
    shutil.copyfile(os.path.join(out, source + ".beats"), os.path.join(out, name + ".beats"))


def noisy_copy(out, name, source, colour, snr_db):
    rate, audio = read_wav(os.path.join(out, source + ".wav"))
    noise = (pink if colour == "pink" else white)(audio.shape, np.random.default_rng(seed(name)))
    mix = audio + noise * np.sqrt(np.mean(audio ** 2)) / 10 ** (snr_db / 20)
    write_wav(os.path.join(out, name + ".wav"), rate, to_peak(mix, -1) if np.abs(mix).max() > 0.89 else mix)
    shutil.copyfile(os.path.join(out, source + ".beats"), os.path.join(out, name + ".beats"))


# name, class, style, tempo of the truth beat (a second one after a change at that bar)
RENDERED = [
    ("ballad_56", "slow", "ballad", (56,), None),
    ("slow16_60", "slow", "slow16", (60,), None),
    ("soul_64", "slow", "soul", (64,), None),
    ("waltz_72", "slow", "waltz", (72,), None),
    ("reggae_76", "slow", "reggae", (76,), None),
    ("slow16_80", "slow", "slow16", (80,), None),
    ("rock_84", "mid", "rock", (84,), None),
    ("funk_96", "mid", "funk", (96,), None),
    ("pop_102", "mid", "pop", (102,), None),
    ("march_108", "mid", "march", (108,), None),
    ("disco_116", "mid", "disco", (116,), None),
    ("rock_120", "mid", "rock", (120,), None),
    ("bossa_126", "mid", "bossa", (126,), None),
    ("waltz_132", "mid", "waltz", (132,), None),
    ("rock_140", "fast", "rock", (140,), None),
    ("halftime_148", "fast", "halftime", (148,), None),
    ("pop_156", "fast", "pop", (156,), None),
    ("punk_168", "fast", "punk", (168,), None),
    ("dnb_174", "fast", "dnb", (174,), None),
    ("halftime_180", "fast", "halftime", (180,), None),
    ("march_188", "fast", "march", (188,), None),
    ("rock_200", "fast", "rock", (200,), None),
    ("blues128_50", "compound", "blues128", (50,), None),
    ("ballad68_63", "compound", "ballad68", (63,), None),
    ("rock68_84", "compound", "rock68", (84,), None),
    ("jig_116", "compound", "jig", (116,), None),
    ("tarantella_132", "compound", "tarantella", (132,), None),
    ("shuffle_96", "swing", "shuffle", (96,), None),
    ("swingpop_110", "swing", "swingpop", (110,), None),
    ("jazz_120", "swing", "jazz", (120,), None),
    ("shuffle_144", "swing", "shuffle", (144,), None),
    ("jazz_168", "swing", "jazz", (168,), None),
    ("jazz_200", "swing", "jazz", (200,), None),
    ("sparse_piano_72", "sparse", "sparse_piano", (72,), None),
    ("piano_arp_96", "sparse", "piano_arp", (96,), None),
    ("strings_pizz_66", "sparse", "strings_pizz", (66,), None),
    ("pad_shaker_100", "sparse", "pad_shaker", (100,), None),
    ("strings_harp_84", "sparse", "strings_harp", (84,), None),
    ("change_100_to_130", "change", "pop", (100, 130), 6),
    ("change_140_to_100", "change", "rock", (140, 100), 8),
    ("change_90_to_120", "change", "funk", (90, 120), 5),
]

# name, kit, tempo, (quarters per bar, steps per bar), role patterns
LOOPS = [
    # Kick and hat accents every three sixteenths: the pattern that reads as 4:3.
    ("loop_syncopated_120", "The Black Pearl 1.0", 120, (4, 16),
     {"kick": "X..x..x...x..x..", "snare": "....X.......X...", "hat": "XooXooXooXooXoXo"}),
    ("loop_boombap_72", "BJA_Pacific", 72, (4, 16),
     {"kick": "X.......X.x.....X......xX.x.....", "snare": "....X.......X...", "hat": "xoxoxoxoxoxoxoxo"}),
    ("loop_break_94", "VariBreaks", 94, (4, 16),
     {"kick": "X.X.......XX....X.X.......X.....", "snare": "....X..o.o..X..o.o..X..o.o..X..o", "hat": "x.x.x.x.x.x.x.x."}),
    ("loop_waltz_100", "ColomboAcousticDrumkit", 100, (3, 12),
     {"kick": "X.......x...", "snare": "....X...X...", "hat": "x.x.x.x.x.x."}),
    ("loop_house_124", "HardElectro1", 124, (4, 16),
     {"kick": "X...X...X...X...", "clap": "....X.......X...", "open": "..x...x...x...x.", "hat": "xo.oxo.oxo.oxo.o"}),
    ("loop_trap_140", "ElectricEmpireKit", 140, (4, 16),
     {"kick": "X......x..X.....X.....x...x..x..", "clap": "........X.......",
      "hat": "x.x.x.x.x.x.xxxxx.x.x.x.xxx.x.x."}),
    ("loop_break_172", "Millo_MultiLayered2", 172, (4, 16),
     {"kick": "X.........X.....X.X.......X.....", "snare": "....X..o.o..X...", "hat": "x.x.x.x.x.x.x.x.",
      "ride": "x...x...x...x..."}),
    ("loop_rock_180", "ForzeeStereo", 180, (4, 16),
     {"kick": "X.......X.X.....", "snare": "....X.......X...", "hat": "x.x.x.x.x.x.x.x.",
      "tom": "." * 60 + "xxxx"}),
]

TEMPO_FREE = [
    ("silence", "silence"), ("white_-10", "white@-10"), ("white_-60", "white@-60"), ("pink_-20", "pink@-20"),
    ("hum50_-12", "hum50"), ("hum60_-12", "hum60"), ("hum50_pink", "hum50+noise"), ("hum60_white", "hum60+noise"),
]

# name, source, level in dBFS
QUIET = [
    ("quiet40_rock_120", "rock_120", -40), ("quiet40_funk_96", "funk_96", -40),
    ("quiet40_strings_pizz_66", "strings_pizz_66", -40), ("quiet40_jazz_120", "jazz_120", -40),
    ("quiet50_slow16_60", "slow16_60", -50), ("quiet50_pop_156", "pop_156", -50),
    ("quiet50_loop_house_124", "loop_house_124", -50),
]

# name, source, noise colour
NOISY = [
    ("pink10_pop_102", "pop_102", "pink"), ("pink10_jazz_168", "jazz_168", "pink"),
    ("pink10_loop_break_94", "loop_break_94", "pink"), ("white10_disco_116", "disco_116", "white"),
    ("white10_ballad68_63", "ballad68_63", "white"), ("white10_dnb_174", "dnb_174", "white"),
]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    truth = {}
    with tempfile.TemporaryDirectory() as workdir:
        latency = {rate: fluidsynth_latency(rate, workdir) for rate in RATES}
        n = 0
        for name, cls, style, tempi, change_bar in RENDERED:
            rate = RATES[n % 2]
            tempo, unit, change_at = rendered_excerpt(out, name, style, tempi, change_bar, rate, latency[rate], workdir)
            truth[name] = (tempo, cls, unit, change_at)
            n += 1
        for name, kit, bpm, meter, patterns in LOOPS:
            loop_excerpt(out, name, kit, bpm, meter, patterns, RATES[n % 2])
            truth[name] = (bpm, "loops", "quarter", None)
            n += 1
        for name, kind in TEMPO_FREE:
            tempo_free(out, name, kind, RATES[n % 2])
            truth[name] = (0, "none", "", None)
            n += 1
    for name, source, dbfs in QUIET:
        quiet_copy(out, name, source, dbfs)
        truth[name] = (truth[source][0], "quiet", truth[source][2], None)
    for name, source, colour in NOISY:
        noisy_copy(out, name, source, colour, 10)
        truth[name] = (truth[source][0], "noisy", truth[source][2], None)

    with open(os.path.join(out, "truth.csv"), "w") as f:
        f.write("file,tempo,class,beat_unit,change_at\n")
        for name, (tempo, cls, unit, change_at) in truth.items():
            f.write(f"{name}.wav,{tempo},{cls},{unit},{'' if change_at is None else f'{change_at:.3f}'}\n")
    print(f"{len(truth)} excerpts in {out}")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Builds the corpus that LISTEN is measured on: excerpts of known tempo.

Each excerpt is a small arrangement (drums, bass, chords) written as a MIDI
file by this script and rendered with fluidsynth and the FluidR3 General MIDI
soundfont (Debian's fluidsynth and fluid-soundfont-gm). Alternating 44.1 and
48 kHz; 4/4 from 60 to 200 BPM, 3/4, 6/8, one tempo change, one excerpt under
noise; and two excerpts without any tempo, silence and noise, from which
nothing may be adopted. Deterministic: the same script writes the same corpus.

Usage: make_listen_corpus.py OUTPUT_DIR
Writes OUTPUT_DIR/*.wav and OUTPUT_DIR/truth.csv (file,tempo; tempo 0 for
"no tempo"; for the tempo change, the tempo it ends at).
"""

import os
import random
import struct
import subprocess
import sys
import wave

SOUNDFONT = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
TICKS = 480
SECONDS = 30

KICK, SNARE, HAT, RIDE = 36, 38, 42, 51


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, (value & 0x7F) | 0x80)
        value >>= 7
    return bytes(out)


def tempo_event(bpm):
    us = int(round(60_000_000 / bpm))
    return b"\xff\x51\x03" + us.to_bytes(3, "big")


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


def arrangement(meter, bpm_at, beats, rng):
    """Drums on channel 9, bass on 1 (finger bass), chords on 2 (piano).
    meter: '4/4', '3/4' or '6/8'; bpm_at(beat) gives the tempo from each beat on."""
    events = [(0, bytes([0xC1, 33])), (0, bytes([0xC2, 0]))]
    roots = [40, 45, 43, 38]
    per_bar = {"4/4": 4, "3/4": 3, "6/8": 6}[meter]
    # 6/8 is written in eighth notes: a beat of the MIDI file is an eighth.
    unit = TICKS // 2 if meter == "6/8" else TICKS
    last_bpm = None
    for b in range(beats):
        tick = b * unit
        bpm = bpm_at(b)
        if bpm != last_bpm:
            # The tempo counts the felt beat: a dotted quarter in 6/8, so quarters run 1.5 times as fast.
            events.append((tick, tempo_event(bpm * (1.5 if meter == "6/8" else 1))))
            last_bpm = bpm
        pos = b % per_bar
        bar = b // per_bar
        root = roots[bar % len(roots)]
        human = lambda: rng.randint(-6, 6)
        if meter == "4/4":
            if pos in (0, 2):
                note(events, tick, unit // 4, 9, KICK, 110 + human())
            if pos in (1, 3):
                note(events, tick, unit // 4, 9, SNARE, 100 + human())
            note(events, tick, unit // 4, 9, HAT, 70 + human())
            note(events, tick + unit // 2, unit // 4, 9, HAT, 55 + human())
            note(events, tick, unit // 2, 1, root, 90)
            if pos == 0:
                for p in (root + 24, root + 28, root + 31):
                    note(events, tick, unit * 2, 2, p, 60)
        elif meter == "3/4":
            if pos == 0:
                note(events, tick, unit // 4, 9, KICK, 105 + human())
                note(events, tick, unit, 1, root, 95)
            else:
                note(events, tick, unit // 4, 9, RIDE, 60 + human())
                for p in (root + 24, root + 28, root + 31):
                    note(events, tick, unit // 2, 2, p, 55)
        else:  # 6/8: dotted-quarter pulse, eighths on the hat
            if pos == 0:
                note(events, tick, unit // 2, 9, KICK, 110 + human())
                note(events, tick, unit * 2, 1, root, 90)
            if pos == 3:
                note(events, tick, unit // 2, 9, SNARE, 95 + human())
                note(events, tick, unit * 2, 1, root + 7, 85)
            note(events, tick, unit // 2, 9, HAT, (75 if pos in (0, 3) else 50) + human())
    return events


def render(midi_path, wav_path, rate):
    subprocess.run(["fluidsynth", "-ni", "-q", "-g", "0.8", "-r", str(rate), "-O", "s16", "-T", "wav",
                    "-F", wav_path, SOUNDFONT, midi_path], check=True, stdout=subprocess.DEVNULL)


def write_wav(path, rate, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s)))) for s in samples))


def add_noise(path, level, seed):
    rng = random.Random(seed)
    with wave.open(path, "rb") as r:
        params = r.getparams()
        frames = r.readframes(params.nframes)
    samples = struct.unpack("<%dh" % (len(frames) // 2), frames)
    noisy = [max(-32767, min(32767, int(s + rng.gauss(0, level)))) for s in samples]
    with wave.open(path, "wb") as w:
        w.setparams(params)
        w.writeframes(struct.pack("<%dh" % len(noisy), *noisy))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "listen-corpus"
    os.makedirs(out, exist_ok=True)
    rng = random.Random(2026)
    cases = []
    for i, bpm in enumerate([60, 72, 84, 90, 96, 100, 108, 112, 120, 126, 132, 140, 150, 160, 170, 180, 200]):
        cases.append((f"rock_{bpm}", "4/4", (lambda b, t=bpm: t), bpm, 44100 if i % 2 == 0 else 48000))
    cases += [
        ("waltz_90", "3/4", lambda b: 90, 90, 48000),
        ("waltz_150", "3/4", lambda b: 150, 150, 44100),
        ("jig_70", "6/8", lambda b: 70, 70, 48000),
        ("change_100_to_130", "4/4", None, 130, 44100),
        ("noisy_120", "4/4", lambda b: 120, 120, 48000),
    ]

    truth = []
    for name, meter, bpm_at, tempo, rate in cases:
        if bpm_at is None:
            beats = int(15 * 100 / 60 + 15 * 130 / 60)
            change = int(15 * 100 / 60)
            bpm_at = lambda b, c=change: 100 if b < c else 130
        else:
            per_minute = tempo * (3 if meter == "6/8" else 1)
            beats = int(SECONDS * per_minute / 60)
        midi = os.path.join(out, name + ".mid")
        wav = os.path.join(out, name + ".wav")
        write_midi(midi, arrangement(meter, bpm_at, beats, rng))
        render(midi, wav, rate)
        os.remove(midi)
        if name.startswith("noisy"):
            add_noise(wav, 600, 7)
        truth.append((name + ".wav", tempo))

    write_wav(os.path.join(out, "silence.wav"), 44100, [0] * (44100 * 20))
    noise = random.Random(11)
    write_wav(os.path.join(out, "noise.wav"), 48000, [noise.gauss(0, 4000) for _ in range(48000 * 20)])
    truth += [("silence.wav", 0), ("noise.wav", 0)]

    with open(os.path.join(out, "truth.csv"), "w") as f:
        f.write("file,tempo\n")
        for name, tempo in truth:
            f.write(f"{name},{tempo}\n")
    print(f"{len(truth)} excerpts in {out}")


if __name__ == "__main__":
    main()

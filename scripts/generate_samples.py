#!/usr/bin/env python3
"""Synthesises Tocksley's six click samples.

Deterministic: the same script always writes the same bytes, so the WAV files
committed under resources/ can be regenerated and compared at any time.
Each file is mono 16-bit PCM with the rate, "fmt " chunk size, frame count and
extra chunks that the sound packs are built around.
"""

import math
import os
import struct
import sys

FULL_SCALE = 32767


class Noise:
    """A small linear congruential generator, so the noise never depends on
    the Python version's random module."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (1664525 * self.state + 1013904223) & 0xFFFFFFFF
        return self.state / 2147483648.0 - 1.0


def normalise(samples, peak):
    top = max(abs(s) for s in samples) or 1.0
    return [s * peak / top for s in samples]


def dry_click(frames, rate, freq, fall_to_one_percent_s, seed):
    """A short woodblock-like click: full scale within 2 ms, then an
    exponential fall that crosses 1 % of the peak at the given time."""
    tau = fall_to_one_percent_s / math.log(100.0)
    attack = 0.0006 * rate
    noise = Noise(seed)
    out = []
    for i in range(frames):
        t = i / rate
        env = ((i + 1) / attack) if i < attack else math.exp(-(t - attack / rate) / tau)
        tone = math.sin(2 * math.pi * freq * t) + 0.35 * math.sin(2 * math.pi * freq * 2.71 * t)
        out.append(env * (tone + 0.15 * noise.next() * math.exp(-t / 0.002)))
    return normalise(out, 1.0)


def drum(frames, rate, kind, seed):
    """A kick (accent) or a snare-like hit (click) after 6 ms of silence,
    decaying over about half a second."""
    delay = int(0.006 * rate)
    noise = Noise(seed)
    out = [0.0] * frames
    phase = 0.0
    lowpassed = 0.0
    for i in range(delay, frames):
        t = (i - delay) / rate
        if kind == "kick":
            freq = 48.0 + 110.0 * math.exp(-t / 0.035)
            phase += 2 * math.pi * freq / rate
            body = math.sin(phase) * math.exp(-t / 0.11)
            thump = noise.next() * math.exp(-t / 0.004) * 0.4
            out[i] = body + thump
        else:
            freq = 185.0 + 40.0 * math.exp(-t / 0.02)
            phase += 2 * math.pi * freq / rate
            lowpassed += 0.45 * (noise.next() - lowpassed)
            out[i] = 0.55 * math.sin(phase) * math.exp(-t / 0.05) + lowpassed * math.exp(-t / 0.085)
    return normalise(out, 0.97)


def techno(frames, rate, freq, seed):
    """A buzzy synth stab that keeps sounding for its whole length, peaking
    about 3 dB below full scale."""
    noise = Noise(seed)
    out = []
    phase = 0.0
    for i in range(frames):
        t = i / rate
        wobble = 1.0 + 0.004 * math.sin(2 * math.pi * 6.0 * t)
        phase += 2 * math.pi * freq * wobble / rate
        saw = sum(math.sin(k * phase) / k for k in range(1, 9))
        attack = min(1.0, (i + 1) / (0.003 * rate))
        release = min(1.0, (frames - 1 - i) / (0.01 * rate))
        env = attack * release * (0.55 + 0.45 * math.exp(-t / 0.12))
        out.append(env * (saw + 0.03 * noise.next()))
    return normalise(out, 10 ** (-3.0 / 20.0))


def chunk(tag, payload):
    data = tag + struct.pack("<I", len(payload)) + payload
    return data + (b"\0" if len(payload) % 2 else b"")


def wav_bytes(samples, rate, fmt_size, extra_chunks):
    pcm = b"".join(struct.pack("<h", max(-FULL_SCALE, min(FULL_SCALE, int(round(s * FULL_SCALE))))) for s in samples)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    if fmt_size == 18:
        fmt += struct.pack("<H", 0)  # cbSize: no extension
    body = b"WAVE" + chunk(b"fmt ", fmt) + chunk(b"data", pcm)
    for tag, payload in extra_chunks:
        body += chunk(tag, payload)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def sampler_chunk(rate):
    # manufacturer, product, sample period (ns), unity note 60, pitch fraction,
    # SMPTE format and offset, no loops, no sampler data: 36 bytes.
    return struct.pack("<9I", 0, 0, int(round(1e9 / rate)), 60, 0, 0, 0, 0, 0)


def marker_chunk(name):
    # An opaque 124-byte chunk of the kind editors leave behind; playback
    # ignores it.
    text = name.encode("ascii")
    return text + b"\0" * (124 - len(text))


SAMPLES = [
    # file name, rate, fmt size, frames, synthesis, extra chunks
    ("classic_accent.wav", 44100, 16, 2744, lambda r, n: dry_click(n, r, 1900.0, 0.033, 11), True),
    ("classic_click.wav", 44100, 16, 3528, lambda r, n: dry_click(n, r, 1250.0, 0.042, 12), True),
    ("drum_accent.wav", 48000, 18, 23976, lambda r, n: drum(n, r, "kick", 21), False),
    ("drum_click.wav", 48000, 18, 23908, lambda r, n: drum(n, r, "snare", 22), False),
    ("techno_accent.wav", 44100, 16, 20807, lambda r, n: techno(n, r, 220.0, 31), False),
    ("techno_click.wav", 44100, 16, 20354, lambda r, n: techno(n, r, 164.8, 32), False),
]


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    for name, rate, fmt_size, frames, synth, with_extras in SAMPLES:
        extras = [(b"smpl", sampler_chunk(rate)), (b"muma", marker_chunk("Tocksley " + name))] if with_extras else []
        data = wav_bytes(synth(rate, frames), rate, fmt_size, extras)
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()

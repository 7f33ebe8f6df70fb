#!/usr/bin/env python3
"""Prints the sample positions where clicks start in a recording.

Reads a PCM or IEEE-float WAV (as jack_capture writes it) and reports, for the
first channel, every sample that is not silent after at least MIN_SILENCE silent
samples, one position per line. Usage: click_onsets.py FILE.wav [MIN_SILENCE]
"""

import struct
import sys


def read_first_channel(path):
    rate, channels = read_channels(path)
    return rate, channels[0]


def read_channels(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise SystemExit(f"{path}: not a WAV file")
    pos, fmt, samples = 12, None, None
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b"fmt ":
            fmt = struct.unpack("<HHIIHH", body[:16])
        elif tag == b"data":
            samples = body
        pos += 8 + size + (size & 1)
    tag, channels, rate, _, block_align, bits = fmt
    frame_count = len(samples) // block_align
    if tag == 3 or (tag == 0xFFFE and bits == 32):
        values = struct.unpack("<%df" % (frame_count * channels), samples[:frame_count * block_align])
    else:
        values = struct.unpack("<%dh" % (frame_count * channels), samples[:frame_count * block_align])
    return rate, [values[c::channels] for c in range(channels)]


def onsets(signal, min_silence, threshold):
    found, silent = [], 0
    for i, s in enumerate(signal):
        if abs(s) > threshold:
            if silent >= min_silence:
                found.append(i)
            silent = 0
        else:
            silent += 1
    return found


def main():
    path = sys.argv[1]
    min_silence = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    rate, signal = read_first_channel(path)
    for position in onsets(signal, min_silence, 1e-6):
        print(position)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Makes the alarm sound: a short two-tone beep, synthesised here and encoded with lame.

Usage: make_alarm.py OUTPUT.mp3   (needs the lame command)
"""
import math
import os
import struct
import subprocess
import sys
import tempfile
import wave

RATE = 44100


def beep_samples():
    samples = []
    # three rising pairs of short tones with gaps, about 1.2 s in all
    for _ in range(3):
        for frequency, length in ((880.0, 0.14), (1320.0, 0.14)):
            n = int(RATE * length)
            for i in range(n):
                envelope = min(1.0, i / 300.0, (n - i) / 300.0)  # no clicks at the edges
                samples.append(0.6 * envelope * math.sin(2 * math.pi * frequency * i / RATE))
        samples.extend([0.0] * int(RATE * 0.12))
    return samples


def main(output):
    with tempfile.TemporaryDirectory() as folder:
        wav = os.path.join(folder, "alarm.wav")
        with wave.open(wav, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(b"".join(struct.pack("<h", int(s * 32767)) for s in beep_samples()))
        subprocess.run(["lame", "--quiet", "-m", "m", "-b", "64", "--resample", "44.1", "--id3v2-only",
                        "--tt", "Quovanta alarm", wav, output], check=True)


if __name__ == "__main__":
    main(sys.argv[1])

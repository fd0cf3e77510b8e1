#!/usr/bin/python3
# Makes fanfare.wav, the short fanfare of the draw screen's celebration: four brass-like
# notes rising to a held chord, 22,050 Hz mono 16-bit. Run it here to make the file again.
import math
import struct
import wave

RATE = 22050


def tone(freqs, seconds, attack=0.02, release=0.12, level=0.28):
    n = int(RATE * seconds)
    out = []
    for i in range(n):
        t = i / RATE
        env = min(1.0, t / attack) * min(1.0, (seconds - t) / release)
        v = 0.0
        for f in freqs:
            # A few harmonics falling off give a brassy colour.
            for h, a in ((1, 1.0), (2, 0.5), (3, 0.3), (4, 0.18), (5, 0.1)):
                v += a * math.sin(2 * math.pi * f * h * t)
        out.append(level * env * v / (2.1 * len(freqs)))
    return out


C5, E5, G5, C6 = 523.25, 659.25, 783.99, 1046.50
samples = (tone([C5], 0.14) + tone([E5], 0.14) + tone([G5], 0.14) + tone([C6], 0.22) +
           tone([G5], 0.12) + tone([C5, E5, G5, C6], 0.9, release=0.5))
with wave.open("fanfare.wav", "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(RATE)
    w.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767))))
                           for s in samples))

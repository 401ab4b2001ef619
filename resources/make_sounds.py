#!/usr/bin/python3
"""Regenerates the two alarms, PCM 16-bit mono 44 100 Hz:

WAV_ALERT_1.wav  the warning chime, four bell strokes rising then falling, 3.295 s
WAV_ALERT_2.wav  the forecast tone, three short two-pitch pips, 1.300 s

Both are played in a loop, so each starts and ends on silence (a short fade at
either end) and the loop point cannot click. Plain python3, no extra modules:
resources/make_sounds.py [OUTPUT_DIR]
"""

import array
import math
import os
import sys
import wave

RATE = 44100
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = sys.argv[1] if len(sys.argv) > 1 else HERE


def bell(buffer, start, freq, peak, decay):
    """Adds one bell stroke: a few inharmonic partials that die away exponentially."""
    partials = ((1.0, 1.0), (2.0, 0.45), (3.01, 0.22), (4.17, 0.12))
    attack = int(0.004 * RATE)
    for i in range(start, len(buffer)):
        t = (i - start) / RATE
        envelope = math.exp(-t / decay) * min(1.0, (i - start) / attack)
        if i - start > attack and envelope < 1e-4:
            break
        value = sum(a * math.sin(2 * math.pi * freq * k * t) for k, a in partials)
        buffer[i] += peak * envelope * value / 1.79


def pip(buffer, start, length, freq, peak):
    """Adds one steady tone with 8 ms ramps, a fundamental and a soft third harmonic."""
    ramp = int(0.008 * RATE)
    for i in range(length):
        envelope = min(1.0, i / ramp, (length - 1 - i) / ramp)
        t = i / RATE
        value = math.sin(2 * math.pi * freq * t) + 0.25 * math.sin(2 * math.pi * 3 * freq * t)
        buffer[start + i] += peak * envelope * value / 1.25


def fade_ends(buffer, seconds):
    n = int(seconds * RATE)
    for i in range(n):
        g = i / n
        buffer[i] *= g
        buffer[-1 - i] *= g
    buffer[0] = buffer[-1] = 0.0


def write(name, buffer):
    peak = max(abs(v) for v in buffer)
    scale = 0.8 * 32767 / peak
    data = array.array("h", (int(round(v * scale)) for v in buffer))
    if sys.byteorder != "little":
        data.byteswap()
    with wave.open(os.path.join(OUT, name), "wb") as f:
        f.setnchannels(1)
        f.setsampwidth(2)
        f.setframerate(RATE)
        f.writeframes(data.tobytes())


def warning_chime():
    buffer = [0.0] * 145322  # 3.295 s
    # Four strokes, rising then falling: F5 A5 C6 F6 ... with the last one ringing out.
    notes = ((0.00, 698.46), (0.30, 880.00), (0.60, 1046.50), (0.90, 1396.91), (1.50, 1046.50), (1.80, 880.00))
    for at, freq in notes:
        bell(buffer, int(at * RATE), freq, 1.0, 0.45 if at < 1.8 else 0.5)
    fade_ends(buffer, 0.030)
    return buffer


def forecast_tone():
    buffer = [0.0] * 57328  # 1.300 s
    length = int(0.16 * RATE)
    for n, freq in enumerate((1318.51, 987.77, 1318.51)):
        pip(buffer, int((0.02 + n * 0.24) * RATE), length, freq, 1.0)
    fade_ends(buffer, 0.005)
    return buffer


def main():
    os.makedirs(OUT, exist_ok=True)
    write("WAV_ALERT_1.wav", warning_chime())
    write("WAV_ALERT_2.wav", forecast_tone())
    print(f"make_sounds: wrote the sounds to {OUT}")


if __name__ == "__main__":
    main()

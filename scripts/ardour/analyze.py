# Checks the exports of ardour-vst3-check.sh: the VST 3 track plays, the VST 2 track cancels it to the
# last bit, and each note's strongest partials sit where the VST 2 library puts them for its key.
import math, struct, sys

def read_wav(path):
    data = open(path, 'rb').read()
    assert data[:4] == b'RIFF' and data[8:12] == b'WAVE', path
    pos, fmt, frames = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack('<I', data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if cid == b'fmt ':
            tag, channels, rate = struct.unpack('<HHI', body[:8])
            bits = struct.unpack('<H', body[14:16])[0]
            if tag == 0xFFFE: tag = struct.unpack('<H', body[24:26])[0]
            fmt = (tag, channels, rate, bits)
        elif cid == b'data':
            tag, channels, rate, bits = fmt
            if tag == 3 and bits == 32:
                values = struct.unpack('<%df' % (len(body) // 4), body)
            elif tag == 1 and bits == 16:
                values = [v / 32768.0 for v in struct.unpack('<%dh' % (len(body) // 2), body)]
            elif tag == 1 and bits == 24:
                values = [int.from_bytes(body[i:i + 3], 'little', signed=True) / 8388608.0 for i in range(0, len(body) - 2, 3)]
            else:
                raise SystemExit('unsupported format %r' % (fmt,))
            frames = [values[i::channels] for i in range(channels)]
        pos += 8 + size + (size & 1)
    return fmt[2], frames

def goertzel(seg, f, rate):
    w = 2 * math.pi * f / rate
    c = 2 * math.cos(w)
    s1 = s2 = 0.0
    for v in seg:
        s0 = v + c * s1 - s2
        s2, s1 = s1, s0
    return s1 * s1 + s2 * s2 - c * s1 * s2

def partials(x, rate, notes):
    """The four strongest semitones of each second's note, relative to its key."""
    found = []
    for second, note in enumerate(notes):
        key = 440.0 * 2 ** ((note - 69) / 12)
        seg = x[second * rate + rate // 4: second * rate + rate // 4 + 16384]
        seg = [v * (0.5 - 0.5 * math.cos(2 * math.pi * i / len(seg))) for i, v in enumerate(seg)]
        power = {k: goertzel(seg, key * 2 ** (k / 12), rate) for k in range(-24, 32)}
        found.append(sorted(sorted(power, key=power.get, reverse=True)[:4]))
    return found

def peak(frames):
    return max(max(abs(v) for v in ch) for ch in frames)

folder = sys.argv[1]
rate, vst3 = read_wav(folder + '/vst3.wav')
_, both = read_wav(folder + '/sum.wav')
_, null = read_wav(folder + '/null.wav')
_, vst2 = read_wav(folder + '/vst2-render.wav')
failures = 0
def check(ok, what):
    global failures
    print(('ok    ' if ok else 'FAIL  ') + what)
    failures += 0 if ok else 1
check(peak(vst3) > 0.1, 'the VST 3 track plays (peak %.3f)' % peak(vst3))
check(peak(both) > 1.9 * peak(vst3) * 0.99, 'VST 3 and VST 2 tracks together: peak %.3f' % peak(both))
silent = all(v == 0.0 for ch in null for v in ch)
check(silent, 'VST 3 minus VST 2 in the same session: every sample 0 (%d frames)' % len(null[0]))
def rms(x, start, end):
    seg = x[int(start * rate):int(end * rate)]
    return math.sqrt(sum(v * v for v in seg) / len(seg))
drop = rms(vst3[0], 0.82, 0.98) / rms(vst3[0], 0.62, 0.78)
check(drop < 0.8, 'controller 7 (volume) at 0.8 s, mapped by Ardour to the plug-in, lowers the level: x%.2f' % drop)
notes = (57, 69, 64)
ardour = partials(vst3[0], rate, notes)
render = partials(vst2[0], rate, notes)
for note, a, r in zip(notes, ardour, render):
    print('      note %d: strongest partials %s semitones from the key in Ardour, %s from tamblin-render' % (note, a, r))
check(len(set(map(tuple, ardour))) == 1, 'every note has the same partials relative to its key in Ardour')
check(ardour[0] == render[0] and ardour[1] == render[1], 'the partials match the VST 2 library through tamblin-render')
sys.exit(1 if failures else 0)

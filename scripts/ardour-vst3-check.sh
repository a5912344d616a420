#!/usr/bin/env bash
# Tamblin.vst3 in a real host, by hand (not part of scripts/test.sh): Debian 12's Ardour 7 (apt-get
# install ardour) scans the bundle, puts it on a MIDI track through its scripting console ardour7-lua
# with the dummy audio backend, finds the sixteen programs as presets and loads SineOrgan; a DSP script
# plays three notes (A3, A4, E4, a second each), controller 7 (volume) and a pitch bend (which Ardour hands the
# plug-in through its MIDI mapping) and ardour7-export writes the master bus. A second
# session adds the VST 2 library on another track with its polarity inverted: the export must be
# silent to the last bit. Everything happens under a temporary HOME that is removed again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
for tool in ardour7-lua ardour7-export; do
  command -v "$tool" >/dev/null || { echo "ardour-vst3-check: $tool missing (apt-get install ardour)" >&2; exit 1; }
done
cmake --preset release >/dev/null
cmake --build --preset release --target tamblin_vst3_module Tamblin2 tamblin-render

work=$(mktemp -d "${TMPDIR:-/tmp}/tamblin-ardour.XXXXXX")
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME/.vst3" "$HOME/.lxvst" "$HOME/.config/ardour7/scripts" "$work/sessions"
cp -r build/release/vst3-bundles/Tamblin.vst3 "$HOME/.vst3/"
cp build/release/vst2/Tamblin2.so "$HOME/.lxvst/"
cp scripts/ardour/phrase.lua "$HOME/.config/ardour7/scripts/tamblin_phrase.lua"
cp scripts/ardour/invert.lua "$HOME/.config/ardour7/scripts/tamblin_invert.lua"
cat >"$HOME/.config/ardour7/config" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Ardour><Config>
  <Option name="plugin-path-lxvst" value="$HOME/.lxvst"/>
  <Option name="hide-dummy-backend" value="0"/>
</Config></Ardour>
XML
# Ardour trusts a scan only when its cache is newer than the module, to the second.
find "$HOME/.vst3" "$HOME/.lxvst" -exec touch -d '-1 hour' {} +
scanners=/usr/lib/ardour7
echo "== ardour-vst3-scanner"
LD_LIBRARY_PATH=$scanners "$scanners/ardour-vst3-scanner" -f "$HOME/.vst3/Tamblin.vst3" | grep -E "FactoryInfo|Class:|Found|VST3Info"
LD_LIBRARY_PATH=$scanners "$scanners/ardour-vst-scanner" -f "$HOME/.lxvst/Tamblin2.so" >/dev/null

for session in vst3 sum null; do
  echo "== session $session"
  TAMBLIN_SESSION=$session TAMBLIN_SESSIONS="$work/sessions" timeout 300 stdbuf -oL ardour7-lua \
    scripts/ardour/session.lua 2>&1 | grep -E "^Tamblin|^VST2|Error" || true
  file="$work/sessions/$session/$session.ardour"
  grep -q "Tamblin" "$file" || { echo "ardour-vst3-check: session $session was not saved" >&2; exit 1; }
  # The session range, 4 s (Ardour's Lua has no call that sets it): superclock ticks of 1/282240000 s.
  sed -i 's#<Locations/>#<Locations><Location id="99999" name="session" start="a0" end="a1128960000" flags="IsSessionRange" locked="0" timestamp="0" cue="0"/></Locations>#' "$file"
  timeout 300 ardour7-export -b float -o "$work/$session.wav" "$work/sessions/$session" "$session" >/dev/null 2>&1
done

# The same notes through the VST 2 library outside Ardour, for the partials.
python3 - "$work/phrase.mid" <<'PY'
import struct, sys
def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, (n & 0x7F) | 0x80)
        n >>= 7
    return bytes(out)
events = [(0, b'\xff\x51\x03\x07\xa1\x20'), (0, bytes([0x90, 57, 100])), (768, bytes([0xB0, 7, 90])),
          (960, bytes([0x80, 57, 64])), (960, bytes([0x90, 69, 100])), (1632, bytes([0xE0, 0, 80])),
          (1872, bytes([0xE0, 0, 64])), (1920, bytes([0x80, 69, 64])), (1920, bytes([0x90, 64, 100])),
          (2880, bytes([0x80, 64, 64])), (2880, b'\xff\x2f\x00')]
track, last = b'', 0
for t, e in events:
    track += vlq(t - last) + e
    last = t
open(sys.argv[1], 'wb').write(b'MThd' + struct.pack('>IHHH', 6, 0, 1, 480) + b'MTrk' +
                              struct.pack('>I', len(track)) + track)
PY
build/release/host/tamblin-render build/release/vst2/Tamblin2.so "$work/phrase.mid" -o "$work/vst2-render.wav" \
  --program 3 --bits 32 --tail 1 -q
echo "== exports"
python3 scripts/ardour/analyze.py "$work"

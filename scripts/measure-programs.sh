#!/usr/bin/env bash
# Measures what the README and the demo page say of each factory program: the settings that decide
# voices, velocity and arpeggio (read from the plug-in as a host reads them), the peak of one key struck
# hard (velocity 127) at four pitches and of a four-key chord, against the output's soft clipper, which
# holds anything at or above full scale to exactly 0 dBFS, and whether the two output channels differ.
#
# Usage: scripts/measure-programs.sh BUILD_DIR
#   BUILD_DIR  a build folder with the targets Tamblin2 and tamblin-render built (bash scripts/demo.sh)
# Needs sox. Prints one line per program; writes nothing outside a temporary folder it removes.
# TAMBLIN_MEASURE_TRIM=X plays every program X below its own Volume (parameter 0, 0..1 for -40..0 dB:
# 0.3 is 12 dB), to see how far down a program stays clear of the clipper.
set -euo pipefail
if [ $# -ne 1 ] || [ ! -d "$1" ]; then echo "usage: $0 BUILD_DIR" >&2; exit 2; fi
build=$(cd "$1" && pwd)
render=$build/host/tamblin-render
plugin=$build/vst2/Tamblin2.so
for f in "$render" "$plugin"; do [ -f "$f" ] || { echo "measure-programs: $f is missing" >&2; exit 1; }; done
command -v sox >/dev/null || { echo "measure-programs: sox is needed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A format-0 file at 120 beats per minute (480 ticks per beat): the given keys pressed together at
# VELOCITY, held four seconds (eight beats), then released.
write_midi() {
  local file=$1 velocity=$2 track="" key first=1
  shift 2
  for key in "$@"; do track+=$(printf '\\x00\\x90\\x%02x\\x%02x' "$key" "$velocity"); done
  for key in "$@"; do
    # 3840 ticks as a variable-length quantity: 0x9e 0x00.
    if ((first)); then track+='\x9e\x00'; first=0; else track+='\x00'; fi
    track+=$(printf '\\x80\\x%02x\\x00' "$key")
  done
  track+='\x00\xff\x2f\x00'
  local length
  length=$(printf '%b' "$track" | wc -c)
  {
    printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xe0MTrk'
    printf '%b' "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' 0 0 $((length >> 8 & 255)) $((length & 255)))"
    printf '%b' "$track"
  } >"$file"
}
for key in 36 48 60 72; do write_midi "$work/hard-$key.mid" 127 "$key"; done
write_midi "$work/chord.mid" 100 48 52 55 60
write_midi "$work/chord-hard.mid" 127 48 52 55 60
write_midi "$work/chord8.mid" 100 36 48 52 55 60 64 67 72
trim=${TAMBLIN_MEASURE_TRIM:-0}

# peak FILE.mid PROGRAM [ARGS...]: the render's peak in dBFS, "clip" where a sample is held at full
# scale; keeps the audio (32-bit float) as $work/last.wav.
peak() {
  local midi=$1 program=$2
  shift 2
  "$render" "$plugin" "$midi" -o "$work/last.wav" --program "$program" --tail 2 -q --param "0=$volume" "$@"
  sox "$work/last.wav" -n stat 2>&1 | awk '
    /^Maximum amplitude/ {hi = $3} /^Minimum amplitude/ {lo = -$3}
    END {m = hi > lo ? hi : lo; if (m >= 0.999999) print "clip"; else printf "%.2f\n", 20 * log(m) / log(10)}'
}
# The largest difference between the channels of $work/last.wav, in dBFS (-inf: mono).
side() {
  local max
  max=$(sox "$work/last.wav" -n remix 1,2v-1 stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
  awk -v m="$max" 'BEGIN { if (m + 0 == 0) print "-inf"; else printf "%.1f", 20 * log(m) / log(10) }'
}

printf '%-3s %-13s %-8s %-7s %-6s %-8s %-6s %-31s %-8s %-8s %-8s %s\n' \
  '#' program volume voices vel mode arp 'hard key 36/48/60/72 (dBFS)' chord100 chord127 '8 keys' 'L-R (dBFS)'
mapfile -t programs < <("$render" "$plugin" --info | awk '/^Programs /{on=1; next} on && NF {print}')
for line in "${programs[@]}"; do
  number=$(awk '{print $1}' <<<"$line")
  name=$(awk '{print $2}' <<<"$line")
  info=$("$render" "$plugin" --info --program "$number" | awk '/^Programs /{exit} {print}')
  choice() { awk -v i="$1" '$1 == i {print $NF}' <<<"$info"; }
  voices=$(awk -v v="$(choice 81)" 'BEGIN {print (v < 0.5 ? "8" : "16")}')
  velocity=$(awk -v v="$(choice 79)" 'BEGIN {print (v < 0.5 ? "off" : "on")}')
  mode=$(awk -v v="$(choice 78)" 'BEGIN {print (v < 1 / 3 ? "poly" : (v < 2 / 3 ? "legato" : "arp"))}')
  arp=$(awk -v v="$(choice 59)" 'BEGIN {
    split("1/16 1/12 1/8 1/6 1/4 1/3 1/2 2/3 1 3/2 2", rate, " "); k = int(v * 10.99); print rate[k + 1] }')
  volume=$(awk -v v="$(choice 0)" -v t="$trim" 'BEGIN {x = v - t; if (x < 0) x = 0; printf "%.6f", x}')
  hard=""
  for key in 36 48 60 72; do hard+="$(peak "$work/hard-$key.mid" "$number") "; done
  chord=$(peak "$work/chord.mid" "$number")
  chordHard=$(peak "$work/chord-hard.mid" "$number")
  chord8=$(peak "$work/chord8.mid" "$number")
  printf '%-3s %-13s %-8s %-7s %-6s %-8s %-6s %-31s %-8s %-8s %-8s %s\n' "$number" "$name" "$volume" "$voices" \
    "$velocity" "$mode" "$arp" "$hard" "$chord" "$chordHard" "$chord8" "$(side)"
done

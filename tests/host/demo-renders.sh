#!/usr/bin/env bash
# Renders the demo as scripts/demo.sh does and checks what it leaves: a WAV file, a waveform picture and
# a described entry on the index page for every factory program. render-demo.sh itself fails when a
# render reaches full scale or a program has no description.
# Usage: demo-renders.sh SOURCE_DIR BUILD_DIR OUTPUT_DIR
set -euo pipefail
source_dir=$1 build=$2 out=$3
rm -rf "$out"
bash "$source_dir/scripts/render-demo.sh" "$build" "$out"
count() { find "$out" -name "$1" | wc -l; }
[ "$(count '[0-9][0-9]-*.wav')" -eq 16 ] || { echo "expected 16 renders" >&2; exit 1; }
[ "$(count '[0-9][0-9]-*-waveform.png')" -eq 16 ] || { echo "expected 16 waveform pictures" >&2; exit 1; }
[ "$(grep -c '^<p>' "$out/index.html")" -eq 17 ] || { echo "expected 16 described programs on the index page" >&2; exit 1; }
rm -rf "$out"

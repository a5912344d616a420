#!/usr/bin/env bash
# Renders the demo as scripts/demo.sh does and checks what it leaves: a FLAC file, the editor's picture,
# a waveform picture, an entry in the contents and a described section on the index page for every
# factory program, and no WAV unless asked for. render-demo.sh itself fails when a
# render reaches full scale or a program has no description.
# Usage: demo-renders.sh SOURCE_DIR BUILD_DIR OUTPUT_DIR
set -euo pipefail
source_dir=$1 build=$2 out=$3
rm -rf "$out"
bash "$source_dir/scripts/render-demo.sh" "$build" "$out"
count() { find "$out" -name "$1" | wc -l; }
[ "$(count '[0-9][0-9]-*.flac')" -eq 16 ] || { echo "expected 16 FLAC renders" >&2; exit 1; }
[ "$(count '[0-9][0-9]-*.wav')" -eq 0 ] || { echo "expected no WAV files" >&2; exit 1; }
[ "$(count '[0-9][0-9]-*-waveform.png')" -eq 16 ] || { echo "expected 16 waveform pictures" >&2; exit 1; }
[ "$(count '[0-9][0-9]-*-editor.png')" -eq 16 ] || { echo "expected 16 pictures of the editor" >&2; exit 1; }
[ "$(grep -c '^<li><a href="#p' "$out/index.html")" -eq 16 ] || { echo "expected 16 entries in the contents" >&2; exit 1; }
[ "$(grep -c '^<h2 id="p' "$out/index.html")" -eq 16 ] || { echo "expected 16 program sections on the index page" >&2; exit 1; }
# Every file the page names is there.
grep -oE '(src|href)="[^"#]+"' "$out/index.html" | sed -E 's/^[a-z]+="//; s/"$//' | sort -u | while read -r file; do
  [ -f "$out/$file" ] || { echo "the index page names $file, which is missing" >&2; exit 1; }
done
rm -rf "$out"

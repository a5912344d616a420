#!/usr/bin/env bash
# Renders the demo phrase through the built plug-in once per factory program, with waveform and
# spectrogram pictures and an index page.
#
# Usage: scripts/render-demo.sh BUILD_DIR [OUTPUT_DIR]
#   BUILD_DIR   a configured and built tree (tamblin-render, tamblin-waveform and the plug-in)
#   OUTPUT_DIR  where the files go (default: out/demo in the repository); earlier demo files there
#               are replaced
# Files are 24-bit WAV. TAMBLIN_DEMO_ARGS adds options for tamblin-render (for example "--bits 32"
# for float samples, or "--sample-rate 48000").
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 BUILD_DIR [OUTPUT_DIR]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
out=${2:-$here/out/demo}
render="$build/host/tamblin-render"
waveform="$build/host/tamblin-waveform"
plugin="$build/plugin/Tamblin2.so"
midi="$here/demo/tamblin-demo.mid"

for tool in "$render" "$waveform"; do
  [ -x "$tool" ] || { echo "render-demo: error: $tool is missing; build the project first" >&2; exit 1; }
done
if [ ! -f "$plugin" ]; then
  plugin=$(find "$build" -name 'Tamblin2.so' -print -quit)
  [ -n "$plugin" ] || { echo "render-demo: error: no Tamblin2.so under $build; build the project first" >&2; exit 1; }
fi
[ -f "$midi" ] || { echo "render-demo: error: $midi is missing" >&2; exit 1; }
have_sox=1
command -v sox > /dev/null || { have_sox=0; echo "render-demo: warning: sox is not installed, no spectrograms" >&2; }

mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/[0-9][0-9]-*.wav "$out"/[0-9][0-9]-*.png "$out/index.html"

# Program numbers and names as the plug-in reports them to a host.
mapfile -t programs < <("$render" "$plugin" --info | awk '/^Programs /{on=1; next} on && NF {print}')
[ ${#programs[@]} -gt 0 ] || { echo "render-demo: error: $plugin reports no programs" >&2; exit 1; }

page="$out/index.html"
{
  echo '<!doctype html><meta charset="utf-8"><title>Tamblin demo</title>'
  echo '<style>body{font-family:sans-serif;background:#111;color:#ddd;max-width:1240px;margin:auto}img{width:100%}</style>'
  echo '<h1>Tamblin: the demo phrase on every factory program</h1>'
} > "$page"

# Blocks are split at every event: the instrument starts events at block boundaries.
# shellcheck disable=SC2086
for line in "${programs[@]}"; do
  number=$(awk '{print $1}' <<< "$line")
  name=$(sed -E 's/^ *[0-9]+ +//' <<< "$line")
  safe=$(tr -c 'A-Za-z0-9_-' '_' <<< "$name" | sed -E 's/_+$//')
  [ -n "$safe" ] || safe=program
  base=$(printf '%02d-%s' "$number" "$safe")
  echo "Program $number ($name) -> $base.wav"
  "$render" "$plugin" "$midi" -o "$out/$base.wav" --program "$number" --split-blocks --tail auto --bits 24 \
    ${TAMBLIN_DEMO_ARGS:-}
  "$waveform" "$out/$base.wav" "$out/$base-waveform.png"
  if [ $have_sox -eq 1 ]; then
    sox -V1 "$out/$base.wav" -n spectrogram -x 1200 -y 257 -t "Tamblin program $number: $name" \
      -o "$out/$base-spectrogram.png"
  fi
  {
    echo "<h2>$number: $name</h2><audio controls src=\"$base.wav\"></audio>"
    echo "<img src=\"$base-waveform.png\" alt=\"waveform\">"
    if [ $have_sox -eq 1 ]; then echo "<img src=\"$base-spectrogram.png\" alt=\"spectrogram\">"; fi
  } >> "$page"
done

echo
echo "Demo renders (${#programs[@]} programs) are in $out:"
echo "  audio:    $out/NN-Name.wav"
echo "  pictures: $out/NN-Name-waveform.png and $out/NN-Name-spectrogram.png"
echo "  overview: $page"

#!/usr/bin/env bash
# Renders the demo phrase through the built plug-in once per factory program, with the editor's picture
# of each program, waveform and spectrogram pictures and an index page with a table of contents, and
# fails if any render reaches full scale.
#
# Usage: scripts/render-demo.sh BUILD_DIR [OUTPUT_DIR]
#   BUILD_DIR   a configured tree with the target tamblin-demo built (the plug-in and every tool used
#               here; their paths come from BUILD_DIR/demo-tools.txt)
#   OUTPUT_DIR  where the files go (default: out/demo in the repository); earlier demo files there
#               are replaced
# The audio is 16-bit FLAC, which browsers play (about a quarter of the size of 24-bit WAV; 30 MB for
# all sixteen); TAMBLIN_DEMO_WAV=1 writes a 24-bit WAV of each beside it. TAMBLIN_DEMO_ARGS adds options for tamblin-render (for
# example "--sample-rate 48000").
#
# The factory programs are voiced loud: one key struck hard drives four of them into the output's soft
# clipper, a four-key chord all but three (scripts/measure-programs.sh). The demo plays every program kDemoTrimDb below its own Volume (parameter 0, whose 0..1 range
# spans -40..0 dB), so each is heard clean and their loudness relative to each other is kept.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 BUILD_DIR [OUTPUT_DIR]" >&2
  exit 2
fi
[ -d "$1" ] || { echo "render-demo: error: $1 is not a build folder; run: bash scripts/demo.sh" >&2; exit 1; }
build=$(cd "$1" && pwd)
out=${2:-$here/out/demo}
midi="$here/demo/tamblin-demo.mid"
descriptions="$here/demo/programs.txt"
readonly kDemoTrimDb=14
readonly kVolumeRangeDb=40

missing() {
  echo "render-demo: error: $1; build the demo's tools with: cmake --build $build --target tamblin-demo" >&2
  echo "  (or run bash scripts/demo.sh, which configures, builds and renders)" >&2
  exit 1
}
tools="$build/demo-tools.txt"
[ -f "$tools" ] || missing "$tools is missing (is $build a configured Tamblin build folder?)"
tool() {
  local path
  path=$(awk -F= -v name="$1" '$1 == name {print substr($0, length(name) + 2)}' "$tools")
  [ -n "$path" ] && [ -f "$path" ] || missing "${path:-$1} is missing"
  echo "$path"
}
render=$(tool tamblin-render)
waveform=$(tool tamblin-waveform)
plugin=$(tool Tamblin2)
editorShot=$(tool tamblin-editor-shot)
[ -f "$midi" ] || { echo "render-demo: error: $midi is missing" >&2; exit 1; }
have_sox=1
command -v sox > /dev/null || { have_sox=0; echo "render-demo: warning: sox is not installed, no spectrograms" >&2; }

mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/[0-9][0-9]-*.wav "$out"/[0-9][0-9]-*.flac "$out"/[0-9][0-9]-*.png "$out/index.html"

# Program numbers and names as the plug-in reports them to a host.
mapfile -t programs < <("$render" "$plugin" --info | awk '/^Programs /{on=1; next} on && NF {print}')
[ ${#programs[@]} -gt 0 ] || { echo "render-demo: error: $plugin reports no programs" >&2; exit 1; }

html() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' <<< "$1"; }

page="$out/index.html"
# The playable page, when the web preset was built beside this build: copied in whole, so that the
# folder can be served as it is.
web_page=""
if [ -f "$(dirname "$build")/web/page/index.html" ]; then
  web_page="$(dirname "$build")/web/page"
  rm -rf "$out/play"
  cp -r "$web_page" "$out/play"
fi
sections="$out/.sections.html"
toc="$out/.toc.html"
: >"$sections"
: >"$toc"

loud=0
# Blocks are split at every event: the instrument starts events at block boundaries.
# shellcheck disable=SC2086
for line in "${programs[@]}"; do
  number=$(awk '{print $1}' <<< "$line")
  name=$(sed -E 's/^ *[0-9]+ +//' <<< "$line")
  safe=$(tr -c 'A-Za-z0-9_-' '_' <<< "$name" | sed -E 's/_+$//')
  [ -n "$safe" ] || safe=program
  base=$(printf '%02d-%s' "$number" "$safe")
  description=$(awk -F'\t' -v n="$number" -v name="$name" '$1 == n && $2 == name {print $3}' "$descriptions")
  [ -n "$description" ] || { echo "render-demo: error: $descriptions has no line for program $number ($name)" >&2; exit 1; }
  volume=$("$render" "$plugin" --info --program "$number" | awk '$1 == "0" && $2 == "Volume" {print $NF}')
  [ -n "$volume" ] || { echo "render-demo: error: program $number reports no Volume" >&2; exit 1; }
  demo_volume=$(awk -v v="$volume" -v t="$kDemoTrimDb" -v r="$kVolumeRangeDb" \
    'BEGIN {x = v - t / r; if (x < 0) x = 0; printf "%.6f", x}')
  report=$("$render" "$plugin" "$midi" -o "$out/$base.flac" --program "$number" --param "0=$demo_volume" \
    --split-blocks --tail auto --bits 16 ${TAMBLIN_DEMO_ARGS:-} 2>&1) || { echo "$report" >&2; exit 1; }
  peak=$(sed -nE 's/.*, peak (-?[0-9.]+) dBFS.*/\1/p' <<< "$report")
  echo "Program $number ($name) -> $base.flac, peak ${peak:-?} dBFS"
  # The soft clipper holds anything at or above full scale to exactly 0 dBFS.
  if [ -z "$peak" ] || awk -v p="$peak" 'BEGIN {exit !(p >= -0.1)}'; then
    echo "render-demo: error: program $number ($name) reaches full scale in the demo" >&2
    loud=1
  fi
  if [ "${TAMBLIN_DEMO_WAV:-0}" = 1 ]; then
    "$render" "$plugin" "$midi" -o "$out/$base.wav" --program "$number" --param "0=$demo_volume" \
      --split-blocks --tail auto --bits 24 -q ${TAMBLIN_DEMO_ARGS:-}
  fi
  "$editorShot" "$out/$base-editor.png" "$number" >/dev/null
  "$waveform" "$out/$base.flac" "$out/$base-waveform.png"
  if [ $have_sox -eq 1 ]; then
    sox -V1 "$out/$base.flac" -n spectrogram -x 1200 -y 257 -t "Tamblin program $number: $name" \
      -o "$out/$base-spectrogram.png"
  fi
  echo "<li><a href=\"#p$number\">$number: $(html "$name")</a>: $(html "$description")</li>" >> "$toc"
  {
    echo "<h2 id=\"p$number\">$number: $(html "$name")</h2>"
    echo "<p>$(html "$description")</p>"
    echo "<audio controls preload=\"none\" src=\"$base.flac\"></audio>"
    echo "<p><a href=\"$base.flac\">$base.flac</a>$([ "${TAMBLIN_DEMO_WAV:-0}" = 1 ] && echo " (<a href=\"$base.wav\">WAV</a>)")"
    echo " · <a href=\"#top\">contents</a></p>"
    echo "<a href=\"$base-editor.png\"><img class=\"editor\" src=\"$base-editor.png\" alt=\"the editor with program $number\"></a>"
    echo "<img src=\"$base-waveform.png\" alt=\"waveform\">"
    if [ $have_sox -eq 1 ]; then echo "<img src=\"$base-spectrogram.png\" alt=\"spectrogram\">"; fi
  } >> "$sections"
done

{
  echo '<!doctype html><meta charset="utf-8"><title>Tamblin demo</title>'
  echo '<style>body{font-family:sans-serif;background:#111;color:#ddd;max-width:1240px;margin:auto}'
  echo 'a{color:#9cf}img{width:100%}img.editor{width:auto;max-width:100%;display:block}</style>'
  echo '<h1 id="top">Tamblin: the demo phrase on every factory program</h1>'
  echo "<p>The phrase ($(html "$(basename "$midi")"), 120 beats per minute in 4/4, 26 seconds): bars 1 to 8"
  echo 'play the chords A minor, F, C and G twice, each as three keys with the bass an octave below, and'
  echo 'a melody over them from bar 3; bars 9 and 10 hold one A, bent up a tone and back, for the trance'
  echo 'gate; bars 11 and 12 hold an A minor seventh chord for the arpeggiator; bar 13 ends on A minor.'
  echo 'Program 8 (Arped) steps one held key per bar, so two keys of that chord sound.</p>'
  echo "<p>Each program plays $kDemoTrimDb dB below its own Volume, so that no chord reaches the output's soft"
  echo 'clipper; the audio is 16-bit FLAC. Beside each sound: the editor with that program, the waveform'
  echo 'and the spectrogram.</p>'
  if [ -n "$web_page" ]; then
    echo '<p>Play it yourself: <a href="play/index.html">the playable page</a>, the same instrument and editor'
    echo 'in the browser (serve this folder, e.g. <code>python3 -m http.server -d out/demo</code>, and open'
    echo '<code>/play/</code>; a page opened as a file cannot load its module).</p>'
  else
    echo '<p>Play it yourself in the browser: build the web preset (the README, "In the browser") and run'
    echo 'the demo again, and this page links the playable page.</p>'
  fi
  echo '<h2>Contents</h2><ol start="0">'
  sed -E 's#^<li>(<a [^>]*>)[0-9]+: #<li>\1#' "$toc"
  echo '</ol>'
  cat "$sections"
} > "$page"
rm -f "$sections" "$toc"
[ $loud -eq 0 ] || exit 1

echo
echo "Demo renders (${#programs[@]} programs) are in $out:"
echo "  audio:    $out/NN-Name.flac"
echo "  pictures: $out/NN-Name-editor.png, NN-Name-waveform.png and NN-Name-spectrogram.png"
echo "  overview: $page"

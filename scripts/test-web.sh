#!/usr/bin/env bash
# Builds the web preset (the WebAssembly module, SIMD and scalar, and the playable page) and checks it:
# under node, the golden phrase of every factory program through both modules in the worklet's 128-frame
# blocks; then the built page served on the loopback address, in headless Chromium: the ?selftest
# page's golden lines (both modules, through the audio worklet in an OfflineAudioContext), the editor
# drawn, a click and a drag on it changing parameters in the page and in the worklet, and a screenshot
# (build/web/page-screenshot.png).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh --tests
jobs=$(nproc 2>/dev/null || echo 2)
# Debian's emscripten runs its optimiser under node with Debian's acorn, which a node from elsewhere may
# not look for.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

cmake --preset web
cmake --build --preset web -j "$jobs"

page=build/web/page
golden=tests/engine/golden/factory_programs.txt
node web/check-golden.mjs "$page" "$golden"

work=$(mktemp -d)
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
# A free port on the loopback address: the server takes port 0 and says which it got.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$page" >"$work/server.log" 2>&1 &
server=$!
port=""
for _ in $(seq 1 100); do
  port=$(sed -n 's/.* port \([0-9][0-9]*\) .*/\1/p' "$work/server.log" | head -n 1)
  [ -n "$port" ] && break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "the page server did not start:" >&2
  cat "$work/server.log" >&2
  exit 1
fi
node web/check-page.mjs "http://127.0.0.1:$port/" "$golden" build/web/page-screenshot.png

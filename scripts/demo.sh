#!/usr/bin/env bash
# Installs what the build needs, builds the plug-in and every tool the demo uses (the CMake target
# tamblin-demo) with everything `cmake --install` installs (tamblin-installable: every plug-in format,
# the programs, manual pages), shows what a host sees when it loads the library, and renders the demo
# phrase through it for every factory program into out/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset release
cmake --build --preset release -j "$jobs" --target tamblin-demo tamblin-installable
plugin=build/release/vst2/Tamblin2.so
echo "== What a host sees when it loads $plugin"
build/release/host/tamblin-render "$plugin" --info
bash scripts/render-demo.sh build/release out/demo

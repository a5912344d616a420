#!/usr/bin/env bash
# Removes exactly the files that `cmake --install` put in place from a build folder for the user who runs
# this (root included): the list each install adds to BUILD_DIR/install-record-<user>.txt. A bundle
# folder (Tamblin.lv2, and the like) left empty goes too; the format folders themselves (~/.vst, ...)
# stay. A file changed or removed since is named and, if present, still removed.
#
# Usage: scripts/uninstall.sh [BUILD_DIR]   (default: build/release)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
record="$build/install-record-$(id -un).txt"
if [ ! -f "$record" ]; then
  echo "uninstall: nothing recorded for $(id -un) in $build (no $record)" >&2
  echo "  run it as the user who ran cmake --install (sudo for a machine-wide install)" >&2
  exit 1
fi
removed=0
while IFS= read -r file; do
  [ -n "$file" ] || continue
  if [ -e "$file" ] || [ -L "$file" ]; then
    rm -f -- "$file"
    echo "removed $file"
    removed=$((removed + 1))
  else
    echo "already gone: $file"
  fi
  # Empty folders of our own: a bundle (Tamblin.lv2, and the folders inside one) and share/doc/tamblin.
  dir=$(dirname -- "$file")
  while [[ "$dir" == */Tamblin.* || "$dir" == */doc/tamblin ]] && [ -d "$dir" ] && [ -z "$(ls -A -- "$dir")" ]; do
    rmdir -- "$dir"
    dir=$(dirname -- "$dir")
  done
done < "$record"
rm -f -- "$record"
echo "uninstall: removed $removed files"

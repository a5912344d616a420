#!/usr/bin/env bash
# Installs, with apt-get, every Debian package the build, the tests and the demo use (lists in
# scripts/packages/), plus the packages of any further lists named as arguments (the test-only lists
# in scripts/packages/test/). A package of another architecture (name:i386) enables that architecture
# first. Runs as root; does nothing when all are present.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(cat "$here"/packages/*.txt "$@" | sed 's/#.*//' | awk 'NF' | sort -u)
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  for p in "${missing[@]}"; do
    case "$p" in
      *:*)
        arch=${p##*:}
        if [ "$arch" != "$(dpkg --print-architecture)" ] && ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
          $sudo_cmd dpkg --add-architecture "$arch"
        fi
        ;;
    esac
  done
  $sudo_cmd apt-get update -q
  $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages the build and the demo use (lists in scripts/packages/*.txt)
# and, with --tests, those only the tests use as well (scripts/packages/test/*.txt). Runs as root, or
# through sudo; does nothing when all are present. A package of another architecture (name:i386)
# enables that architecture first.
#
# Usage: scripts/setup-debian.sh [--tests]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=("$here"/packages/*.txt)
case "${1:-}" in
  "") ;;
  --tests) lists+=("$here"/packages/test/*.txt) ;;
  *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
esac
mapfile -t wanted < <(cat "${lists[@]}" | sed 's/#.*//' | awk 'NF' | sort -u)
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

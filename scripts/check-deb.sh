#!/usr/bin/env bash
# Builds the Debian package of a build folder with CPack and checks it: it holds exactly the files a
# machine-wide install (prefix /usr) puts in place, among them every plug-in format, the programs, their
# manual pages, the desktop entry and the icon; every ELF file in it is stripped; lintian reports no
# error. Prints the package's path.
#
# Usage: scripts/check-deb.sh [BUILD_DIR]   (default: build/release, built with every installable)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build/release}" && pwd)
fail() { echo "check-deb: error: $*" >&2; exit 1; }
for tool in cpack dpkg-deb lintian file; do
  command -v "$tool" >/dev/null || fail "$tool is missing (bash scripts/setup-debian.sh --tests)"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --build "$build" --target tamblin-installable >/dev/null
(cd "$build" && cpack --config CPackConfig.cmake >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
version=$(awk -F'"' '/^set\(CPACK_PACKAGE_VERSION /{print $2}' "$build/CPackConfig.cmake")
deb=$(find "$build/package" -maxdepth 1 -name "tamblin_${version}_*.deb" | head -n 1)
[ -n "$deb" ] || fail "no tamblin_${version}_*.deb in $build/package"

# What the package holds, against a machine-wide install into a tree of our own.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {sub(/^\.\//, "", $6); print "/" $6}' | sort >"$work/package.txt"
DESTDIR="$work/tree" cmake --install "$build" --prefix /usr >/dev/null
(cd "$work/tree" && find . -type f -o -type l) | sed 's/^\.//' | sort >"$work/install.txt"
if ! diff -u "$work/install.txt" "$work/package.txt" >"$work/diff.txt"; then
  cat "$work/diff.txt" >&2
  fail "the package and a machine-wide install differ (- install only, + package only)"
fi
for required in /usr/lib/vst/Tamblin2.so /usr/lib/lv2/Tamblin.lv2/manifest.ttl /usr/bin/tamblin \
  /usr/bin/tamblin-render /usr/bin/tamblin-params /usr/share/applications/tamblin.desktop \
  /usr/share/icons/hicolor/128x128/apps/tamblin.png /usr/share/man/man1/tamblin.1.gz \
  /usr/share/man/man1/tamblin-render.1.gz /usr/share/man/man1/tamblin-params.1.gz \
  /usr/share/doc/tamblin/copyright; do
  grep -qxF "$required" "$work/package.txt" || fail "the package lacks $required"
done
for dir in clap vst3; do
  if [ -d "$here/$dir" ] && ! grep -q "^/usr/lib/$dir/" "$work/package.txt"; then
    fail "the source has $dir/ but the package holds nothing in /usr/lib/$dir"
  fi
done

# Every ELF file stripped.
dpkg-deb -x "$deb" "$work/unpacked"
while IFS= read -r -d '' elf; do
  file -b "$elf" | grep -q ', stripped' || fail "${elf#"$work/unpacked"} is not stripped"
done < <(find "$work/unpacked" -type f -exec sh -c 'head -c 4 "$1" | grep -q ELF' _ {} \; -print0)

# lintian: errors fail; its warnings are shown. The ldconfig calls are CPack's, for the plug-ins in
# /usr/lib (see cmake/Package.cmake).
lintian --fail-on error --suppress-tags maintscript-calls-ldconfig "$deb" 2>&1 |
  grep -v '^running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors in $deb"
echo "check-deb: $deb: $(wc -l <"$work/package.txt") files, stripped, no lintian errors"

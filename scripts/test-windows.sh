#!/usr/bin/env bash
# The Windows DLLs, built with mingw-w64 and proven under Wine: for the 32-bit and the 64-bit build,
# the exports and imports of Tamblin2.dll, the host check's report (record, names, programs,
# parameters, bad requests, golden renders of every factory program) byte for byte equal to the
# Linux build's, and the editor opened through effEditOpen in a real Win32 window, driven with
# pointer input, equal to the headless picture; Tamblin.clap's exports and imports, and the project's
# CLAP host playing its golden renders; for the 64-bit build also the VST 3 bundle's module: its exports
# and imports, golden renders through the project's VST 3 host built for Windows, and its editor view
# opened in a Win32 window. Runs in a fresh Wine prefix that it removes again.
# Called by scripts/test.sh after the release build (build/release); TAMBLIN_SKIP_WINDOWS=1 there
# leaves it out. TAMBLIN_WINDOWS_PICTURES=FOLDER keeps the pictures the Windows windows showed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
start=$(date +%s)
bash scripts/setup-debian.sh --tests
jobs=$(nproc 2>/dev/null || echo 2)

work=$(mktemp -d "${TMPDIR:-/tmp}/tamblin-windows.XXXXXX")
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installers in a test prefix
export LC_ALL=C                            # "." as the user's decimal separator, as in the pictures
unset DISPLAY WAYLAND_DISPLAY              # Wine's null graphics driver: windows without a screen
cleanup() {
  # Only this prefix's server (and with it every Wine process of the prefix).
  timeout 30 wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "test-windows: $*" >&2
  exit 1
}

# A Windows module's check: exactly the `expected` exports (sorted, space-separated) and nothing but
# Windows' own DLLs to load. Prints the exports and imports.
check_module() {
  local objdump=$1 module=$2 expected=$3 what=$4 exports imports import
  need_file "$module"
  exports=$("$objdump" -p "$module" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[/ && NR > 1 {print $NF}' | sort | tr '\n' ' ')
  [ "$exports" = "$expected" ] || fail "$what exports: $exports"
  imports=$("$objdump" -p "$module" | awk '/DLL Name:/ {print toupper($3)}' | sort | tr '\n' ' ')
  for import in $imports; do
    case "$import" in
      KERNEL32.DLL | USER32.DLL | GDI32.DLL | MSVCRT.DLL) ;;
      *) fail "$what imports $import" ;;
    esac
  done
  echo "$what: exports: $exports; imports: $imports"
}

# A check that reads a file it found by path fails when the file is not there, instead of finding
# nothing wrong in nothing.
need_file() {
  [ -s "$1" ] || fail "$1 is missing or empty"
}

# The Linux reference: the same host check against the Linux library.
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs" --target tamblin-host-check Tamblin2
linux_check=build/release/tests/hostcheck/tamblin-host-check
"$linux_check" report build/release/vst2/Tamblin2.so tests/engine/golden/factory_programs.txt \
  "$work/report-linux.txt" >/dev/null || fail "the Linux host check failed"
"$linux_check" headless-session "$work/headless-edited.png" >/dev/null || fail "the headless session failed"

for preset in windows-x86 windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" --target Tamblin2 tamblin-host-check TamblinClap tamblin-clap-check
done
cmake --build --preset windows-x64 -j "$jobs" --target tamblin_vst3_module tamblin-vst3-check

# Nothing the engine computes goes through the x87 unit (whose precision a Windows host's threads and
# mingw's start-up set differently): the 32-bit engine holds no x87 arithmetic instruction and calls
# none of the C library's transcendental functions (x87 code in mingw). Loads, stores and integer
# conversions, which are exact, may remain.
engine=build/windows-x86/core/engine/libtamblin_engine.a
need_file "$engine"
disassembly=$(i686-w64-mingw32-objdump -d "$engine") || fail "objdump could not read $engine"
grep -q 'voiceKernels\|Engine' <<<"$disassembly" || fail "$engine holds no engine code"
x87=$(grep -E '\s(f(i?(add|sub|subr|mul|div|divr)p?|sqrt|sin|cos|sincos|ptan|patan|prem1?|rndint|scale|xtract|yl2x|yl2xp1|2xm1|chs|abs|u?comp?p?|u?comip?))[slqt]?\s' <<<"$disassembly" || true)
[ -z "$x87" ] || { echo "$x87" | head; fail "x87 arithmetic in the 32-bit engine"; }
undefined=$(i686-w64-mingw32-nm -u "$engine") || fail "nm could not read $engine"
libm=$(echo "$undefined" | grep -E ' _(sin|cos|tan|exp|exp2|expm1|log|log2|log10|log1p|pow|atan2?|asin|acos|sinh|cosh|tanh)[fl]?$' || true)
[ -z "$libm" ] || fail "the 32-bit engine calls the C library's $libm"
echo "32-bit engine: SSE2 arithmetic only, no C library transcendentals"

echo "== Wine prefix"
timeout 300 wineboot --init >/dev/null 2>&1 || fail "wineboot could not make the prefix"
timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
timeout 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null 2>&1
# A fresh server reads the null driver setting (the one wineboot started knew none).
timeout 30 wineserver -k 2>/dev/null || true
timeout 30 wineserver -w 2>/dev/null || true

windows_path() { echo "Z:${1//\//\\}"; }

for preset in windows-x86 windows-x64; do
  case "$preset" in
    windows-x86) objdump=i686-w64-mingw32-objdump ;;
    windows-x64) objdump=x86_64-w64-mingw32-objdump ;;
  esac
  dll="$root/build/$preset/vst2/Tamblin2.dll"
  check="$root/build/$preset/tests/hostcheck/tamblin-host-check.exe"
  need_file "$dll"
  need_file "$check"
  echo "== $preset: $(basename "$dll")"

  check_module "$objdump" "$dll" "VSTPluginMain main " "$preset Tamblin2.dll"

  out="$work/$preset"
  mkdir -p "$out"
  timeout 300 wine "$check" report "$(windows_path "$dll")" \
    "$(windows_path "$root/tests/engine/golden/factory_programs.txt")" "$(windows_path "$out/report.txt")" \
    >"$out/report.log" 2>&1 || { cat "$out/report.log"; fail "$preset: the host check failed under Wine"; }
  cmp -s "$out/report.txt" "$work/report-linux.txt" ||
    { diff "$work/report-linux.txt" "$out/report.txt" | head -20; fail "$preset: the report differs from Linux's"; }
  echo "host check: record, names, programs, parameters, bad requests and 16 golden renders as on Linux"

  timeout 120 wine "$check" editor "$(windows_path "$dll")" \
    "$(windows_path "$root/tests/editor/golden/program0.png")" "$(windows_path "$out")" \
    >"$out/editor.log" 2>&1 || { cat "$out/editor.log"; fail "$preset: the editor session failed under Wine"; }
  "$linux_check" compare "$work/headless-edited.png" "$out/editor-edited.png" >"$out/compare.log" ||
    { cat "$out/compare.log"; fail "$preset: the edited window differs from the headless picture"; }
  echo "editor: opened, clicked, dragged and automated; both pictures equal the headless ones"

  if [ -n "${TAMBLIN_WINDOWS_PICTURES:-}" ]; then
    mkdir -p "$TAMBLIN_WINDOWS_PICTURES/$preset"
    cp "$out"/*.png "$TAMBLIN_WINDOWS_PICTURES/$preset/"
  fi

  # Tamblin.clap: clap_entry its only export, Windows' own DLLs its only imports, and the project's CLAP
  # host (tamblin-clap-check) finding the descriptor, parameters, presets and state as on Linux and
  # playing the golden phrase of every factory program.
  clap="$root/build/$preset/clap-plugins/Tamblin.clap"
  check_module "$objdump" "$clap" "clap_entry " "$preset Tamblin.clap"
  timeout 300 wine "$root/build/$preset/tests/clap/check/tamblin-clap-check.exe" "$(windows_path "$clap")" \
    "$(windows_path "$root/tests/engine/golden/factory_programs.txt")" >"$out/clap-check.log" 2>&1 ||
    { cat "$out/clap-check.log"; fail "$preset: the CLAP check failed under Wine"; }
  echo "Tamblin.clap: exports clap_entry only; $(grep -c '^ok' "$out/clap-check.log") CLAP checks passed, 16 golden renders"

  # The installed layout: the DLL and the note on plug-in folders.
  cmake --install "build/$preset" --prefix "$out/dist" >/dev/null
  [ -f "$out/dist/Tamblin2.dll" ] && [ -f "$out/dist/VST2-FOLDERS.txt" ] || fail "$preset: cmake --install"
  [ -f "$out/dist/Tamblin.clap" ] && [ -f "$out/dist/CLAP-FOLDERS.txt" ] || fail "$preset: cmake --install (CLAP)"
done
echo "== windows-x64: Tamblin.vst3"
bundle="$root/build/windows-x64/vst3-bundles/Tamblin.vst3"
module="$bundle/Contents/x86_64-win/Tamblin.vst3"
[ -f "$bundle/Contents/Resources/moduleinfo.json" ] || fail "no moduleinfo.json in the Windows bundle"
check_module x86_64-w64-mingw32-objdump "$module" "ExitDll GetPluginFactory InitDll " "windows-x64 Tamblin.vst3"
out="$work/vst3"
mkdir -p "$out"
timeout 300 wine "$root/build/windows-x64/tests/vst3/check/tamblin-vst3-check.exe" "$(windows_path "$module")" \
  "$(windows_path "$root/tests/engine/golden/factory_programs.txt")" 0 6 11 >"$out/check.log" 2>&1 ||
  { cat "$out/check.log"; fail "windows-x64: the VST 3 check failed under Wine"; }
grep -c '^ok' "$out/check.log" | grep -qx 9 || { cat "$out/check.log"; fail "windows-x64: the VST 3 check ran short"; }
echo "VST 3 host check: factory, class, golden renders of programs 0, 6 and 11 as on Linux, editor view in a Win32 window"
cmake --install build/windows-x64 --prefix "$out/dist" >/dev/null
[ -f "$out/dist/Tamblin.vst3/Contents/x86_64-win/Tamblin.vst3" ] || fail "windows-x64: Tamblin.vst3 not installed"

echo "== Windows checks passed in $(($(date +%s) - start)) s"

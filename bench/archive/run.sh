#!/bin/sh
# Extraction benchmark: one mixed archive of about 200 MB, extracted
#   1. by Debian's 7zz on Linux ("7zz x"),
#   2. through oxa.lib under 64-bit Wine (oxa_extract_bench, the engine's own wrapper),
#   3. by the x86_64 7z.exe built from the same 7-Zip source, under the same Wine.
# Prints each time (best of RUNS) and the ratios of oxa.lib to the two references.
# Usage: run.sh BIN-FOLDER 7ZIP-X86_64-FOLDER [SIZE-MB]
set -eu
bin=$1 sevenzip=$2 size=${3:-200}
runs=${RUNS:-3}
work=${BENCH_WORK:-$(mktemp -d "${TMPDIR:-/tmp}/vx-archive-bench.XXXXXX")}
prefix="$work/wineprefix"
export VELTRIX_WINEPREFIX="$prefix"
run="$(dirname "$0")/../../tests/wine/wine-run"
winpath() { echo "Z:$1" | tr / '\\'; }
now() { date +%s.%N; }
cleanup() {
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  [ -n "${BENCH_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

# The tree: a third incompressible data, a third text, a third program files.
tree="$work/tree"
if [ ! -f "$work/mixed.7z" ]; then
  mkdir -p "$tree/data" "$tree/text" "$tree/programs"
  part=$((size / 3))
  i=0
  while [ $i -lt $((part / 4)) ]; do head -c 4194304 /dev/urandom >"$tree/data/blob$i.bin"; i=$((i + 1)); done
  i=0
  while [ "$(du -sm "$tree/text" | cut -f1)" -lt "$part" ]; do
    for f in /usr/share/common-licenses/* /usr/include/*.h; do [ -f "$f" ] && cat "$f"; done >"$tree/text/text$i.txt"
    i=$((i + 1))
  done
  for f in /usr/bin/* /usr/lib/x86_64-linux-gnu/*.so*; do
    [ "$(du -sm "$tree/programs" | cut -f1)" -lt "$part" ] || break
    [ -f "$f" ] && [ ! -L "$f" ] && cp "$f" "$tree/programs/" 2>/dev/null || true
  done
  (cd "$tree" && 7zz a -bd -y -t7z -mx=5 "$work/mixed.7z" . >/dev/null)
fi
echo "archive: $(du -m "$work/mixed.7z" | cut -f1) MB packed, $(du -sm "$tree" | cut -f1) MB unpacked, $(find "$tree" -type f | wc -l) files"

# Wine set-up outside the timings: prefix, server, and 7z.exe with its 7z.dll in one folder.
mkdir -p "$work/7z"
cp "$sevenzip/7z.exe" "$sevenzip/7z.dll" "$work/7z/"
"$run" "$bin/oxa_extract_bench.exe" >/dev/null 2>&1 || true

best() { sort -n | head -n 1; }
time_linux() {
  rm -rf "$work/out"; mkdir -p "$work/out"
  t0=$(now); 7zz x -bd -y -o"$work/out" "$work/mixed.7z" >/dev/null; t1=$(now)
  echo "$t1 - $t0" | bc
}
time_oxa() {
  rm -rf "$work/out"; mkdir -p "$work/out"
  t0=$(now)
  inside=$("$run" "$bin/oxa_extract_bench.exe" "$(winpath "$work/mixed.7z")" "$(winpath "$work/out")" | tr -d '\r')
  t1=$(now)
  echo "$(echo "$t1 - $t0" | bc) $inside"
}
time_7zexe() {
  rm -rf "$work/out"; mkdir -p "$work/out"
  t0=$(now); "$run" "$work/7z/7z.exe" x -bd -y "-o$(winpath "$work/out")" "$(winpath "$work/mixed.7z")" >/dev/null; t1=$(now)
  echo "$t1 - $t0" | bc
}

linux=$(for r in $(seq "$runs"); do time_linux; done | best)
oxa_runs=$(for r in $(seq "$runs"); do time_oxa; done)
oxa=$(echo "$oxa_runs" | cut -d' ' -f1 | best)
oxa_inside=$(echo "$oxa_runs" | cut -d' ' -f2 | best)
# Byte-for-byte check of the last oxa.lib extraction against the tree.
diff -r "$tree" "$work/out" >/dev/null && check=identical || check=DIFFERENT
exe=$(for r in $(seq "$runs"); do time_7zexe; done | best)

printf '7zz x (Linux)               %8.2f s\n' "$linux"
printf 'oxa.lib under Wine          %8.2f s (in-process %.2f s; output %s)\n' "$oxa" "$(echo "$oxa_inside / 1000" | bc -l)" "$check"
printf '7z.exe x under Wine         %8.2f s\n' "$exe"
printf 'ratio oxa.lib / 7zz x       %8.2f\n' "$(echo "$oxa / $linux" | bc -l)"
printf 'ratio oxa.lib / 7z.exe x    %8.2f\n' "$(echo "$oxa / $exe" | bc -l)"

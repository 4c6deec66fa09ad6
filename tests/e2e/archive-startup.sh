#!/bin/sh
# End to end under Wine: a setup built by oxac.exe (resources packed through oxa.lib) extracts its
# resource archive at start-up; a missing one stops with 14, a damaged one with 15.
# Usage: archive-startup.sh BIN-FOLDER EXAMPLE-PROJECT FIXTURE-FOLDER
set -eu
bin=$1 project=$2 fixtures=$3
run="$(dirname "$0")/../wine/wine-run"
work=$(mktemp -d "${TMPDIR:-/tmp}/vx-archive-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
winpath() { echo "Z:$1" | tr / '\\'; }

"$run" "$bin/oxac.exe" build "$(winpath "$project")" -o "$(winpath "$work/setup")" \
  --stub "$(winpath "$bin/oxastub.exe")" >"$work/oxac.log" 2>&1 || { cat "$work/oxac.log"; fail "oxac.exe build"; }
setup="$work/setup/$(basename "$project" .oxp)"
[ -f "$setup.res" ] || fail "no resource archive was packed"
7zz t "$setup.res" >/dev/null || fail "the packed resource archive does not test sound with 7zz"
cp "$setup.res" "$work/good.res"

trace_of() { iconv -f UTF-16LE -t UTF-8 "$work/trace.log" | tr -d '\r'; }
# run-setup EXPECTED-CODE: runs the setup silently with a trace.
run_setup() {
  rm -f "$work/trace.log"
  code=0
  "$run" "$setup.exe" /s "/l=$(winpath "$work/trace.log")" >/dev/null 2>&1 || code=$?
  [ "$code" = "$1" ] || fail "exit code $code, expected $1 ($2)"
}

run_setup 0 "sound resource archive"
trace_of | grep -A1 -x '    <ExtractArchive>' | grep -qx '    </ExtractArchive>' || fail "trace lacks the extraction block"

for damaged in "$fixtures/garbage.res" "$fixtures/truncated.7z"; do
  cp "$damaged" "$setup.res"
  run_setup 15 "damaged resource archive $(basename "$damaged")"
  trace_of | grep -qx '    <ExtractArchive>' || fail "trace lacks the extraction start"
  ! trace_of | grep -qx '    </ExtractArchive>' || fail "a failed extraction closed its trace block"
done

rm -f "$setup.res"
run_setup 14 "missing resource archive"
echo "archive start-up: ok"

#!/bin/sh
# End to end under Wine: a setup built by oxac.exe (resources packed through oxa.lib) extracts its
# resource archive at start-up, between "<ExtractArchive>" and "</ExtractArchive>"; a missing one
# stops with 14, a garbage or truncated one with 15, leaving its support folder without a
# partial tree.
# Usage: archive-startup.sh BIN-FOLDER DEMO-PROJECT FIXTURE-FOLDER
. "$(dirname "$0")/lib.sh"
project=$2 fixtures=$3

oxac_build "$project" "$E2E_WORK/setup"
setup="$E2E_WORK/setup/$(basename "$project" .oxp)"
[ -f "$setup.res" ] || fail "oxac.exe packed no resource archive"
7zz t "$setup.res" >/dev/null || fail "the resource archive oxa.lib packed does not test sound with 7zz"

# run_setup EXPECTED-CODE WHAT: a silent run with a trace.
run_setup() {
  rm -f "$E2E_WORK/trace.log"
  code=$(run_exe "$setup.exe" /s "/l=$(winpath "$E2E_WORK/trace.log")")
  expect_code "$1" "$code" "$2"
}

run_setup 0 "sound resource archive"
trace_lines "$E2E_WORK/trace.log" | grep -A1 -x '    <ExtractArchive>' | grep -qx '    </ExtractArchive>' ||
  fail "the trace lacks the extraction block"
[ -z "$(support_folders)" ] || fail "a finished run left its support folder"

for damaged in garbage.res truncated.7z; do
  cp "$fixtures/$damaged" "$setup.res"
  run_setup 15 "resource archive $damaged"
  trace_lines "$E2E_WORK/trace.log" | grep -qx '    <ExtractArchive>' || fail "$damaged: no extraction start traced"
  ! trace_lines "$E2E_WORK/trace.log" | grep -qx '    </ExtractArchive>' || fail "$damaged: failed extraction traced as done"
  # The stop leaves the support folder, and nothing of the archive in it.
  left=$(support_folders | tail -n 1)
  [ -n "$left" ] || fail "$damaged: the stop removed its support folder"
  [ -z "$(ls -A "$left")" ] || fail "$damaged: partial tree left in $left: $(ls -A "$left")"
  rm -rf "$left"
done

rm -f "$setup.res"
run_setup 14 "missing resource archive"
echo "archive start-up: ok"

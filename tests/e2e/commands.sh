#!/bin/sh
# End to end under Wine: the string, path and arithmetic commands in a real setup (the script
# scores its own checks and exits with the score), and two copies of a single-instance setup
# started together: the second ends at once with 0, the first keeps its marker until it ends.
. "$(dirname "$0")/lib.sh"
projects=$VELTRIX_SOURCE/tests/e2e/commands

oxac_build "$projects/strings.oxp" "$E2E_WORK/strings"
code=$(run_exe "$E2E_WORK/strings/strings.exe" /s "/l=$(winpath "$E2E_WORK/strings.log")")
expect_code 2047 "$code" "string commands (the bits missing from 2047 are the checks that failed)"

oxac_build "$projects/single-instance.oxp" "$E2E_WORK/single"
exe=$E2E_WORK/single/single-instance.exe
marker=$E2E_TEMP/{8899AABB-CCDD-4EEF-8011-223344556677}.oxa
run_exe "$exe" /s "/l=$(winpath "$E2E_WORK/first.log")" >"$E2E_WORK/first.code" &
first=$!
tries=0
until [ -f "$marker" ]; do
  tries=$((tries + 1))
  [ $tries -le 300 ] || fail "the first copy never created its marker"
  sleep 0.1
done
code=$(run_exe "$exe" /s "/l=$(winpath "$E2E_WORK/second.log")")
expect_code 0 "$code" "the second copy"
! trace_lines "$E2E_WORK/second.log" | grep -qx '    <zuri>' || fail "the second copy ran the script"
[ -f "$marker" ] || fail "the second copy removed the first one's marker"
kill -0 $first 2>/dev/null || fail "the first copy ended before it was told to"
: >"$E2E_WORK/single/stop.flag"
wait $first
expect_code 7 "$(cat "$E2E_WORK/first.code")" "the first copy"
[ ! -f "$marker" ] || fail "the first copy left its marker behind"
echo "commands: ok"

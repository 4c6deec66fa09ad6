#!/bin/sh
# End to end under Wine: the block statements. Each project in flow/ exercises one case and reports
# through the exit code it computes from the statements that ran ("Terminate with Exit Code"); its
# run trace must show a complete run. A run-time error in an included file names that file and line.
. "$(dirname "$0")/lib.sh"
projects=$VELTRIX_SOURCE/tests/e2e/flow

# check PROJECT EXPECTED-CODE: builds the project, runs it silently with a trace, checks the code.
check() {
  oxac_build "$projects/$1.oxp" "$E2E_WORK/$1"
  trace="$E2E_WORK/$1.log"
  code=$(run_exe "$E2E_WORK/$1/$1.exe" /s "/l=$(winpath "$trace")")
  expect_code "$2" "$code" "$1"
}

# A normal end closes every block of the interpreter's part of the trace.
check_complete_trace() {
  lines=$(trace_lines "$trace")
  for tag in '    <CompileScript>' '    <BootStrap>' '    <zuri>' '    </zuri>' '    <ExitScript>' '    </ExitScript>'; do
    echo "$lines" | grep -qxF "$tag" || fail "$1: trace lacks '$tag'"
  done
}

check else-if 25 && check_complete_trace else-if
check branches 136 && check_complete_trace branches
check break-in-if 12 && check_complete_trace break-in-if
check for-each 127 && check_complete_trace for-each
check repeat-break 1119 && check_complete_trace repeat-break
check left-loops 12536 && check_complete_trace left-loops
check include-return 42 && check_complete_trace include-return
check exit-3010 3010 && check_complete_trace exit-3010
check exit-abc 0 && check_complete_trace exit-abc

check runtime-error 0
lines=$(trace_lines "$trace")
echo "$lines" | grep -qF 'Runtime error in setup script: ' || fail "runtime-error: the trace lacks the error"
echo "$lines" | grep -qF '[Source File: broken, Line Number: 4]' || fail "runtime-error: the trace does not name broken.oxs line 4"
! echo "$lines" | grep -qxF '    </zuri>' || fail "runtime-error: a failed script closed its block"
echo "$lines" | grep -qxF '    </ExitScript>' && fail "runtime-error: the exit step traced its closing line"
echo "flow: ok"

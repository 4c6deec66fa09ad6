#!/bin/sh
# End to end under Wine: a setup defines components, deselects one and reports the required space
# through its exit code (see components/components.oxp); the feature selections it saves are the
# expected file byte for byte, written without a byte-order mark and without a leftover copy.
. "$(dirname "$0")/lib.sh"
project=$VELTRIX_SOURCE/tests/e2e/components

oxac_build "$project/components.oxp" "$E2E_WORK/components"
saved=$E2E_WORK/selections.dat
code=$(run_exe "$E2E_WORK/components/components.exe" /s "/l=$(winpath "$E2E_WORK/trace.log")" "OUT=$(winpath "$saved")")
expect_code 201004 "$code" "components"

[ -f "$saved" ] || fail "no feature selections were saved"
cmp -s "$saved" "$project/expected-selections.dat" || {
  od -c "$saved" | head -40 >&2
  fail "the saved feature selections differ from expected-selections.dat"
}
[ ! -e "$saved.dat" ] || fail "the copy written before the replace was left behind"
echo "components: ok"

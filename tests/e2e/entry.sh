#!/bin/sh
# End to end under Wine: the engine entry. A setup whose compiled script is written by hand runs
# silently with a run trace and cleans up; the stub alone stops with 13 and leaves its support
# folder; a setup without its resource archive stops with 14; a truncated script is a start-up
# error (11); support folders are numbered past existing names; the log path is lower-cased.
. "$(dirname "$0")/lib.sh"

crlf() { for line in "$@"; do printf '%s\r\n' "$line"; done; }

# Two statements, every section present; written exactly as the format lays it out.
crlf "Comment" "Set Variable" '$' \
     "{00000000-0000-0000-0000-000000000001}" "{00000000-0000-0000-0000-000000000002}" '$' \
     "{00000000-0000-0000-0000-000000000002}" "GREETING" "Hello" '$' \
     "" "" '$' \
     "{7D2C4A10-2E5B-4C1E-9A51-0F4E4C1D2B3A}" "Hand Made" '$' \
     "Tolvane" "" "" "" "" "1.0" '$' \
     "" "" '$' \
     "0" '$' \
     "{3F1B7C22-95D4-4E0A-8C3B-6A2D1E9F0B11}" '$' \
     "FALSE" "English" '$' \
     '$' \
     "1252" "hand.oxs*0" "hand.oxs*1" '$' \
     "0" '$' \
     "0*0" "0*0" '$' >"$E2E_WORK/hand.script"

setup=$(setup_from_script hand "$E2E_WORK/hand.script")

# A sound run: exit 0, the trace in order at the lower-cased path, no support folder left.
code=$(run_exe "$setup" /s "/l=$(winpath "$E2E_WORK")\\Trace.LOG")
expect_code 0 "$code" "hand-made script"
[ -f "$E2E_WORK/trace.log" ] || fail "the trace was not written to the lower-cased path"
[ ! -f "$E2E_WORK/Trace.LOG" ] || fail "the trace kept the upper-case path"
trace_lines "$E2E_WORK/trace.log" | grep -E '^(<|  <|    </?(SupportDir|StubSize|StubData|GlobalLists|ExtractArchive|ResourcePath|Dialogs)>)' \
  >"$E2E_WORK/entry-lines"
cat >"$E2E_WORK/expected" <<'LINES'
<Veltrix>
    <SupportDir>
    </SupportDir>
  <SetupSplash>
    <StubSize>
    </StubSize>
    <StubData>
    </StubData>
    <GlobalLists>
    </GlobalLists>
    <ExtractArchive>
    </ExtractArchive>
    <ResourcePath>
    </ResourcePath>
    <Dialogs>
    </Dialogs>
  </SetupSplash>
  <RunScript>
  </RunScript>
  <Free>
  </Free>
  <CachedSupportDir>
  </CachedSupportDir>
</Veltrix>
LINES
diff -u "$E2E_WORK/expected" "$E2E_WORK/entry-lines" >&2 || fail "the entry's trace lines differ"
[ -z "$(support_folders)" ] || fail "the support folder was left behind: $(support_folders)"
# The setup told the shell it is a host application.
"$WINE_RUN" reg query 'HKCR\Applications\hand.exe' /v IsHostApp 2>/dev/null </dev/null | grep -q IsHostApp ||
  fail "no IsHostApp value under HKCR\Applications\hand.exe"

# Numbering: a file "oxa1" and a folder "oxa2" are skipped; the stub alone stops with 13 and
# leaves its support folder, "oxa3".
echo "not a folder" >"$E2E_TEMP/oxa1"
mkdir "$E2E_TEMP/oxa2"
cp "$VELTRIX_BIN/oxastub.exe" "$E2E_WORK/bare.exe"
code=$(run_exe "$E2E_WORK/bare.exe" /s "/l=$(winpath "$E2E_WORK/bare.log")")
expect_code 13 "$code" "stub with nothing appended"
[ -d "$E2E_TEMP/oxa3" ] || fail "the stub's support folder is not oxa3: $(support_folders)"
trace_lines "$E2E_WORK/bare.log" | tail -n 1 | grep -qx '</Veltrix>' || fail "the stopped run's trace does not end with </Veltrix>"
rm -rf "$E2E_TEMP"/oxa*

# Without its resource archive the setup stops with 14 and leaves its support folder.
rm "$E2E_WORK/hand/hand.res"
code=$(run_exe "$setup" /s)
expect_code 14 "$code" "missing resource archive"
[ -n "$(support_folders)" ] || fail "the stopped run removed its support folder"
rm -rf "$E2E_TEMP"/oxa*

# A script cut short inside a section is a start-up error: 11, and the support folder goes.
head -c 200 "$E2E_WORK/hand.script" >"$E2E_WORK/cut.script"
cut=$(setup_from_script cut "$E2E_WORK/cut.script")
code=$(run_exe "$cut" /s "/l=$(winpath "$E2E_WORK/cut.log")")
expect_code 11 "$code" "truncated script"
trace_lines "$E2E_WORK/cut.log" | grep -qx "    <GlobalLists>" || fail "the truncated run did not reach the loader"
trace_lines "$E2E_WORK/cut.log" | grep -q "^  Runtime error in install: The setup script is truncated" || fail "the silent run did not trace its error"
[ -z "$(support_folders)" ] || fail "the failed run left its support folder"

# Setups started side by side on a machine where the archive engine has not been placed yet each
# get a support folder of their own and the same engine: all of them run to the end.
rm -rf "$VELTRIX_WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/RERIR"
for i in 1 2 3 4; do setup_from_script "side$i" "$E2E_WORK/hand.script" >/dev/null; done
for i in 1 2 3 4; do (run_exe "$E2E_WORK/side$i/side$i.exe" /s >"$E2E_WORK/side$i.code") & done
wait
for i in 1 2 3 4; do expect_code 0 "$(cat "$E2E_WORK/side$i.code")" "setup $i of 4 started side by side"; done
[ -z "$(support_folders)" ] || fail "setups started side by side left support folders: $(support_folders)"

echo "entry: ok"

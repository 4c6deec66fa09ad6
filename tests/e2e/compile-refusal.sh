#!/bin/sh
# End to end under Wine: a setup whose script fails the engine's compile check ends with exit code
# 314 right after "<CompileScript>", without tear-down (its support folder stays); a setup whose
# script passes goes on past "</CompileScript>".
# Usage: compile-refusal.sh BIN-FOLDER   (oxastub.exe and oxa.lib of a win64 build)
set -eu
bin=$(cd "$1" && pwd)
run="$(cd "$(dirname "$0")/../wine" && pwd)/wine-run"
export VELTRIX_WINEPREFIX="${VELTRIX_WINEPREFIX:-$(dirname "$bin")/wineprefix}"
work=$(mktemp -d "${TMPDIR:-/tmp}/vx-compile-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
winpath() { echo "Z:$1" | tr / '\\'; }

# A compiled script with one statement per argument ("command|flag|parameter 1|parameter 2|...").
compiled_script() {
  n=0
  for s in "$@"; do printf '%s\r\n' "${s%%|*}"; done; printf '$\r\n'
  for s in "$@"; do n=$((n + 1)); printf '{00000000-0000-0000-0000-%012d}\r\n' $n; done; printf '$\r\n'
  n=0
  for s in "$@"; do
    n=$((n + 1)); rest=${s#*|}
    case $rest in *"|"*) rest=${rest#*|} ;; *) continue ;; esac
    printf '{00000000-0000-0000-0000-%012d}\r\n' $n
    printf '%s\n' "$rest" | tr '|' '\n' | while IFS= read -r p; do printf '%s\r\n' "$p"; done
  done; printf '$\r\n'
  for s in "$@"; do rest=${s#*|}; printf '%s\r\n' "${rest%%|*}"; done; printf '$\r\n'
  printf '{11111111-2222-3333-4444-555555555555}\r\nCompile Check\r\n$\r\n'
  printf 'Veltrix\r\n\r\n\r\n\r\n\r\n1.0\r\n$\r\n'
  for s in "$@"; do printf '\r\n'; done; printf '$\r\n'
  printf '0\r\n$\r\n'
  printf '{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}\r\n$\r\n'
  printf 'FALSE\r\nEnglish\r\n$\r\n'
  printf '$\r\n'
  printf '1252\r\n'; n=0; for s in "$@"; do printf 'main.oxs*%d\r\n' $n; n=$((n + 1)); done; printf '$\r\n'
  printf '0\r\n$\r\n'
  for s in "$@"; do printf '0*0\r\n'; done; printf '$\r\n'
}

echo "readme" >"$work/readme.txt"
# Support folders ("oxa" + number) in the user's temporary folder, wherever this Wine keeps it.
support_folders() {
  find "$VELTRIX_WINEPREFIX/drive_c/users/$(id -un)" -maxdepth 4 -type d -name 'oxa[0-9]*' -path '*Temp/oxa*' 2>/dev/null | sort
}
trace_of() { iconv -f UTF-16LE -t UTF-8 "$work/trace.log" | tr -d '\r'; }

# run_setup NAME EXPECTED-CODE STATEMENT...: builds the setup NAME and runs it silently with a trace.
run_setup() {
  name=$1 expected=$2; shift 2
  cp "$bin/oxastub.exe" "$work/$name.exe"
  compiled_script "$@" >>"$work/$name.exe"
  rm -f "$work/$name.res"; (cd "$work" && 7zz a "$name.res" readme.txt >/dev/null)
  cp "$bin/oxa.lib" "$work/oxa.lib"
  rm -f "$work/trace.log"
  before=$(support_folders)
  # The shell sees only the low byte of an exit code (314 reads as 58): ask cmd for the whole code.
  code=$("$run" cmd /v:on /c "start \"\" /wait $(winpath "$work/$name.exe") /s /l=$(winpath "$work/trace.log") & echo code=!ERRORLEVEL!" 2>/dev/null |
    tr -d '\r' | sed -n 's/^code=//p')
  [ "$code" = "$expected" ] || fail "$name: exit code ${code:-none}, expected $expected"
  left=$(support_folders)
}

# Break outside any loop: refused.
run_setup refused 314 "Comment|" "Break|"
trace_of | grep -qx '    <CompileScript>' || fail "refused: trace lacks <CompileScript>"
! trace_of | grep -q '</CompileScript>' || fail "refused: the compile block was closed"
! trace_of | grep -q '</Veltrix>' || fail "refused: the run was torn down"
[ "$left" != "$before" ] || fail "refused: the support folder was removed"
for d in $left; do echo "$before" | grep -qx "$d" || rm -rf "$d"; done

# The same script with the Break inside a loop passes and runs on.
run_setup accepted 0 "Comment|" "While|C|SILENT|0||FALSE" "Break|C" "Wend|C" "Set Variable||DONE|yes"
trace_of | grep -qx '    </CompileScript>' || fail "accepted: trace lacks </CompileScript>"
echo "compile refusal: ok"

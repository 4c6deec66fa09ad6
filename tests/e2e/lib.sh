# Shared helpers of the end-to-end suites: build setups, run them under 64-bit Wine, read what
# they left. Source it from a suite: . "$(dirname "$0")/lib.sh"
#
# Environment (CTest sets it; defaults suit a manual run from the source tree):
#   VELTRIX_BIN         the win64 bin folder (oxastub.exe, oxa.lib, oxac.exe)
#   VELTRIX_SOURCE      the source tree
#   VELTRIX_WINEPREFIX  the Wine prefix of this build tree
set -eu

VELTRIX_SOURCE=${VELTRIX_SOURCE:-$(cd "$(dirname "$0")/../.." && pwd)}
VELTRIX_BIN=${VELTRIX_BIN:-$VELTRIX_SOURCE/build/win64/bin}
export VELTRIX_WINEPREFIX=${VELTRIX_WINEPREFIX:-$(dirname "$VELTRIX_BIN")/wineprefix}
WINE_RUN=$VELTRIX_SOURCE/tests/wine/wine-run

E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/vx-e2e.XXXXXX")
trap 'rm -rf "$E2E_WORK"' EXIT
# Each suite's setups get a temporary folder of their own, so suites running side by side never
# see each other's support folders or single-instance markers.
E2E_TEMP=$E2E_WORK/temp
mkdir -p "$E2E_TEMP"

fail() { echo "FAIL: $*" >&2; exit 1; }

# The Windows form of a Linux path (Wine's Z: drive).
winpath() { echo "Z:$1" | tr / '\\'; }

# Support folders ("oxa" + number) now in the suite's temporary folder, one per line.
support_folders() { find "$E2E_TEMP" -maxdepth 1 -name 'oxa[0-9]*' 2>/dev/null | sort; }

# The trace file as UTF-8 lines without CR; fails when the file is not UTF-16LE with CR LF lines.
trace_lines() {
  [ -f "$1" ] || fail "no trace at $1"
  if head -c 2 "$1" | od -An -tx1 | grep -q 'ff fe'; then fail "the trace starts with a byte-order mark"; fi
  iconv -f UTF-16LE -t UTF-8 "$1" | tr -d '\r'
}

# run_exe EXE ARGS...: runs a Windows program with the suite's temporary folder and prints its
# whole exit code (Wine hands only the low byte to the shell, so cmd reports it).
run_exe() {
  exe=$(winpath "$1"); shift
  temp=$(winpath "$E2E_TEMP")
  # Files of their own, so runs started side by side do not mix their answers.
  codefile=$(mktemp "$E2E_WORK/exit-code.XXXXXX")
  wineout=$(mktemp "$E2E_WORK/wine-out.XXXXXX")
  "$WINE_RUN" cmd /v:on /c "set TMP=$temp&& set TEMP=$temp&& start \"\" /wait $exe $* & echo !ERRORLEVEL!>$(winpath "$codefile")" \
    >"$wineout" 2>&1 </dev/null || true
  if [ -s "$codefile" ]; then
    tr -d '\r\n ' <"$codefile"
  else
    # No code came back: say what Wine printed, so the failure can be told from a wrong code.
    echo "run_exe: no exit code from $exe; Wine said:" >&2
    cat "$wineout" >&2
  fi
}
# expect_code EXPECTED ACTUAL WHAT
expect_code() { [ "$2" = "$1" ] || fail "$3: exit code ${2:-none}, expected $1"; }

# oxac_build PROJECT OUT-FOLDER: builds a setup with the Windows authoring compiler.
oxac_build() {
  "$WINE_RUN" "$VELTRIX_BIN/oxac.exe" build "$(winpath "$1")" -o "$(winpath "$2")" \
    --stub "$(winpath "$VELTRIX_BIN/oxastub.exe")" >"$E2E_WORK/oxac.log" 2>&1 ||
    { cat "$E2E_WORK/oxac.log" >&2; fail "oxac build $1"; }
}

# setup_from_script NAME SCRIPT-FILE: a setup made by hand, the stub followed by a compiled
# script, with an empty resource archive and oxa.lib beside it. Prints the exe path.
setup_from_script() {
  mkdir -p "$E2E_WORK/$1"
  cat "$VELTRIX_BIN/oxastub.exe" "$2" >"$E2E_WORK/$1/$1.exe"
  [ -f "$VELTRIX_BIN/oxa.lib" ] && cp "$VELTRIX_BIN/oxa.lib" "$E2E_WORK/$1/"
  (cd "$E2E_WORK/$1" && echo "resource" >readme.txt && 7zz a -bd "$1.res" readme.txt >/dev/null && rm readme.txt)
  echo "$E2E_WORK/$1/$1.exe"
}

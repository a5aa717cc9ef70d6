#!/usr/bin/env bash
# The Windows end-to-end suite: runs the x86-64 comterm.exe under wine64, its console in
# tmux and its COM ports on pseudo-terminals, and checks each case on the console's cells,
# on the bytes at the far end of the port and on the exit status.
#
#   run_suite.sh COMTERM_EXE WORK_DIR [CASE_FUNCTION...]
#
# WORK_DIR keeps the built aids and the wine prefix between runs. Prints each case by name
# with PASS or FAIL, then "N passed, M failed"; exits non-zero when a case failed.
set -uo pipefail

if (($# < 2)); then
  echo "usage: $0 COMTERM_EXE WORK_DIR [CASE_FUNCTION...]" >&2
  exit 2
fi
EXE=$(realpath "$1") || exit 2
mkdir -p "$2" || exit 2
SUITE_DIR=$(realpath "$2")
shift 2
AIDS_SRC=$(dirname "$(realpath "$0")")
REPO_ROOT=$(realpath "$AIDS_SRC/../..")

source "$AIDS_SRC/harness.sh"
source "$AIDS_SRC/checks.sh"
source "$AIDS_SRC/cases.sh"

CASE_COUNT=0
PASSED=0
FAILED=0

# A failed case shows why, then what the console and the wire held.
report_failure() {
  local message port
  for message in "${CASE_FAILURES[@]}"; do echo "    $message"; done
  if [[ -n $LAST_DUMP && -s $LAST_DUMP ]]; then
    echo "    console ($(basename "$LAST_DUMP")):"
    for ((row = 0; row < $(dump_height "$LAST_DUMP"); row++)); do
      [[ -n $(screen_row "$LAST_DUMP" "$row") ]] && echo "      $row: $(screen_row "$LAST_DUMP" "$row")"
    done
  fi
  local wire
  for port in "${MAPPED_PORTS[@]}"; do
    wire=$(wire_hex "$port")
    ((${#wire} > 240)) && wire="${wire:0:240} ... (${#wire} characters)"
    echo "    wire of COM$port: $wire"
  done
}

run_case() {
  local function=$1 name=$2
  case_begin
  "$function"
  # A case that ended early must still say why.
  (($? != 0 && ${#CASE_FAILURES[@]} == 0)) && fail "the case stopped early"
  case_end
  if ((${#CASE_FAILURES[@]} == 0)); then
    echo "PASS  $name"
    ((PASSED++))
  else
    echo "FAIL  $name"
    report_failure
    ((FAILED++))
  fi
}

# True for a case named on the command line, or for every case when none was named.
is_selected() {
  local wanted
  ((${#SELECTED[@]} == 0)) && return 0
  for wanted in "${SELECTED[@]}"; do [[ $wanted == "$1" ]] && return 0; done
  return 1
}

cleanup() {
  if [[ -n ${CASE_ID:-} ]]; then case_end; fi
  wine_stop
}

SELECTED=("$@")
if [[ ! -f $EXE ]]; then
  echo "no executable at $EXE" >&2
  exit 2
fi
if ! build_aids; then
  echo "could not build the test aids" >&2
  exit 2
fi
trap cleanup EXIT
trap 'exit 130' INT TERM
if ! wine_start; then
  echo "could not start wine (prefix $WINEPREFIX)" >&2
  exit 2
fi

for entry in "${CASES[@]}"; do
  function=${entry%%|*}
  is_selected "$function" && run_case "$function" "${entry#*|}"
done
CASE_ID=
echo "$PASSED passed, $FAILED failed"
((FAILED == 0))

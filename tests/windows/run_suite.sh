#!/usr/bin/env bash
# The Windows end-to-end suite: runs comterm.exe (the i686 or the x86-64 build) under
# wine, its console in tmux and its COM ports on pseudo-terminals, and checks each case on
# the console's cells, on the bytes at the far end of the port and on the exit status.
#
#   run_suite.sh COMTERM_EXE WORK_DIR [CASE_FUNCTION...]
#
# WORK_DIR keeps the built aids and the wine prefix between runs. Prints the build it
# judges, each case by name with PASS or FAIL, then "ARCH: N passed, M failed"; exits
# non-zero when a case failed. A machine that cannot start the wine loader of the build's
# architecture (a kernel without 32-bit support) runs no case: the suite then only builds
# the record tests, whose compile-time checks hold the record layouts of that
# architecture, says so and exits with 77.
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

# Builds the record tests only, for a machine that cannot run this architecture.
check_records_unrun() {
  mkdir -p "$AIDS" &&
    build_windows_program "$AIDS/comm_records_test.exe" tests/windows/comm_records_test.cpp \
      src/serial/comm_records_win32.cpp
}

SELECTED=("$@")
if [[ ! -f $EXE ]]; then
  echo "no executable at $EXE" >&2
  exit 2
fi
ARCH=$(pe_architecture "$EXE")
if [[ -z $ARCH ]]; then
  echo "$EXE is neither an i686 nor an x86-64 Windows executable" >&2
  exit 2
fi
select_architecture "$ARCH"
echo "Windows suite: the $ARCH build $EXE, under $WINE"
if ! wine_loader_runs; then
  echo "$ARCH: no case run: this machine cannot start $WINE (wine32 missing, or a kernel that runs no 32-bit programs)"
  check_records_unrun || exit 1
  echo "$ARCH: the record tests build, so their compile-time layout checks hold"
  exit 77
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
echo "$ARCH: $PASSED passed, $FAILED failed"
((FAILED == 0))

# The cases of the Windows suite, in the order they run: "function|name shown in the run".
# Each runs comterm.exe under wine and checks the console's cells, the bytes at the far
# end of its COM port and its exit status. Sourced by run_suite.sh.
CASES=(
  "case_usage|usage text for -h"
  "case_invalid_option|invalid option -q: error line, status 1"
  "case_invalid_number|invalid number -p abc: error line, status 1"
  "case_opening_line|opening line for -p 7 -b 9600; Escape ends with status 0"
  "case_line_settings|line settings reach the port: 115200, odd parity, two stop bits, flow"
  "case_keys|typed keys reach the wire and are echoed"
  "case_alt_keypad|Alt with keypad digits 6, 5 sends A"
  "case_receive_plain|bytes from the wire shown as characters"
  "case_receive_hex|bytes from the wire shown as hex tokens"
  "case_myavr|myAVR blocks at start and after Escape"
  "case_stc|STC blocks every 100 ms on a silent line, none after the first answer"
  "case_missing_port|a COM port that does not exist: serial error line, status 1"
  "case_comm_records|Win32 serial records: DCB, time-outs and COMSTAT copied field by field"
  "case_port_returns|a COM port's device goes and returns: disconnected, reconnected, relaying on"
  "case_tcp_port|tcp:// to a listener on 127.0.0.1: keys out, bytes in, Escape closes"
)

# Key events as "VK SCAN CHAR STATE", the way a PC console reports them.
KEY_ESCAPE="27 1 27 0"
KEY_ENTER="13 28 13 0"
KEY_UP="38 72 0 0"
KEY_A="65 30 97 0"
KEY_B="66 48 98 0"
KEY_K="75 37 107 0"
ALT_DOWN="down 18 56 0 2"
ALT_UP="up 18 56 0 0"
KEYPAD_6_WITH_ALT="102 77 0 2"
KEYPAD_5_WITH_ALT="101 76 0 2"

MYAVR_DATA_MODE="08 00 00 00 D5 A6 FD E1 F7 E2 C6 64"
MYAVR_PROGRAMMING_MODE="08 00 00 00 D5 A6 FD E1 F7 E2 C6 70"
STC_SYNC="01 00 00 00 7F"
ERROR_HEADER='^exception at [0-9A-F]{8}:$'

# The opening line for a port with the defaults but for the fields given as name=value.
opening_line() {
  local -A f=([com]=5 [baud]=19200 [databits]=8 [parity]=N [stop]=0 [softflow]=0
    [hardflow]=0 [hexmode]=0 [stcmode]=0)
  local pair
  for pair in "$@"; do f[${pair%%=*}]=${pair#*=}; done
  printf 'opening com=%s baud=%s databits=%s parity=%s stop=%s softflow=%s hardflow=%s' \
    "${f[com]}" "${f[baud]}" "${f[databits]}" "${f[parity]}" "${f[stop]}" "${f[softflow]}" \
    "${f[hardflow]}"
  printf ' hexmode=%s stcmode=%s' "${f[hexmode]}" "${f[stcmode]}"
}

# Looks at the cells the program left behind when it ended.
use_final_dump() {
  LAST_DUMP="$CTL/final"
  [[ -s $LAST_DUMP ]] && return 0
  fail "no final dump of the console"
  return 1
}

# Starts comterm.exe on COM5 with these options.
start_on_com5() {
  attach_port 5 && launch -p 5 "$@"
}

# Presses Escape, expects status 0 and, in the cells left behind, nothing after `row`.
escape_ends() {
  press "$KEY_ESCAPE" || return 1
  expect_status 0
  use_final_dump && expect_blank_from "$1"
}

case_usage() {
  local path
  path=$(windows_path "$EXE") || return 1
  launch -h || return 1
  expect_status 0
  use_final_dump || return 1
  local usage_line="Usage: ${path//\\/\\\\} -h"
  expect_row 0 "$usage_line"
  expect_attributes 0 "${#usage_line}" 0007
  local -a lines=(
    " -p --port         1, 2, 3 etc."
    " -b --baud         9600, 19200, etc."
    " -d --data         8 or 7"
    " -r --parity       N, E, O"
    " -s --stop         0=one, 1=1.5, 2=two"
    " -f --softflow     softflow"
    " -h --hardflow     hardflow"
    " -m --myavr        switch to myAVR data mode"
    " -c --stc          switch to STC mode"
    " -x --hex          enable hex mode"
    "    --device=NAME  open NAME instead of COM<port> (a device path, or loop://)"
    "    --no-reconnect end the run when the device is lost instead of waiting for it"
    "    --list         list the serial ports of this machine and exit"
    "    --timestamps=F stamp received lines; F: time (default), iso, elapsed, delta"
    "    --log=FILE     append every received byte to FILE"
    "    --char-delay=N pause N ms after each key sent (0 to 10000)"
    "    --line-delay=N pause N ms more after each Enter sent (0 to 10000)"
    "    --no-echo      send typed keys without showing them"
    "    --imap=NAMES   show received line ends: lfcrlf, crlf, igncr"
    "    --omap=NAMES   send Enter as: crlf, lf"
    "    --version      print the version and stop"
  )
  local row
  for row in "${!lines[@]}"; do expect_row $((row + 1)) "${lines[row]}"; done
  expect_blank_from $((${#lines[@]} + 1))
  expect_cursor 0 $((${#lines[@]} + 1))
}

case_invalid_option() {
  launch -q || return 1
  expect_status 1
  use_final_dump || return 1
  expect_row 0 "exception at 00000000:"
  expect_row 1 "$(indented 22 'Invalid option at position 1: "q".')"
  expect_blank_from 2
}

case_invalid_number() {
  launch -p abc || return 1
  expect_status 1
  use_final_dump || return 1
  expect_row_like 0 "$ERROR_HEADER"
  expect_row 1 "$(indented 22 '"abc" is an invalid integer.')"
  expect_blank_from 2
}

case_opening_line() {
  attach_port 7 && launch -p 7 -b 9600 || return 1
  await_row 0 "$(opening_line com=7 baud=9600)" || return 1
  await_termios 7 speed=9600 databits=8 parodd=0 cstopb=0 crtscts=0 ixon=0
  escape_ends 1
  expect_wire 7 ""
}

case_line_settings() {
  attach_port 6 && launch -p 6 -b 115200 -r O -s 2 -f --hardflow || return 1
  await_row 0 "$(opening_line com=6 baud=115200 parity=O stop=2 softflow=1 hardflow=1)"
  # A pty keeps PARENB off whatever is asked, but PARODD shows the odd parity asked for.
  await_termios 6 speed=115200 parodd=1 cstopb=1 crtscts=1 ixon=1
  escape_ends 1
}

case_keys() {
  start_on_com5 || return 1
  await_row 0 "$(opening_line)" || return 1
  # Through the terminal first, as a user types; then exact events.
  type_in_pane "xy"
  await_wire 5 "78 79" || return 1
  press "$KEY_UP" "$KEY_A" "$KEY_B" "$KEY_ENTER"
  await_wire 5 "78 79 00 48 61 62 0D"
  # The arrow shows as two cells, 0 and 'H'; Enter's CR returns to the row's start.
  await_row 1 'xy\x00Hab'
  expect_cursor 0 1
  escape_ends 2
  expect_row 1 'xy\x00Hab'
  expect_wire 5 "78 79 00 48 61 62 0D"
}

case_alt_keypad() {
  start_on_com5 || return 1
  await_row 0 "$(opening_line)" || return 1
  press "$ALT_DOWN" "$KEYPAD_6_WITH_ALT" "$KEYPAD_5_WITH_ALT" "$ALT_UP"
  await_wire 5 "41"
  await_row 1 "A"
  escape_ends 2
}

# Types one key and waits until it arrives, which proves the relay loop is running.
relay_running() {
  press "$KEY_K" && await_wire 5 "6B"
}

case_receive_plain() {
  start_on_com5 || return 1
  relay_running || return 1
  peer_send 5 'Hello\r\ncaf\xe9\x07!'
  await_row 1 "kHello"
  await_row 2 'caf\xE9!'
  escape_ends 3
}

case_receive_hex() {
  start_on_com5 -x || return 1
  relay_running || return 1
  # A received 0 is shown too: the relay tells it from a silent wait.
  peer_send 5 'A\n\xff\x00B'
  await_row 1 "k#41 #0A #FF #00 #42"
  escape_ends 2
}

case_myavr() {
  start_on_com5 -m || return 1
  await_row 1 "MyAVR: switching to data mode" || return 1
  expect_row 0 "$(opening_line)"
  await_wire 5 "$MYAVR_DATA_MODE"
  press "$KEY_ESCAPE"
  expect_status 0
  use_final_dump || return 1
  expect_row 2 "MyAVR: switching to programming mode"
  expect_blank_from 3
  # The far end may still be reading the last block when the program's status appears.
  await_wire 5 "$MYAVR_DATA_MODE $MYAVR_PROGRAMMING_MODE" 5
}

# The sync blocks repeated `count` times.
sync_blocks() {
  local i text=
  for ((i = 0; i < $1; i++)); do text+=" $STC_SYNC"; done
  printf '%s' "${text# }"
}

case_stc() {
  start_on_com5 -c || return 1
  wire_has_block() { (($(wire_count 5) >= 5)); }
  if ! wait_until 10 wire_has_block; then
    fail "no sync block arrived"
    return 1
  fi
  # Pace: one block per 100 ms wait; loose bounds, since only the order of magnitude
  # tells a timed wait from one that returns at once.
  local start_bytes start_ns end_bytes end_ns per_second
  start_bytes=$(wire_count 5)
  start_ns=$(date +%s%N)
  sleep 1
  end_bytes=$(wire_count 5)
  end_ns=$(date +%s%N)
  per_second=$(((end_bytes - start_bytes) * 200000000 / (end_ns - start_ns)))
  ((per_second >= 3 && per_second <= 30)) ||
    fail "sync blocks per second: expected about 10, found $per_second"
  # The first non-zero byte from the target ends them for good.
  peer_send 5 'A'
  sleep 0.5
  local blocks=$(($(wire_count 5) / 5))
  sleep 0.5
  expect_wire 5 "$(sync_blocks "$blocks")"
  local dots
  printf -v dots '%*s' "$blocks" ''
  await_row 1 "${dots// /.}A"
  escape_ends 2
}

# COM99: far above the ports wine finds on a machine, and never mapped by the suite.
case_missing_port() {
  launch -p 99 || return 1
  expect_status 1
  use_final_dump || return 1
  expect_row 0 "$(opening_line com=99)"
  expect_row_like 1 "$ERROR_HEADER"
  expect_row_like 2 "^ {22}Communication error [0-9]+: [^ ]"
  expect_blank_from 3
}

# Unit tests of the serial backend's record copies, built here and run under wine.
case_comm_records() {
  local program="$CASE_DIR/comm_records_test.exe"
  if ! build_windows_program "$program" tests/windows/comm_records_test.cpp \
    src/serial/comm_records_win32.cpp >"$CASE_DIR/build.log" 2>&1; then
    fail "the record tests do not build: $(head -c 600 "$CASE_DIR/build.log")"
    return 1
  fi
  run_windows_program "$program" "$CASE_DIR/output"
  local status=$? line
  ((status == 0)) && return 0
  fail "the record tests ended with status $status"
  while IFS= read -r line; do fail "$line"; done <"$CASE_DIR/output"
  return 1
}

# COM5's device goes (its pty's far end closes and the dosdevices link is removed) and
# comes back on a new pty under the same link, as an unplugged USB adapter returns.
case_port_returns() {
  start_on_com5 || return 1
  relay_running || return 1
  rm -f "$WINEPREFIX/dosdevices/com5" "$CASE_DIR/com5/slave"
  kill "${PEER_PIDS[-1]}" && wait "${PEER_PIDS[-1]}" 2>/dev/null
  port_lost() { dump_screen && [[ $(screen_row "$LAST_DUMP" 2) == "disconnected com=5: "* ]]; }
  if ! wait_until 10 port_lost; then
    fail "no disconnected row: [$(screen_row "$LAST_DUMP" 2)]"
    return 1
  fi
  expect_row 1 "k"
  expect_row_like 2 '^disconnected com=5: [^.]*[^. ]$'
  # A key typed while the port is away goes nowhere.
  press "$KEY_A" || return 1
  attach_port 5 || return 1
  await_row 3 "reconnected com=5" || return 1
  relay_running || return 1
  peer_send 5 'back'
  await_row 4 "kback"
  expect_wire 5 "6B"
  escape_ends 5
}

# tcp:// to a listener of the suite's own on 127.0.0.1 (its directory stands in for a COM
# port's, so the wire helpers serve it as "port 9"), both ways.
case_tcp_port() {
  local dir="$CASE_DIR/com9"
  mkdir -p "$dir"
  if ! build_aid "$AIDS/tcp_peer" "$AIDS_SRC/tcp_peer.c" gcc -O2 -Wall -Wextra -Werror \
    >"$CASE_DIR/build.log" 2>&1; then
    fail "tcp_peer does not build: $(head -c 600 "$CASE_DIR/build.log")"
    return 1
  fi
  "$AIDS/tcp_peer" "$dir" </dev/null >"$dir/log" 2>&1 &
  PEER_PIDS+=($!)
  if ! wait_until 5 test -s "$dir/port"; then
    fail "tcp_peer did not start"
    return 1
  fi
  local device="tcp://127.0.0.1:$(<"$dir/port")"
  launch "--device=$device" || return 1
  await_row 0 "opening device=$device baud=19200 databits=8 parity=N stop=0 softflow=0 hardflow=0 hexmode=0 stcmode=0" ||
    return 1
  press "$KEY_A" "$KEY_B"
  await_wire 9 "61 62" || return 1
  peer_send 9 'Hi\xff!'
  await_row 1 'abHi\xFF!'
  escape_ends 2
  wait_until 5 test -e "$dir/closed" || fail "the connection was not closed after Escape"
}

# Checks of the Windows suite, on the console's cells (dumps written by the console
# launcher) and on the bytes at a pty's far end. Each check that fails records why with
# `fail` and returns non-zero; the case goes on, so one run shows every difference.
# Row and column numbers are 0-based; a row's text is compared without its trailing blanks,
# in the dump notation of console_launcher.cpp (e.g. \xE9 for é, \\ for a backslash).

dump_height() { read -r _ _ _ _ _ height <"$1" 2>/dev/null && echo "$height"; }

# Row `row` of a dump, without trailing blanks.
screen_row() {
  local line
  line=$(sed -n "$(($2 + 2))p" "$1" 2>/dev/null)
  printf '%s' "${line%"${line##*[! ]}"}"
}

# The attribute words of row `row` of a dump, four hex digits per cell.
attribute_row() {
  local height
  height=$(dump_height "$1")
  sed -n "$(($2 + 2 + height))p" "$1" 2>/dev/null
}

# `count` blanks and then the text: the second row of an error line, whose line feed keeps
# the column after "exception at XXXXXXXX:".
indented() { printf '%*s%s' "$1" '' "$2"; }

expect_row() {
  local actual
  actual=$(screen_row "$LAST_DUMP" "$1")
  [[ $actual == "$2" ]] && return 0
  fail "row $1: expected [$2], found [$actual]"
  return 1
}

expect_row_like() {
  local actual
  actual=$(screen_row "$LAST_DUMP" "$1")
  [[ $actual =~ $2 ]] && return 0
  fail "row $1: expected a match of /$2/, found [$actual]"
  return 1
}

# Every row from `first` to the bottom is blank.
expect_blank_from() {
  local row height
  height=$(dump_height "$LAST_DUMP")
  for ((row = $1; row < height; row++)); do
    [[ -z $(screen_row "$LAST_DUMP" "$row") ]] && continue
    fail "row $row: expected blank, found [$(screen_row "$LAST_DUMP" "$row")]"
    return 1
  done
}

expect_cursor() {
  local actual
  actual=$(head -n 1 "$LAST_DUMP" | cut -d' ' -f2,3)
  [[ $actual == "$1 $2" ]] && return 0
  fail "cursor: expected ($1, $2), found ($actual)"
  return 1
}

# The first `count` cells of row `row` all carry the attribute `attribute` (4 hex digits).
expect_attributes() {
  local row=$1 count=$2 attribute=$3 actual expected=
  actual=$(attribute_row "$LAST_DUMP" "$row")
  actual=${actual:0:$((count * 4))}
  for ((i = 0; i < count; i++)); do expected+=$attribute; done
  [[ $actual == "$expected" ]] && return 0
  fail "row $row: expected attribute $attribute on $count cells, found $actual"
  return 1
}

# Dumps the screen until row `row` reads `text`, for up to `seconds` (default 10).
await_row() {
  local row=$1 text=$2 seconds=${3:-10}
  local deadline=$((SECONDS + seconds))
  while dump_screen; do
    [[ $(screen_row "$LAST_DUMP" "$row") == "$text" ]] && return 0
    ((SECONDS >= deadline)) && break
    sleep 0.05
  done
  program_ended && LAST_DUMP="$CTL/final"
  expect_row "$row" "$text"
}

expect_wire() {
  local actual
  actual=$(wire_hex "$1")
  [[ $actual == "$2" ]] && return 0
  fail "wire of COM$1: expected [$2], found [$actual]"
  return 1
}

# Waits up to `seconds` (default 10) for exactly these bytes at COM<n>'s far end.
await_wire() {
  local port=$1 hex=$2 seconds=${3:-10}
  wire_is() { [[ $(wire_hex "$port") == "$hex" ]]; }
  wait_until "$seconds" wire_is
  expect_wire "$port" "$hex"
}

# Waits for the program to end and checks its exit status.
expect_status() {
  local status
  await_status "${2:-10}" || return 1
  status=$(<"$CTL/status")
  [[ $status == "$1" ]] && return 0
  fail "exit status: expected $1, found $status"
  return 1
}

# Waits up to 10 s for the far end's view of the line settings to contain every word given.
await_termios() {
  local port=$1
  shift
  termios_has() {
    local word settings
    settings=" $(peer_termios "$port") "
    for word in "$@"; do [[ $settings == *" $word "* ]] || return 1; done
  }
  wait_until 10 termios_has "$@" && return 0
  fail "line settings of COM$port: expected $*, found [$(peer_termios "$port")]"
  return 1
}

# The Windows suite's harness: one wine session for the whole run, and per case a private
# tmux server whose pane runs comterm.exe under the console launcher, with its COM ports on
# pseudo-terminals held by pty_peer. Sourced by run_suite.sh, which sets these first:
#   SUITE_DIR  work directory (aids, wine prefix, case directories)
#   EXE        the comterm.exe under test (i686 or x86-64)
#   AIDS_SRC   the directory holding the aids' sources
#   REPO_ROOT  the repository's root
# The build's architecture decides the wine loader and the architecture of every aid, so
# that a 32-bit build runs 32-bit throughout. The prefix is always a 64-bit one, made by
# wine64: it runs programs of both architectures.

WINE64=/usr/lib/wine/wine64
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEPREFIX="$SUITE_DIR/prefix"
export WINEDEBUG=-all
SCREEN_WIDTH=160
SCREEN_HEIGHT=30
RUN_ID="comterm-win-$$-$RANDOM"

# The architecture of a Windows executable, from the machine field of its PE header:
# i686 or x86-64 (empty for anything else).
pe_architecture() {
  local header_offset machine
  header_offset=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [[ -n $header_offset ]] || return 1
  machine=$(od -An -t x2 -j $((header_offset + 4)) -N 2 "$1" 2>/dev/null | tr -d ' ')
  case $machine in
    014c) echo i686 ;;
    8664) echo x86-64 ;;
  esac
}

# Chooses the wine loader, the compilers and the aids' folder for the architecture.
select_architecture() {
  BUILD_ARCH=$1
  if [[ $BUILD_ARCH == i686 ]]; then
    WINE=${WINE:-/usr/lib/wine/wine}
    MINGW_CXX=i686-w64-mingw32-g++
    HOST_ARCH_FLAG=-m32
  else
    WINE=${WINE:-$WINE64}
    MINGW_CXX=x86_64-w64-mingw32-g++
    HOST_ARCH_FLAG=-m64
  fi
  AIDS="$SUITE_DIR/aids-$BUILD_ARCH"
}

# True when this machine can start the wine loader of the build's architecture (a kernel
# without 32-bit support cannot run the 32-bit one).
wine_loader_runs() { "$WINE" --version </dev/null >/dev/null 2>&1; }

# Builds an aid when its source is newer than the built file.
build_aid() {
  local output=$1 source=$2
  shift 2
  [[ -f $output && $output -nt $source ]] && return 0
  "$@" -o "$output" "$source"
}

build_aids() {
  mkdir -p "$AIDS" || return 1
  # The preload library goes into the wine processes, so it has their ELF class.
  build_aid "$AIDS/pty_port_preload.so" "$AIDS_SRC/pty_port_preload.c" \
    gcc "$HOST_ARCH_FLAG" -O2 -Wall -Wextra -Werror -shared -fPIC -ldl &&
    build_aid "$AIDS/pty_peer" "$AIDS_SRC/pty_peer.c" gcc -O2 -Wall -Wextra -Werror -lutil &&
    build_aid "$AIDS/console_launcher.exe" "$AIDS_SRC/console_launcher.cpp" \
      "$MINGW_CXX" -std=c++20 -O2 -Wall -Wextra -Werror -static
}

# Polls a shell condition every 20 ms until it holds or `seconds` pass.
wait_until() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds + 1)) start_ns
  start_ns=$(date +%s%N)
  while ! "$@"; do
    (($(date +%s%N) - start_ns > seconds * 1000000000)) && return 1
    ((SECONDS > deadline)) && return 1
    sleep 0.02
  done
}

# The Windows path of a file, as wine maps the root: Z: and backslashes.
windows_path() {
  local path
  path=$(realpath "$1") || return 1
  printf 'Z:%s' "${path//\//\\}"
}

# Makes the cached prefix on first use, then starts wine once outside tmux with every
# output discarded, so no background process of wine holds a pane or a pipe open, and
# the server stays up for the whole run.
wine_start() {
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    rm -rf "$WINEPREFIX"
    timeout 180 "$WINE64" wineboot -i </dev/null >/dev/null 2>&1 || return 1
  fi
  timeout 60 "$WINESERVER" -p </dev/null >/dev/null 2>&1
  timeout 60 "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || return 1
  unmap_serial_devices
}

# At every session start wine links COM1, COM2, ... to the machine's serial devices
# (/dev/ttyS0 and on), which may be its console. Remove those links: the suite maps only
# the ports it puts on pseudo-terminals, COM5 and above.
unmap_serial_devices() {
  rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
}

# Ends the wine session and waits until every process of this prefix has gone.
wine_stop() {
  timeout 30 "$WINESERVER" -k </dev/null >/dev/null 2>&1
  timeout 30 "$WINESERVER" -w </dev/null >/dev/null 2>&1
  wine_processes_gone() { [[ -z $(processes_with_env "WINEPREFIX=$WINEPREFIX") ]]; }
  wait_until 10 wine_processes_gone
}

# Builds a Windows test program from sources of this repository (paths from its root).
build_windows_program() {
  local output=$1
  shift
  local sources=() source
  for source in "$@"; do sources+=("$REPO_ROOT/$source"); done
  "$MINGW_CXX" -std=c++20 -O2 -Wall -Wextra -Werror -static -I"$REPO_ROOT/src" \
    -o "$output" "${sources[@]}"
}

# Runs a Windows program that needs no console, its output to a file; bounded to 60 s.
run_windows_program() {
  local program=$1 output=$2
  COMTERM_WINE_CASE=$CASE_ID timeout 60 "$WINE" "$program" </dev/null >"$output" 2>&1
}

# ---- one case ------------------------------------------------------------------------

# Starts a case: a fresh directory, no failures yet.
case_begin() {
  CASE_ID="$RUN_ID-$((++CASE_COUNT))"
  CASE_DIR="$SUITE_DIR/cases/$CASE_COUNT"
  CTL="$CASE_DIR/ctl"
  CASE_FAILURES=()
  PEER_PIDS=()
  MAPPED_PORTS=()
  DUMP_COUNT=0
  LAST_DUMP=
  rm -rf "$CASE_DIR"
  mkdir -p "$CTL"
}

fail() { CASE_FAILURES+=("$*"); }

# Puts a pty pair behind COM<n> (n >= 5): the slave is the port, pty_peer holds the master.
attach_port() {
  local n=$1 dir="$CASE_DIR/com$1"
  if ((n < 5)); then
    fail "refusing to map COM$n: COM1..COM4 may be real ports"
    return 1
  fi
  mkdir -p "$dir"
  "$AIDS/pty_peer" "$dir" </dev/null >"$dir/log" 2>&1 &
  PEER_PIDS+=($!)
  if ! wait_until 5 test -s "$dir/slave"; then
    fail "pty_peer for COM$n did not start"
    return 1
  fi
  ln -sfn "$(<"$dir/slave")" "$WINEPREFIX/dosdevices/com$n"
  MAPPED_PORTS+=("$n")
}

# True when every port number the arguments name is 5 or above, or is not a number.
ports_are_safe() {
  local previous='' argument value
  for argument in "$@"; do
    value=''
    [[ $previous == -p ]] && value=$argument
    [[ $argument == --port=* ]] && value=${argument#--port=}
    if [[ $value =~ ^[0-9]+$ ]] && ((10#$value < 5)); then return 1; fi
    previous=$argument
  done
}

# Runs comterm.exe with the given arguments in the case's own tmux server.
launch() {
  if ! ports_are_safe "$@"; then
    fail "refusing to run with a port below COM5: $*"
    return 1
  fi
  local script="$CASE_DIR/launch.sh" exe_path
  exe_path=$(windows_path "$EXE") || return 1
  {
    echo "export COMTERM_WINE_CASE=$(printf %q "$CASE_ID")"
    echo "export LD_PRELOAD=$(printf %q "$AIDS/pty_port_preload.so")"
    printf '%q ' "$WINE" "$AIDS/console_launcher.exe" "Z:$CTL" "$exe_path" "$@"
    echo
    echo "echo \$? > $(printf %q "$CTL/status")"
  } >"$script"
  printf 'set -g remain-on-exit on\nset -g history-limit 0\n' >"$CASE_DIR/tmux.conf"
  env -u TMUX tmux -L "$CASE_ID" -f "$CASE_DIR/tmux.conf" new-session -d -x "$SCREEN_WIDTH" \
    -y "$SCREEN_HEIGHT" "bash $(printf %q "$script")"
}

# True once the launcher has ended and left the exit status.
program_ended() { [[ -s $CTL/status ]]; }

# True when the launcher has no command file waiting, or can no longer take one.
commands_taken() { [[ ! -e $CTL/commands ]] || program_ended; }

# Hands the launcher a list of command lines and waits until it has carried them out.
launcher_commands() {
  wait_until 5 commands_taken
  if program_ended; then
    fail "the program had already ended (status $(<"$CTL/status")) before: $*"
    return 1
  fi
  printf '%s\n' "$@" >"$CTL/.commands.tmp" && mv "$CTL/.commands.tmp" "$CTL/commands"
  wait_until 5 commands_taken
  [[ -e $CTL/commands ]] || return 0
  if program_ended; then
    fail "the program ended (status $(<"$CTL/status")) before: $*"
  else
    fail "the launcher did not carry out: $*"
  fi
  return 1
}

# Injects key presses, each given as "VK SCAN CHAR STATE" (press and release), or as
# "down VK SCAN CHAR STATE" or "up VK SCAN CHAR STATE" (one event).
press() {
  local key lines=()
  for key in "$@"; do
    if [[ $key == down* || $key == up* ]]; then lines+=("$key"); else lines+=("key $key"); fi
  done
  launcher_commands "${lines[@]}"
}

# Types text through the terminal, as a user at the keyboard would.
type_in_pane() { tmux -L "$CASE_ID" send-keys -l "$1"; }

# Dumps the console's cells into a new file and sets LAST_DUMP to it.
dump_screen() {
  local name="dump$((++DUMP_COUNT))"
  launcher_commands "dump $name" || return 1
  LAST_DUMP="$CTL/$name"
}

# Sends bytes (a printf format, e.g. 'A\xff') from the far end of COM<n>.
peer_send() { printf "$2" >"$CASE_DIR/com$1/send"; }

# The bytes that reached the far end of COM<n>, as uppercase hex separated by blanks.
wire_hex() {
  od -An -tx1 -v "$CASE_DIR/com$1/wire" | tr -s ' \n' '  ' | sed 's/^ //; s/ $//' |
    tr a-f A-F
}

wire_count() { stat -c %s "$CASE_DIR/com$1/wire"; }

# The slave's line settings as pty_peer last saw them.
peer_termios() { cat "$CASE_DIR/com$1/termios" 2>/dev/null; }

# Waits for the program and the launcher to end (the status file appears).
await_status() {
  wait_until "${1:-10}" test -s "$CTL/status" && return 0
  fail "the program did not end"
  return 1
}

# Ends whatever the case left running: its tmux server, every process that carries the
# case's mark (the wine processes it started), its pty peers and COM mappings.
case_end() {
  wait_until 3 no_marked_processes
  tmux -L "$CASE_ID" kill-server 2>/dev/null
  kill_marked_processes
  local pid n
  for pid in "${PEER_PIDS[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  for n in "${MAPPED_PORTS[@]}"; do rm -f "$WINEPREFIX/dosdevices/com$n"; done
}

# The ids of the processes whose environment holds exactly this entry.
processes_with_env() {
  local environ pid
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    grep -qzxF -- "$1" "$environ" 2>/dev/null && echo "$pid"
  done
}

# The processes of the current case: they carry its mark in their environment.
marked_processes() { processes_with_env "COMTERM_WINE_CASE=$CASE_ID"; }

no_marked_processes() { [[ -z $(marked_processes) ]]; }

kill_marked_processes() {
  local -a pids
  mapfile -t pids < <(marked_processes)
  ((${#pids[@]} == 0)) && return 0
  kill "${pids[@]}" 2>/dev/null
  wait_until 5 no_marked_processes && return 0
  mapfile -t pids < <(marked_processes)
  ((${#pids[@]} == 0)) || kill -9 "${pids[@]}" 2>/dev/null
}

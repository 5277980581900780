# Small assertions for the command-line tests. Sourced by every cli_*.sh with
# the program and the demo ROM writer as $1 and $2.
set -u
QUILLON=$(realpath "$1")
MAKE_ROM=$(realpath "$2")
# What q and launch start (cli_windows puts quillon.exe under Wine here).
RUN=("$QUILLON")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
CHECKS=0
FAILURES=0

# q STATUS ARGS...: runs the program without input, sets OUT and ERR (without
# the CRs of Windows line ends), and checks its exit status.
q() {
  OUT=$("${RUN[@]}" "${@:2}" 2>"$WORK/.stderr" </dev/null)
  STATUS=$?
  OUT=${OUT//$'\r'/}
  ERR=$(tr -d '\r' <"$WORK/.stderr")
  check "${RUN[-1]##*/} ${*:2}: exit status $STATUS, expected $1 (stderr: $ERR)" [ "$STATUS" -eq "$1" ]
}

# check NAME COMMAND...: the command must succeed.
check() {
  CHECKS=$((CHECKS + 1))
  "${@:2}" && return
  FAILURES=$((FAILURES + 1))
  echo "FAIL $1" >&2
}

expect_eq() { check "$1: expected [$2], got [$3]" [ "$2" == "$3" ]; }
expect_contains() { check "$1: [$2] not in [$3]" [ "${3/"$2"/}" != "$3" ]; }
expect_same_file() { check "$1: $2 and $3 differ" cmp -s "$2" "$3"; }

# expect_py NAME 'Python that must print True'
expect_py() {
  local result
  result=$(python3 -c "$2" 2>&1)
  expect_eq "$1" "True" "$result"
}

finish() {
  echo "$CHECKS checks, $FAILURES failed"
  [ "$FAILURES" -eq 0 ]
}

# q_all STATUS 'ARGS' 'ARGS'...: q for each string of arguments, split at spaces.
q_all() {
  local args
  for args in "${@:2}"; do
    # shellcheck disable=SC2086
    q "$1" $args
  done
}

# q_table: each line of stdin is STATUS|ARGS|STREAM|TEXT: q STATUS ARGS (split
# at spaces), then TEXT must be in STREAM (OUT or ERR).
q_table() {
  local status args stream text
  while IFS='|' read -r status args stream text; do
    # shellcheck disable=SC2086
    q "$status" $args
    expect_contains "$args: $stream" "$text" "${!stream}"
  done
}

# expect_full_disk_fails 'ARGS'...: stdout on a full disk is a failure, said so.
expect_full_disk_fails() {
  local args
  for args in "$@"; do
    # shellcheck disable=SC2086
    "$QUILLON" $args >/dev/full 2>"$WORK/.full"
    expect_eq "$args to a full disk: exit status" 1 $?
    expect_contains "$args to a full disk: message" "standard output could not be written completely" "$(cat "$WORK/.full")"
  done
}

# launch UNTIL ARGS...: starts the program in the background (PID) and waits up
# to 60 s (Wine starts slowly) until the shell command UNTIL succeeds.
launch() {
  "${RUN[@]}" "${@:2}" >/dev/null 2>"$WORK/launch.err" </dev/null &
  PID=$!
  for _ in $(seq 600); do
    eval "$1" && return
    sleep 0.1
  done
  check "never: $1" false
}

# ctrl_c SECONDS: Ctrl+C to PID, which must end with exit status 130 within
# SECONDS; one still running then is killed, so a lost Ctrl+C cannot hang the test.
ctrl_c() {
  kill -INT "$PID"
  for _ in $(seq $(($1 * 10))); do
    kill -0 "$PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$PID" 2>/dev/null && kill -KILL "$PID"
  wait "$PID"
  expect_eq "exit status within $1 s of Ctrl+C" 130 $?
}

# start_sim [SIM OPTIONS] [EMULATOR OPTIONS]: the simulated USB bridge ($SIM)
# in the background; sets PTY to its serial port. stop_sim ends it.
SIM_PID=
start_sim() {
  stop_sim
  "$SIM" "$@" >"$WORK/.sim" 2>"$WORK/.simerr" &
  SIM_PID=$!
  for _ in $(seq 100); do
    PTY=$(head -1 "$WORK/.sim" 2>/dev/null)
    [ -n "$PTY" ] && return
    sleep 0.1
  done
  check "the simulator printed no serial port: $(cat "$WORK/.simerr")" false
}
stop_sim() {
  [ -z "$SIM_PID" ] || { kill "$SIM_PID" && wait "$SIM_PID"; } 2>/dev/null
  SIM_PID=
}

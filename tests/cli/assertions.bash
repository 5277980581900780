# Small assertions for the command-line tests. Sourced by every cli_*.sh with
# the program and the demo ROM writer as $1 and $2.
set -u
QUILLON=$(realpath "$1")
MAKE_ROM=$(realpath "$2")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
CHECKS=0
FAILURES=0
GROUP=""

group() { GROUP=$1; }

fail() {
  FAILURES=$((FAILURES + 1))
  echo "FAIL [$GROUP] $1" >&2
}

# q ARGS...: runs the program; sets OUT, ERR and STATUS.
q() {
  OUT=$("$QUILLON" "$@" 2>"$WORK/.stderr")
  STATUS=$?
  ERR=$(cat "$WORK/.stderr")
}

expect_status() {
  CHECKS=$((CHECKS + 1))
  [ "$STATUS" -eq "$1" ] || fail "$2: exit status $STATUS, expected $1 (stderr: $ERR)"
}

expect_eq() {
  CHECKS=$((CHECKS + 1))
  [ "$2" == "$3" ] || fail "$1: expected [$2], got [$3]"
}

expect_contains() {
  CHECKS=$((CHECKS + 1))
  [[ "$3" == *"$2"* ]] || fail "$1: [$2] not in [$3]"
}

expect_not_contains() {
  CHECKS=$((CHECKS + 1))
  [[ "$3" != *"$2"* ]] || fail "$1: [$2] unexpectedly in [$3]"
}

expect_same_file() {
  CHECKS=$((CHECKS + 1))
  cmp -s "$2" "$3" || fail "$1: $2 and $3 differ"
}

expect_file_absent() {
  CHECKS=$((CHECKS + 1))
  [ ! -e "$2" ] || fail "$1: $2 exists"
}

# Python one-liner checks: expect_py NAME 'expression that must print True'
expect_py() {
  CHECKS=$((CHECKS + 1))
  local result
  result=$(python3 -c "$2" 2>&1)
  [ "$result" == "True" ] || fail "$1: $result"
}

finish() {
  echo "$CHECKS checks, $FAILURES failed"
  [ "$FAILURES" -eq 0 ]
}

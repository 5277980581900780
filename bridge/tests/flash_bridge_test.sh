#!/usr/bin/env bash
# scripts/flash-bridge against a stand-in avrdude that records its
# arguments: the bootloader settings per board, and the refusals.
#   flash_bridge_test.sh SCRIPT
set -uo pipefail
script="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/avrdude" <<'STUB'
#!/usr/bin/env bash
echo "$*" >"$AVRDUDE_ARGS"
STUB
chmod +x "$work/bin/avrdude"
touch "$work/board" "$work/firmware.hex"
export PATH="$work/bin:$PATH" AVRDUDE_ARGS="$work/args" QUILLON_BRIDGE_HEX="$work/firmware.hex"
failures=0

# board argument ("-" for none) -> the avrdude command line
while read -r board baud; do
  rm -f "$work/args"
  arguments=("$work/board")
  [ "$board" != "-" ] && arguments+=("$board")
  if ! "$script" "${arguments[@]}" 2>/dev/null; then
    echo "FAIL: '$board' was refused"; failures=$((failures + 1)); continue
  fi
  expected="-c arduino -p m328p -P $work/board -b $baud -D -U flash:w:$work/firmware.hex:i"
  actual="$(cat "$work/args" 2>/dev/null)"
  if [ "$actual" != "$expected" ]; then
    echo "FAIL: '$board': avrdude $actual (expected $expected)"; failures=$((failures + 1))
  fi
done <<'CASES'
uno 115200
nano 115200
nano-old 57600
- 115200
CASES

# refusals: exit status and a word of the message; avrdude must not run
check_refusal() {
  local name="$1" status="$2" word="$3"; shift 3
  rm -f "$work/args"
  local output
  output="$("$@" 2>&1)"
  local got=$?
  if [ "$got" -ne "$status" ] || [[ "$output" != *"$word"* ]] || [ -e "$work/args" ]; then
    echo "FAIL: $name: status $got, message '$output'"; failures=$((failures + 1))
  fi
}
check_refusal "unknown board" 2 "unknown board" "$script" "$work/board" mega
check_refusal "no arguments" 2 "usage" "$script"
check_refusal "missing firmware" 1 "make bridge" env QUILLON_BRIDGE_HEX="$work/none.hex" "$script" "$work/board" uno
check_refusal "missing device" 1 "no device" "$script" "$work/nothing" uno

[ "$failures" -eq 0 ] && echo "flash-bridge: all cases pass"
exit $((failures > 0))

#!/usr/bin/env bash
# scripts/flash-bridge against a stand-in avrdude that records its
# arguments: the bootloader settings per board, and the refusals.
#   flash_bridge_test.sh SCRIPT
set -uo pipefail
script="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
printf '#!/usr/bin/env bash\necho "$*" >"$AVRDUDE_ARGS"\n' >"$work/bin/avrdude"
chmod +x "$work/bin/avrdude"
touch "$work/board" "$work/firmware.hex"
export PATH="$work/bin:$PATH" AVRDUDE_ARGS="$work/args" QUILLON_BRIDGE_HEX="$work/firmware.hex"
failures=0

# check NAME STATUS WANT COMMAND...: the exit status, and then the rate
# avrdude was given, or a word of the refusal (and avrdude never ran).
check() {
  local name="$1" status="$2" want="$3" output got args
  shift 3
  rm -f "$work/args"
  output="$("$@" 2>&1)"
  got=$?
  args="$(cat "$work/args" 2>/dev/null)"
  if [ "$status" -eq 0 ]; then
    local expected="-c arduino -p m328p -P $work/board -b $want -D -U flash:w:$work/firmware.hex:i"
    [ "$got" -eq 0 ] && [ "$args" = "$expected" ] && return
  else
    [ "$got" -eq "$status" ] && [[ "$output" == *"$want"* ]] && [ ! -e "$work/args" ] && return
  fi
  echo "FAIL: $name: status $got, avrdude '$args', message '$output'"
  failures=$((failures + 1))
}
check "uno" 0 115200 "$script" "$work/board" uno
check "nano" 0 115200 "$script" "$work/board" nano
check "nano-old" 0 57600 "$script" "$work/board" nano-old
check "no board named" 0 115200 "$script" "$work/board"
check "unknown board" 2 "unknown board" "$script" "$work/board" mega
check "no arguments" 2 "usage" "$script"
check "missing firmware" 1 "make bridge" env QUILLON_BRIDGE_HEX="$work/none.hex" "$script" "$work/board" uno
check "missing device" 1 "no device" "$script" "$work/nothing" uno

[ "$failures" -eq 0 ] && echo "flash-bridge: all cases pass"
exit $((failures > 0))

#!/bin/bash
# Ctrl+C during a slow transfer (the emulator with fault=slow and the real
# clock): the first one cancels between blocks and keeps what was written,
# a second one ends the process at once.
source "$(dirname "$0")/assertions.bash" "$@"

# Waits (up to 5 s) until the file exists: the download has answered its save dialog and started.
wait_for_file() {
  for _ in $(seq 1 100); do
    [ -e "$1" ] && return 0
    sleep 0.05
  done
  return 1
}

# Waits up to $2 seconds for process $1 and sets STATUS; a process still running
# then is killed and counts as a failure (255), so a lost Ctrl+C cannot hang the test.
wait_bounded() {
  local i
  ERR=""
  for i in $(seq 1 $(($2 * 10))); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$1" 2>/dev/null; then
    kill -KILL "$1"
    wait "$1" 2>/dev/null
    STATUS=255
    fail "still running $2 s after Ctrl+C"
    return
  fi
  wait "$1"
  STATUS=$?
}

RTS_HEADER_PY="bytes(8) + bytes([0xAA, 0xBB, 8]) + bytes(501)"

group "one Ctrl+C"
# Each step of the handshake is 1 ms late: one 8 KB page takes about 16 s, so
# wherever the Ctrl+C lands (in the signature probe or inside the first page,
# on a busy machine) the cancel is noticed at the next page boundary.
"$QUILLON" --port "sim:fault=slow:1,state=$PWD/one" --trace one.trace download rts partial.rts 2>one.err &
PID=$!
wait_for_file partial.rts || fail "the download never created its file"
kill -INT $PID
wait_bounded $PID 45
expect_status 130 "cancelled download"
expect_py "the partial file is kept: the header and whole pages only" "
d = open('partial.rts','rb').read()
print(d[:512] == $RTS_HEADER_PY and (len(d) - 512) % 8192 == 0 and len(d) < 512 + 32 * 8192)"
# Only an orderly end releases the port: the emulator then saves its state
# folder, and the trace is flushed with its last line complete.
expect_py "the port was released (emulator state saved)" "import os; print(os.path.getsize('one/sram.bin') == 32768)"
expect_py "the trace was flushed" "d = open('one.trace','rb').read(); print(d.startswith(b'> D5 AA 96') and d.endswith(b'\\n'))"

group "two Ctrl+C"
"$QUILLON" --port sim:fault=slow:5 download rts twice.rts 2>two.err &
PID=$!
wait_for_file twice.rts || fail "the download never created its file"
sleep 1  # well inside the first page
kill -INT $PID
sleep 0.3
CHECKS=$((CHECKS + 1))
kill -0 $PID 2>/dev/null || fail "the first Ctrl+C ended the process inside a block"
kill -INT $PID
wait_bounded $PID 2
expect_status 130 "second Ctrl+C"
expect_py "the file written so far is kept" "print(open('twice.rts','rb').read()[:512] == $RTS_HEADER_PY)"

finish

#!/bin/bash
# Ctrl+C during a slow transfer (the emulator with fault=slow and the real
# clock): the first one cancels between blocks and keeps what was written,
# a second one ends the process at once.
source "$(dirname "$0")/assertions.bash" "$@"

# start UNTIL ARGS...: starts the program in the background (PID) and waits up
# to 30 s until the shell command UNTIL succeeds.
start() {
  "$QUILLON" "${@:2}" 2>"$WORK/start.err" &
  PID=$!
  for _ in $(seq 300); do
    eval "$1" && return
    sleep 0.1
  done
  check "never: $1" false
}

# cancel SECONDS: Ctrl+C to PID, which must end with exit status 130 within
# SECONDS; one still running then is killed, so a lost Ctrl+C cannot hang the test.
cancel() {
  kill -INT "$PID"
  for _ in $(seq $(($1 * 10))); do
    kill -0 "$PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$PID" 2>/dev/null && kill -KILL "$PID"
  wait "$PID"
  expect_eq "exit status within $1 s of Ctrl+C" 130 $?
}

RTS_HEADER_PY="bytes(8) + bytes([0xAA, 0xBB, 8]) + bytes(501)"

# Each step of the handshake is 1 ms late: one 8 KB page takes about 16 s, so
# wherever the Ctrl+C lands (in the signature probe or inside the first page,
# on a busy machine) the cancel is noticed at the next page boundary.
start "[ -e partial.rts ]" --port "sim:fault=slow:1,state=$PWD/one" --trace one.trace download rts partial.rts
cancel 45
expect_py "one Ctrl+C: the partial file is kept, the header and whole pages only" "
d = open('partial.rts','rb').read()
print(d[:512] == $RTS_HEADER_PY and (len(d) - 512) % 8192 == 0 and len(d) < 512 + 32 * 8192)"
# Only an orderly end releases the port: the emulator then saves its state
# folder, and the trace is flushed with its last line complete.
expect_py "the port was released (emulator state saved)" "import os; print(os.path.getsize('one/sram.bin') == 32768)"
expect_py "the trace was flushed" "d = open('one.trace','rb').read(); print(d.startswith(b'> D5 AA 96') and d.endswith(b'\\n'))"

# The first page has begun once its progress line is out (a busy machine may
# take over a second for the signature probe before it).
start "grep -q 'Real-time 0/' '$WORK/start.err'" --progress --port sim:fault=slow:5 download rts twice.rts
sleep 0.5
kill -INT $PID
sleep 0.3
check "the first Ctrl+C does not end the process inside a block" kill -0 $PID
cancel 2
expect_py "two Ctrl+C: the file written so far is kept" "print(open('twice.rts','rb').read()[:512] == $RTS_HEADER_PY)"

# A trace or a download onto a FIFO nobody reads waits for its reader once the
# files are loaded; the first Ctrl+C ends that wait and the command.
"$MAKE_ROM" snes --copier-header lorom.smc
mkfifo unread.trace unread.srm
start "sleep 0.5" --port "sim:state=$PWD/unread" --trace unread.trace run lorom.smc
cancel 5
check "nothing reached the copier" test ! -e unread
start "sleep 0.5" --port sim download sram unread.srm
cancel 5

finish

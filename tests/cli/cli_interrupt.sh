#!/bin/bash
# Ctrl+C during a slow transfer (the emulator with fault=slow and the real
# clock): the first one cancels between blocks and keeps what was written,
# a second one ends the process at once.
source "$(dirname "$0")/assertions.bash" "$@"

RTS_HEADER_PY="bytes(8) + bytes([0xAA, 0xBB, 8]) + bytes(501)"

# Each step of the handshake is 1 ms late: one 8 KB page takes about 16 s, so
# wherever the Ctrl+C lands (in the signature probe or inside the first page,
# on a busy machine) the cancel is noticed at the next page boundary.
launch "[ -e partial.rts ]" --port "sim:fault=slow:1,state=$PWD/one" --trace one.trace download rts partial.rts
ctrl_c 45
expect_py "one Ctrl+C: the partial file is kept, the header and whole pages only" "
d = open('partial.rts','rb').read()
print(d[:512] == $RTS_HEADER_PY and (len(d) - 512) % 8192 == 0 and len(d) < 512 + 32 * 8192)"
# Only an orderly end releases the port: the emulator then saves its state
# folder, and the trace is flushed with its last line complete.
expect_py "the port was released (emulator state saved)" "import os; print(os.path.getsize('one/sram.bin') == 32768)"
expect_py "the trace was flushed" "d = open('one.trace','rb').read(); print(d.startswith(b'> D5 AA 96') and d.endswith(b'\\n'))"

# The first page has begun once its progress line is out (a busy machine may
# take over a second for the signature probe before it).
launch "grep -q 'Real-time 0/' '$WORK/launch.err'" --progress --port sim:fault=slow:5 download rts twice.rts
sleep 0.5
kill -INT $PID
sleep 0.3
check "the first Ctrl+C does not end the process inside a block" kill -0 $PID
ctrl_c 2
expect_py "two Ctrl+C: the file written so far is kept" "print(open('twice.rts','rb').read()[:512] == $RTS_HEADER_PY)"

# A trace or a download onto a FIFO nobody reads waits for its reader once the
# files are loaded; the first Ctrl+C ends that wait and the command.
"$MAKE_ROM" snes --copier-header lorom.smc
mkfifo unread.trace unread.srm
launch "sleep 0.5" --port "sim:state=$PWD/unread" --trace unread.trace run lorom.smc
ctrl_c 5
check "nothing reached the copier" test ! -e unread
launch "sleep 0.5" --port sim download sram unread.srm
ctrl_c 5

finish

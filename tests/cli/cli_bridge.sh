#!/bin/bash
# The command line through the USB bridge: the firmware running in the
# simulator, wired to the copier emulator, on a pseudo-terminal. Each case
# runs the same command through --port sim with the same emulator options
# and expects the same outcome: files, copier state, messages and trace.
# $3 is quillon-bridge-sim.
[ -x "$3" ] || { echo "no $3: the simulated bridge was not built"; exit 77; }
source "$(dirname "$0")/assertions.bash" "$@"
SIM=$(realpath "$3")
# The simulated board runs several times slower than a real one when the
# copier is slow; the PC's bound on its silence must allow for that.
export QUILLON_BRIDGE_TIME_SCALE=20

trap 'stop_sim; rm -rf "$WORK"' EXIT

# same NAME STATUS EMULATOR-OPTIONS ARGS...: the command through the bridge in
# folder b and through the emulator alone in folder s (input files are in ..);
# exit status, stderr and every file written there (the trace t.trace, output
# files, a state folder) must agree. Sets BOUT/BERR and SOUT/SERR.
same() {
  local name=$1 status=$2 options=$3
  shift 3
  rm -rf b s && mkdir b s && cd b || exit 1
  start_sim "$options"
  q "$status" --port "bridge:$PTY" --trace t.trace "$@"
  BOUT=$OUT BERR=$ERR
  stop_sim
  cd ../s || exit 1
  q "$status" --port "sim${options:+:$options}" --trace t.trace "$@"
  SOUT=$OUT SERR=$ERR
  cd .. || exit 1
  expect_eq "$name: messages" "$SERR" "$BERR"
  check "$name: files, trace and copier state equal" diff -r s b
}

"$MAKE_ROM" snes --size 128 --sram-code 1 small.sfc
head -c 2048 /dev/urandom >small.srm
"$MAKE_ROM" snes --size 128 cart.sfc
"$MAKE_ROM" snes --size 1024 big.sfc

same "probe" 0 "" probe
expect_contains "probe names the bridge, its firmware and rate" "firmware 1.1, protocol 1, 1000000 baud" "$BOUT"
expect_contains "probe reads the copier" "$(grep '^Copier:' <<<"$SOUT")" "$BOUT"
expect_contains "probe shows the status lines" "Status register:  0x80" "$BOUT"
start_sim
q 0 --port "bridge:$PTY,baud=2000000" probe
expect_contains "the faster rate is taken" "2000000 baud" "$OUT"
stop_sim

same "SWC run with SRAM" 0 "state=st" run ../small.sfc ../small.srm
same "SWC cartridge download" 0 "cart=$WORK/cart.sfc" download rom out.swc
same "dead copier" 1 "fault=dead" probe
expect_contains "dead copier: the no-answer advice" "no answer within 500 ms" "$BERR"
same "copier stalls inside a block" 1 "fault=stall:3000" run ../small.sfc
expect_eq "stall: one time-out message" "1" "$(grep -c 'LPT read timeout' <<<"$BERR")"
expect_eq "stall: the trace ends at the time-out" "! timeout" "$(tail -1 b/t.trace)"
# The board must hand over the bytes it read before the stall (the trace is cut there).
same "copier stalls inside a block read" 1 "cart=$WORK/cart.sfc,fault=stall:20000" download rom stalled.swc
expect_eq "read stall: the trace ends at the time-out" "! timeout" "$(tail -1 b/t.trace)"
same "slow copier within the time-out" 0 "fault=slow:450" probe
same "slow copier past the time-out" 1 "fault=slow:600" probe
expect_eq "slow:600: one time-out message" "1" "$(grep -c 'no answer within 500 ms' <<<"$BERR")"

# Ctrl+C between blocks, as through a parallel port: exit 130, whole blocks kept.
"$MAKE_ROM" genesis --size 1024 bigcart.bin
start_sim "device=smd,cart=$WORK/bigcart.bin"
launch "[ -s part.smd ]" --device smd --port "bridge:$PTY" download rom part.smd
ctrl_c 30
stop_sim
expect_py "Ctrl+C: the header and whole 16 KB blocks of the cartridge kept" "
d = open('part.smd','rb').read()
print(len(d) > 512 and (len(d) - 512) % 16384 == 0 and len(d) < 512 + 1048576)"

# A bit flipped on the serial line, well inside the ROM's first block.
start_sim --corrupt-byte 3000 "state=$WORK/C"
q 1 --port "bridge:$PTY" --trace c.trace run small.sfc
stop_sim
# Where the flipped bit lands depends on how the credits cut the stream into
# frames: in a payload or a length the board answers ERROR; in a start byte it
# skips the frame as line noise and the PC finds fewer bytes moved than sent.
# Either way the command stops with a message and the copier gets nothing damaged.
check "damaged request: said so ($ERR)" grep -qE 'damaged on the serial line|bytes moved where [0-9]+ were sent' <<<"$ERR"
expect_eq "damaged request: the trace ends at the time-out" "! timeout" "$(tail -1 c.trace)"
expect_py "damaged request: the copier holds no damaged byte" "
d = open('C/dram.bin','rb').read() if __import__('os').path.exists('C/dram.bin') else b''
print(all(a == b or a == 0 for a, b in zip(d, open('small.sfc','rb').read())))"

# The PC dies in the middle of an upload: after its silence the board parks
# the lines (data 0x00, control as a PC writing 0x0C), as the copier sees them.
start_sim --wire-log "$WORK/kill.log"
launch "sleep 1.5" --port "bridge:$PTY" run big.sfc
kill -9 "$PID"
wait "$PID" 2>/dev/null
# The board runs in simulated time, slower than real time on a loaded host:
# wait for the park (the log is written out while the board idles), bounded.
parked() { [ "$(grep ' D ' kill.log | tail -1 | cut -d' ' -f3)$(grep ' C ' kill.log | tail -1 | cut -d' ' -f3)" = 000c ]; }
sleep 2
for _ in $(seq 60); do parked && break; sleep 0.5; done
stop_sim
expect_eq "PC killed: data lines parked" "00" "$(grep ' D ' kill.log | tail -1 | cut -d' ' -f3)"
expect_eq "PC killed: control lines parked" "0c" "$(grep ' C ' kill.log | tail -1 | cut -d' ' -f3)"

finish

#!/bin/bash
# The copier commands against the emulated copier (--port sim:...): probe,
# uploads and downloads across runs through one state folder, the trace.
source "$(dirname "$0")/assertions.bash" "$@"

"$MAKE_ROM" snes --copier-header lorom.smc
"$MAKE_ROM" snes cart.sfc
"$MAKE_ROM" snes --hirom --size 1024 --sram-code 1 hicart.sfc
"$MAKE_ROM" genesis genesis.bin
"$MAKE_ROM" genesis --smd genesis.smd
head -c 32768 /dev/urandom >save.srm
head -c 32768 /dev/urandom >smd.srm
python3 -c "
import os
open('save.rts', 'wb').write(bytes(8) + b'\xaa\xbb\x08' + bytes(501) + os.urandom(262144))"

group "probe"
q --port sim probe
expect_status 0 "emulated SWC answers"
expect_contains "back end named" "Port: emulated SWC" "$OUT"
expect_contains "status register shown" "Status register:  0x" "$OUT"
expect_contains "status bits decoded" "BUSY/handshake (bit 7" "$OUT"
expect_contains "answer reported" "Copier: answers" "$OUT"
q --device smd --port sim probe
expect_status 0 "emulated SMD answers"
expect_contains "SMD back end named" "Port: emulated SMD" "$OUT"
q --port sim:fault=dead probe
expect_status 1 "dead copier"
expect_contains "time-out advice: cable" "straight-through" "$ERR"
expect_contains "time-out advice: not a LapLink cable" "LapLink" "$ERR"
expect_contains "time-out advice: power" "powered" "$ERR"
expect_contains "time-out advice: console" "console is switched on" "$ERR"
expect_contains "time-out advice: port" "right port" "$ERR"
q --port sim:fault=badcheck probe
expect_status 1 "answers with a bad check byte"
expect_contains "bad check byte named" "check byte" "$ERR"
q --port /dev/parport99 probe
expect_status 1 "missing parallel port device"
expect_contains "the back end says why" "/dev/parport99" "$ERR"

group "trace"
q --port sim --trace probe.trace probe
expect_status 0 "probe with trace"
expect_eq "read command of the probe, then its answer" "2" "$(grep -cE '^(> D5 AA 96 01 00 04 01 00 [0-9A-F]{2}|< [0-9A-F]{2} [0-9A-F]{2})$' probe.trace)"
q --port sim:state=T --trace run.trace run lorom.smc
expect_eq "every line is a direction and hex bytes" "0" "$(grep -cvE '^(> |< )[0-9A-F]{2}( [0-9A-F]{2})*$' run.trace)"
expect_contains "a packet line" "> D5 AA 96 " "$(head -1 run.trace)"
q --port sim:fault=dead --trace dead.trace probe
expect_eq "a time-out is written and flushed on the failing exit" "! timeout" "$(cat dead.trace)"
q --port sim --trace nodir/x.trace probe
expect_status 1 "trace file that cannot be written"

group "run and execute, SWC"
q --port sim:state=S run lorom.smc
expect_status 0 "run"
expect_py "upload header: 32 blocks, mode 0x2D, SWC ROM type" "
h = open('S/header.bin','rb').read()
print(h[0:3] == bytes([0x20, 0, 0x2D]) and h[8:11] == bytes([0xAA, 0xBB, 4]))"
expect_py "the copier holds the ROM data" "
print(open('S/dram.bin','rb').read()[:262144] == open('lorom.smc','rb').read()[512:])"
expect_eq "execute sent block count and mode byte" "F 05 20 00 00
F 01 2D 00 00" "$(cat S/events.log)"
q --port sim:state=S execute --realtime lorom.smc
expect_status 0 "execute --realtime with the ROM"
expect_eq "real-time execute" "F 01 2D 01 00" "$(tail -1 S/events.log)"
"$MAKE_ROM" snes --size 2048 --sram-code 1 big.sfc
q --port sim:state=S execute big.sfc
expect_eq "execute with ROM: counts and mode byte as its upload would set them" "F 05 00 01 00
F 01 08 00 00" "$(tail -2 S/events.log)"
q --port sim run save.srm
expect_status 1 "run without a ROM"
expect_contains "run without a ROM says why" "no ROM image" "$ERR"
LONG=$(printf 'd%.0s' $(seq 1 130))
mkdir -p "$LONG/$LONG" && cp lorom.smc "$LONG/$LONG/"
q --port "sim:state=$PWD/L" run "$LONG/$LONG/lorom.smc"
expect_status 1 "run with a path over 255 characters"
expect_contains "long path refused" "longer than 255 characters" "$ERR"
expect_file_absent "nothing reached the copier" L
head -c 5000 /dev/urandom >junk.srm
q --port "sim:state=$PWD/J" run lorom.smc junk.srm
expect_status 1 "run with a file that is not recognised"
expect_contains "the file is named" "junk.srm: not recognised" "$ERR"
expect_file_absent "nothing was sent" J
cp lorom.smc keep.smc
q --port sim --trace keep.smc run keep.smc
expect_status 2 "trace onto an input file"
expect_same_file "the input is untouched" keep.smc lorom.smc
q --port sim upload rom-ips lorom.smc
expect_status 1 "ROM w/ IPS without a patch"
q --port sim:fault=stall:300 run lorom.smc
expect_status 1 "copier stops answering during the upload"
expect_eq "the time-out message, once" "SWC Interface: LPT read timeout
The backup device is not responding.  Make sure it's connected and the Super NES is turned on." "$ERR"

group "progress"
q --port sim run lorom.smc
expect_eq "no progress line when stderr is not a terminal" "" "$ERR"
q --progress --port sim run lorom.smc
expect_contains "the first block" "ROM 0/2048 [------------------------]   0%" "$ERR"
expect_contains "the final text of the step" "ROM 2048/2048 [########################] 100%" "$ERR"
expect_eq "every line: text, bar, percentage, then rate and time left once known" "0" \
  "$(grep -cvE '^ROM [0-9]+/2048 \[[#-]{24}\] +[0-9]+%(  [0-9.]+ (B|KB|MB)/s  [0-9]+:[0-9]{2} left)?$' <<<"$ERR")"
q --quiet --progress --port sim run lorom.smc
expect_eq "--quiet wins" "" "$ERR"

group "SRAM and real-time save, SWC"
q --port sim:state=S upload sram save.srm
expect_status 0 "upload sram"
q --port sim:state=S download sram back.srm
expect_status 0 "download sram"
expect_same_file "SRAM round trip across runs" save.srm back.srm
q --port sim:state=S download sram back.bbd
expect_py ".bbd: copier header, then the same 32 KB" "
b = open('back.bbd','rb').read()
print(b[:512] == bytes(8) + bytes([0xAA, 0xBB, 5]) + bytes(501) and b[512:] == open('save.srm','rb').read())"
q --port sim:state=S upload rts save.rts
expect_status 0 "upload rts"
q --port sim:state=S download rts back.rts
expect_same_file "real-time save round trip across runs" save.rts back.rts
q --port sim download sram nodir/x.srm
expect_status 1 "OUTFILE in a missing folder"
expect_contains "OUTFILE error names the file" "nodir/x.srm" "$ERR"

group "cartridge, SWC"
q --port "sim:cart=$PWD/cart.sfc" cart-info
expect_status 0 "cart-info"
expect_eq "cartridge report" "Name:  QUILLON LINK DEMO    
Makeup:  Fast LoROM
ROM size:  2Mb
SRAM size:  none
Region:  USA
Maker:  N/A
Version:  1.0" "$OUT"
q --port "sim:cart=$PWD/cart.sfc" download rom cart.swc
expect_status 0 "download rom"
expect_py "downloaded LoROM: header with 32 blocks and mode 0x2D, then the cartridge" "
d = open('cart.swc','rb').read()
print(d[0:3] == bytes([0x20, 0, 0x2D]) and d[8:11] == bytes([0xAA, 0xBB, 4]) and d[512:] == open('cart.sfc','rb').read())"
q --port "sim:cart=$PWD/hicart.sfc,hirom=1" download rom hicart.swc
expect_py "downloaded HiROM with SRAM: 128 blocks, mode 0x38, the cartridge in order" "
d = open('hicart.swc','rb').read()
print(d[0:3] == bytes([0x80, 0, 0x38]) and d[512:] == open('hicart.sfc','rb').read())"
q --port "sim:cart=$PWD/cart.sfc" play
expect_status 0 "play"
q --port sim cart-info
expect_status 1 "cart-info without a cartridge"
expect_eq "no cartridge message" "Cartridge Info: No game cartridge is detected" "$ERR"
q --port sim download rom none.swc
expect_status 1 "download without a cartridge"
expect_file_absent "no file without a cartridge" none.swc

group "SMD"
q --device smd --port sim:state=M run genesis.bin
expect_status 0 "run plain Genesis"
expect_py "SMD upload header and interleaved data" "
h = open('M/header.bin','rb').read()
print(h[0] == 16 and h[8:11] == bytes([0xAA, 0xBB, 6]) and open('M/dram.bin','rb').read()[:262144] == open('genesis.smd','rb').read()[512:])"
expect_eq "SMD execute: mode write 3 for 2 MB or less" "W 2001 03" "$(tail -1 M/events.log)"
q --device smd --port sim:state=M upload sram smd.srm
q --device smd --port sim:state=M download sram smd-back.srm
expect_same_file "SMD SRAM round trip" smd.srm smd-back.srm
q --device smd --port "sim:cart=$PWD/genesis.bin" download rom cart.smd
expect_status 0 "SMD download rom"
expect_same_file "downloaded SMD equals the SMD file of the image" genesis.smd cart.smd
for refused in "cart-info" "execute --realtime" "download rts x.rts" "upload rts save.rts" "run --realtime genesis.bin"; do
  # shellcheck disable=SC2086
  q --device smd --port sim $refused
  expect_status 1 "SMD refuses $refused"
  expect_contains "SMD $refused says why" "SWC only" "$ERR"
done

finish

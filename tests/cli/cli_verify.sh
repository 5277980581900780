#!/bin/bash
# Transfers that can be trusted, against a copier that is flaky on purpose:
# damaged blocks read again, dumps read until two reads agree, uploads read
# back before the image is started, and the link test.
source "$(dirname "$0")/assertions.bash" "$@"

"$MAKE_ROM" snes --size 1024 cart.sfc
"$MAKE_ROM" snes --copier-header lorom.smc
head -c 32768 /dev/urandom >save.srm
data() { tail -c +513 "$1"; }

# A noisy line: the check byte catches every flipped bit, the block is read again.
q 0 --port "sim:cart=$PWD/cart.sfc,noise=20,seed=7" --trace noisy.trace download rom noisy.swc
expect_same_file "download under noise= equals the cartridge" cart.sfc <(data noisy.swc)
check "the trace shows the repeated reads" grep -q '^! damaged block, read again (2 of 9)$' noisy.trace

# A line too noisy for any block to arrive intact (the detection too reads
# noise): the first block stops the download, and nothing but the header
# reaches the file.
q 1 --port "sim:cart=$PWD/cart.sfc,noise=1000000,seed=1" --trace hopeless.trace download rom hopeless.swc
expect_contains "the stop message names the block" "Download Cartridge ROM: the block at bank 0x" "$ERR"
expect_contains "and what to do" "quarter 0 arrived damaged 9 times. Check the cable and try again." "$ERR"
expect_eq "only the header was kept" "512" "$(stat -c %s hopeless.swc)"
expect_eq "eight repeated reads in the trace" "8" "$(grep -c '^! damaged block' hopeless.trace)"

# A dirty contact: the copier computes its check byte over the wrong byte.
q 0 --port "sim:cart=$PWD/cart.sfc,cartnoise=4,seed=5" download rom dirty.swc
cmp -s cart.sfc <(data dirty.swc)
check "without --verify the dump differs from the cartridge" [ $? -ne 0 ]
expect_contains "the report says the checksum disagrees" "they DIFFER" "$OUT"
expect_contains "with advice" "clean the contacts, reseat the cartridge, dump again" "$OUT"
q 0 --port "sim:cart=$PWD/cart.sfc,cartnoise=4,seed=5" --trace dirty.trace download rom --verify verified.swc
expect_same_file "with --verify the dump equals the cartridge" cart.sfc <(data verified.swc)
n=$(grep -c '^! reads disagree, read again (3 of 8)$' dirty.trace)
expect_contains "the closing count matches the blocks read again" \
  "Verified: 128 blocks read until two reads in a row agreed; $n of them needed more than two reads." "$OUT"
check "some block needed a third read" [ "$n" -gt 0 ]
expect_contains "and the report agrees" "they agree" "$OUT"

# A DRAM bit that does not keep what was written: ROM block 3, byte 0x123, bit 2.
q 1 --port "sim:state=D,dramfault=0x6123:2" run --verify lorom.smc
expect_contains "run --verify names the step" "Upload ROM: The copier does not hold what was sent" "$ERR"
expect_contains "and the first differing address" "bank 0x00, quarter 3 (ROM block 3) differs at copier address 0x8123" "$ERR"
check "nothing was executed" [ ! -s D/events.log ]
q 0 --port "sim:state=D2,dramfault=0x6123:2" run lorom.smc
expect_eq "without --verify the image runs all the same" "F 05 20 00 00
F 01 2D 00 00" "$(cat D2/events.log)"
q 0 --port "sim:state=V" run --verify lorom.smc save.srm
expect_eq "a sound copier passes the read-back and executes" "F 05 20 00 00
F 01 2D 00 00" "$(cat V/events.log)"

# The link test.
q 2 --port sim probe --thorough </dev/null
expect_contains "without a terminal it needs --yes" "give --yes" "$ERR"
expect_contains "and warns first" "overwrites DRAM page 0" "$ERR"
q 0 --port sim probe --thorough --yes
expect_contains "a sound link" "all 8 data lines and 4 status lines carried every bit as sent" "$OUT"
expect_contains "speeds in both directions" "Speed: PC to copier " "$OUT"
q 1 --port "sim:dramfault=0x10:5" probe --thorough --yes
expect_contains "a stuck memory bit is named with the data line it could also be" \
  "data line D5 (pin 7) or bit 5 of the copier's memory is unreliable" "$OUT"
expect_contains "and, staying at one place, as the copier's memory" "all at the same place of the page (offset 0x0010)" "$OUT"
q 1 --port "sim:fault=dead" probe --thorough --yes
expect_contains "a dead copier is not link-tested" "no answer within 500 ms" "$ERR"

finish

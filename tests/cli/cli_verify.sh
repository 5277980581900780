#!/bin/bash
# --verify and the link test as a process, against a copier that is flaky on
# purpose; the repeated reads and read-backs themselves are proven in tests/transfer.
source "$(dirname "$0")/assertions.bash" "$@"

"$MAKE_ROM" snes --size 1024 cart.sfc
"$MAKE_ROM" snes --copier-header lorom.smc

# A dirty contact: the copier computes its check byte over the wrong byte. Only --verify reads it right.
q 0 --port "sim:cart=$PWD/cart.sfc,cartnoise=4,seed=5" download rom dirty.swc
expect_contains "the report says the checksum disagrees" "they DIFFER" "$OUT"
expect_contains "with advice" "clean the contacts, reseat the cartridge, dump again" "$OUT"
q 0 --port "sim:cart=$PWD/cart.sfc,cartnoise=4,seed=5" download rom --verify verified.swc
expect_same_file "with --verify the dump equals the cartridge" cart.sfc <(tail -c +513 verified.swc)
expect_contains "the closing count" "Verified: 128 blocks read until two reads in a row agreed; " "$OUT"
expect_contains "and the report agrees" "they agree" "$OUT"

# A DRAM bit that does not keep what was written: run --verify stops before the image is started.
q 1 --port "sim:state=D,dramfault=0x6123:2" run --verify lorom.smc
expect_contains "run --verify names the step" "Upload ROM: The copier does not hold what was sent" "$ERR"
check "nothing was executed" [ ! -s D/events.log ]

# The link test.
q 2 --port sim probe --thorough
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

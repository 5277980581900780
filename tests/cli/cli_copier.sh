#!/bin/bash
# The copier commands against the emulated copier (--port sim:...) as a
# process: exit status, messages, trace and progress on stderr, files on disk.
# The transfers themselves are proven in tests/transfer.
source "$(dirname "$0")/assertions.bash" "$@"

"$MAKE_ROM" snes --copier-header lorom.smc
"$MAKE_ROM" snes cart.sfc
"$MAKE_ROM" snes --size 2048 --sram-code 1 big.sfc
head -c 32768 /dev/urandom >save.srm
head -c 5000 /dev/urandom >junk.srm
LONG=$(printf 'd%.0s' $(seq 1 130))
mkdir -p "$LONG/$LONG" && cp lorom.smc "$LONG/$LONG/"

q_table <<END
0|--port sim probe|OUT|Copier: answers (read 0x
1|--port sim:fault=dead probe|ERR|right port
1|--port sim:fault=badcheck probe|ERR|check byte
1|--port sim run save.srm|ERR|no ROM image
1|--port sim:state=$PWD/J run lorom.smc junk.srm|ERR|junk.srm: not recognised
1|--port sim:state=$PWD/L run $LONG/$LONG/lorom.smc|ERR|longer than 255 characters
1|--port sim download sram nodir/x.srm|ERR|nodir/x.srm
1|--device smd --port sim cart-info|ERR|SWC only
END
check "nothing reached the copier for refused files" test ! -e L -a ! -e J

q 1 --port sim:fault=dead --trace dead.trace probe
expect_eq "trace: a time-out is written and flushed on the failing exit" "! timeout" "$(cat dead.trace)"
q 1 --port sim --trace nodir/x.trace probe
expect_eq "a trace that cannot be created: said once" 1 "$(grep -c 'nodir/x.trace: cannot be written' <<<"$ERR")"
# A trace onto any file the command reads is refused before anything is written,
# whatever name reaches it: the file itself, ./ and a link, a companion.
mkdir comp && cp lorom.smc comp/keep.smc && cp save.srm comp/keep.srm && cp junk.srm comp/keep.ips
ln -s comp/keep.srm srm-link
for args in "comp/keep.smc run comp/keep.smc" "./comp/keep.smc run comp/keep.smc" "comp/keep.srm run comp/keep.smc" \
  "srm-link run ./comp/keep.smc" "comp/keep.ips upload sram comp/keep.smc"; do
  # shellcheck disable=SC2086
  q 2 --port "sim:state=$PWD/R" --trace $args
  expect_contains "trace onto a file of the command: $args" "the trace would overwrite" "$ERR"
done
expect_same_file "the companion SRAM untouched" comp/keep.srm save.srm
check "nothing reached the copier" test ! -e R

# Output that never reached its file is a failure, not a success.
expect_full_disk_fails "--port sim probe" "--port sim:cart=$PWD/cart.sfc cart-info"
q 1 --port sim --trace /dev/full probe
expect_contains "a trace that could not be written" "/dev/full: could not be written completely (--trace)" "$ERR"

q 0 --port sim:state=S execute big.sfc
expect_eq "execute with a ROM: counts and mode byte as its upload would set them" "F 05 00 01 00
F 01 08 00 00" "$(cat S/events.log)"
q 1 --port sim:fault=stall:300 run lorom.smc
expect_eq "copier stops answering during the upload: the time-out message, once" "SWC Interface: LPT read timeout
The backup device is not responding.  Make sure it's connected and the Super NES is turned on." "$ERR"
q 1 --port sim cart-info
expect_eq "no cartridge message" "Cartridge Info: No game cartridge is detected" "$ERR"

q 0 --port sim run lorom.smc
expect_eq "no progress line when stderr is not a terminal" "" "$ERR"
q 0 --progress --port sim run lorom.smc
expect_contains "the final text of the step" "ROM 2048/2048 [########################] 100%" "$ERR"
q 0 --quiet --progress --port sim run lorom.smc
expect_eq "--quiet wins" "" "$ERR"

# A ROM deleted after loading fails its step with a message and exit 1. The
# trace is a FIFO: once the files are loaded, before the upload opens the ROM
# again, the program polls (sleeps) until the FIFO has a reader; the ROM goes while it waits.
cp lorom.smc gone.smc
mkfifo vanish.trace
launch '[[ "$(cat /proc/$PID/wchan)" == *nanosleep* ]]' --port sim --trace vanish.trace run gone.smc
rm gone.smc
timeout 60 cat vanish.trace >/dev/null
wait "$PID"
expect_eq "a ROM deleted after loading: exit status" 1 $?
expect_eq "a ROM deleted after loading: the message" 'Upload ROM: Cannot open "gone.smc"' "$(head -c 34 launch.err)"

finish

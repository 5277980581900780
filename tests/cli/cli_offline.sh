#!/bin/bash
# The command line without a copier: usage errors, info, patch and convert.
source "$(dirname "$0")/assertions.bash" "$@"

"$MAKE_ROM" snes --copier-header lorom.smc
"$MAKE_ROM" snes plain.sfc
"$MAKE_ROM" genesis genesis.bin
"$MAKE_ROM" genesis --smd genesis.smd
"$MAKE_ROM" snes --name-hex 4101225ce97f1b42 odd.sfc
cp odd.sfc "$(printf 'bad\xff.sfc')"
head -c 1000 /dev/urandom >junk.bin
head -c 2048 /dev/urandom >other.srm
mkfifo fifo.smc
# IPS patches. fix: 4 bytes at data offset 0x10, a run of 16 x 0xFF at 0x100 (offsets count a 512-byte
# header); gfix, for Genesis images: odd and even bytes, across a 16 KB block boundary; trunc and grow: the
# common extension, a three-byte size after "EOF"; cutrec: a record cut by "EOF".
python3 -c "
import struct
def rec(off, data): return struct.pack('>I', off)[1:] + struct.pack('>H', len(data)) + data
def run(off, n, b): return struct.pack('>I', off)[1:] + struct.pack('>HH', 0, n) + b
fix = rec(0x210, b'ABCD') + run(0x300, 16, b'\xff')
open('fix.ips', 'wb').write(b'PATCH' + fix + b'EOF')
open('noeof.ips', 'wb').write(b'PATCH' + fix)
open('notips.ips', 'wb').write(b'HELLO' + fix + b'EOF')
open('gfix.ips', 'wb').write(b'PATCH' + rec(0x200 + 0x3FFD, b'VWXYZ') + run(0x200 + 0x1001, 7, b'\x5a') + b'EOF')
open('trunc.ips', 'wb').write(b'PATCH' + rec(0x210, b'ABCD') + b'EOF' + struct.pack('>I', 512 + 0x20000)[1:])
open('grow.ips', 'wb').write(b'PATCH' + rec(0x210, b'ABCD') + b'EOF' + struct.pack('>I', 0xFFFFFF)[1:])
open('cutrec.ips', 'wb').write(b'PATCH' + rec(0x210, b'ABCD')[:7] + b'EOF')"

q_all 2 "" "frobnicate" "info" "upload bogus lorom.smc" "upload rom" "convert --to foo a b" "convert a b" \
  "download rom" "download cart x.swc" "patch a b" "--device nes info lorom.smc" "--port lpt9 probe" \
  "--port sim:fault=nonsense probe" "--port 0xZZ probe" "--port sim:device=smd probe" "execute a b" "play extra" \
  "probe extra" "info --realtime a" "patch a b c d"
q 0 --help

# What the window shows, in its order, with the companion files beside the ROM.
LOROM="ROM File: lorom.smc
Name: QUILLON LINK DEMO    
Makeup: Fast LoROM
ROM Size: 2Mb
SRAM Size: none
Region: USA
Maker: N/A
Version: 1.0"
q 0 info lorom.smc
expect_eq "LoROM lines" "$LOROM" "$OUT"
expect_eq "nothing on stderr" "" "$ERR"
q 0 info --json lorom.smc
expect_eq "LoROM JSON" '{"ROM File": "lorom.smc", "Name": "QUILLON LINK DEMO    ", "Makeup": "Fast LoROM", "ROM Size": "2Mb", "SRAM Size": "none", "Region": "USA", "Maker": "N/A", "Version": "1.0"}' "$OUT"
mkdir comp && cp lorom.smc comp/ && cp fix.ips comp/lorom.ips && head -c 8192 /dev/urandom >comp/lorom.srm
q 0 info comp/lorom.smc
expect_eq "companions, window order" "$LOROM
SRAM File: lorom.srm
Patch File: lorom.ips" "$OUT"
q 0 info genesis.smd --device smd
expect_eq "Genesis lines" "ROM File: genesis.smd
Name: QUILLON LINK DEMO                               
ROM Size: 2Mb
Region: Japan, USA, Europe
Maker: unknown" "$OUT"
# Header names are bytes from the file: a terminal gets control bytes as \xNN, JSON gets \u00XX for what is no UTF-8.
q 0 info odd.sfc
expect_eq "text name" "$(printf 'Name: A\\x01"\\\xe9\\x7F\\x1BB%13s' '')" "$(sed -n 2p <<<"$OUT")"
q 0 info --json "$(printf 'bad\xff.sfc')"
expect_contains "JSON file name and name" \
  '{"ROM File": "bad\u00ff.sfc", "Name": "A\u0001\"\\\u00e9\u007f\u001bB ' "$OUT"
q 0 info other.srm
expect_eq "an SRAM file alone" "SRAM File: other.srm" "$OUT"
LONG=$(printf 'd%.0s' $(seq 1 120))
mkdir -p "$LONG/$LONG" && cp lorom.smc "$LONG/$LONG/lorom.smc"
q_table <<END
1|info junk.bin|ERR|junk.bin: not recognised
0|info junk.bin lorom.smc|ERR|junk.bin: not recognised
1|info genesis.bin|ERR|--device smd
1|info missing.smc|ERR|missing.smc: cannot be read
1|info $PWD/$LONG/$LONG/lorom.smc|ERR|longer than 255 characters
END

# Patches: offsets count a copier header whether or not the image has one; OUT
# is as long as ROM, or cut to the size after "EOF" (counted with the copier
# header), never lengthened.
patched() { echo "a = bytearray(open('$1','rb').read()); b = open('$2','rb').read(); $3; print(a == b)"; }
while IFS='|' read -r device rom ips out edit; do
  q 0 --device "$device" patch "$rom" "$ips" "$out"
  expect_py "patch $rom $ips" "$(patched "$rom" "$out" "$edit")"
done <<'END'
swc|lorom.smc|fix.ips|out.smc|a[0x210:0x214] = b'ABCD'; a[0x300:0x310] = b'\xff' * 16
swc|plain.sfc|trunc.ips|out.sfc|a[0x10:0x14] = b'ABCD'; del a[0x20000:]
swc|lorom.smc|grow.ips|grow.smc|a[0x210:0x214] = b'ABCD'
smd|genesis.bin|gfix.ips|gbin.bin|a[0x3FFD:0x4002] = b'VWXYZ'; a[0x1001:0x1008] = b'\x5a' * 7
END
q 0 --device smd patch genesis.smd gfix.ips gsmd.smd
q 0 convert --to plain gsmd.smd gsmd.bin
expect_same_file "patching an SMD file equals patching its plain form" gsmd.bin gbin.bin
check "SMD patch keeps the copier header" cmp -s -n 512 genesis.smd gsmd.smd

cp lorom.smc keep.smc && ln -s keep.smc link.smc
q_all 1 "patch keep.smc fix.ips keep.smc" "patch keep.smc fix.ips link.smc" "patch lorom.smc fix.ips fix.ips"
expect_same_file "ROM untouched when OUT is ROM or a link to it" keep.smc lorom.smc
expect_same_file "PATCH untouched when OUT is PATCH" fix.ips comp/lorom.ips
while IFS='|' read -r args message; do
  # shellcheck disable=SC2086
  q 1 patch $args bad.smc
  expect_contains "patch $args" "$message" "$ERR"
  check "no OUT for patch $args" [ ! -e bad.smc ]
done <<'END'
lorom.smc notips.ips|not an IPS patch
lorom.smc noeof.ips|EOF
lorom.smc cutrec.ips|damaged IPS patch
other.srm fix.ips|not a Super NES ROM image
lorom.smc fifo.smc|fifo.smc: is a FIFO
--device smd genesis.smd trunc.ips|convert --to plain
END
q 1 patch lorom.smc fix.ips nodir/out.smc
expect_contains "OUT error names the file" "nodir/out.smc" "$ERR"
expect_eq "no temporary files left" "" "$(ls | grep -F -e '.smd.' -e '.smc.')"

# The layout itself is compared with the demo ROM writer's below, written through a link.
q 0 convert --to smd genesis.bin g2.smd
"$MAKE_ROM" genesis --size 100 short.bin
q 0 convert --to smd short.bin short.smd
q 0 convert --to plain short.smd short2.bin
expect_py "partial block: zero-padded to whole blocks, block count in the header; back: the data, then the padding" "
d = open('short.smd','rb').read(); a = open('short.bin','rb').read(); b = open('short2.bin','rb').read()
print(len(d) == 512 + 7 * 16384 and d[0:11] == bytes([7]) + bytes(7) + bytes([0xAA, 0xBB, 6])
      and b[:len(a)] == a and b[len(a):] == bytes(7 * 16384 - len(a)))"
q 1 convert --to smd genesis.smd x.smd
expect_contains "SMD to SMD" "already an SMD file" "$ERR"
q_all 1 "convert --to plain genesis.bin x.bin" "convert --to smd lorom.smc x.smd" "convert --to plain g2.smd g2.smd"
check "no output for refusals" test ! -e x.smd -a ! -e x.bin
expect_same_file "IN untouched" genesis.smd g2.smd

expect_full_disk_fails "info lorom.smc" "info --json lorom.smc"

# Inputs that are not regular files are refused at once, also as companions.
mkdir -p fifocomp dir.smc && cp lorom.smc fifocomp/ && mkfifo fifocomp/lorom.srm
# refused_at_once ARGS...: exit status 1 within 10 s, saying what to name instead.
refused_at_once() {
  OUT=$(timeout 10 "$QUILLON" "$@" 2>&1)
  expect_eq "$*: refused, without waiting" 1 $?
  expect_contains "$*: why" "refused; name a regular file" "$OUT"
}
for input in fifo.smc dir.smc /dev/zero; do refused_at_once info "$input"; done
OUT=$(timeout 10 "$QUILLON" info fifocomp/lorom.smc)
expect_eq "a FIFO beside the ROM is no companion, and no wait" "0 $LOROM" "$? $OUT"

# OUT: a link is written through and kept, a FIFO or device refused, the mode kept.
cp lorom.smc target.smc && chmod 640 target.smc && ln -s target.smc out-link.smc
mkdir sub && ln -s ../target.smc sub/rel-link.smc
q 0 patch plain.sfc trunc.ips out-link.smc
expect_same_file "through a link: the target holds the patched image" target.smc out.sfc
check "the link is still a link" test -L out-link.smc
expect_eq "the target keeps its mode" 640 "$(stat -c %a target.smc)"
q 0 convert --to smd genesis.bin sub/rel-link.smc
expect_same_file "through a relative link in another folder" target.smc genesis.smd
check "that link is kept too" test -L sub/rel-link.smc
ln -s nowhere.smc dangling.smc
q 0 convert --to smd genesis.bin dangling.smc
expect_same_file "a dangling link: its target is created" nowhere.smc genesis.smd
# The device is reached through a link: a program that replaced the name
# given would replace the link here, not the system's /dev/null.
mkfifo out.fifo && ln -s /dev/null device-link.smc
for out in out.fifo device-link.smc dir.smc; do refused_at_once patch plain.sfc fix.ips "$out"; done
check "the FIFO, the link and the device are kept" test -p out.fifo -a -L device-link.smc -a -c /dev/null
expect_eq "no temporary file beside refused outputs" "" "$(ls -a | grep -E '^(out\.fifo|device-link\.smc|dir\.smc)\.')"

finish

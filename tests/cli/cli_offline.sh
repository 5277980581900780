#!/bin/bash
# The command line without a copier: usage errors, info, patch and convert.
source "$(dirname "$0")/assertions.bash" "$@"

"$MAKE_ROM" snes --copier-header lorom.smc
"$MAKE_ROM" snes plain.sfc
"$MAKE_ROM" snes --hirom --copier-header --size 512 --rom-code 10 --makeup 0x01 --sram-code 3 --region 0x0E \
  --maker 2 --version 10 hirom.smc
"$MAKE_ROM" genesis genesis.bin
"$MAKE_ROM" genesis --smd genesis.smd
"$MAKE_ROM" genesis --maker-key SEGA --rom-end 0xFFFFF --region "J U" sega.bin
head -c 1000 /dev/urandom >junk.bin
# An IPS patch: 4 bytes at data offset 0x10, a run of 16 x 0xFF at 0x100 (offsets count a 512-byte header).
python3 -c "
import struct, sys
rec = struct.pack('>I', 0x210)[1:] + struct.pack('>H', 4) + b'ABCD'
run = struct.pack('>I', 0x300)[1:] + struct.pack('>H', 0) + struct.pack('>H', 16) + b'\xff'
open('fix.ips', 'wb').write(b'PATCH' + rec + run + b'EOF')
open('noeof.ips', 'wb').write(b'PATCH' + rec + run)
open('notips.ips', 'wb').write(b'HELLO' + rec + b'EOF')
# For Genesis images: clear of the header, odd and even bytes, across a 16 KB block boundary.
rec = struct.pack('>I', 0x200 + 0x3FFD)[1:] + struct.pack('>H', 5) + b'VWXYZ'
run = struct.pack('>I', 0x200 + 0x1001)[1:] + struct.pack('>H', 0) + struct.pack('>H', 7) + b'\x5a'
open('gfix.ips', 'wb').write(b'PATCH' + rec + run + b'EOF')
"

group "usage"
for args in "" "frobnicate" "info" "upload bogus lorom.smc" "upload rom" "convert --to foo a b" "convert a b" \
  "download rom" "download cart x.swc" "patch a b" "--device nes info lorom.smc" "--port lpt9 probe" \
  "--port sim:fault=nonsense probe" "--port sim:color=blue probe" "--port 0xZZ probe" "execute a b" "play extra"; do
  # shellcheck disable=SC2086
  q $args
  expect_status 2 "quillon $args"
done
q --help
expect_status 0 "--help"
expect_contains "--help lists the commands" "cart-info" "$OUT"

group "info SWC"
q info lorom.smc
expect_status 0 "LoROM with copier header"
expect_eq "LoROM lines" "ROM File: lorom.smc
Name: QUILLON LINK DEMO    
Makeup: Fast LoROM
ROM Size: 2Mb
SRAM Size: none
Region: USA
Maker: N/A
Version: 1.0" "$OUT"
expect_eq "nothing on stderr" "" "$ERR"
q info hirom.smc
expect_status 0 "HiROM with copier header"
expect_eq "HiROM lines" "ROM File: hirom.smc
Name: QUILLON LINK DEMO    
Makeup: Slow HiROM
ROM Size: 8Mb (4Mb)
SRAM Size: 64kb
Region: Unknown
Maker: (2)
Version: 1.10" "$OUT"
q info --json lorom.smc
expect_eq "LoROM JSON" '{"ROM File": "lorom.smc", "Name": "QUILLON LINK DEMO    ", "Makeup": "Fast LoROM", "ROM Size": "2Mb", "SRAM Size": "none", "Region": "USA", "Maker": "N/A", "Version": "1.0"}' "$OUT"
q --device smd info genesis.bin
expect_status 0 "Genesis on SWC"

group "info Genesis"
NAME48="QUILLON LINK DEMO                               "
q --device smd info genesis.bin
expect_status 0 "plain Genesis"
expect_eq "plain Genesis lines" "ROM File: genesis.bin
Name: $NAME48
ROM Size: 2Mb
Region: Japan, USA, Europe
Maker: unknown" "$OUT"
q --device smd info genesis.smd
expect_eq "SMD Genesis lines" "ROM File: genesis.smd
Name: $NAME48
ROM Size: 2Mb
Region: Japan, USA, Europe
Maker: unknown" "$OUT"
q --device smd info sega.bin
expect_contains "declared size differs" "ROM Size: 8Mb (2Mb)" "$OUT"
expect_contains "space between region characters" "Region: Japan, USA" "$OUT"
expect_contains "publisher key" "Maker: SEGA" "$OUT"
q --device smd info --json genesis.smd
expect_eq "SMD JSON" "{\"ROM File\": \"genesis.smd\", \"Name\": \"$NAME48\", \"ROM Size\": \"2Mb\", \"Region\": \"Japan, USA, Europe\", \"Maker\": \"unknown\"}" "$OUT"

group "info bytes"
"$MAKE_ROM" snes --name-hex 4101225ce97f1b42 odd.sfc
"$QUILLON" info --json odd.sfc >odd.json
expect_py "JSON escapes control, quote, backslash and high bytes" "
import json; raw = open('odd.json', 'rb').read()
v = json.loads(raw)['Name']
print(raw.isascii() and b'\\\\u0001' in raw and b'\\\\u00e9' in raw and v == 'A\x01\"\\\\\xe9\x7f\x1bB' + ' ' * 13)"
"$QUILLON" info odd.sfc >odd.txt
expect_py "text shows control bytes as \\xNN, other bytes as they are" "
raw = open('odd.txt', 'rb').read().split(b'\n')[1]
print(raw == b'Name: A\\\\x01\"\\\\\xe9\\\\x7F\\\\x1BB' + b' ' * 13)"

group "info companions"
mkdir comp comp2 comp3
cp lorom.smc comp/ && cp lorom.smc comp2/ && cp genesis.bin comp3/
head -c 8192 /dev/urandom >comp/lorom.srm
cp fix.ips comp/lorom.ips
python3 -c "open('comp/lorom.rts','wb').write(bytes(8)+b'\xaa\xbb\x08'+bytes(501)+bytes(1024))"
cp comp/lorom.rts comp3/genesis.rts
head -c 8192 /dev/urandom >comp2/lorom.srm
python3 -c "open('comp2/lorom.bbd','wb').write(bytes(8)+b'\xaa\xbb\x05'+bytes(501)+bytes(8192))"
q info comp/lorom.smc
expect_eq "companions, window order" "ROM File: lorom.smc
Name: QUILLON LINK DEMO    
Makeup: Fast LoROM
ROM Size: 2Mb
SRAM Size: none
Region: USA
Maker: N/A
Version: 1.0
SRAM File: lorom.srm
Real-time File: lorom.rts
Patch File: lorom.ips" "$OUT"
q info comp2/lorom.smc
expect_contains ".bbd before .srm" "SRAM File: lorom.bbd" "$OUT"
head -c 2048 /dev/urandom >other.srm
q info comp/lorom.smc other.srm
expect_contains "a dropped SRAM file wins over the companion" "SRAM File: other.srm" "$OUT"
expect_contains "the other companions are still searched" "Patch File: lorom.ips" "$OUT"
q --device smd info comp3/genesis.bin
expect_not_contains "no real-time companion on SMD" "Real-time" "$OUT"
q info other.srm
expect_status 0 "an SRAM file alone is recognised"
expect_eq "SRAM file alone" "SRAM File: other.srm" "$OUT"

group "info refusals"
q info junk.bin
expect_status 1 "unrecognised file"
expect_eq "nothing on stdout" "" "$OUT"
expect_contains "stderr names the file" "junk.bin: not recognised" "$ERR"
q info junk.bin lorom.smc
expect_status 0 "one of two recognised"
expect_contains "the unrecognised one is named" "junk.bin: not recognised" "$ERR"
expect_contains "the other is shown" "ROM File: lorom.smc" "$OUT"
q info genesis.bin
expect_status 1 "Genesis image with the SWC selected"
expect_contains "hint" "--device smd" "$ERR"
q info missing.smc
expect_status 1 "missing file"
expect_contains "missing file named" "missing.smc: cannot be read" "$ERR"
LONG=$(printf 'd%.0s' $(seq 1 120))
mkdir -p "$LONG/$LONG"
cp lorom.smc "$LONG/$LONG/lorom.smc"
q info "$PWD/$LONG/$LONG/lorom.smc"
expect_status 1 "path over 255 characters"
expect_contains "long path message" "longer than 255 characters" "$ERR"
expect_eq "long path not loaded" "" "$OUT"
q info "$LONG/$LONG/lorom.smc"
expect_status 0 "the same file by a path of 252 characters"

group "patch"
q patch lorom.smc fix.ips out.smc
expect_status 0 "patch with copier header"
expect_py "header kept, data patched at offset - 512, length kept" "
a = bytearray(open('lorom.smc','rb').read()); b = open('out.smc','rb').read()
a[512+0x10:512+0x14] = b'ABCD'; a[512+0x100:512+0x110] = b'\xff' * 16
print(a == b)"
q patch plain.sfc fix.ips out.sfc
expect_py "headerless image: offsets still count a header" "
a = bytearray(open('plain.sfc','rb').read()); b = open('out.sfc','rb').read()
a[0x10:0x14] = b'ABCD'; a[0x100:0x110] = b'\xff' * 16
print(a == b)"
python3 -c "
import struct
size = 262144
rec = struct.pack('>I', 512 + size - 2)[1:] + struct.pack('>H', 4) + b'WXYZ'
open('tail.ips','wb').write(b'PATCH' + rec + b'EOF')"
q patch plain.sfc tail.ips tail.sfc
expect_py "a record past the end is cut: OUT never longer than ROM" "
a = bytearray(open('plain.sfc','rb').read()); b = open('tail.sfc','rb').read()
a[-2:] = b'WX'
print(a == b)"
q --device smd patch genesis.smd gfix.ips gsmd-patched.smd
expect_status 0 "patch SMD"
q --device smd patch genesis.bin gfix.ips gbin-patched.bin
expect_py "plain Genesis patched in place" "
a = bytearray(open('genesis.bin','rb').read()); b = open('gbin-patched.bin','rb').read()
a[0x3FFD:0x4002] = b'VWXYZ'; a[0x1001:0x1008] = b'\x5a' * 7
print(a == b)"
q convert --to plain gsmd-patched.smd gsmd-patched.bin
expect_status 0 "convert patched SMD"
expect_same_file "patching an SMD file equals patching its plain form" gsmd-patched.bin gbin-patched.bin
expect_py "SMD patch keeps the copier header and the length" "
a = open('genesis.smd','rb').read(); b = open('gsmd-patched.smd','rb').read()
print(a[:512] == b[:512] and len(a) == len(b) and a != b)"
ls | grep -c '\.smd\.' >leftovers.txt
expect_eq "no temporary files left" "0" "$(cat leftovers.txt)"

group "patch refusals"
cp lorom.smc keep.smc
q patch keep.smc fix.ips keep.smc
expect_status 1 "OUT equal to ROM"
expect_same_file "ROM untouched" keep.smc lorom.smc
ln -s keep.smc link.smc
q patch keep.smc fix.ips link.smc
expect_status 1 "OUT a link to ROM"
expect_same_file "ROM untouched through a link" keep.smc lorom.smc
q patch lorom.smc fix.ips fix.ips
expect_status 1 "OUT equal to PATCH"
q patch lorom.smc notips.ips bad1.smc
expect_status 1 "not an IPS patch"
expect_contains "not an IPS message" "not an IPS patch" "$ERR"
expect_file_absent "no OUT for a bad patch" bad1.smc
q patch lorom.smc noeof.ips bad2.smc
expect_status 1 "patch without end marker"
expect_contains "end marker message" "EOF" "$ERR"
q patch junk.bin fix.ips bad3.smc
expect_status 1 "ROM not recognised"
expect_file_absent "no OUT for a bad ROM" bad3.smc
q patch other.srm fix.ips bad4.smc
expect_status 1 "an SRAM file as ROM"
expect_contains "SRAM as ROM message" "not a Super NES ROM image" "$ERR"
q patch lorom.smc fix.ips nodir/out.smc
expect_status 1 "OUT in a missing folder"
expect_contains "OUT error names the file" "nodir/out.smc" "$ERR"

group "convert"
q convert --to smd genesis.bin g2.smd
expect_status 0 "plain to SMD"
expect_same_file "to SMD matches the independent interleave" g2.smd genesis.smd
q convert --to plain genesis.smd g2.bin
expect_same_file "SMD back to plain" g2.bin genesis.bin
"$MAKE_ROM" genesis --size 100 odd.bin
q convert --to smd odd.bin odd.smd
expect_py "partial block: zero-padded to whole blocks, block count in the header" "
d = open('odd.smd','rb').read()
print(len(d) == 512 + 7 * 16384 and d[0:2] == bytes([7, 0]) and d[8:11] == bytes([0xAA, 0xBB, 6]) and d[2:8] == bytes(6))"
q convert --to plain odd.smd odd2.bin
expect_py "partial block round trip: the data, then the padding" "
a = open('odd.bin','rb').read(); b = open('odd2.bin','rb').read()
print(b[:len(a)] == a and b[len(a):] == bytes(7 * 16384 - len(a)))"

group "convert refusals"
q convert --to smd genesis.smd x.smd
expect_status 1 "SMD to SMD"
expect_contains "already SMD" "already an SMD file" "$ERR"
q convert --to plain genesis.bin x.bin
expect_status 1 "plain to plain"
q convert --to smd lorom.smc x.smd
expect_status 1 "Super NES image"
q convert --to smd genesis.bin genesis.bin
expect_status 1 "OUT equal to IN"
expect_same_file "IN untouched" genesis.bin g2.bin
expect_file_absent "no output for refusals" x.smd

finish

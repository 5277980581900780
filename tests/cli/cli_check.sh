#!/bin/bash
# `check`: the dump health report, its JSON lines and exit status. CRCs and
# checksums are computed here again with Python's zlib and plain sums.
source "$(dirname "$0")/assertions.bash" "$@"

"$MAKE_ROM" snes --copier-header lorom.smc
"$MAKE_ROM" snes --hirom --size 512 hirom.sfc
"$MAKE_ROM" genesis genesis.bin
"$MAKE_ROM" genesis --smd genesis.smd
printf 123456789 >vector.txt
head -c 8192 /dev/zero >save.srm
# 10 Mbit LoROM: the last 2 Mbit count four times, as a cartridge repeats them to fill 8 Mbit.
"$MAKE_ROM" snes --size 1280 ten.sfc
python3 -c "
import struct
d = bytearray(open('ten.sfc', 'rb').read())
struct.pack_into('<HH', d, 0x7FDC, 0xFFFF, 0)
s = (sum(d) + 3 * sum(d[0x100000:])) & 0xFFFF
struct.pack_into('<HH', d, 0x7FDC, s ^ 0xFFFF, s)
open('ten.sfc', 'wb').write(d)"
# One flipped bit in the data of a good image.
python3 -c "
d = bytearray(open('genesis.bin', 'rb').read()); d[0x1234] ^= 0x10
open('damaged.bin', 'wb').write(d)"

for args in "check" "check --frobnicate lorom.smc" "check --json"; do
  # shellcheck disable=SC2086
  q 2 $args
done

# The report for people.
q 0 check lorom.smc
CRC=$(python3 -c "import zlib; print('%08X' % zlib.crc32(open('lorom.smc', 'rb').read()[512:]))")
SUM=$(python3 -c "print('0x%04X' % (sum(open('lorom.smc', 'rb').read()[512:]) & 0xFFFF))")
expect_eq "text report" "lorom.smc
  Image:    Super NES, LoROM, with a 512-byte copier header (told by its internal header)
  CRC32:    $CRC (image data in plain order, without a copier header)
  Checksum: $SUM computed, $SUM in the header: they agree" "$OUT"
expect_eq "nothing on stderr" "" "$ERR"

# One JSON object per file and line; the values are checked against Python's own reading of the files.
q 0 check --json lorom.smc hirom.sfc ten.sfc genesis.bin genesis.smd
expect_py "JSON lines" "
import json, struct, zlib
lines = r'''$OUT'''.split('\n')
def snes(name, skip, extra=0):
    d = open(name, 'rb').read()[skip:]
    s = (sum(d) + extra) & 0xFFFF
    return {'file': name, 'crc32': '%08X' % zlib.crc32(d), 'checksum': {'computed': s, 'header': s, 'ok': True}}
ten = open('ten.sfc', 'rb').read()
g = open('genesis.bin', 'rb').read()
gs = sum(struct.unpack('>%dH' % ((len(g) - 0x200) // 2), g[0x200:])) & 0xFFFF
gen = lambda name: {'file': name, 'crc32': '%08X' % zlib.crc32(g), 'checksum': {'computed': gs, 'header': gs, 'ok': True}}
want = [snes('lorom.smc', 512), snes('hirom.sfc', 0), snes('ten.sfc', 0, 3 * sum(ten[0x100000:])),
        gen('genesis.bin'), gen('genesis.smd')]
print([json.loads(l) for l in lines] == want and all(l.startswith('{\"file\": ') for l in lines))"

# Exit 1 for a checksum that disagrees or a file that is no ROM image; the other files are still reported.
q 1 check --json damaged.bin vector.txt save.srm missing.sfc genesis.bin
expect_py "damaged, unknown, SRAM, missing, good" "
import json
lines = [json.loads(l) for l in r'''$OUT'''.split('\n')]
print([l['file'] for l in lines] == ['damaged.bin', 'vector.txt', 'save.srm', 'genesis.bin']
      and lines[0]['checksum']['ok'] is False and lines[0]['checksum']['computed'] != lines[0]['checksum']['header']
      and lines[1] == {'file': 'vector.txt', 'crc32': 'CBF43926', 'checksum': None}
      and lines[2]['checksum'] is None and lines[3]['checksum']['ok'] is True)"
expect_contains "missing file named" "missing.sfc: cannot be read" "$ERR"
q 1 check damaged.bin
expect_contains "the difference is said" "they DIFFER" "$OUT"
q 1 check save.srm
expect_contains "an SRAM file is no ROM image" "an SRAM file, not a ROM image" "$OUT"

# The file decides the console, not --device.
q 0 --device smd check lorom.smc
expect_contains "Super NES whatever --device says" "Super NES, LoROM" "$OUT"
q 0 --device swc check genesis.smd
expect_contains "SMD file whatever --device says" "Genesis, SMD-interleaved" "$OUT"

# A file too large for any copier is read through for its CRC, not taken as an image.
truncate -s 7M big.sfc
q 1 check --json big.sfc
expect_py "large file" "
import json, zlib
print(json.loads(r'''$OUT''') == {'file': 'big.sfc', 'crc32': '%08X' % zlib.crc32(bytes(7 << 20)), 'checksum': None})"

# Endless or unreadable input gets an error, not a hang.
q 1 check /dev/zero
expect_contains "an endless device is not read to its end" "/dev/zero: more than 6291968 bytes and not a regular file" "$ERR"
q 1 check --json .
expect_eq "a folder gives no JSON line" "" "$OUT"
expect_contains "a folder cannot be read" ".: cannot be read" "$ERR"

# `download rom` ends with the report of the file it wrote, and advice when the checksum disagrees.
"$MAKE_ROM" snes cart.sfc
python3 -c "
d = bytearray(open('cart.sfc', 'rb').read()); d[0x20000] ^= 0x01
open('dirty.sfc', 'wb').write(d)"
q 0 --port "sim:cart=$PWD/cart.sfc" download rom cart.swc
expect_contains "report of a good dump" "cart.swc
  Image:    Super NES, LoROM, with a 512-byte copier header" "$OUT"
expect_contains "a good dump agrees" "they agree" "$OUT"
check "no advice for a good dump: $OUT" [ "${OUT/reseat/}" == "$OUT" ]
q 0 --port "sim:cart=$PWD/dirty.sfc" download rom dirty.swc
expect_contains "a damaged dump differs" "they DIFFER" "$OUT"
expect_contains "advice for a damaged dump" "clean the contacts, reseat the cartridge, dump again" "$OUT"
q 0 --device smd --port "sim:cart=$PWD/genesis.bin" download rom cart.smd
expect_contains "an SMD dump is reported de-interleaved" "Genesis, SMD-interleaved" "$OUT"
expect_contains "an SMD dump agrees" "they agree" "$OUT"

finish

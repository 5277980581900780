#!/bin/bash
# `check`: the dump health report, its JSON lines and exit status. CRCs and
# checksums are computed here again with Python's zlib and plain sums; the
# checksum rules of each console are proven in tests/rom.
source "$(dirname "$0")/assertions.bash" "$@"

"$MAKE_ROM" snes --copier-header lorom.smc
"$MAKE_ROM" genesis genesis.bin
"$MAKE_ROM" genesis --smd genesis.smd
printf 123456789 >vector.txt
head -c 8192 /dev/zero >save.srm
# One flipped bit in the data of a good image.
python3 -c "
d = bytearray(open('genesis.bin', 'rb').read()); d[0x1234] ^= 0x10
open('damaged.bin', 'wb').write(d)"

q_all 2 "check" "check --frobnicate lorom.smc" "check --json"

# The report for people.
q 0 check lorom.smc
CRC=$(python3 -c "import zlib; print('%08X' % zlib.crc32(open('lorom.smc', 'rb').read()[512:]))")
SUM=$(python3 -c "print('0x%04X' % (sum(open('lorom.smc', 'rb').read()[512:]) & 0xFFFF))")
expect_eq "text report" "lorom.smc
  Image:    Super NES, LoROM, with a 512-byte copier header (told by its internal header)
  CRC32:    $CRC (image data in plain order, without a copier header)
  Checksum: $SUM computed, $SUM in the header: they agree" "$OUT"
expect_eq "nothing on stderr" "" "$ERR"

# One JSON object per file and line: the CRC covers the data in plain order, without the copier header.
q 0 check --json lorom.smc genesis.smd
expect_py "JSON lines" "
import json, struct, zlib
s = open('lorom.smc', 'rb').read()[512:]
g = open('genesis.bin', 'rb').read()
gs = sum(struct.unpack('>%dH' % ((len(g) - 0x200) // 2), g[0x200:])) & 0xFFFF
line = lambda name, data, total: {'file': name, 'crc32': '%08X' % zlib.crc32(data),
                                'checksum': {'computed': total, 'header': total, 'ok': True}}
want = [line('lorom.smc', s, sum(s) & 0xFFFF), line('genesis.smd', g, gs)]
print([json.loads(l) for l in r'''$OUT'''.split('\n')] == want)"

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

# The file decides the console, not --device. Endless or unreadable input gets an error, not a hang.
q_table <<'END'
1|check damaged.bin|OUT|they DIFFER
1|check save.srm|OUT|an SRAM file, not a ROM image
0|--device swc check genesis.smd|OUT|Genesis, SMD-interleaved
1|check /dev/zero|ERR|/dev/zero: more than 6291968 bytes and not a regular file
1|check --json .|ERR|.: cannot be read
END
expect_eq "a folder gives no JSON line" "" "$OUT"

# A file too large for any copier is read through for its CRC, not taken as an image.
truncate -s 7M big.sfc
q 1 check --json big.sfc
expect_py "large file" "
import json, zlib
print(json.loads(r'''$OUT''') == {'file': 'big.sfc', 'crc32': '%08X' % zlib.crc32(bytes(7 << 20)), 'checksum': None})"

# `download rom` ends with the report of the file it wrote (a dump that
# disagrees, with its advice, is in the verified-transfer suite).
"$MAKE_ROM" snes cart.sfc
q 0 --port "sim:cart=$PWD/cart.sfc" download rom cart.swc
expect_contains "report of a good dump" "cart.swc
  Image:    Super NES, LoROM, with a 512-byte copier header" "$OUT"
expect_contains "a good dump agrees" "they agree" "$OUT"
check "no advice for a good dump: $OUT" [ "${OUT/reseat/}" == "$OUT" ]

finish

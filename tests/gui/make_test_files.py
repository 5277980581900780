"""Writes the small files the end-to-end tests load: a Super NES ROM image
with a valid internal header, its SRAM and patch companions, and a plain
cartridge image for the emulated copier."""
import random
import struct
from pathlib import Path

TITLE = b"QUILLON GUI TEST"


def snes_rom(size=256 * 1024, title=TITLE, seed=1):
    # Varied bytes: the copier's cartridge detection takes a ROM whose
    # samples at the same offset of every 8 KB all agree for an empty slot.
    data = bytearray(random.Random(seed).randbytes(size))
    header = bytearray(64)
    header[0:21] = title.ljust(21, b" ")
    header[0x15] = 0x20  # fast LoROM
    header[0x16] = 0x02
    header[0x17] = 0x08  # 2 Mbit
    header[0x18] = 0x03  # 64 kbit SRAM
    header[0x19] = 0x01  # USA
    header[0x1A] = 0x01  # Nintendo
    header[0x1B] = 0x02  # version 1.2
    header[0x1C:0x20] = struct.pack("<HH", 0xEDCB, 0x1234)
    data[0x7FC0:0x8000] = header
    return bytes(data)


def ips_patch(offset=0x1100, payload=b"PATCHED!"):
    # Patch offsets count in a file with a 512-byte copier header.
    return b"PATCH" + offset.to_bytes(3, "big") + len(payload).to_bytes(2, "big") + payload + b"EOF"


def write_set(folder: Path, base="game"):
    folder.mkdir(parents=True, exist_ok=True)
    (folder / f"{base}.smc").write_bytes(snes_rom())
    (folder / f"{base}.srm").write_bytes(bytes((i * 3) & 0xFF for i in range(8192)))
    (folder / f"{base}.ips").write_bytes(ips_patch())
    (folder / "cartridge.sfc").write_bytes(snes_rom(title=b"CARTRIDGE IN SLOT", seed=5))

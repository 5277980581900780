// Helpers shared by the ROM tests: copier headers, Super NES and Genesis
// images with their headers where the formats put them, a scratch folder.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "rom/genesis_header.h"
#include "rom/smd_interleave.h"

namespace ql::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The bytes less the last n.
inline Bytes Cut(Bytes bytes, std::size_t n) {
  bytes.resize(bytes.size() - n);
  return bytes;
}

// 512 bytes: 0xAA 0xBB at 8 and 9, `type` at 10.
inline Bytes CopierHeader(std::uint8_t type) {
  Bytes header(512);
  const std::uint8_t tag[] = {0xAA, 0xBB, type};
  std::copy_n(tag, 3, header.begin() + 8);
  return header;
}

// "PATCH" followed by zeros, `size` bytes in all.
inline Bytes PatchBytes(std::size_t size) {
  Bytes patch(size, 0);
  std::copy_n("PATCH", 5, patch.begin());
  return patch;
}

// A valid 64-byte block at `at`: title "TEST GAME", makeup 0x20, ROM code 8,
// SRAM code 0, region 1, maker 1, version 0, checksum 0x1234 / 0xEDCB.
inline void PutSnesHeader(Bytes& image, std::size_t at) {
  if (image.size() < at + 64) image.resize(at + 64);
  std::uint8_t* b = image.data() + at;
  std::fill(b, b + 21, ' ');
  std::copy_n("TEST GAME", 9, b);
  const std::uint8_t fields[] = {0x20, 0, 8, 0, 1, 1, 0, 0xCB, 0xED, 0x34, 0x12};
  std::copy_n(fields, sizeof fields, b + 0x15);
}

// romSize zero bytes with the block where the map puts it, after an optional copier header.
inline Bytes SnesImage(std::size_t romSize, bool hiRom, bool copierHeader) {
  Bytes rom(romSize);
  PutSnesHeader(rom, hiRom ? 0xFFC0 : 0x7FC0);
  return copierHeader ? Cat(CopierHeader(4), rom) : rom;
}

// Genesis header bytes 0x100..0x1FF: "SEGA", the publisher field, a 48-byte
// title, ROM start 0 and end 0x7FFFF (4 Mbit), the region field.
inline GenesisHeaderBlock GenesisHeader(const std::string& publisher = "(C)SEGA 1991",
                                        const std::string& region = "JUE") {
  GenesisHeaderBlock h;
  h.fill(' ');
  std::copy_n("SEGA", 4, h.begin());
  std::copy(publisher.begin(), publisher.end(), h.begin() + 0x10);
  std::copy_n("TEST GAME", 9, h.begin() + 0x20);
  const std::uint8_t range[] = {0, 0, 0, 0, 0, 0x07, 0xFF, 0xFF};
  std::copy_n(range, 8, h.begin() + 0xA0);
  std::copy(region.begin(), region.end(), h.begin() + 0xF0);
  return h;
}

inline Bytes GenesisRom(std::size_t size, const GenesisHeaderBlock& header) {
  Bytes rom(size);
  std::copy(header.begin(), header.end(), rom.begin() + 0x100);
  return rom;
}

// The SMD file of a plain ROM: copier header type 6, then the interleaved blocks.
inline Bytes ToSmd(Bytes plain) {
  plain.resize((plain.size() + kSmdBlockSize - 1) / kSmdBlockSize * kSmdBlockSize);
  PlainToSmd(plain.data(), plain.size() / kSmdBlockSize);
  return Cat(CopierHeader(6), plain);
}

// A fresh folder under the temp folder, removed at destruction.
class ScratchDir {
 public:
  ScratchDir() { std::filesystem::create_directories(root_); }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  std::string Root() const { return root_.string(); }
  std::string PathOf(const std::string& name) const { return (root_ / name).string(); }
  std::string Write(const std::string& name, const Bytes& content) const {
    std::ofstream out(PathOf(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + name);
    return PathOf(name);
  }

 private:
  inline static std::atomic<int> counter_{0};
  std::filesystem::path root_ = std::filesystem::temp_directory_path() /
                                ("quillon-rom-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
};

}  // namespace ql::testing

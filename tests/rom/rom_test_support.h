// For the ROM and transfer tests: bytes, copier headers, images, the SMD layout built independently, files, a folder.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "rom/genesis_header.h"

namespace ql::testing {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kPage = 8192;    // SWC block
constexpr std::size_t kBlock = 16384;  // SMD block

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
inline Bytes Fill(std::size_t n, std::uint8_t value = 0) { return Bytes(n, value); }
inline Bytes Slice(const Bytes& v, std::size_t at, std::size_t n) { return {v.begin() + at, v.begin() + at + n}; }
inline Bytes Cut(const Bytes& bytes, std::size_t n) { return Slice(bytes, 0, bytes.size() - n); }

inline Bytes Pattern(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  std::ranges::generate(bytes, std::independent_bits_engine<std::mt19937, 8, std::uint32_t>(seed));
  return bytes;
}

// 512 bytes: block count, mode byte, 0xAA 0xBB at 8 and 9, the file type at 10.
inline Bytes CopierHeader(std::uint8_t type, std::uint16_t blocks = 0, std::uint8_t mode = 0) {
  return Cat({{std::uint8_t(blocks), std::uint8_t(blocks >> 8), mode, 0, 0, 0, 0, 0, 0xAA, 0xBB, type}, Fill(501)});
}

// "PATCH" and zeros, `size` bytes in all.
inline Bytes PatchBytes(std::size_t size) { return Cat({{'P', 'A', 'T', 'C', 'H'}, Fill(size - 5)}); }

// A valid block at `at`: "TEST GAME", makeup 0x20, ROM code 8, SRAM 0, region 1, maker 1, version 0, sum 0x1234.
inline void PutSnesHeader(Bytes& image, std::size_t at) {
  if (image.size() < at + 64) image.resize(at + 64);
  std::uint8_t* b = image.data() + at;
  std::copy_n("TEST GAME            ", 21, b);
  const std::uint8_t fields[] = {0x20, 0, 8, 0, 1, 1, 0, 0xCB, 0xED, 0x34, 0x12};
  std::copy_n(fields, sizeof fields, b + 0x15);
}

// romSize zero bytes with the block where the map puts it, after an optional copier header.
inline Bytes SnesImage(std::size_t romSize, bool hiRom, bool copierHeader) {
  Bytes rom(romSize);
  PutSnesHeader(rom, hiRom ? 0xFFC0 : 0x7FC0);
  return copierHeader ? Cat({CopierHeader(4), rom}) : rom;
}

// Genesis header bytes 0x100..0x1FF: "SEGA", publisher SEGA, title "TEST GAME", ROM 0 to 0x7FFFF (4 Mbit), region JUE.
inline GenesisHeaderBlock GenesisHeader() {
  GenesisHeaderBlock h;
  h.fill(' ');
  std::copy_n("SEGA", 4, h.begin());
  std::copy_n("(C)SEGA 1991", 12, h.begin() + 0x10);
  std::copy_n("TEST GAME", 9, h.begin() + 0x20);
  const std::uint8_t range[] = {0, 0, 0, 0, 0, 0x07, 0xFF, 0xFF};
  std::copy_n(range, 8, h.begin() + 0xA0);
  std::copy_n("JUE", 3, h.begin() + 0xF0);
  return h;
}

inline Bytes GenesisRom(std::size_t size) {
  Bytes rom(size);
  const GenesisHeaderBlock header = GenesisHeader();
  std::copy(header.begin(), header.end(), rom.begin() + 0x100);
  return rom;
}

// The SMD layout of plain data padded to whole 16 KB blocks: per block, odd bytes then even bytes.
inline Bytes Interleaved(Bytes plain) {
  plain.resize((plain.size() + kBlock - 1) / kBlock * kBlock);
  Bytes smd(plain.size());
  for (std::size_t b = 0; b < plain.size(); b += kBlock) {
    for (std::size_t k = 0; k < kBlock / 2; ++k) {
      smd[b + k] = plain[b + 2 * k + 1];
      smd[b + kBlock / 2 + k] = plain[b + 2 * k];
    }
  }
  return smd;
}

// The SMD file of a plain ROM: copier header type 6, then the interleaved blocks.
inline Bytes ToSmd(const Bytes& plain) { return Cat({CopierHeader(6), Interleaved(plain)}); }

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// A fresh folder under the temp folder, removed at destruction.
struct ScratchDir {
  ScratchDir() { std::filesystem::create_directories(root); }
  ~ScratchDir() { std::filesystem::remove_all(root, ignored); }
  std::string Root() const { return root.string(); }
  std::string PathOf(const std::string& name) const { return (root / name).string(); }
  std::string Write(const std::string& name, const Bytes& content) const {
    WriteFile(PathOf(name), content);
    return PathOf(name);
  }

  inline static std::atomic<int> counter{0};
  const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                     ("quillon-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::error_code ignored;
};

}  // namespace ql::testing

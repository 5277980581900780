#include "tests/rom/rom_builders.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <stdexcept>

namespace ql::testing {

void PutSnesHeader(Bytes& image, std::size_t at, const SnesFields& f) {
  if (image.size() < at + 64) image.resize(at + 64, 0);
  std::uint8_t* b = image.data() + at;
  std::fill(b, b + 21, ' ');
  std::copy_n(f.title.begin(), std::min<std::size_t>(f.title.size(), 21), b);
  b[0x15] = f.makeup;
  b[0x17] = f.romSizeCode;
  b[0x18] = f.sramSizeCode;
  b[0x19] = f.regionCode;
  b[0x1A] = f.makerCode;
  b[0x1B] = f.version;
  b[0x1C] = static_cast<std::uint8_t>(f.complement);
  b[0x1D] = static_cast<std::uint8_t>(f.complement >> 8);
  b[0x1E] = static_cast<std::uint8_t>(f.checksum);
  b[0x1F] = static_cast<std::uint8_t>(f.checksum >> 8);
}

Bytes MakeSnesImage(std::size_t romSize, bool hiRom, bool copierHeader, const SnesFields& fields) {
  Bytes rom(romSize);
  for (std::size_t i = 0; i < romSize; ++i) rom[i] = static_cast<std::uint8_t>(i * 7 + 3);
  PutSnesHeader(rom, hiRom ? 0xFFC0 : 0x7FC0, fields);
  rom.resize(std::max(romSize, rom.size()));
  return copierHeader ? Concat(CopierHeader(4), rom) : rom;
}

Bytes MakeGenesisRom(std::size_t romSize, const GenesisFields& f) {
  Bytes rom(std::max<std::size_t>(romSize, 0x200));
  for (std::size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<std::uint8_t>(i * 13 + 1);
  std::fill(rom.begin() + 0x100, rom.begin() + 0x200, ' ');
  std::copy_n(f.signature.begin(), std::min<std::size_t>(f.signature.size(), 16), rom.begin() + 0x100);
  std::copy_n(f.makerField.begin(), std::min<std::size_t>(f.makerField.size(), 16), rom.begin() + 0x110);
  std::copy_n(f.title.begin(), std::min<std::size_t>(f.title.size(), 48), rom.begin() + 0x120);
  for (int i = 0; i < 4; ++i) {
    rom[0x1A0 + i] = static_cast<std::uint8_t>(f.romStart >> (24 - 8 * i));
    rom[0x1A4 + i] = static_cast<std::uint8_t>(f.romEnd >> (24 - 8 * i));
  }
  std::copy_n(f.region.begin(), std::min<std::size_t>(f.region.size(), 3), rom.begin() + 0x1F0);
  return rom;
}

Bytes ToSmdFile(const Bytes& plainRom) {
  const std::size_t blocks = (plainRom.size() + 16383) / 16384;
  Bytes data(blocks * 16384, 0);
  for (std::size_t n = 0; n < blocks; ++n) {
    for (std::size_t k = 0; k < 8192; ++k) {
      const std::size_t odd = n * 16384 + 2 * k + 1;
      const std::size_t even = n * 16384 + 2 * k;
      data[n * 16384 + k] = odd < plainRom.size() ? plainRom[odd] : 0;
      data[n * 16384 + 8192 + k] = even < plainRom.size() ? plainRom[even] : 0;
    }
  }
  return Concat(CopierHeader(6), data);
}

Bytes CopierHeader(std::uint8_t type) {
  Bytes header(512, 0);
  header[8] = 0xAA;
  header[9] = 0xBB;
  header[10] = type;
  return header;
}

Bytes Concat(const Bytes& a, const Bytes& b) {
  Bytes out(a);
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  root_ = std::filesystem::temp_directory_path() /
          ("quillon-rom-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(root_);
  std::filesystem::create_directories(root_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string ScratchDir::PathOf(const std::string& name) const { return (root_ / name).string(); }

std::string ScratchDir::Write(const std::string& name, const Bytes& content) const {
  const std::string path = PathOf(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

}  // namespace ql::testing

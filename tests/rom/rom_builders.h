// Small image generators for the ROM tests: Super NES images with a valid
// internal header at a chosen place, Genesis images in either layout, copier
// headers, and a scratch folder for files the loader opens.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ql::testing {

using Bytes = std::vector<std::uint8_t>;

struct SnesFields {
  std::string title = "TEST GAME";
  std::uint8_t makeup = 0x20;
  std::uint8_t romSizeCode = 8;
  std::uint8_t sramSizeCode = 0;
  std::uint8_t regionCode = 1;
  std::uint8_t makerCode = 1;
  std::uint8_t version = 0;
  std::uint16_t checksum = 0x1234;
  std::uint16_t complement = 0xEDCB;
};

// Writes the 64-byte block at `at` (growing the image if needed).
void PutSnesHeader(Bytes& image, std::size_t at, const SnesFields& fields);
// A Super NES image of romSize data bytes with a valid block where the
// memory map puts it, optionally behind a 512-byte copier header.
Bytes MakeSnesImage(std::size_t romSize, bool hiRom, bool copierHeader, const SnesFields& fields = {});

struct GenesisFields {
  std::string signature = "SEGA";
  std::string makerField = "(C)SEGA 1991.JAN";
  std::string title = "TEST GAME";
  std::uint32_t romStart = 0;
  std::uint32_t romEnd = 0x7FFFF;
  std::string region = "JUE";
};

// A plain Genesis ROM of romSize bytes (at least 0x200) with the header filled in.
Bytes MakeGenesisRom(std::size_t romSize, const GenesisFields& fields = {});
// The same ROM as an SMD file: copier header (type 6), data interleaved per 16 KB block.
Bytes ToSmdFile(const Bytes& plainRom);

// 512 bytes: 0xAA 0xBB at 8 and 9, `type` at 10.
Bytes CopierHeader(std::uint8_t type);
Bytes Concat(const Bytes& a, const Bytes& b);

// A fresh folder under the system temp folder, removed at destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string Write(const std::string& name, const Bytes& content) const;
  std::string PathOf(const std::string& name) const;
  const std::filesystem::path& root() const { return root_; }

 private:
  std::filesystem::path root_;
};

}  // namespace ql::testing

// Tiny but valid files of every kind the program loads, written by the tests
// into a temporary folder of their own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ql::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Full path of name inside the folder (subfolders are created).
  std::string Path(const std::string& name) const;

 private:
  std::filesystem::path root_;
};

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadBytes(const std::string& path);

// A 32 KB headerless LoROM image with a valid internal header at 0x7FC0;
// every other byte follows a pattern seeded by fill.
std::vector<std::uint8_t> SnesRomImage(std::uint8_t fill);
std::string WriteSnesRom(const TempFolder& folder, const std::string& name, std::uint8_t fill = 0x11);
// A plain Genesis image with "SEGA" at 0x100.
std::string WriteGenesisRom(const TempFolder& folder, const std::string& name);
// SRAM without copier header (an .srm) or with one (a .bbd).
std::string WriteSram(const TempFolder& folder, const std::string& name, std::uint8_t fill);
std::string WriteSramWithHeader(const TempFolder& folder, const std::string& name, std::uint8_t fill);
// A full real-time save: copier header of type 8 and 256 KB.
std::string WriteRealTimeSave(const TempFolder& folder, const std::string& name, std::uint8_t fill);
// A one-record IPS patch.
std::string WritePatch(const TempFolder& folder, const std::string& name);

}  // namespace ql::testing

#include "tests/app/app_test_files.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace ql::testing {
namespace {

constexpr std::size_t kSnesHeaderOffset = 0x7FC0;
constexpr std::size_t kSramSize = 8192;
constexpr std::size_t kRealTimeAreaSize = 262144;

std::vector<std::uint8_t> CopierHeader(std::uint8_t fileType) {
  std::vector<std::uint8_t> header(512, 0);
  header[8] = 0xAA;
  header[9] = 0xBB;
  header[10] = fileType;
  return header;
}

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t fill) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(fill + i * 7 + (i >> 8));
  return bytes;
}

}  // namespace

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillon-app-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  root_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string TempFolder::Path(const std::string& name) const {
  std::filesystem::path path = root_ / name;
  std::filesystem::create_directories(path.parent_path());
  return path.string();
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::uint8_t> SnesRomImage(std::uint8_t fill) {
  std::vector<std::uint8_t> image = Pattern(32768, fill);
  std::uint8_t* header = image.data() + kSnesHeaderOffset;
  const char title[] = "APP TEST ROM         ";
  for (int i = 0; i < 21; ++i) header[i] = static_cast<std::uint8_t>(title[i]);
  header[0x15] = 0x20;  // LoROM, fast
  header[0x17] = 8;     // 2 Mbit declared
  header[0x18] = 1;     // 16 kbit SRAM
  header[0x19] = 1;
  header[0x1A] = 1;
  header[0x1B] = 0;
  header[0x1C] = 0xCB;  // complement 0xEDCB of checksum 0x1234
  header[0x1D] = 0xED;
  header[0x1E] = 0x34;
  header[0x1F] = 0x12;
  return image;
}

std::string WriteSnesRom(const TempFolder& folder, const std::string& name, std::uint8_t fill) {
  std::string path = folder.Path(name);
  WriteBytes(path, SnesRomImage(fill));
  return path;
}

std::string WriteGenesisRom(const TempFolder& folder, const std::string& name) {
  std::vector<std::uint8_t> image = Pattern(0x4000, 0x22);
  const char signature[] = "SEGA GENESIS    ";
  for (int i = 0; i < 16; ++i) image[0x100 + i] = static_cast<std::uint8_t>(signature[i]);
  std::string path = folder.Path(name);
  WriteBytes(path, image);
  return path;
}

std::string WriteSram(const TempFolder& folder, const std::string& name, std::uint8_t fill) {
  std::string path = folder.Path(name);
  WriteBytes(path, Pattern(kSramSize, fill));
  return path;
}

std::string WriteSramWithHeader(const TempFolder& folder, const std::string& name, std::uint8_t fill) {
  std::vector<std::uint8_t> bytes = CopierHeader(5);
  std::vector<std::uint8_t> data = Pattern(kSramSize, fill);
  bytes.insert(bytes.end(), data.begin(), data.end());
  std::string path = folder.Path(name);
  WriteBytes(path, bytes);
  return path;
}

std::string WriteRealTimeSave(const TempFolder& folder, const std::string& name, std::uint8_t fill) {
  std::vector<std::uint8_t> bytes = CopierHeader(8);
  std::vector<std::uint8_t> data = Pattern(kRealTimeAreaSize, fill);
  bytes.insert(bytes.end(), data.begin(), data.end());
  std::string path = folder.Path(name);
  WriteBytes(path, bytes);
  return path;
}

std::string WritePatch(const TempFolder& folder, const std::string& name) {
  // "PATCH", offset 0x000010, length 1, one byte, "EOF".
  std::vector<std::uint8_t> bytes = {'P', 'A', 'T', 'C', 'H', 0x00, 0x00, 0x10, 0x00, 0x01, 0xAA, 'E', 'O', 'F'};
  std::string path = folder.Path(name);
  WriteBytes(path, bytes);
  return path;
}

}  // namespace ql::testing

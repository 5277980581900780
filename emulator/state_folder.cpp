#include "emulator/state_folder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace ql::emu {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadFile(const fs::path& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::vector<std::uint8_t> bytes;
  char buffer[65536];
  while (bytes.size() < limit && in.read(buffer, sizeof buffer).gcount() > 0) {
    const auto got = static_cast<std::size_t>(in.gcount());
    bytes.insert(bytes.end(), buffer, buffer + std::min(got, limit - bytes.size()));
  }
  return bytes;
}

template <typename Bytes>
void LoadInto(const fs::path& path, Bytes& target) {
  const auto bytes = ReadFile(path, target.size());
  std::copy(bytes.begin(), bytes.end(), target.begin());
}

bool WriteFile(const fs::path& path, const std::uint8_t* data, std::size_t size, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (out) return true;
  error = "cannot write " + path.string();
  return false;
}

}  // namespace

void LoadStateFolder(const std::string& folder, CopierStore& store, bool withRealTimeArea) {
  const fs::path dir(folder);
  LoadInto(dir / "header.bin", store.header);
  LoadInto(dir / "sram.bin", store.sram);
  if (withRealTimeArea) LoadInto(dir / "rtsarea.bin", store.realTimeArea);
  store.dram = ReadFile(dir / "dram.bin", static_cast<std::size_t>(store.pageSize) * store.maxPages);
  // Whole pages only: a cut file is completed with zeros.
  store.dram.resize((store.dram.size() + store.pageSize - 1) / store.pageSize * store.pageSize);
}

bool SaveStateFolder(const std::string& folder, const CopierStore& store, bool withRealTimeArea,
                     std::size_t firstNewEvent, std::string& error) {
  const fs::path dir(folder);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    error = "cannot create " + dir.string() + ": " + ec.message();
    return false;
  }
  bool ok = WriteFile(dir / "header.bin", store.header.data(), store.header.size(), error);
  ok = WriteFile(dir / "dram.bin", store.dram.data(), store.dram.size(), error) && ok;
  ok = WriteFile(dir / "sram.bin", store.sram.data(), store.sram.size(), error) && ok;
  if (withRealTimeArea)
    ok = WriteFile(dir / "rtsarea.bin", store.realTimeArea.data(), store.realTimeArea.size(), error) && ok;
  if (firstNewEvent < store.events.size()) {
    std::ofstream log(dir / "events.log", std::ios::app);
    for (std::size_t i = firstNewEvent; i < store.events.size(); ++i) log << store.events[i] << '\n';
    if (!log) {
      error = "cannot append to " + (dir / "events.log").string();
      ok = false;
    }
  }
  return ok;
}

}  // namespace ql::emu

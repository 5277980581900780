#include "emulator/state_folder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "emulator/folder_files.h"

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

}  // namespace

void LoadStateFolder(const std::string& folder, CopierStore& store, bool withRealTimeArea) {
  const fs::path dir(folder);
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return;
  // Not to read a set of files that another process is halfway through
  // replacing. A folder that cannot be locked (read-only) is read all the same.
  FolderLock lock;
  std::string ignored;
  lock.Acquire(dir, ignored);
  LoadInto(dir / "header.bin", store.header);
  LoadInto(dir / "sram.bin", store.sram);
  if (withRealTimeArea) LoadInto(dir / "rtsarea.bin", store.realTimeArea);
  store.dram = ReadFile(dir / "dram.bin", static_cast<std::size_t>(store.pageSize) * store.maxPages);
  // Whole pages only: a cut file is completed with zeros.
  store.dram.resize((store.dram.size() + store.pageSize - 1) / store.pageSize * store.pageSize);
}

void SaveStateFolder(const std::string& folder, const CopierStore& store, bool withRealTimeArea,
                     std::size_t& savedEvents, std::vector<std::string>& errors) {
  const fs::path dir(folder);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    errors.push_back("cannot create " + dir.string() + ": " + ec.message());
    return;
  }
  FolderLock lock;
  std::string error;
  if (!lock.Acquire(dir, error)) {
    errors.push_back(error);
    return;
  }
  const auto replace = [&](const char* name, const auto& bytes) {
    if (!ReplaceFileWhole(dir / name, bytes.data(), bytes.size(), error)) errors.push_back(error);
  };
  replace("header.bin", store.header);
  replace("dram.bin", store.dram);
  replace("sram.bin", store.sram);
  if (withRealTimeArea) replace("rtsarea.bin", store.realTimeArea);
  if (savedEvents >= store.events.size()) return;
  std::string lines;
  for (std::size_t i = savedEvents; i < store.events.size(); ++i) lines += store.events[i] + '\n';
  if (AppendWhole(dir / "events.log", lines, error))
    savedEvents = store.events.size();
  else
    errors.push_back(error);
}

bool StateSaver::Save(const CopierStore& store, bool withRealTimeArea) {
  if (folder_.empty()) {
    savedEvents_ = store.events.size();
    return true;
  }
  std::vector<std::string> errors;
  SaveStateFolder(folder_, store, withRealTimeArea, savedEvents_, errors);
  // Saves come after every function packet: a folder that stays unwritable
  // is reported once per cause, and again only after a save went through.
  for (const std::string& error : errors)
    if (reported_.insert(error).second) std::fprintf(stderr, "Copier emulator: state not saved: %s\n", error.c_str());
  if (errors.empty()) reported_.clear();
  return errors.empty();
}

}  // namespace ql::emu

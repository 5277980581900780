#include "emulator/state_folder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
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

// Tells contents apart cheaply: eight bytes a step, the length mixed in.
std::uint64_t Stamp(const std::uint8_t* data, std::size_t size) {
  std::uint64_t hash = 0xCBF29CE484222325ull ^ size;
  std::size_t i = 0;
  for (std::uint64_t word = 0; i + 8 <= size; i += 8) {
    std::memcpy(&word, data + i, 8);
    hash = (hash ^ word) * 0x100000001B3ull;
  }
  for (; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001B3ull;
  return hash;
}

template <typename Bytes>
std::uint64_t Stamp(const Bytes& bytes) {
  return Stamp(bytes.data(), bytes.size());
}

}  // namespace

void StateSaver::Load(CopierStore& store, bool withRealTimeArea) {
  const fs::path dir(folder_);
  std::error_code ec;
  if (folder_.empty() || !fs::is_directory(dir, ec)) return;
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
  // Only a file read exactly as it is counts as known; any other is written at the first save.
  const auto known = [&](const char* name, const auto& bytes) {
    if (fs::file_size(dir / name, ec) == bytes.size() && !ec) stamps_[name] = Stamp(bytes);
  };
  known("header.bin", store.header);
  known("sram.bin", store.sram);
  known("dram.bin", store.dram);
  if (withRealTimeArea) known("rtsarea.bin", store.realTimeArea);
}

void StateSaver::SaveFolder(const CopierStore& store, bool withRealTimeArea, std::vector<std::string>& errors) {
  const fs::path dir(folder_);
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
  // A memory this copier has not changed since it last read or wrote the
  // file is left alone: another process may have put newer memory there.
  const auto replace = [&](const char* name, const auto& bytes) {
    const std::uint64_t stamp = Stamp(bytes);
    const auto known = stamps_.find(name);
    if (known != stamps_.end() && known->second == stamp) return;
    if (ReplaceFileWhole(dir / name, bytes.data(), bytes.size(), error))
      stamps_[name] = stamp;
    else
      errors.push_back(error);
  };
  replace("header.bin", store.header);
  replace("dram.bin", store.dram);
  replace("sram.bin", store.sram);
  if (withRealTimeArea) replace("rtsarea.bin", store.realTimeArea);
  if (savedEvents_ >= store.events.size()) return;
  std::string lines;
  for (std::size_t i = savedEvents_; i < store.events.size(); ++i) lines += store.events[i] + '\n';
  // Apart from the memories: the lines are appended once, whatever else failed.
  if (AppendWhole(dir / "events.log", lines, error))
    savedEvents_ = store.events.size();
  else
    errors.push_back(error);
}

bool StateSaver::Save(const CopierStore& store, bool withRealTimeArea) {
  if (folder_.empty()) {
    savedEvents_ = store.events.size();
    return true;
  }
  std::vector<std::string> errors;
  try {
    SaveFolder(store, withRealTimeArea, errors);
  } catch (const std::exception& e) {
    // Saves run inside port operations, which reach the PC through a C interface in io.dll.
    errors.push_back(std::string("unexpected failure: ") + e.what());
  }
  // Saves come after every function packet: a folder that stays unwritable
  // is reported once per cause, and again only after a save went through.
  for (const std::string& error : errors)
    if (reported_.insert(error).second) std::fprintf(stderr, "Copier emulator: state not saved: %s\n", error.c_str());
  if (errors.empty()) reported_.clear();
  return errors.empty();
}

}  // namespace ql::emu

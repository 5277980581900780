// The copier's memory kept in a folder between runs, so that consecutive
// programs talk to one copier: header.bin, dram.bin, sram.bin, rtsarea.bin
// and events.log (appended). Processes that share a folder take turns on its
// lock, and every memory file is replaced whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "emulator/memory_map.h"

namespace ql::emu {

// One copier's folder: what it loaded, which events are already in
// events.log, and which failures stderr has already been told about.
class StateSaver {
 public:
  explicit StateSaver(std::string folder) : folder_(std::move(folder)) {}

  // Missing folder or files leave the store as it is (zeroed at start).
  void Load(CopierStore& store, bool withRealTimeArea);
  // Creates the folder if needed and, under its lock, replaces the memory
  // files and appends the new events. True when everything was saved;
  // without a folder only the events are marked as kept.
  bool Save(const CopierStore& store, bool withRealTimeArea);
  std::size_t SavedEvents() const { return savedEvents_; }

 private:
  void SaveFolder(const CopierStore& store, bool withRealTimeArea, std::vector<std::string>& errors);

  std::string folder_;
  std::size_t savedEvents_ = 0;
  std::set<std::string> reported_;
  std::map<std::string, std::uint64_t> stamps_;  // file name: what this copier last read or wrote there
};

}  // namespace ql::emu

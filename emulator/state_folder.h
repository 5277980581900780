// The copier's memory kept in a folder between runs, so that consecutive
// programs talk to one copier: header.bin, dram.bin, sram.bin, rtsarea.bin
// and events.log (appended). Processes that share a folder take turns on its
// lock, and every memory file is replaced whole.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "emulator/memory_map.h"

namespace ql::emu {

// Missing folder or files leave the store as it is (zeroed at start).
void LoadStateFolder(const std::string& folder, CopierStore& store, bool withRealTimeArea);

// Creates the folder if needed and, under its lock, replaces the memory files
// and appends the events from `savedEvents` on. `savedEvents` moves past the
// lines appended whatever else failed, so that no line is written twice.
// Each failure adds its reason to `errors`.
void SaveStateFolder(const std::string& folder, const CopierStore& store, bool withRealTimeArea,
                     std::size_t& savedEvents, std::vector<std::string>& errors);

// One copier's saves to its folder: which events are already in events.log,
// and which failures stderr has already been told about.
class StateSaver {
 public:
  explicit StateSaver(std::string folder) : folder_(std::move(folder)) {}
  // True when everything was saved; without a folder only the events are
  // marked as kept.
  bool Save(const CopierStore& store, bool withRealTimeArea);
  std::size_t SavedEvents() const { return savedEvents_; }

 private:
  std::string folder_;
  std::size_t savedEvents_ = 0;
  std::set<std::string> reported_;
};

}  // namespace ql::emu

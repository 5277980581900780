// The four file slots and what the window shows for each: one row per slot,
// used by the loader, the companion search, the device switch and the start
// state, so that a slot, its label, its field and its upload item are named
// together once.
#pragma once

#include <array>
#include <string>

#include "core/types.h"

namespace ql {

struct SlotInfo {
  FileKind kind;
  std::string* path;  // the slot itself (RomPath, ...)
  int label;          // "ROM File:", ... enabled while the slot is filled
  int field;          // shows the file name; " " when emptied
  int menuItem;       // the Upload item that sends this slot alone
};

// Rom, Sram, RealTime, Patch: the window's top-to-bottom order.
const std::array<SlotInfo, 4>& SlotTable();
const SlotInfo& SlotOf(FileKind kind);  // kind must not be None

// Stores path in the slot, enables its label and shows name in its field.
// The menu items are the loader's to set: they depend on other slots too.
void FillSlot(FileKind kind, const std::string& path, const std::string& name);
// Empties the slot, greys its label and its upload item and blanks its field.
void EmptySlot(FileKind kind);

}  // namespace ql

// Every command of the window (the menu items and the Play/Cancel button) in
// one table: its id, how the command line names it, its label, whether it
// runs as a job and with what parameter, which slots and device it needs,
// and why it is grey when it is. The dispatcher, the window rules and the
// command line all read it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ql {

struct CommandInfo {
  int id;                   // IDC_PLAY or an IDM_ id
  const char* cliName;      // "run --realtime", "upload rom", ...; nullptr: the command line has none
  const char* label;        // the menu item's text without its "&" and key
  bool job;                 // runs on the job thread
  std::uint8_t steps;       // job: UploadSteps of an upload job, 0 for a download job
  std::uint8_t download;    // job: DownloadKind of a download job
  bool realTime;            // sets RealTimeMode for what it starts
  unsigned needs;           // KindBit set of the slots it needs filled; grey while one is empty
  const char* swcOnly;      // why it is grey with the SMD selected; nullptr: both devices
  const char* needsText;    // why it is grey while a slot it needs is empty
};

std::span<const CommandInfo> CommandTable();
// nullptr for an id or name not in the table.
const CommandInfo* FindCommand(int id);
const CommandInfo* FindCommandByCliName(std::string_view cliName);

// Whether the window enables the command for the selected device and the
// filled slots; the window's menu items always show this.
bool CommandAvailable(const CommandInfo& command);
// Why the window has it grey now.
std::string WhyUnavailable(const CommandInfo& command);

}  // namespace ql

#include "app/command_table.h"

#include <algorithm>
#include <array>

#include "core/slot_table.h"
#include "core/state.h"
#include "core/types.h"
#include "resources/resource_ids.h"

namespace ql {
namespace {

constexpr unsigned kRom = KindBit(FileKind::Rom);
constexpr unsigned kSram = KindBit(FileKind::Sram);
constexpr unsigned kRealTime = KindBit(FileKind::RealTime);
constexpr unsigned kPatch = KindBit(FileKind::Patch);
constexpr auto kCart = static_cast<std::uint8_t>(DownloadKind::CartridgeRom);
constexpr auto kSramDown = static_cast<std::uint8_t>(DownloadKind::Sram);
constexpr auto kRtsDown = static_cast<std::uint8_t>(DownloadKind::RealTime);
constexpr const char* kNoRom = "no ROM image was loaded from the files given";
constexpr const char* kRealTimeSaves = "real-time saves are for the SWC only";

// clang-format off
constexpr std::array<CommandInfo, 22> kCommands = {{
  // id                          command line          label                          job    steps                   download  rt     needs            SWC only                              grey without its files
  {IDC_PLAY,                    nullptr,              "Play",                        false, 0,                      0,        false, 0,               nullptr,                              nullptr},
  {IDM_OPEN,                    nullptr,              "Open...",                     false, 0,                      0,        false, 0,               nullptr,                              nullptr},
  {IDM_CARTRIDGE_INFO,          "cart-info",          "Cartridge Info...",           false, 0,                      0,        false, 0,               "Cartridge Info is for the SWC only", nullptr},
  {IDM_ABOUT,                   nullptr,              "About...",                    false, 0,                      0,        false, 0,               nullptr,                              nullptr},
  {IDM_EXIT,                    nullptr,              "Exit",                        false, 0,                      0,        false, 0,               nullptr,                              nullptr},
  {IDM_DEVICE_SWC,              nullptr,              "Super Magicom/WildCard",      false, 0,                      0,        false, 0,               nullptr,                              nullptr},
  {IDM_DEVICE_SMD,              nullptr,              "Super Magic Drive",           false, 0,                      0,        false, 0,               nullptr,                              nullptr},
  {IDM_LPT1,                    nullptr,              "LPT1",                        false, 0,                      0,        false, 0,               nullptr,                              nullptr},
  {IDM_LPT2,                    nullptr,              "LPT2",                        false, 0,                      0,        false, 0,               nullptr,                              nullptr},
  {IDM_LPT3,                    nullptr,              "LPT3",                        false, 0,                      0,        false, 0,               nullptr,                              nullptr},
  {IDM_UPLOAD_AND_RUN,          "run",                "Upload and Run",              true,  UploadSteps::All,       0,        false, kRom,            nullptr,                              kNoRom},
  {IDM_UPLOAD_AND_RUN_REALTIME, "run --realtime",     "Upload and Run (Real-time)",  true,  UploadSteps::All,       0,        true,  kRom,            "real-time runs are for the SWC only", kNoRom},
  {IDM_EXECUTE,                 "execute",            "Execute only",                false, 0,                      0,        false, 0,               nullptr,                              nullptr},
  {IDM_EXECUTE_REALTIME,        "execute --realtime", "Execute only (Real-time)",    false, 0,                      0,        true,  0,               "real-time mode is for the SWC only", nullptr},
  {IDM_PLAY_CARTRIDGE,          "play",               "Play Cartridge",              false, 0,                      0,        false, 0,               nullptr,                              nullptr},
  {IDM_UPLOAD_ROM,              "upload rom",         "ROM",                         true,  UploadSteps::Rom,       0,        false, kRom,            nullptr,                              kNoRom},
  {IDM_UPLOAD_ROM_IPS,          "upload rom-ips",     "ROM w/ IPS",                  true,  UploadSteps::Rom | UploadSteps::ApplyPatch, 0, false, kRom | kPatch, nullptr,
   "needs a ROM image and an IPS patch (give both, or put the patch beside the ROM with the same name)"},
  {IDM_UPLOAD_SRAM,             "upload sram",        "SRAM",                        true,  UploadSteps::Sram,      0,        false, kSram,           nullptr,                              "no SRAM file was loaded from the files given"},
  // The real-time step runs only in real-time mode; this command is the one
  // way to send the loaded save by itself, so it asks for it.
  {IDM_UPLOAD_REALTIME,         "upload rts",         "Real-time save",              true,  UploadSteps::RealTime,  0,        true,  kRealTime,       kRealTimeSaves,                       "no real-time save was loaded from the files given"},
  {IDM_DOWNLOAD_CARTRIDGE,      "download rom",       "Cartridge ROM...",            true,  0,                      kCart,    false, 0,               nullptr,                              nullptr},
  {IDM_DOWNLOAD_SRAM,           "download sram",      "SRAM...",                     true,  0,                      kSramDown, false, 0,              nullptr,                              nullptr},
  {IDM_DOWNLOAD_REALTIME,       "download rts",       "Real-time save...",           true,  0,                      kRtsDown, false, 0,               kRealTimeSaves,                       nullptr},
}};
// clang-format on

bool SlotsFilled(unsigned needs) {
  return std::ranges::all_of(SlotTable(), [needs](const SlotInfo& slot) {
    return (needs & KindBit(slot.kind)) == 0 || !slot.path->empty();
  });
}

}  // namespace

std::span<const CommandInfo> CommandTable() { return kCommands; }

const CommandInfo* FindCommand(int id) {
  auto it = std::ranges::find(kCommands, id, &CommandInfo::id);
  return it == kCommands.end() ? nullptr : &*it;
}

const CommandInfo* FindCommandByCliName(std::string_view cliName) {
  auto it = std::ranges::find_if(
      kCommands, [cliName](const CommandInfo& command) { return command.cliName && command.cliName == cliName; });
  return it == kCommands.end() ? nullptr : &*it;
}

bool CommandAvailable(const CommandInfo& command) {
  if (command.swcOnly && SelectedDevice != kDeviceSwc) return false;
  return SlotsFilled(command.needs);
}

std::string WhyUnavailable(const CommandInfo& command) {
  if (command.swcOnly && SelectedDevice != kDeviceSwc) return command.swcOnly;
  return command.needsText ? command.needsText : "not available";
}

}  // namespace ql

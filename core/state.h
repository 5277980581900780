// The process-wide state every subsystem works on, one instance each, under
// the names the whole program uses. Flags shared between the user-interface
// thread and the job thread are atomics.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace ql {

struct JobHandle;  // defined by app/, the one running job

// Settings (persisted by the Windows shell).
inline std::uint8_t SelectedDevice = 0;  // 0 SWC, 1 SMD; 255 only while the window initialises
inline std::uint8_t SelectedLpt = 1;     // 1..3

// File slots: empty string = no file. Never longer than kMaxPathLength.
inline std::string RomPath;
inline std::string SramPath;
inline std::string RealTimePath;
inline std::string PatchPath;
inline std::string LastDirectory;

// What LoadImageFile found out about the loaded ROM and SRAM files.
inline bool RomHasCopierHeader = false;
inline bool RomIsHiRom = false;
inline bool SramHasCopierHeader = false;
inline std::array<std::uint8_t, 256> RomHeader{};

// Job and shutdown flags.
inline std::atomic<bool> RealTimeMode{false};
inline std::atomic<bool> CancelRequested{false};
inline std::atomic<bool> QuitRequested{false};
inline std::atomic<JobHandle*> JobThread{nullptr};

// Whether the link is open is not kept here: LinkOpen() (link/port_binding.h)
// derives it from the binding itself.

// Block count and SWC mode byte of the most recent ROM upload.
inline std::uint32_t RomBlockCount = 0;
inline std::uint8_t SwcModeByte = 0;

// Start values of everything above (program start; tests call it between cases).
void ResetSharedState();

}  // namespace ql

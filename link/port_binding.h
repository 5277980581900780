// Binding the port library to the selected parallel port, lazily, on the
// first copier command.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/port_io.h"

namespace ql {

// Port choices beyond LPT1..LPT3: the USB bridge, and a parallel port at an
// address of the user's own (a PCIe card), through the port library.
constexpr unsigned kBridgeChoice = 4;
constexpr unsigned kOtherAddressChoice = 5;

// A base the Other Address choice accepts: 0x0100 to 0xFFF8, a multiple of 8
// (below 0x0100 lie the PC's own devices; a card's range is 8-aligned).
constexpr bool IsOtherPortBase(std::uint32_t base) { return base >= 0x0100 && base <= 0xFFF8 && base % 8 == 0; }
// The Other Address base; 0 until one is set. An invalid base is refused.
bool SetOtherPortBase(std::uint32_t base);
std::uint16_t OtherPortBase();
// 1..4, and 5 once an Other Address base is set.
bool IsPortChoice(unsigned port);

// Maps 1..3 or 0x378/0x278/0x3BC to the port base; anything else: false, base kept.
bool SetLptBase(unsigned port);
// True when the link can be used on that port choice; loads the library (or
// connects the bridge) on first use. A choice of the other kind while bound
// parks and releases what was bound first.
bool InitPortDriver(unsigned port);
// The gate of every copier operation.
bool EnsureLinkReady();
// At exit: parks the port (data 0x00, control 0x0C) and unloads, when bound.
void ShutdownPortDriver();

// What "loading the port library" means on this platform. The loader returns
// the four operations, or nullptr and the text of the message to show
// (caption "SWC Interface", stop icon). Installed by the front end at start.
using PortLibraryLoader = std::function<std::unique_ptr<PortIo>(std::string& failureMessage)>;
void SetPortLibraryLoader(PortLibraryLoader loader);
// The same for the USB bridge choice; its failures carry the caption "USB Bridge".
void SetBridgeLoader(PortLibraryLoader loader);

// The exact load-failure text of the Windows program.
std::string PortLibraryLoadFailureText();

// Link state, read by the byte layer and by tests.
std::uint16_t LptBase();
std::uint64_t TicksPerMs();
// True while the port library is bound, from the first copier command that
// bound it until the shutdown: the one fact "the link is open".
bool LinkOpen();
PortIo& BoundPort();  // only valid while bound

// Back to the start state (unbound, no Other Address base, loaders kept). Tests only.
void ResetPortBinding();

}  // namespace ql

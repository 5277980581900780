// Binding the port library to the selected parallel port, lazily, on the
// first copier command.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/port_io.h"

namespace ql {

// Maps 1..3 or 0x378/0x278/0x3BC to the port base; anything else: false, base kept.
bool SetLptBase(unsigned port);
// True when the link can be used on that port; loads the library on first use.
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

// The exact load-failure text of the Windows program.
std::string PortLibraryLoadFailureText();

// Link state, read by the byte layer and by tests.
std::uint16_t LptBase();
std::uint64_t TicksPerMs();
// True while the port library is bound, from the first copier command that
// bound it until the shutdown: the one fact "the link is open".
bool LinkOpen();
PortIo& BoundPort();  // only valid while bound

// Back to the start state (unbound, loader kept). Tests only.
void ResetPortBinding();

}  // namespace ql

#include "link/port_binding.h"

#include <utility>

#include "core/clock.h"
#include "core/front_end.h"
#include "core/state.h"
#include "link/byte_channel.h"
#include "link/link_state.h"

namespace ql {
namespace {

constexpr const char* kLinkCaption = "SWC Interface";
constexpr const char* kBridgeCaption = "USB Bridge";
// The bridge reproduces LPT1's registers; its back end addresses them by offset.
constexpr std::uint16_t kBridgeBase = 0x378;

enum class PortKind { Parallel, Bridge };

PortKind KindOf(unsigned port) { return port == kBridgeChoice ? PortKind::Bridge : PortKind::Parallel; }
constexpr const char* kDriverFailureText =
    "Could not install IO driver.\nTry disabling IO.SYS by opening a Command Prompt and entering \"net stop io.sys\"";

PortLibraryLoader& Loader(PortKind kind) {
  static PortLibraryLoader parallel, bridge;
  return kind == PortKind::Bridge ? bridge : parallel;
}

std::uint16_t& OtherBase() {
  static std::uint16_t base = 0;
  return base;
}

PortKind& BoundKind() {
  static PortKind kind = PortKind::Parallel;
  return kind;
}

// Owns the loaded library; link_state::boundPort points into it.
std::unique_ptr<PortIo>& Library() {
  static std::unique_ptr<PortIo> library;
  return library;
}

void Unbind() {
  link_state::boundPort = nullptr;
  link_state::boundChannel = nullptr;
  Library().reset();
}

void MeasureCounter() {
  std::uint64_t frequency = 0;
  if (ActiveClock().QueryFrequency(frequency)) {
    link_state::ticksPerMs = frequency / 1000;
  } else {
    link_state::ticksPerMs = 0;
  }
}

// Loads the library (or connects the bridge) and checks its driver; false
// after showing why not.
bool LoadPortLibrary(PortKind kind) {
  std::string failure;
  std::unique_ptr<PortIo> library;
  if (Loader(kind)) library = Loader(kind)(failure);
  if (!library) {
    if (failure.empty()) {
      failure =
          kind == PortKind::Bridge ? "This program has no way to reach a USB bridge." : PortLibraryLoadFailureText();
    }
    UI().ShowMessage(failure, kind == PortKind::Bridge ? kBridgeCaption : kLinkCaption, MessageIcon::Stop);
    return false;
  }
  if (library->IsDriverInstalled() == 0) {
    UI().ShowMessage(kDriverFailureText, kLinkCaption, MessageIcon::Stop);
    return false;  // the library is released here, nothing of it kept
  }
  Library() = std::move(library);
  BoundKind() = kind;
  link_state::boundPort = Library().get();
  link_state::boundChannel = dynamic_cast<ByteChannel*>(Library().get());
  return true;
}

// Leaves the lines as exit does, then lets go of the library or the bridge.
void ParkAndUnbind(std::uint16_t base) {
  PortIo& port = *Library();
  port.PortOut(static_cast<std::uint16_t>(base + kDataRegister), 0x00);
  port.PortOut(static_cast<std::uint16_t>(base + kControlRegister), 0x0C);
  Unbind();
}

bool SetChoiceBase(unsigned port) {
  if (port == kBridgeChoice) {
    link_state::lptBase = kBridgeBase;
    return true;
  }
  if (port == kOtherAddressChoice) {
    if (OtherBase() == 0) return false;
    link_state::lptBase = OtherBase();
    return true;
  }
  return SetLptBase(port);
}

}  // namespace

bool SetOtherPortBase(std::uint32_t base) {
  if (!IsOtherPortBase(base)) return false;
  OtherBase() = static_cast<std::uint16_t>(base);
  return true;
}

std::uint16_t OtherPortBase() { return OtherBase(); }

bool IsPortChoice(unsigned port) {
  return (port >= 1 && port <= kBridgeChoice) || (port == kOtherAddressChoice && OtherBase() != 0);
}

bool SetLptBase(unsigned port) {
  switch (port) {
    case 1:
    case 0x378:
      link_state::lptBase = 0x378;
      return true;
    case 2:
    case 0x278:
      link_state::lptBase = 0x278;
      return true;
    case 3:
    case 0x3BC:
      link_state::lptBase = 0x3BC;
      return true;
    default:
      return false;
  }
}

bool InitPortDriver(unsigned port) {
  const PortKind kind = KindOf(port);
  const std::uint16_t oldBase = link_state::lptBase;
  if (!SetChoiceBase(port)) return false;
  // The other kind's port is parked on its own base and given up.
  if (Library() && BoundKind() != kind) ParkAndUnbind(oldBase);
  if (!Library() && !LoadPortLibrary(kind)) return false;
  // A bound library is never reloaded; only the port and the counter change.
  MeasureCounter();
  return true;
}

bool EnsureLinkReady() { return LinkOpen() || InitPortDriver(SelectedLpt); }

void ShutdownPortDriver() {
  if (Library()) ParkAndUnbind(link_state::lptBase);
}

void SetPortLibraryLoader(PortLibraryLoader loader) { Loader(PortKind::Parallel) = std::move(loader); }
void SetBridgeLoader(PortLibraryLoader loader) { Loader(PortKind::Bridge) = std::move(loader); }

std::string PortLibraryLoadFailureText() {
  return "Could not load IO.DLL\nThis file is used to communicate with your copier.\n"
         "You can download IO.DLL from http://www.geekhideout.com/iodll.shtml";
}

std::uint16_t LptBase() { return link_state::lptBase; }
std::uint64_t TicksPerMs() { return link_state::ticksPerMs; }
bool LinkOpen() { return link_state::boundPort != nullptr; }
PortIo& BoundPort() { return *link_state::boundPort; }

void ResetPortBinding() {
  Unbind();
  link_state::lptBase = 0;
  link_state::ticksPerMs = 0;
  OtherBase() = 0;
}

}  // namespace ql

#include "link/port_binding.h"

#include <utility>

#include "core/clock.h"
#include "core/front_end.h"
#include "core/state.h"
#include "link/link_state.h"

namespace ql {
namespace {

constexpr const char* kLinkCaption = "SWC Interface";
constexpr const char* kDriverFailureText =
    "Could not install IO driver.\nTry disabling IO.SYS by opening a Command Prompt and entering \"net stop io.sys\"";

PortLibraryLoader& Loader() {
  static PortLibraryLoader loader;
  return loader;
}

// Owns the loaded library; link_state::boundPort points into it.
std::unique_ptr<PortIo>& Library() {
  static std::unique_ptr<PortIo> library;
  return library;
}

void Unbind() {
  link_state::boundPort = nullptr;
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

// Loads the library and checks its driver; false after showing why not.
bool LoadPortLibrary() {
  std::string failure;
  std::unique_ptr<PortIo> library;
  if (Loader()) library = Loader()(failure);
  if (!library) {
    if (failure.empty()) failure = PortLibraryLoadFailureText();
    UI().ShowMessage(failure, kLinkCaption, MessageIcon::Stop);
    return false;
  }
  if (library->IsDriverInstalled() == 0) {
    UI().ShowMessage(kDriverFailureText, kLinkCaption, MessageIcon::Stop);
    return false;  // the library is released here, nothing of it kept
  }
  Library() = std::move(library);
  link_state::boundPort = Library().get();
  return true;
}

}  // namespace

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
  if (!SetLptBase(port)) return false;
  if (!Library() && !LoadPortLibrary()) return false;
  // A bound library is never reloaded; only the port and the counter change.
  MeasureCounter();
  return true;
}

bool EnsureLinkReady() { return LinkOpen() || InitPortDriver(SelectedLpt); }

void ShutdownPortDriver() {
  if (!Library()) return;
  PortIo& port = *Library();
  port.PortOut(static_cast<std::uint16_t>(link_state::lptBase + kDataRegister), 0x00);
  port.PortOut(static_cast<std::uint16_t>(link_state::lptBase + kControlRegister), 0x0C);
  Unbind();
}

void SetPortLibraryLoader(PortLibraryLoader loader) { Loader() = std::move(loader); }

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
}

}  // namespace ql

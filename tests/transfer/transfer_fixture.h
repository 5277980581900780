// The transfer tests' rig: an emulated copier bound as the port library
// behind a recording window, with a scratch folder and the link trace.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/types.h"
#include "core/window_model.h"
#include "link/port_binding.h"
#include "link/trace.h"
#include "tests/rom/rom_test_support.h"
#include "tests/support/sim_link.h"
#include "transfer/verification.h"

namespace ql::testing {

using Texts = std::vector<std::string>;
using emu::Device, emu::Fault;

inline emu::Options Opts(Device device, Fault fault = Fault::None, std::uint64_t stall = 0, bool signature = true) {
  emu::Options options;
  options.device = device, options.fault = fault, options.stallAfterBytes = stall,
  options.realTimeSignature = signature;
  return options;
}

// The front end too: presses Cancel once the progress text cancelAt is shown,
// spoils the line from the progress text spoilFrom or after spoilAfterBytes
// bytes on the wire, runs onProgress for every progress text and onDialog
// when a save dialog opens. The verify switches are off again when it goes.
struct Rig : WindowModel {
  // Passes the port calls to the copier `port` names. Spoilt, the ERROR status
  // line reads inverted: every byte received, its check byte too, has bits 0
  // and 4 flipped, so a block of even length fails its check on every read.
  struct Port final : PortIo {
    explicit Port(Rig& rig) : rig(rig) {}
    void PortOut(std::uint16_t port, std::uint8_t value) override { rig.port->PortOut(port, value); }
    std::uint8_t PortIn(std::uint16_t port) override {
      const std::uint8_t value = rig.port->PortIn(port);
      const bool spoil = rig.spoiling || rig.copier().BytesMoved() >= rig.spoilAfterBytes;
      return (port & 3) == kStatusRegister && spoil ? value ^ 0x08 : value;
    }
    void NotPortBit(std::uint16_t port, std::uint8_t bit) override { rig.port->NotPortBit(port, bit); }
    std::uint16_t IsDriverInstalled() override { return rig.port->IsDriverInstalled(); }
    Rig& rig;
  };

  explicit Rig(const emu::Options& options = {}) : link(options) {
    SelectedDevice = options.device == Device::Smd ? kDeviceSmd : kDeviceSwc;
    SetFrontEnd(this);
    SetPortLibraryLoader([this](std::string&) { return std::make_unique<Port>(*this); });
    if (!EnsureLinkReady()) throw std::runtime_error("the emulated link did not bind");
    ClearRecords();
    SetLinkTrace(trace);
  }
  ~Rig() {
    SetLinkTrace(nullptr);
    std::fclose(trace);
    ResetPortBinding();
    SetFrontEnd(nullptr);
    VerifyDownloads = VerifyUploads = false;
  }
  void ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) override {
    WindowModel::ShowProgress(text, done, total);
    if (!cancelAt.empty() && text == cancelAt) CancelRequested = true;
    spoiling = spoiling || (!spoilFrom.empty() && text == spoilFrom);
    if (onProgress) onProgress(text);
  }
  bool AskSaveFileName(SaveFileRequest& request) override {
    if (onDialog) onDialog();
    return WindowModel::AskSaveFileName(request);
  }
  Texts Progress() const {
    Texts texts;
    for (const auto& p : ProgressHistory()) texts.push_back(p.text);
    return texts;
  }
  // The text of the one message shown, which must bear `caption` and `icon`.
  std::string OnlyMessage(const std::string& caption, MessageIcon icon = MessageIcon::Stop) const {
    const auto messages = Messages();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.at(0).caption, caption);  // at(): no message is a failure, not a crash
    EXPECT_EQ(messages.at(0).icon, icon);
    return messages.at(0).text;
  }
  std::string Path(const std::string& name) const { return dir.PathOf(name); }
  emu::Copier& copier() { return link.copier(); }
  // Consecutive DRAM pages as the copier numbers them, end to end.
  Bytes Pages(std::uint32_t first, std::uint32_t count) {
    Bytes all;
    for (std::uint32_t p = first; p < first + count; ++p) all = Cat({all, copier().DramPage(p)});
    return all;
  }
  Bytes UploadHeader() { return Bytes(copier().UploadHeader().begin(), copier().UploadHeader().end()); }
  long Events(const std::string& line) { return std::ranges::count(copier().Events(), line); }
  Texts TraceLines() {
    FlushLinkTrace();
    std::fflush(trace);
    std::ifstream in(Path("trace"));
    Texts lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  long TraceCount(const std::string& prefix) {
    return std::ranges::count_if(TraceLines(), [&](const std::string& line) { return line.starts_with(prefix); });
  }

  SimLink link;
  ScratchDir dir;
  std::string cancelAt;
  std::string spoilFrom;
  std::uint64_t spoilAfterBytes = UINT64_MAX;
  bool spoiling = false;
  std::function<void()> onDialog;
  std::function<void(const std::string&)> onProgress;
  PortIo* port = &link.copier();
  std::FILE* trace = std::fopen(Path("trace").c_str(), "w");
};

}  // namespace ql::testing

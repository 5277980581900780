// Shared pieces of the transfer tests: an emulated copier bound as the port
// library behind a recording window, with a scratch folder and the link
// trace; byte helpers and a copier header built without the code under test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/types.h"
#include "core/window_model.h"
#include "link/port_binding.h"
#include "link/trace.h"
#include "tests/support/sim_link.h"

namespace ql::testing {

using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;
using emu::Device, emu::Fault;
constexpr std::size_t kPage = 8192;    // SWC block
constexpr std::size_t kBlock = 16384;  // SMD block

// Pseudo-random bytes, the same for the same seed.
inline Bytes Pattern(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  std::ranges::generate(bytes, std::independent_bits_engine<std::mt19937, 8, std::uint32_t>(seed));
  return bytes;
}

inline Bytes Fill(std::size_t n, std::uint8_t value = 0) { return Bytes(n, value); }
inline Bytes Slice(const Bytes& v, std::size_t at, std::size_t n) { return {v.begin() + at, v.begin() + at + n}; }
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The 512-byte copier header: block count, mode byte, signature, file type.
inline Bytes Header(std::uint16_t blocks, std::uint8_t mode, std::uint8_t type) {
  return Cat({{std::uint8_t(blocks), std::uint8_t(blocks >> 8), mode, 0, 0, 0, 0, 0, 0xAA, 0xBB, type}, Fill(501)});
}

// The SMD layout of plain data: per 16 KB block, odd bytes then even bytes.
inline Bytes Interleaved(const Bytes& plain) {
  Bytes smd(plain.size());
  for (std::size_t b = 0; b + kBlock <= plain.size(); b += kBlock) {
    for (std::size_t k = 0; k < 8192; ++k) smd[b + k] = plain[b + 2 * k + 1], smd[b + 8192 + k] = plain[b + 2 * k];
  }
  return smd;
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
}

inline emu::Options Opts(Device device, Fault fault = Fault::None, std::uint64_t stall = 0, bool signature = true) {
  emu::Options options;
  options.device = device, options.fault = fault, options.stallAfterBytes = stall,
  options.realTimeSignature = signature;
  return options;
}

// Passes the port calls to whichever copier Rig::port names.
struct ForwardingPort final : PortIo {
  explicit ForwardingPort(PortIo*& to) : to(to) {}
  void PortOut(std::uint16_t port, std::uint8_t value) override { to->PortOut(port, value); }
  std::uint8_t PortIn(std::uint16_t port) override { return to->PortIn(port); }
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override { to->NotPortBit(port, bit); }
  std::uint16_t IsDriverInstalled() override { return to->IsDriverInstalled(); }
  PortIo*& to;
};

// An emulated copier with the link bound and the device selected, a scratch
// folder and the link trace. It is the front end too: it records like
// WindowModel, presses Cancel once the progress text cancelAt is shown, runs
// onProgress for every progress text and onDialog when a save dialog opens.
struct Rig : WindowModel {
  explicit Rig(const emu::Options& options = {}) : link(options) {
    if (mkdtemp(root.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    SelectedDevice = options.device == Device::Smd ? kDeviceSmd : kDeviceSwc;
    SetFrontEnd(this);
    SetPortLibraryLoader(
        [this](std::string&) -> std::unique_ptr<PortIo> { return std::make_unique<ForwardingPort>(port); });
    if (!EnsureLinkReady()) throw std::runtime_error("the emulated link did not bind");
    ClearRecords();
    SetLinkTrace(trace);
  }
  ~Rig() {
    SetLinkTrace(nullptr);
    std::fclose(trace);
    free(traceText);
    ResetPortBinding();
    SetFrontEnd(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  void ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) override {
    WindowModel::ShowProgress(text, done, total);
    if (!cancelAt.empty() && text == cancelAt) CancelRequested = true;
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
  std::string Path(const std::string& name) const { return root + "/" + name; }
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
    std::istringstream in(std::string(traceText, traceSize));
    Texts lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  SimLink link;
  std::string cancelAt;
  std::function<void()> onDialog;
  std::function<void(const std::string&)> onProgress;
  PortIo* port = &link.copier();
  std::string root = (std::filesystem::temp_directory_path() / "quillon-transfer-XXXXXX").string();
  char* traceText = nullptr;
  std::size_t traceSize = 0;
  std::FILE* trace = open_memstream(&traceText, &traceSize);
};

}  // namespace ql::testing

// Shared pieces of the transfer tests: a scratch folder, file helpers,
// reproducible image bytes, a window that presses Cancel at a chosen
// progress text, and a capture of the link trace.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/window_model.h"
#include "tests/support/sim_link.h"

namespace ql::testing {

// Pseudo-random bytes, the same for the same seed; no two 8 KB pages alike.
std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint32_t seed);

std::vector<std::uint8_t> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// A 512-byte copier header written independently of the code under test.
std::vector<std::uint8_t> CopierHeaderOf(std::uint16_t blocks, std::uint8_t mode, std::uint8_t type);
// Header followed by data.
std::vector<std::uint8_t> WithHeader(std::vector<std::uint8_t> header, const std::vector<std::uint8_t>& data);
// The SMD layout of plain data, block by block (16 KB blocks, data a whole number of them).
std::vector<std::uint8_t> Interleaved(const std::vector<std::uint8_t>& plain);

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  std::string Path(const std::string& name) const { return (root_ / name).string(); }
  std::string Root() const { return root_.string(); }

 private:
  std::filesystem::path root_;
};

// Records like WindowModel and sets CancelRequested once the given progress
// text has been shown.
class CancellingWindow : public WindowModel {
 public:
  explicit CancellingWindow(std::string trigger) : trigger_(std::move(trigger)) {}
  void ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) override;

 private:
  std::string trigger_;
};

// Installs a link trace into a temporary file for its lifetime.
class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  std::vector<std::string> Lines();

 private:
  std::FILE* file_;
};

// A SimLink whose link is bound (EnsureLinkReady), with the device selected.
std::unique_ptr<SimLink> OpenSimLink(const emu::Options& options = {});

// The texts of the recorded progress calls, in order.
std::vector<std::string> ProgressTexts(const WindowModel& window);

}  // namespace ql::testing

// The progress field drawn as one line on stderr: the window's progress
// text, a bar, the rate and the time left, redrawn in place on a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace ql::cli {

// One line for the text and its numbers (kilobits of 128 bytes), given the
// seconds since this step began. No rate or time left until time has passed.
std::string FormatProgressLine(const std::string& text, std::uint32_t done, std::uint32_t total, double elapsedSeconds);

// "512 B/s", "12.3 KB/s", "1.25 MB/s" (KB = 1024 bytes).
std::string FormatRate(double bytesPerSecond);
// "0:07", "12:34", "1:02:03".
std::string FormatDuration(double seconds);

class ProgressLine {
 public:
  enum class Mode { Off, Redraw, Lines };  // Lines: one line per update, for logs and pipes

  ProgressLine(std::FILE* out, Mode mode) : out_(out), mode_(mode) {}

  void Update(const std::string& text, std::uint32_t done, std::uint32_t total);
  bool Active() const { return mode_ != Mode::Off; }
  // Redrawn in place: the line is gone when the job clears the field.
  bool Redraws() const { return mode_ == Mode::Redraw; }
  // Writes a message to the stream on a clean line (a drawn progress line is
  // erased first); false, errno telling why, when it did not all get out.
  bool PrintMessage(std::FILE* stream, const std::string& text);

 private:
  using SteadyClock = std::chrono::steady_clock;
  void EraseLocked();

  std::FILE* out_;
  Mode mode_;
  std::mutex mutex_;
  bool drawn_ = false;
  std::string step_;  // the word before the numbers ("ROM", "SRAM", "Real-time")
  std::uint32_t lastDone_ = 0;
  SteadyClock::time_point stepStart_{};
  SteadyClock::time_point lastDraw_{};
};

}  // namespace ql::cli

#include "cli/progress_line.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "core/units.h"

namespace ql::cli {
namespace {

constexpr int kBarWidth = 24;
constexpr double kBytesPerKilobit = kKilobitBytes;
// In Lines mode a pipe gets at most this many lines per second, plus the last one of a step.
constexpr auto kLinesInterval = std::chrono::milliseconds(500);

std::string StepOf(const std::string& text) { return text.substr(0, text.find(' ')); }

}  // namespace

std::string FormatRate(double bytesPerSecond) {
  if (bytesPerSecond < 1024.0) return fmt::format("{:.0f} B/s", bytesPerSecond);
  if (bytesPerSecond < 1024.0 * 1024.0) return fmt::format("{:.1f} KB/s", bytesPerSecond / 1024.0);
  return fmt::format("{:.2f} MB/s", bytesPerSecond / (1024.0 * 1024.0));
}

std::string FormatDuration(double seconds) {
  long total = std::lround(std::max(0.0, seconds));
  long h = total / 3600, m = total / 60 % 60, s = total % 60;
  if (h > 0) return fmt::format("{}:{:02}:{:02}", h, m, s);
  return fmt::format("{}:{:02}", m, s);
}

std::string FormatProgressLine(const std::string& text, std::uint32_t done, std::uint32_t total,
                               double elapsedSeconds) {
  // Totals of 0 and done > total come from nothing we send, but must not divide by zero or overflow the bar.
  double fraction = total == 0 ? 1.0 : std::min(1.0, static_cast<double>(done) / total);
  int filled = static_cast<int>(fraction * kBarWidth);
  std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '-');
  std::string line = fmt::format("{} [{}] {:3.0f}%", text, bar, fraction * 100.0);
  if (elapsedSeconds > 0.0 && done > 0) {
    double rate = done * kBytesPerKilobit / elapsedSeconds;
    double left = total > done ? (total - done) * kBytesPerKilobit / rate : 0.0;
    line += fmt::format("  {}  {} left", FormatRate(rate), FormatDuration(left));
  }
  return line;
}

void ProgressLine::Update(const std::string& text, std::uint32_t done, std::uint32_t total) {
  if (mode_ == Mode::Off) return;
  std::lock_guard lock(mutex_);
  auto now = SteadyClock::now();
  if (text.empty()) {
    // The job cleared the field at its end.
    EraseLocked();
    step_.clear();
    return;
  }
  std::string step = StepOf(text);
  const bool newStep = step != step_ || done < lastDone_;
  if (newStep) {
    step_ = step;
    stepStart_ = now;
  }
  lastDone_ = done;
  double elapsed = std::chrono::duration<double>(now - stepStart_).count();
  std::string line = FormatProgressLine(text, done, total, elapsed);
  if (mode_ == Mode::Redraw) {
    std::fprintf(out_, "\r\033[K%s", line.c_str());
    drawn_ = true;
  } else {
    // The first and last line of each step always, others at most every kLinesInterval.
    if (!newStep && done < total && now - lastDraw_ < kLinesInterval) return;
    std::fprintf(out_, "%s\n", line.c_str());
  }
  lastDraw_ = now;
  std::fflush(out_);
}

bool ProgressLine::PrintMessage(std::FILE* stream, const std::string& text) {
  std::lock_guard lock(mutex_);
  EraseLocked();
  bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  if (written && (text.empty() || text.back() != '\n')) written = std::fputc('\n', stream) != EOF;
  return std::fflush(stream) == 0 && written;
}

void ProgressLine::EraseLocked() {
  if (!drawn_) return;
  std::fputs("\r\033[K", out_);
  std::fflush(out_);
  drawn_ = false;
}

}  // namespace ql::cli

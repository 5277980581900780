// Time as the link sees it: a performance counter and a millisecond sleep.
// The system clock is the default; tests install a VirtualClock that the
// emulator reads too, so time-outs run in microseconds of real time.
#pragma once

#include <atomic>
#include <cstdint>

namespace ql {

class Clock {
 public:
  virtual ~Clock() = default;
  // Counter frequency in ticks per second; false when there is no counter.
  virtual bool QueryFrequency(std::uint64_t& ticksPerSecond) = 0;
  virtual std::uint64_t ReadCounter() = 0;
  virtual void SleepMs(std::uint32_t ms) = 0;
};

// steady_clock in nanoseconds, std::this_thread::sleep_for.
Clock& SystemClock();

// The clock in use; SystemClock() unless one was installed.
Clock& ActiveClock();
void SetActiveClock(Clock* clock);  // nullptr restores the system clock

// Deterministic time: the counter moves only when read (by AutoAdvanceTicks)
// and when slept through (by the sleep's length), so busy-polling code makes
// progress in virtual time without waiting.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(std::uint64_t ticksPerSecond = 1'000'000, std::uint64_t autoAdvanceTicks = 10)
      : frequency_(ticksPerSecond), autoAdvance_(autoAdvanceTicks) {}

  bool QueryFrequency(std::uint64_t& ticksPerSecond) override;
  std::uint64_t ReadCounter() override;
  void SleepMs(std::uint32_t ms) override;

  void SetFrequency(std::uint64_t ticksPerSecond, bool available = true);
  void SetAutoAdvance(std::uint64_t ticks) { autoAdvance_ = ticks; }
  void Advance(std::uint64_t ticks) { now_ += ticks; }
  void AdvanceMs(std::uint64_t ms) { now_ += ms * frequency_ / 1000; }
  // Current time without moving it.
  std::uint64_t Peek() const { return now_; }
  std::uint64_t NowMs() const { return frequency_ ? now_ * 1000 / frequency_ : 0; }
  std::uint64_t CounterReads() const { return reads_; }
  std::uint64_t SleptMs() const { return slept_; }

 private:
  std::uint64_t frequency_;
  bool available_ = true;
  std::atomic<std::uint64_t> autoAdvance_;
  std::atomic<std::uint64_t> now_{0};
  std::atomic<std::uint64_t> reads_{0};
  std::atomic<std::uint64_t> slept_{0};
};

}  // namespace ql

#include "core/clock.h"

#include <chrono>
#include <thread>

namespace ql {
namespace {

class SteadyClock final : public Clock {
 public:
  bool QueryFrequency(std::uint64_t& ticksPerSecond) override {
    ticksPerSecond = 1'000'000'000;
    return true;
  }
  std::uint64_t ReadCounter() override {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
  }
  void SleepMs(std::uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

std::atomic<Clock*> activeClock{nullptr};

}  // namespace

Clock& SystemClock() {
  static SteadyClock clock;
  return clock;
}

Clock& ActiveClock() {
  Clock* clock = activeClock.load();
  return clock ? *clock : SystemClock();
}

void SetActiveClock(Clock* clock) { activeClock = clock; }

bool VirtualClock::QueryFrequency(std::uint64_t& ticksPerSecond) {
  ticksPerSecond = frequency_;
  return available_;
}

std::uint64_t VirtualClock::ReadCounter() {
  ++reads_;
  return now_.fetch_add(autoAdvance_) + autoAdvance_;
}

void VirtualClock::SleepMs(std::uint32_t ms) {
  slept_ += ms;
  AdvanceMs(ms);
}

void VirtualClock::SetFrequency(std::uint64_t ticksPerSecond, bool available) {
  frequency_ = ticksPerSecond;
  available_ = available;
}

}  // namespace ql

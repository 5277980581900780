// quillon-bridge-sim: the USB bridge without hardware. See kSimUsage.
//
// Time: the board runs as fast as the host allows, but simulated time is
// never let run more than kMaxLead ahead of real time; when the host is
// slower, simulated time falls behind and the board's waits take longer in
// real time, never shorter. So a PC whose own time-outs are real seconds
// never sees the board answer later than a real one would because the
// simulation raced ahead, and the board's 1 s silence watch never fires
// on a PC that is merely slower than the simulation.
#include <poll.h>
#include <sys/prctl.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "bridge/sim/pseudo_terminal.h"
#include "bridge/sim/sim_arguments.h"
#include "bridge/sim/sim_bridge.h"

#ifndef QLBR_DEFAULT_FIRMWARE
#error "QLBR_DEFAULT_FIRMWARE must name the firmware ELF the build makes"
#endif

namespace {

using namespace ql::bridge;
using Nanoseconds = std::chrono::nanoseconds;

volatile std::sig_atomic_t stopRequested = 0;
void RequestStop(int) { stopRequested = 1; }

constexpr std::uint64_t kSliceCycles = 1600;  // 100 us of the board's time between looks at the line
constexpr std::uint64_t kStartupCycles = 16'000;  // 1 ms
constexpr Nanoseconds kMaxLead = std::chrono::milliseconds(1);
constexpr timespec kIdleWait{0, 10'000'000};

std::int64_t CyclesToNs(std::uint64_t cycles) {
  return static_cast<std::int64_t>(cycles * 1000 / (AvrBoard::kFrequency / 1'000'000));
}

int Run(SimulatedBridge& bridge, PseudoTerminal& pty) {
  const auto realStart = std::chrono::steady_clock::now();
  const std::uint64_t cycleStart = bridge.Cycle();
  std::vector<std::uint8_t> toPc;
  std::uint8_t buffer[4096];
  while (!stopRequested) {
    if (!bridge.RunUntil(bridge.Cycle() + kSliceCycles)) {
      std::fprintf(stderr, "quillon-bridge-sim: the firmware stopped (crashed or slept with interrupts off)\n");
      return 1;
    }
    for (std::size_t n; (n = pty.Read(buffer, sizeof buffer)) > 0;) bridge.FromPc(buffer, n);
    bridge.TakeForPc(toPc);
    if (!toPc.empty()) toPc.erase(toPc.begin(), toPc.begin() + static_cast<std::ptrdiff_t>(pty.Write(toPc.data(), toPc.size())));

    pollfd fd{pty.Descriptor(), POLLIN, 0};
    if (bridge.Idle()) {
      // Wait for the PC in real time; the simulation catches up after.
      bridge.FlushLog();
      ppoll(&fd, 1, &kIdleWait, nullptr);
      continue;
    }
    const Nanoseconds simulated(CyclesToNs(bridge.Cycle() - cycleStart));
    const auto real = std::chrono::steady_clock::now() - realStart;
    const auto lead = simulated - real;
    if (lead > kMaxLead) {
      bridge.FlushLog();
      const auto ns = std::chrono::duration_cast<Nanoseconds>(lead - kMaxLead / 2).count();
      const timespec wait{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
      ppoll(&fd, 1, &wait, nullptr);
    }
  }
  if (std::getenv("QLBR_SIM_STATS")) {
    const double real = std::chrono::duration<double>(std::chrono::steady_clock::now() - realStart).count();
    const double cpu = static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
    std::fprintf(stderr, "quillon-bridge-sim: %.3f s simulated in %.3f s (%.3f s of processor time), %llu bytes lost to receive overruns\n",
                 static_cast<double>(bridge.Cycle() - cycleStart) / AvrBoard::kFrequency, real, cpu,
                 static_cast<unsigned long long>(bridge.ReceiveOverruns()));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  BridgeSettings settings;
  settings.firmwarePath = QLBR_DEFAULT_FIRMWARE;
  bool help = false;
  std::string error;
  if (!ParseSimArguments(std::vector<std::string>(argv + 1, argv + argc), settings, help, error)) {
    std::fprintf(stderr, "quillon-bridge-sim: %s\n%s", error.c_str(), kSimUsage);
    return 2;
  }
  if (help) {
    std::fputs(kSimUsage, stdout);
    return 0;
  }
  // Ends with the process that started it, so a test or a PC program that
  // dies leaves no simulator behind.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  std::signal(SIGTERM, RequestStop);
  std::signal(SIGINT, RequestStop);
  std::signal(SIGPIPE, SIG_IGN);
  try {
    SimulatedBridge bridge(settings);
    // Past its start-up before the PC is told where it is: a real board
    // would be reset by the opening of its port and miss the first bytes,
    // which the PC covers by resending its HELLO; here it need not.
    if (!bridge.RunUntil(kStartupCycles)) {
      std::fprintf(stderr, "quillon-bridge-sim: the firmware stopped during start-up\n");
      return 1;
    }
    PseudoTerminal pty;
    std::printf("%s\n", pty.Path().c_str());
    std::fflush(stdout);
    return Run(bridge, pty);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "quillon-bridge-sim: %s\n", failure.what());
    return 1;
  }
}

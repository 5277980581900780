// Throughput of the USB bridge: the firmware running in the simulator
// (quillon-bridge-sim, beside this program), a 1 ms USB latency, the PC side
// in this process. A 1 MB SWC upload and a 1 MB SMD cartridge download at
// 1,000,000 and 2,000,000 baud, each as a fraction of the serial line's
// ceiling (baud / 10 bytes per second) beside its goal (uploads 0.90,
// downloads 0.85), and the PC's processor time per MB. The simulator must
// keep up with real time: on a busy machine the figures fall short of what
// the board does (bench_bridge_firmware measures that in simulated time).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/types.h"
#include "link/commands.h"
#include "link/port_binding.h"
#include "link/ports/bridge_open.h"

namespace {

constexpr std::uint32_t kMegabyte = 1 << 20;

std::string Beside(const char* name) {
  char self[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path(self, n > 0 ? static_cast<std::size_t>(n) : 0);
  return path.substr(0, path.rfind('/') + 1) + name;
}

// The simulator on a pseudo-terminal, for the life of one benchmark.
class SimulatedBridge {
 public:
  SimulatedBridge(std::uint32_t baud, const std::string& options) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      const std::string sim = Beside("quillon-bridge-sim"), rate = std::to_string(baud);
      std::vector<const char*> arguments{sim.c_str(), "--baud", rate.c_str(), "--latency-ms", "1"};
      // QLBR_BENCH_FIRMWARE: another firmware, e.g. a 1.0 build, which gets one SYNC per block.
      if (const char* firmware = std::getenv("QLBR_BENCH_FIRMWARE")) {
        arguments.insert(arguments.end(), {"--firmware", firmware});
      }
      arguments.push_back(options.c_str());
      arguments.push_back(nullptr);
      execv(sim.c_str(), const_cast<char* const*>(arguments.data()));
      _exit(127);
    }
    close(out[1]);
    std::FILE* first = fdopen(out[0], "r");
    char line[256] = {};
    if (first && std::fgets(line, sizeof line, first)) device_ = std::string(line, std::strcspn(line, "\n"));
    if (first) std::fclose(first);
  }
  ~SimulatedBridge() {
    if (pid_ > 0) kill(pid_, SIGTERM), waitpid(pid_, nullptr, 0);
  }
  const std::string& device() const { return device_; }

 private:
  pid_t pid_ = -1;
  std::string device_;
};

// Binds the link to the bridge on `device` at `baud`.
bool Bind(const std::string& device, std::uint32_t baud, std::uint8_t copier) {
  ql::ResetSharedState();
  ql::ResetPortBinding();
  ql::SelectedDevice = copier;
  ql::SetPortLibraryLoader(
      [device, baud](std::string& error) { return ql::bridge::OpenBridgePort(device, baud, error); });
  return ql::EnsureLinkReady();
}

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

constexpr double kUploadGoal = 0.90;
constexpr double kDownloadGoal = 0.85;

void Report(benchmark::State& state, double seconds, double cpu, std::uint32_t baud, double goal) {
  const double rate = kMegabyte / seconds;
  state.counters["KB_per_s"] = rate / 1024;
  state.counters["of_ceiling"] = rate / (baud / 10.0);
  state.counters["goal"] = goal;
  state.counters["pc_cpu_ms_per_MB"] = cpu * 1000;
  state.SetIterationTime(seconds);
}

template <typename Transfer>
void Measure(benchmark::State& state, std::uint32_t baud, std::uint8_t copier, const std::string& options, double goal,
             Transfer transfer) {
  for (auto _ : state) {
    SimulatedBridge sim(baud, options);
    if (sim.device().empty() || !Bind(sim.device(), baud, copier)) {
      state.SkipWithError("the simulated bridge did not start");
      return;
    }
    const auto start = std::chrono::steady_clock::now();
    const double cpu = CpuSeconds();
    try {
      transfer();
    } catch (...) {
      state.SkipWithError("the copier stopped answering");
    }
    Report(state, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), CpuSeconds() - cpu,
           baud, goal);
    ql::ShutdownPortDriver();
  }
}

// As a ROM upload moves its blocks: 8 KB each, with its page and high-bank
// writes, each streamed while the board's count for the last one comes back.
void BM_BridgeSwcUpload1MB(benchmark::State& state) {
  const auto baud = static_cast<std::uint32_t>(state.range(0));
  std::vector<std::uint8_t> rom(kMegabyte);
  for (std::size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
  Measure(state, baud, ql::kDeviceSwc, "device=swc", kUploadGoal, [&] {
    for (std::uint32_t i = 0; i < kMegabyte / 8192; ++i) {
      ql::WriteMemoryByte(0xC010, static_cast<std::uint8_t>(i / 512));
      ql::SelectBankPage(static_cast<std::uint8_t>(i / 4), static_cast<std::uint8_t>(i % 4));
      ql::StreamMemoryBlock(0x8000, rom.data() + i * 8192, 8192);
    }
    ql::FinishBlocks();
  });
}
BENCHMARK(BM_BridgeSwcUpload1MB)
    ->Arg(1000000)
    ->Arg(2000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// As a cartridge download reads an SMD: 16 KB pages through the 0x4000 window.
void BM_BridgeSmdCartridgeDownload1MB(benchmark::State& state) {
  const auto baud = static_cast<std::uint32_t>(state.range(0));
  const std::string cart = "/tmp/quillon-bridge-bench-cart.bin";
  {
    std::ofstream file(cart, std::ios::binary);
    for (std::uint32_t i = 0; i < kMegabyte; ++i) file.put(static_cast<char>(i * 13 + (i >> 11)));
  }
  std::vector<std::uint8_t> buffer(16384);
  Measure(state, baud, ql::kDeviceSmd, "device=smd,cart=" + cart, kDownloadGoal, [&] {
    ql::WriteMemoryByte(0x2001, 0);
    for (std::uint32_t page = 0; page < kMegabyte / 16384; ++page) {
      ql::SelectPage(static_cast<std::uint8_t>(page));
      ql::ReadMemoryBlock(0x4000, buffer.data(), 16384);
    }
  });
  std::remove(cart.c_str());
}
BENCHMARK(BM_BridgeSmdCartridgeDownload1MB)
    ->Arg(1000000)
    ->Arg(2000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

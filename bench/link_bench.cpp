// Link throughput against an always-ready emulated copier, through the whole
// stack (commands, handshake, binding), and the port operations each byte costs.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/state.h"
#include "emulator/copier.h"
#include "link/commands.h"
#include "link/port_binding.h"

namespace {

constexpr std::uint16_t kBlock = 16384;

// Binds the link to a fresh emulated SWC; the binding owns the copier.
class BoundCopier {
 public:
  BoundCopier() {
    ql::ResetSharedState();
    ql::ResetPortBinding();
    ql::SetPortLibraryLoader([this](std::string&) -> std::unique_ptr<ql::PortIo> {
      auto copier = std::make_unique<ql::emu::Copier>(ql::emu::Options{});
      copier_ = copier.get();
      return copier;
    });
    ok_ = ql::EnsureLinkReady();
  }
  ~BoundCopier() {
    ql::ResetPortBinding();
    ql::SetPortLibraryLoader(nullptr);
    ql::ResetSharedState();
  }
  bool ok() const { return ok_; }
  ql::emu::Copier& copier() { return *copier_; }

 private:
  ql::emu::Copier* copier_ = nullptr;
  bool ok_ = false;
};

struct PortCounts {
  std::uint64_t in, out, inversions;
  static PortCounts Of(ql::emu::Copier& copier) {
    return {copier.PortInCount(), copier.PortOutCount(), copier.NotPortBitCount()};
  }
};

// Port operations per data byte, packet and check byte included.
void ReportPortOps(benchmark::State& state, const PortCounts& before, const PortCounts& after, double bytes) {
  state.counters["status_reads_per_byte"] = static_cast<double>(after.in - before.in) / bytes;
  state.counters["data_writes_per_byte"] = static_cast<double>(after.out - before.out) / bytes;
  state.counters["inversions_per_byte"] = static_cast<double>(after.inversions - before.inversions) / bytes;
}

void BM_WriteMemoryBlock16K(benchmark::State& state) {
  BoundCopier link;
  if (!link.ok()) {
    state.SkipWithError("link not bound");
    return;
  }
  std::vector<std::uint8_t> block(kBlock);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 37);
  const PortCounts before = PortCounts::Of(link.copier());
  for (auto _ : state) {
    ql::WriteMemoryBlock(0x8000, block.data(), kBlock);
    benchmark::ClobberMemory();
  }
  const PortCounts after = PortCounts::Of(link.copier());
  const double bytes = static_cast<double>(state.iterations()) * kBlock;
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  ReportPortOps(state, before, after, bytes);
}
BENCHMARK(BM_WriteMemoryBlock16K);

void BM_ReadMemoryBlock16K(benchmark::State& state) {
  BoundCopier link;
  if (!link.ok()) {
    state.SkipWithError("link not bound");
    return;
  }
  // Reads pause 1 ms before and after the data; time them on a virtual
  // clock so the figure is the wire's cost, not the sleeps'.
  ql::VirtualClock clock(1'000'000'000, 1000);
  ql::SetActiveClock(&clock);
  ql::InitPortDriver(ql::SelectedLpt);
  std::vector<std::uint8_t> block(kBlock);
  const PortCounts before = PortCounts::Of(link.copier());
  for (auto _ : state) {
    ql::ReadMemoryBlock(0x8000, block.data(), kBlock);
    benchmark::DoNotOptimize(block.data());
  }
  const PortCounts after = PortCounts::Of(link.copier());
  ql::SetActiveClock(nullptr);
  const double bytes = static_cast<double>(state.iterations()) * kBlock;
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  ReportPortOps(state, before, after, bytes);
}
BENCHMARK(BM_ReadMemoryBlock16K);

}  // namespace

BENCHMARK_MAIN();

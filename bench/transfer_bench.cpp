// Whole transfers against an always-ready emulated copier, next to the bare
// byte layer moving the same number of bytes: a 4 MB SWC ROM upload and a
// 4 MB SMD cartridge download. The ratio counter is the transfer's processor
// time over the bare byte layer's for the same bytes (goal: at most 1.5).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/front_end.h"
#include "core/state.h"
#include "core/types.h"
#include "core/window_model.h"
#include "bench/bench_link.h"
#include "emulator/copier.h"
#include "link/commands.h"
#include "link/handshake.h"
#include "link/port_binding.h"
#include "transfer/downloads.h"
#include "transfer/rom_upload.h"

namespace {

constexpr std::uint16_t kChunk = 16384;
using bench::BenchLink;
using bench::Image;
using bench::kImageSize;

std::uint64_t PortOps(ql::emu::Copier& copier) {
  return copier.PortInCount() + copier.PortOutCount() + copier.NotPortBitCount();
}

// Wall time and processor time of a stretch of work: the ratio uses the
// processor time, which other loads on the machine disturb less.
struct Stopwatch {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
  double WallSeconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count(); }
  double CpuSeconds() const { return static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC; }
};

// The bare byte layer moving bytes data bytes: one command packet per 16 KB
// (so the copier stays in step) and then only SendByte / ReceiveByte.
void MoveBareBytes(bool send, std::size_t bytes) {
  for (std::size_t done = 0; done < bytes; done += kChunk) {
    if (send) {
      ql::SendCommand(ql::CopierCommand::WriteMemory, 0x8000, kChunk);
      for (std::size_t k = 0; k <= kChunk; ++k) ql::SendByte(static_cast<std::uint8_t>(k));
    } else {
      ql::SendCommand(ql::CopierCommand::ReadMemory, 0x4000, kChunk);
      for (std::size_t k = 0; k <= kChunk; ++k) benchmark::DoNotOptimize(ql::ReceiveByte());
    }
  }
}

void ReportFigures(benchmark::State& state, double transferSeconds, double transferCpu, double bareCpu,
                   std::uint64_t ops) {
  const double transfers = static_cast<double>(state.iterations());
  const double bytes = transfers * kImageSize;
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["seconds_per_transfer"] = transferSeconds / transfers;
  state.counters["MB_per_s"] = bytes / (1024.0 * 1024.0) / transferSeconds;
  state.counters["port_ops_per_byte"] = static_cast<double>(ops) / bytes;
  state.counters["ratio_to_bare_bytes"] = transferCpu / bareCpu;
}

void BM_SwcUpload4MB(benchmark::State& state) {
  BenchLink link(ql::emu::Device::Swc);
  if (!link.ok()) {
    state.SkipWithError("link not bound");
    return;
  }
  const std::string path = (std::filesystem::temp_directory_path() / "quillon-bench-upload.sfc").string();
  {
    auto image = Image();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(image.data(), 1, image.size(), file) != image.size()) {
      state.SkipWithError("cannot write the image file");
      if (file != nullptr) std::fclose(file);
      return;
    }
    std::fclose(file);
  }
  ql::RomPath = path;

  const std::uint64_t opsBefore = PortOps(link.copier());
  double transferSeconds = 0;
  double transferCpu = 0;
  for (auto _ : state) {
    link.window().ClearRecords();
    const Stopwatch watch;
    if (!ql::UploadRom(false)) state.SkipWithError("upload failed");
    transferSeconds += watch.WallSeconds();
    transferCpu += watch.CpuSeconds();
  }
  const std::uint64_t ops = PortOps(link.copier()) - opsBefore;

  const Stopwatch bare;
  for (std::int64_t i = 0; i < state.iterations(); ++i) MoveBareBytes(true, kImageSize);
  ReportFigures(state, transferSeconds, transferCpu, bare.CpuSeconds(), ops);
  std::filesystem::remove(path);
}
BENCHMARK(BM_SwcUpload4MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SmdCartridgeDownload4MB(benchmark::State& state) {
  BenchLink link(ql::emu::Device::Smd);
  if (!link.ok()) {
    state.SkipWithError("link not bound");
    return;
  }
  link.copier().SetCartridge(Image(), false);

  const std::uint64_t opsBefore = PortOps(link.copier());
  double transferSeconds = 0;
  double transferCpu = 0;
  for (auto _ : state) {
    link.window().ClearRecords();
    link.window().QueueSaveAnswer("/dev/null");  // the wire, not the disk, is measured
    const Stopwatch watch;
    ql::DownloadCartridgeRom();
    transferSeconds += watch.WallSeconds();
    transferCpu += watch.CpuSeconds();
    if (!link.window().Messages().empty()) state.SkipWithError(link.window().Messages()[0].text.c_str());
  }
  const std::uint64_t ops = PortOps(link.copier()) - opsBefore;

  const Stopwatch bare;
  for (std::int64_t i = 0; i < state.iterations(); ++i) MoveBareBytes(false, kImageSize);
  ReportFigures(state, transferSeconds, transferCpu, bare.CpuSeconds(), ops);
}
BENCHMARK(BM_SmdCartridgeDownload4MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BareSendBytes4MB(benchmark::State& state) {
  BenchLink link(ql::emu::Device::Swc);
  for (auto _ : state) MoveBareBytes(true, kImageSize);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kImageSize));
}
BENCHMARK(BM_BareSendBytes4MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BareReceiveBytes4MB(benchmark::State& state) {
  BenchLink link(ql::emu::Device::Smd);
  for (auto _ : state) MoveBareBytes(false, kImageSize);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kImageSize));
}
BENCHMARK(BM_BareReceiveBytes4MB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

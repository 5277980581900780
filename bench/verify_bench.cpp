// What trusting a transfer costs, against an always-ready emulated copier
// with no errors on the line:
// - a 4 MB SMD cartridge download through DownloadCartridgeRom (every block
//   through the repeat logic) next to the same download done the way it was
//   before that logic: select, one read, write (goal: ratio at most 1.05);
// - Upload and Run of a 4 MB SWC image with and without --verify's
//   read-back (goal: ratio at most 2.6; the read-back moves every byte again
//   at 6 port operations per byte against 4 for sending).
// Each pair runs alternately inside one benchmark, so that both sides see
// the same load on the machine; the ratios use processor time.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/jobs.h"
#include "core/clock.h"
#include "core/front_end.h"
#include "core/state.h"
#include "core/types.h"
#include "core/units.h"
#include "core/window_model.h"
#include "bench/bench_link.h"
#include "emulator/copier.h"
#include "link/commands.h"
#include "link/copier_addresses.h"
#include "link/port_binding.h"
#include "transfer/downloads.h"
#include "transfer/transfer_feedback.h"
#include "transfer/transfer_files.h"
#include "transfer/verification.h"

namespace {

using bench::BenchLink;
using bench::Image;
using bench::kImageSize;

double CpuSeconds(std::clock_t since) { return static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC; }

// The download as it was before damaged blocks were read again: the size,
// the header, then per block the cancel test, progress, page, one read
// whose check byte nobody looks at, and the write.
void PlainReadsDownload(const std::string& path) {
  const int units = ql::ReadMemoryByte(ql::CopierAddress::SmdCartridgeUnits);
  ql::OutputFile file;
  if (units <= 0 || !file.Create(path)) return;
  std::vector<std::uint8_t> buffer(ql::kSmdBlockSize, 0);
  if (!file.Write(buffer.data(), 512)) return;
  const std::uint32_t total = static_cast<std::uint32_t>(units) * 1024u;
  ql::WriteMemoryByte(ql::CopierAddress::SmdModeRegister, ql::SmdMode::Transfer);
  for (std::uint32_t page = 0; page < static_cast<std::uint32_t>(units) * 8u; ++page) {
    if (ql::CancelRequested) break;
    ql::ShowTransferProgress("ROM", page * 128u, total);
    ql::SelectPage(static_cast<std::uint8_t>(page));
    ql::ReadMemoryBlock(ql::CopierAddress::SmdLowWindow, buffer.data(), static_cast<std::uint16_t>(buffer.size()));
    if (!file.Write(buffer.data(), buffer.size())) return;
  }
  ql::ClearTransferProgress();
  file.Close();
}

void BM_CartridgeDownloadWithRepeats4MB(benchmark::State& state) {
  BenchLink link(ql::emu::Device::Smd);
  if (!link.ok()) {
    state.SkipWithError("link not bound");
    return;
  }
  link.copier().SetCartridge(Image(), false);
  double withRepeats = 0, plain = 0;
  for (auto _ : state) {
    link.window().ClearRecords();
    link.window().QueueSaveAnswer("/dev/null");  // the wire, not the disk, is measured
    std::clock_t start = std::clock();
    ql::DownloadCartridgeRom();
    withRepeats += CpuSeconds(start);
    if (!link.window().Messages().empty()) state.SkipWithError(link.window().Messages()[0].text.c_str());
    link.window().ClearRecords();
    start = std::clock();
    PlainReadsDownload("/dev/null");
    plain += CpuSeconds(start);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 2 * kImageSize));
  state.counters["cpu_s_with_repeats"] = withRepeats / static_cast<double>(state.iterations());
  state.counters["cpu_s_plain_reads"] = plain / static_cast<double>(state.iterations());
  state.counters["ratio_to_plain_reads"] = withRepeats / plain;
}
BENCHMARK(BM_CartridgeDownloadWithRepeats4MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

void BM_RunWithAndWithoutVerify4MB(benchmark::State& state) {
  BenchLink link(ql::emu::Device::Swc);
  if (!link.ok()) {
    state.SkipWithError("link not bound");
    return;
  }
  const std::string path = (std::filesystem::temp_directory_path() / "quillon-bench-verify.sfc").string();
  {
    auto image = Image();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(image.data(), 1, image.size(), file) == image.size();
    if (file != nullptr) std::fclose(file);
    if (!written) {
      state.SkipWithError("cannot write the image file");
      return;
    }
  }
  constexpr std::uint8_t kRun = ql::UploadSteps::Rom | ql::UploadSteps::Execute;
  double run = 0, verified = 0;
  for (auto _ : state) {
    ql::RomPath = path;  // a job's end clears nothing of the slots, but keep each run alike
    link.window().ClearRecords();
    ql::VerifyUploads = false;
    std::clock_t start = std::clock();
    ql::UploadJob(kRun);
    run += CpuSeconds(start);
    link.window().ClearRecords();
    ql::VerifyUploads = true;
    start = std::clock();
    ql::UploadJob(kRun);
    verified += CpuSeconds(start);
    if (!link.window().Messages().empty() || ql::LastJobFailed()) state.SkipWithError("the verified run failed");
  }
  ql::VerifyUploads = false;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 2 * kImageSize));
  state.counters["cpu_s_run"] = run / static_cast<double>(state.iterations());
  state.counters["cpu_s_run_verify"] = verified / static_cast<double>(state.iterations());
  state.counters["ratio_verify_to_run"] = verified / run;
  std::filesystem::remove(path);
}
BENCHMARK(BM_RunWithAndWithoutVerify4MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

}  // namespace

BENCHMARK_MAIN();

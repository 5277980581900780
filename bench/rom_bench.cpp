// Throughput of the SMD interleave next to memcpy of the same buffer, IPS
// patching from a 1 MB patch, and LoadImageFile per file for both devices.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/types.h"
#include "rom/ips_patch.h"
#include "rom/load_image.h"
#include "rom/smd_interleave.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kBufferSize = 4 * 1024 * 1024;
constexpr std::size_t kBlocks = kBufferSize / ql::kSmdBlockSize;

Bytes Pattern(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + (i >> 9));
  return bytes;
}

std::string WriteTemp(const std::string& name, const Bytes& content) {
  const auto path = std::filesystem::temp_directory_path() / ("quillon-bench-" + std::to_string(::getpid()) + name);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
  return path.string();
}

void BM_Memcpy4MB(benchmark::State& state) {
  const Bytes source = Pattern(kBufferSize);
  Bytes target(kBufferSize);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), kBufferSize);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}
BENCHMARK(BM_Memcpy4MB);

template <void (*Convert)(std::uint8_t*, std::size_t)>
void BM_Convert4MB(benchmark::State& state) {
  Bytes buffer = Pattern(kBufferSize);
  for (auto _ : state) {
    Convert(buffer.data(), kBlocks);
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}
BENCHMARK(BM_Convert4MB<ql::SmdToPlain>)->Name("BM_SmdToPlain4MB");
BENCHMARK(BM_Convert4MB<ql::PlainToSmd>)->Name("BM_PlainToSmd4MB");
BENCHMARK(BM_Convert4MB<ql::SmdToPlainPortable>)->Name("BM_SmdToPlainPortable4MB");
BENCHMARK(BM_Convert4MB<ql::PlainToSmdPortable>)->Name("BM_PlainToSmdPortable4MB");

// A patch of about 1 MB: 4 KB records over a 4 MB ROM, and some runs.
Bytes MakePatch() {
  Bytes patch = {'P', 'A', 'T', 'C', 'H'};
  std::uint32_t offset = 512;
  while (patch.size() < 1024 * 1024) {
    const std::uint16_t size = 4096;
    patch.insert(patch.end(), {static_cast<std::uint8_t>(offset >> 16), static_cast<std::uint8_t>(offset >> 8),
                               static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(size >> 8),
                               static_cast<std::uint8_t>(size)});
    patch.insert(patch.end(), size, static_cast<std::uint8_t>(offset));
    patch.insert(patch.end(), {static_cast<std::uint8_t>(offset >> 16), static_cast<std::uint8_t>(offset >> 8), 0x10, 0,
                               0, 0x01, 0x00, 0xAB});
    offset = (offset + 3 * size) % 0xFFF000;
  }
  patch.insert(patch.end(), {'E', 'O', 'F'});
  return patch;
}

void BM_ApplyIpsPatch1MB(benchmark::State& state) {
  const Bytes patch = MakePatch();
  ql::PatchPath = WriteTemp("patch.ips", patch);
  Bytes rom = Pattern(kBufferSize);
  for (auto _ : state) {
    ql::ApplyIpsPatch(rom.data(), static_cast<std::uint32_t>(rom.size()));
    benchmark::DoNotOptimize(rom.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * patch.size()));
  std::filesystem::remove(ql::PatchPath);
  ql::PatchPath.clear();
}
BENCHMARK(BM_ApplyIpsPatch1MB);

Bytes SwcFile() {
  // 1 MB HiROM image behind a copier header: found at the last candidate.
  Bytes file(512 + 1024 * 1024, 0);
  file[8] = 0xAA;
  file[9] = 0xBB;
  file[10] = 4;
  std::uint8_t* header = file.data() + 512 + 0xFFC0;
  std::memcpy(header, "BENCH", 5);
  header[0x17] = 10;
  header[0x1C] = 0xCB;
  header[0x1D] = 0xED;
  header[0x1E] = 0x34;
  header[0x1F] = 0x12;
  return file;
}

Bytes SmdFile() {
  // 1 MB Genesis image in the SMD layout: found through the merged halves.
  Bytes plain(1024 * 1024, 0);
  std::memcpy(plain.data() + 0x100, "SEGA GENESIS    (C)SEGA 1991.JAN", 32);
  Bytes file(512, 0);
  file[8] = 0xAA;
  file[9] = 0xBB;
  file[10] = 6;
  file.insert(file.end(), plain.begin(), plain.end());
  ql::PlainToSmd(file.data() + 512, plain.size() / ql::kSmdBlockSize);
  return file;
}

void BM_LoadImageFile(benchmark::State& state, std::uint8_t device) {
  const std::string path =
      WriteTemp(device == ql::kDeviceSwc ? "image.swc" : "image.smd", device == ql::kDeviceSwc ? SwcFile() : SmdFile());
  ql::ResetSharedState();
  ql::SelectedDevice = device;
  for (auto _ : state) {
    if (ql::LoadImageFile(path) != ql::FileKind::Rom) state.SkipWithError("image not recognised");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  std::filesystem::remove(path);
  ql::ResetSharedState();
}
BENCHMARK_CAPTURE(BM_LoadImageFile, Swc, ql::kDeviceSwc);
BENCHMARK_CAPTURE(BM_LoadImageFile, Smd, ql::kDeviceSmd);

}  // namespace

BENCHMARK_MAIN();

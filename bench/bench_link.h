// What the transfer benchmarks share: a 4 MB test image and a fresh emulated
// copier bound as the port library, with a virtual clock (the 1 ms pauses
// around reads cost no real time) and a recording front end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/front_end.h"
#include "core/state.h"
#include "core/types.h"
#include "core/window_model.h"
#include "emulator/copier.h"
#include "link/port_binding.h"
#include "transfer/verification.h"

namespace bench {

constexpr std::size_t kImageSize = 4 * 1024 * 1024;

inline std::vector<std::uint8_t> Image() {
  std::vector<std::uint8_t> image(kImageSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 37 + i / 4093);
  return image;
}

class BenchLink {
 public:
  explicit BenchLink(ql::emu::Device device) {
    ql::ResetSharedState();
    ql::ResetPortBinding();
    ql::SetActiveClock(&clock_);
    ql::SetFrontEnd(&window_);
    ql::SelectedDevice = device == ql::emu::Device::Smd ? ql::kDeviceSmd : ql::kDeviceSwc;
    ql::emu::Options options;
    options.device = device;
    ql::SetPortLibraryLoader([this, options](std::string&) -> std::unique_ptr<ql::PortIo> {
      auto copier = std::make_unique<ql::emu::Copier>(options, clock_);
      copier_ = copier.get();
      return copier;
    });
    ok_ = ql::EnsureLinkReady();
  }
  ~BenchLink() {
    ql::VerifyUploads = false;
    ql::ResetPortBinding();
    ql::SetPortLibraryLoader(nullptr);
    ql::SetFrontEnd(nullptr);
    ql::SetActiveClock(nullptr);
    ql::ResetSharedState();
  }
  BenchLink(const BenchLink&) = delete;
  BenchLink& operator=(const BenchLink&) = delete;

  bool ok() const { return ok_; }
  ql::emu::Copier& copier() { return *copier_; }
  ql::WindowModel& window() { return window_; }

 private:
  ql::VirtualClock clock_{1'000'000'000, 1000};
  ql::WindowModel window_;
  ql::emu::Copier* copier_ = nullptr;
  bool ok_ = false;
};

}  // namespace bench

// The cartridge download when the SRAM size code at 0xBFD8 never passes its
// check byte: the value is not taken as 255; the mode byte first assumes no
// SRAM and is mended from the cartridge's own header once its page is read.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "core/state.h"
#include "core/types.h"
#include "link/port_binding.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/downloads.h"
#include "transfer/rom_upload.h"

namespace ql::testing {
namespace {

// Passes the copier through, but once armed corrupts the check byte of every
// single-byte read: after the read packet, the copier's second byte arrives
// with status bit 3 (a nibble line) inverted.
class CheckCorruptingPort final : public PortIo {
 public:
  explicit CheckCorruptingPort(PortIo& inner) : inner_(inner) {}
  void Arm() { armed_ = true; }

  void PortOut(std::uint16_t port, std::uint8_t value) override {
    if ((port & 3) == kDataRegister) {
      for (std::size_t k = 0; k + 1 < sent_.size(); ++k) sent_[k] = sent_[k + 1];
      sent_.back() = value;
      if (armed_ && IsSingleByteReadPacket()) {
        ownInversionPending_ = true;
        inversions_ = 0;
        tracking_ = true;
      }
    }
    inner_.PortOut(port, value);
  }
  std::uint8_t PortIn(std::uint16_t port) override {
    std::uint8_t value = inner_.PortIn(port);
    const bool inCheckByte = tracking_ && !ownInversionPending_ && inversions_ >= 2 && inversions_ < 4;
    if ((port & 3) == kStatusRegister && inCheckByte) value ^= 0x08;
    return value;
  }
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override {
    if (tracking_ && (port & 3) == kControlRegister) {
      if (ownInversionPending_) {
        ownInversionPending_ = false;  // the strobe of the packet's last byte
      } else if (++inversions_ == 4) {
        tracking_ = false;
      }
    }
    inner_.NotPortBit(port, bit);
  }
  std::uint16_t IsDriverInstalled() override { return inner_.IsDriverInstalled(); }

 private:
  bool IsSingleByteReadPacket() const {
    std::uint8_t check = 0x81;
    for (std::size_t k = 3; k < 8; ++k) check ^= sent_[k];
    return sent_[0] == 0xD5 && sent_[1] == 0xAA && sent_[2] == 0x96 && sent_[3] == 1 && sent_[6] == 1 &&
           sent_[7] == 0 && sent_[8] == check;
  }

  PortIo& inner_;
  std::array<std::uint8_t, 9> sent_{};
  bool armed_ = false;
  bool tracking_ = false;
  bool ownInversionPending_ = false;
  int inversions_ = 0;
};

// Arms the port when the save dialog opens: after the detection, before the SRAM code read.
class ArmingWindow : public CancellingWindow {
 public:
  ArmingWindow(CheckCorruptingPort*& port, std::string cancelAt) : CancellingWindow(std::move(cancelAt)), port_(port) {}
  bool AskSaveFileName(SaveFileRequest& request) override {
    if (port_ != nullptr) port_->Arm();
    return WindowModel::AskSaveFileName(request);
  }

 private:
  CheckCorruptingPort*& port_;
};

class SramCodeFallback : public ::testing::Test {
 protected:
  void Download(const std::string& cancelAt) {
    SimLink link;
    CheckCorruptingPort* port = nullptr;
    SetPortLibraryLoader([&](std::string&) -> std::unique_ptr<PortIo> {
      auto wrapper = std::make_unique<CheckCorruptingPort>(link.copier());
      port = wrapper.get();
      return wrapper;
    });
    ASSERT_TRUE(EnsureLinkReady());
    image = PatternBytes(512 * 1024, 81);
    image[0x7FD8] = 2;  // 2 KB of SRAM
    link.copier().SetCartridge(image, false);
    ArmingWindow window(port, cancelAt);
    SetFrontEnd(&window);
    window.QueueSaveAnswer(folder.Path("cart.swc"));
    TraceCapture trace;
    DownloadCartridgeRom();
    auto lines = trace.Lines();
    sramCodeReads = std::count(lines.begin(), lines.end(), "> D5 AA 96 01 D8 BF 01 00 E6");
    messages = window.Messages().size();
    SetFrontEnd(&link.window());
    file = ReadWholeFile(folder.Path("cart.swc"));
  }

  TempFolder folder;
  std::vector<std::uint8_t> image;
  std::vector<std::uint8_t> file;
  std::size_t messages = 0;
  std::ptrdiff_t sramCodeReads = 0;
};

TEST_F(SramCodeFallback, ModeByteIsMendedFromTheCartridgeHeader) {
  Download("");
  EXPECT_EQ(messages, 0u);
  EXPECT_EQ(sramCodeReads, 3);
  ASSERT_EQ(file.size(), 512u + image.size());
  EXPECT_EQ(file[2], SwcModeByteFor(2, 64, false));
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 512, file.end()), image);
}

TEST_F(SramCodeFallback, WithoutTheHeaderPageTheNoSramDefaultStays) {
  Download("ROM 64/4096");  // cancelled after the second page of bank 0
  ASSERT_EQ(file.size(), 512u + 2 * 8192);
  EXPECT_EQ(file[2], SwcModeByteFor(0, 64, false));
  EXPECT_NE(file[2], SwcModeByteFor(255, 64, false));
}

}  // namespace
}  // namespace ql::testing

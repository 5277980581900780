// What goes down comes back up, and the other way round: SRAM, real-time
// saves with and without the signature, and a downloaded cartridge uploaded.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/state.h"
#include "core/types.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/downloads.h"
#include "transfer/rom_upload.h"
#include "transfer/save_upload.h"

namespace ql::testing {
namespace {

constexpr std::size_t kPage = 8192;
// DRAM pages of the area in bank 0x36 and up, with the upper address line set.
constexpr std::uint32_t kAreaFirstPageAt36 = 512 + 0x36 * 4;

class RoundTrip : public ::testing::Test {
 protected:
  TempFolder folder;
};

TEST_F(RoundTrip, SramUploadedThenDownloadedIsTheSame) {
  for (auto device : {emu::Device::Swc, emu::Device::Smd}) {
    emu::Options options;
    options.device = device;
    auto link = OpenSimLink(options);
    auto data = PatternBytes(32768, 71);
    WriteWholeFile(folder.Path("in.srm"), data);
    SramPath = folder.Path("in.srm");
    ASSERT_TRUE(UploadSram());
    link->window().QueueSaveAnswer(folder.Path("out.srm"));
    DownloadSram();
    EXPECT_EQ(ReadWholeFile(folder.Path("out.srm")), data);
  }
}

TEST_F(RoundTrip, RealTimeSaveWithSignatureReturnsToTheSamePages) {
  auto link = OpenSimLink();
  auto area = PatternBytes(262144, 72);
  link->copier().RealTimeArea() = area;
  link->window().QueueSaveAnswer(folder.Path("g.rts"));
  DownloadRealTimeSave();

  std::fill(link->copier().RealTimeArea().begin(), link->copier().RealTimeArea().end(), 0);
  RealTimePath = folder.Path("g.rts");
  ASSERT_TRUE(UploadRealTimeSave());
  EXPECT_EQ(link->copier().RealTimeArea(), area);
}

TEST_F(RoundTrip, RealTimeSaveInDramUsesTheTopWritableBankAndRestoresTheProbe) {
  emu::Options options;
  options.realTimeSignature = false;
  auto link = OpenSimLink(options);
  emu::Copier& copier = link->copier();
  copier.SetBankWritable(0x76, false);
  copier.SetBankWritable(0x56, false);
  auto area = PatternBytes(262144, 73);
  for (std::uint32_t j = 0; j < 32; ++j) {
    copier.SetDramPage(kAreaFirstPageAt36 + j,
                       std::vector<std::uint8_t>(area.begin() + j * kPage, area.begin() + (j + 1) * kPage));
  }
  // The probe flips and restores the first byte of bank 0x36 as the page register shows it.
  auto probed = PatternBytes(kPage, 74);
  copier.SetDramPage(0x36 * 4, probed);

  link->window().QueueSaveAnswer(folder.Path("dram.rts"));
  DownloadRealTimeSave();
  EXPECT_EQ(copier.DramPage(0x36 * 4), probed);
  auto file = ReadWholeFile(folder.Path("dram.rts"));
  ASSERT_EQ(file.size(), 512u + 262144);
  EXPECT_TRUE(std::equal(area.begin(), area.end(), file.begin() + 512));

  for (std::uint32_t j = 0; j < 32; ++j)
    copier.SetDramPage(kAreaFirstPageAt36 + j, std::vector<std::uint8_t>(kPage, 0));
  RealTimePath = folder.Path("dram.rts");
  ASSERT_TRUE(UploadRealTimeSave());
  for (std::uint32_t j = 0; j < 32; ++j) {
    EXPECT_EQ(copier.DramPage(kAreaFirstPageAt36 + j),
              std::vector<std::uint8_t>(area.begin() + j * kPage, area.begin() + (j + 1) * kPage))
        << "page " << j;
  }
  EXPECT_EQ(copier.DramPage(0x36 * 4), probed);
}

TEST_F(RoundTrip, DownloadedCartridgeUploadsWithTheSameModeByte) {
  auto link = OpenSimLink();
  auto image = PatternBytes(512 * 1024, 75);
  image[0x7FD8] = 2;
  link->copier().SetCartridge(image, false);
  link->window().QueueSaveAnswer(folder.Path("cart.swc"));
  DownloadCartridgeRom();
  auto file = ReadWholeFile(folder.Path("cart.swc"));
  ASSERT_EQ(file.size(), 512u + image.size());

  RomPath = folder.Path("cart.swc");
  RomHasCopierHeader = true;
  RomIsHiRom = false;
  RomHeader[0x18] = image[0x7FD8];
  ASSERT_TRUE(UploadRom(false));
  EXPECT_EQ(link->copier().UploadHeader()[2], file[2]);
  EXPECT_EQ(link->copier().UploadHeader()[0], file[0]);
  EXPECT_EQ(link->copier().DramPage(63), std::vector<std::uint8_t>(image.end() - kPage, image.end()));
}

}  // namespace
}  // namespace ql::testing

// ROM upload to the SMD: header at 0xDC00 with a one-byte block count, the
// mode write, interleaved blocks in pages, and the four layout cases.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/state.h"
#include "core/types.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/rom_upload.h"

namespace ql::testing {
namespace {

constexpr std::size_t kBlock = 16384;

std::vector<std::uint8_t> BlockOf(const std::vector<std::uint8_t>& data, std::size_t index) {
  return std::vector<std::uint8_t>(data.begin() + static_cast<long>(index * kBlock),
                                   data.begin() + static_cast<long>((index + 1) * kBlock));
}

std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> data) {
  data.resize((data.size() + kBlock - 1) / kBlock * kBlock, 0);
  return data;
}

class SmdRomUpload : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Options options;
    options.device = emu::Device::Smd;
    link = OpenSimLink(options);
  }

  std::unique_ptr<SimLink> link;
  TempFolder folder;
};

TEST_F(SmdRomUpload, PlainImageIsInterleavedIntoPages) {
  auto plain = PatternBytes(2 * kBlock + 1000, 11);
  WriteWholeFile(folder.Path("game.bin"), plain);
  RomPath = folder.Path("game.bin");
  SwcModeByte = 0x77;
  link->copier().SetDramPage(2, std::vector<std::uint8_t>(kBlock, 0xEE));

  ASSERT_TRUE(UploadRom(false));

  auto expected = Interleaved(Padded(plain));
  for (std::size_t i = 0; i < 3; ++i) {
    auto page = link->copier().DramPage(i);
    auto want = BlockOf(expected, i);
    auto diff = std::mismatch(page.begin(), page.end(), want.begin());
    EXPECT_EQ(diff.first, page.end()) << "block " << i << " differs from byte " << (diff.first - page.begin())
                                      << " value " << int(*diff.first) << " want "
                                      << int(want[diff.first - page.begin()]);
  }
  EXPECT_EQ(std::vector<std::uint8_t>(link->copier().UploadHeader().begin(), link->copier().UploadHeader().end()),
            CopierHeaderOf(3, 0, CopierFileType::SmdRom));
  EXPECT_EQ(RomBlockCount, 3u);
  EXPECT_EQ(SwcModeByte, 0x77);  // an SMD upload leaves the SWC mode byte alone
  auto events = link->copier().Events();
  EXPECT_NE(std::find(events.begin(), events.end(), "W 2001 00"), events.end());
  EXPECT_EQ(ProgressTexts(link->window()),
            (std::vector<std::string>{"ROM 0/384", "ROM 128/384", "ROM 256/384", "ROM 384/384"}));
}

TEST_F(SmdRomUpload, InterleavedFileIsSentAsRead) {
  auto smd = PatternBytes(2 * kBlock, 12);
  WriteWholeFile(folder.Path("game.smd"), WithHeader(CopierHeaderOf(2, 0, CopierFileType::SmdRom), smd));
  RomPath = folder.Path("game.smd");
  RomHasCopierHeader = true;

  ASSERT_TRUE(UploadRom(false));
  EXPECT_EQ(link->copier().DramPage(0), BlockOf(smd, 0));
  EXPECT_EQ(link->copier().DramPage(1), BlockOf(smd, 1));
}

TEST_F(SmdRomUpload, PatchCountsInPlainOrderForBothLayouts) {
  auto plain = PatternBytes(kBlock, 13);
  // Run record: data bytes 16..31 (file offset 0x210) become 0xFF.
  WriteWholeFile(folder.Path("p.ips"),
                 {'P', 'A', 'T', 'C', 'H', 0x00, 0x02, 0x10, 0x00, 0x00, 0x00, 0x10, 0xFF, 'E', 'O', 'F'});
  PatchPath = folder.Path("p.ips");
  auto patched = plain;
  std::fill(patched.begin() + 16, patched.begin() + 32, 0xFF);

  WriteWholeFile(folder.Path("plain.bin"), plain);
  RomPath = folder.Path("plain.bin");
  ASSERT_TRUE(UploadRom(true));
  EXPECT_EQ(link->copier().DramPage(0), Interleaved(patched));

  link->copier().SetDramPage(0, std::vector<std::uint8_t>(kBlock, 0));
  WriteWholeFile(folder.Path("inter.smd"), WithHeader(CopierHeaderOf(1, 0, 6), Interleaved(plain)));
  RomPath = folder.Path("inter.smd");
  RomHasCopierHeader = true;
  ASSERT_TRUE(UploadRom(true));
  EXPECT_EQ(link->copier().DramPage(0), Interleaved(patched));
}

TEST_F(SmdRomUpload, FourMegabytesCountAsZeroInTheOneByteHeaderField) {
  std::vector<std::uint8_t> data(256 * kBlock, 0);
  data[255 * kBlock] = 0x42;
  ASSERT_TRUE(SendRomSmd(data.data(), static_cast<std::uint32_t>(data.size())));
  EXPECT_EQ(link->copier().UploadHeader()[0], 0);
  EXPECT_EQ(link->copier().UploadHeader()[1], 0);
  EXPECT_EQ(RomBlockCount, 256u);
  EXPECT_EQ(link->copier().DramPage(255)[0], 0x42);
}

TEST_F(SmdRomUpload, CancelBeforeTheFirstBlockLeavesPagesUntouched) {
  WriteWholeFile(folder.Path("game.bin"), PatternBytes(kBlock, 15));
  RomPath = folder.Path("game.bin");
  CancelRequested = true;
  EXPECT_FALSE(UploadRom(false));
  EXPECT_EQ(link->copier().UploadHeader()[0], 1);
  EXPECT_EQ(link->copier().DramPage(0), std::vector<std::uint8_t>(kBlock, 0));
  EXPECT_EQ(ProgressTexts(link->window()), std::vector<std::string>{"ROM 128/128"});
}

TEST(SmdRomUploadTimeout, MidTransferShowsTheGenesisMessageOnce) {
  emu::Options options;
  options.device = emu::Device::Smd;
  options.fault = emu::Fault::Stall;
  options.stallAfterBytes = 522 + 11 + 9 + 16394 + 100;  // inside the second block
  auto link = OpenSimLink(options);
  TempFolder folder;
  auto plain = PatternBytes(2 * kBlock, 16);
  WriteWholeFile(folder.Path("g.bin"), plain);
  RomPath = folder.Path("g.bin");
  TraceCapture trace;

  EXPECT_FALSE(UploadRom(false));
  auto messages = link->window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text,
            "LPT read timeout\nThe backup device is not responding.  Make sure it's connected and the Genesis is "
            "turned on.");
  EXPECT_EQ(trace.Lines().back(), "! timeout");
  EXPECT_EQ(ProgressTexts(link->window()).back(), "ROM 256/256");
  EXPECT_EQ(link->copier().DramPage(0), BlockOf(Interleaved(plain), 0));
}

}  // namespace
}  // namespace ql::testing

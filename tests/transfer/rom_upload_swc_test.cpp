// ROM upload to the SWC: upload header and mode byte, every block in its
// page, the upper address line above 4 MB, cancel, time-outs and files that
// changed since they were loaded.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/state.h"
#include "core/types.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/rom_upload.h"

namespace ql::testing {
namespace {

constexpr std::size_t kPage = 8192;
const char* const kSwcTimeoutText =
    "LPT read timeout\nThe backup device is not responding.  Make sure it's connected and the Super NES is turned on.";

std::vector<std::uint8_t> PageOf(const std::vector<std::uint8_t>& data, std::size_t index) {
  std::vector<std::uint8_t> page(kPage, 0);
  for (std::size_t k = 0; k < kPage && index * kPage + k < data.size(); ++k) page[k] = data[index * kPage + k];
  return page;
}

class SwcRomUpload : public ::testing::Test {
 protected:
  // A ROM file of dataSize bytes, with or without a copier header in front.
  std::vector<std::uint8_t> LoadRom(std::size_t dataSize, bool withHeader, std::uint8_t sramCode, bool hiRom) {
    std::vector<std::uint8_t> data = PatternBytes(dataSize, 7);
    WriteWholeFile(folder.Path("game.smc"), withHeader ? WithHeader(std::vector<std::uint8_t>(512, 0x5A), data) : data);
    RomPath = folder.Path("game.smc");
    RomHasCopierHeader = withHeader;
    RomIsHiRom = hiRom;
    RomHeader[0x18] = sramCode;
    return data;
  }

  TempFolder folder;
};

TEST_F(SwcRomUpload, EveryBlockLandsInItsPageBehindTheHeader) {
  auto link = OpenSimLink();
  auto data = LoadRom(3 * kPage + 100, true, 0, false);
  // The last page holds old contents: the part after the file data must become zero.
  link->copier().SetDramPage(3, std::vector<std::uint8_t>(kPage, 0xEE));

  ASSERT_TRUE(UploadRom(false));

  EXPECT_EQ(std::vector<std::uint8_t>(link->copier().UploadHeader().begin(), link->copier().UploadHeader().end()),
            CopierHeaderOf(4, 0x2D, CopierFileType::SwcRom));
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(link->copier().DramPage(i), PageOf(data, i)) << "page " << i;
  EXPECT_EQ(RomBlockCount, 4u);
  EXPECT_EQ(SwcModeByte, 0x2D);
  EXPECT_EQ(ProgressTexts(link->window()),
            (std::vector<std::string>{"ROM 0/256", "ROM 64/256", "ROM 128/256", "ROM 192/256", "ROM 256/256"}));
  EXPECT_TRUE(link->window().Messages().empty());
}

TEST_F(SwcRomUpload, ModeByteComesFromTheInternalHeaderAndTheMap) {
  auto link = OpenSimLink();
  LoadRom(2 * kPage, false, 1, true);
  ASSERT_TRUE(UploadRom(false));
  EXPECT_EQ(link->copier().UploadHeader()[2], 0x38);
  EXPECT_EQ(SwcModeByte, 0x38);
}

TEST_F(SwcRomUpload, BlocksAboveFourMegabytesGoThroughTheUpperAddressLine) {
  auto link = OpenSimLink();
  auto data = LoadRom(514 * kPage, false, 0, true);
  TraceCapture trace;
  ASSERT_TRUE(UploadRom(false));

  EXPECT_EQ(link->copier().UploadHeader()[0], 0x02);
  EXPECT_EQ(link->copier().UploadHeader()[1], 0x02);
  EXPECT_EQ(link->copier().UploadHeader()[2], 0x3C);  // HiROM without SRAM, 4 MB or more
  for (std::size_t i : {0u, 1u, 511u, 512u, 513u}) {
    EXPECT_EQ(link->copier().DramPage(i), PageOf(data, i)) << "block " << i;
  }
  // The byte written to 0xC010 before each block: 0 for blocks 0..511, 1 after.
  std::vector<std::string> c010;
  auto lines = trace.Lines();
  for (std::size_t k = 0; k + 1 < lines.size(); ++k) {
    if (lines[k] == "> D5 AA 96 00 10 C0 01 00 50") c010.push_back(lines[k + 1]);
  }
  ASSERT_EQ(c010.size(), 514u);
  EXPECT_EQ(c010[0], "> 00 81");
  EXPECT_EQ(c010[511], "> 00 81");
  EXPECT_EQ(c010[512], "> 01 80");
  EXPECT_EQ(c010[513], "> 01 80");
}

TEST_F(SwcRomUpload, CancelBeforeTheFirstBlockSendsOnlyTheHeader) {
  auto link = OpenSimLink();
  auto data = LoadRom(2 * kPage, false, 0, false);
  CancelRequested = true;

  EXPECT_FALSE(UploadRom(false));
  EXPECT_EQ(link->copier().UploadHeader()[10], CopierFileType::SwcRom);
  EXPECT_EQ(link->copier().DramPage(0), std::vector<std::uint8_t>(kPage, 0));
  EXPECT_EQ(ProgressTexts(link->window()), std::vector<std::string>{"ROM 128/128"});
  EXPECT_EQ(RomBlockCount, 2u);
}

TEST_F(SwcRomUpload, CancelMidTransferStopsBeforeTheNextBlock) {
  auto link = OpenSimLink();
  CancellingWindow window("ROM 64/256");
  SetFrontEnd(&window);
  auto data = LoadRom(4 * kPage, false, 0, false);

  EXPECT_FALSE(UploadRom(false));
  EXPECT_EQ(link->copier().DramPage(1), PageOf(data, 1));
  EXPECT_EQ(link->copier().DramPage(2), std::vector<std::uint8_t>(kPage, 0));
  EXPECT_EQ(ProgressTexts(window), (std::vector<std::string>{"ROM 0/256", "ROM 64/256", "ROM 256/256"}));
  SetFrontEnd(&link->window());
}

// A copier that stops answering after a given number of bytes: one message,
// nothing sent after the time-out, the final text still shown.
void ExpectTimeoutAfter(std::uint64_t bytes, std::size_t pagesExpected) {
  emu::Options options;
  options.fault = emu::Fault::Stall;
  options.stallAfterBytes = bytes;
  auto link = OpenSimLink(options);
  TempFolder folder;
  auto data = PatternBytes(3 * kPage, 3);
  WriteWholeFile(folder.Path("g.sfc"), data);
  RomPath = folder.Path("g.sfc");
  TraceCapture trace;

  EXPECT_FALSE(UploadRom(false));
  auto messages = link->window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, kSwcTimeoutText);
  EXPECT_EQ(messages[0].caption, "SWC Interface");
  EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
  EXPECT_EQ(trace.Lines().back(), "! timeout");
  EXPECT_EQ(ProgressTexts(link->window()).back(), "ROM 192/192");
  for (std::size_t i = 0; i < pagesExpected; ++i) EXPECT_EQ(link->copier().DramPage(i), PageOf(data, i));
  EXPECT_EQ(RomBlockCount, 3u);
}

TEST(SwcRomUploadTimeout, DuringTheHeader) { ExpectTimeoutAfter(100, 0); }

TEST(SwcRomUploadTimeout, DuringTheSecondBlock) {
  // Page packet 9 + header write 522, then per block 11 + 9 + 8202 bytes.
  ExpectTimeoutAfter(9 + 522 + 8222 + 5000, 1);
}

TEST(SwcRomUploadTimeout, WhenTheCopierIsDead) {
  emu::Options options;
  options.fault = emu::Fault::Dead;
  auto link = OpenSimLink(options);
  TempFolder folder;
  WriteWholeFile(folder.Path("g.sfc"), PatternBytes(kPage, 1));
  RomPath = folder.Path("g.sfc");
  EXPECT_FALSE(UploadRom(false));
  EXPECT_EQ(link->window().Messages().size(), 1u);
  EXPECT_EQ(ProgressTexts(link->window()), std::vector<std::string>{"ROM 64/64"});
}

TEST_F(SwcRomUpload, MissingFileFailsSilently) {
  auto link = OpenSimLink();
  RomPath = folder.Path("gone.smc");
  EXPECT_FALSE(UploadRom(false));
  EXPECT_TRUE(link->window().Messages().empty());
  EXPECT_EQ(link->copier().BytesMoved(), 0u);
}

TEST_F(SwcRomUpload, FileShrunkBelowItsHeaderIsRefusedWithAMessage) {
  auto link = OpenSimLink();
  WriteWholeFile(folder.Path("game.smc"), PatternBytes(512, 2));
  RomPath = folder.Path("game.smc");
  RomHasCopierHeader = true;

  EXPECT_FALSE(UploadRom(false));
  auto messages = link->window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Upload ROM");
  EXPECT_NE(messages[0].text.find(RomPath), std::string::npos);
  EXPECT_EQ(link->copier().BytesMoved(), 0u);
}

TEST_F(SwcRomUpload, FileGrownBeyondTheCopierIsRefused) {
  auto link = OpenSimLink();
  RomPath = folder.Path("huge.smc");
  WriteWholeFile(RomPath, {});
  std::filesystem::resize_file(RomPath, 6 * 1024 * 1024 + 1);

  EXPECT_FALSE(UploadRom(false));
  ASSERT_EQ(link->window().Messages().size(), 1u);
  EXPECT_EQ(link->window().Messages()[0].caption, "Upload ROM");
  EXPECT_EQ(link->copier().BytesMoved(), 0u);
}

TEST_F(SwcRomUpload, ApplyPatchWithoutAPatchSendsTheSameBytes) {
  auto link = OpenSimLink();
  auto data = LoadRom(kPage, false, 0, false);
  ASSERT_TRUE(UploadRom(true));
  EXPECT_EQ(link->copier().DramPage(0), data);
}

TEST_F(SwcRomUpload, PatchIsAppliedToTheDataWithoutTouchingTheFile) {
  auto link = OpenSimLink();
  auto data = LoadRom(kPage, true, 0, false);
  // One record at file offset 0x204 (data byte 4), three bytes.
  std::vector<std::uint8_t> patch = {'P', 'A', 'T', 'C', 'H', 0x00, 0x02, 0x04, 0x00, 0x03, 1, 2, 3, 'E', 'O', 'F'};
  WriteWholeFile(folder.Path("fix.ips"), patch);
  PatchPath = folder.Path("fix.ips");
  auto before = ReadWholeFile(RomPath);

  ASSERT_TRUE(UploadRom(true));
  auto expected = data;
  expected[4] = 1;
  expected[5] = 2;
  expected[6] = 3;
  EXPECT_EQ(link->copier().DramPage(0), expected);
  EXPECT_EQ(ReadWholeFile(RomPath), before);
}

}  // namespace
}  // namespace ql::testing

// Uploads: what the copier holds afterwards (upload header, blocks in their
// pages, SRAM pages and halves), a real-time save's round trip, and the files
// refused up front.
#include "tests/transfer/transfer_fixture.h"
#include "transfer/downloads.h"
#include "transfer/rom_upload.h"
#include "transfer/save_upload.h"

namespace ql::testing {
namespace {

// The edges of each SRAM code band, of the 128-block LoROM bound and of the 512-block HiROM bound.
TEST(SwcModeByte, FollowsSramCodeSizeAndMap) {
  const std::tuple<int, std::uint32_t, bool, int> cases[] = {
      {0, 128, false, 0x2D}, {0, 129, false, 0x2C}, {1, 129, false, 0x08}, {3, 129, false, 0x04}, {4, 128, false, 0x01},
      {0, 511, true, 0x1C},  {0, 512, true, 0x3C},  {3, 512, true, 0x34},  {4, 511, true, 0x30}};
  for (auto [code, blocks, hiRom, want] : cases) {
    EXPECT_EQ(SwcModeByteFor(std::uint8_t(code), blocks, hiRom), want) << code << " " << blocks << " " << hiRom;
  }
}

// Blocks from 512 on land above the first 4 MB only with 0xC010 set, the
// others only with it clear; the short last block goes out zero-padded.
TEST(RomUpload, SwcHeaderAndEveryBlockInItsPageAboveFourMegabytesToo) {
  Rig rig;
  auto data = Pattern(512 * kPage + 100, 7);
  WriteFile(RomPath = rig.Path("game.smc"), Cat({Fill(512, 0x5A), data}));
  RomHasCopierHeader = RomIsHiRom = true;
  RomHeader[0x18] = 1;

  ASSERT_TRUE(UploadRom(false));
  EXPECT_EQ(rig.UploadHeader(), CopierHeader(CopierFileType::SwcRom, 513, 0x38));
  EXPECT_EQ(rig.Pages(0, 513), Cat({data, Fill(kPage - 100)}));
  const Texts progress = rig.Progress();
  EXPECT_EQ(Texts(progress.begin(), progress.begin() + 2), (Texts{"ROM 0/32832", "ROM 64/32832"}));
  EXPECT_EQ(progress.back(), "ROM 32832/32832");
}

// 4 MB: 256 blocks count as zero in the SMD header's one-byte field.
TEST(RomUpload, SmdHeaderCountsBlocksInOneByte) {
  Rig rig(Opts(Device::Smd));
  const Bytes big(256 * kBlock, 0x42);
  SwcModeByte = 0x77;
  ASSERT_TRUE(SendRomSmd(big.data(), static_cast<std::uint32_t>(big.size())));
  EXPECT_EQ(SwcModeByte, 0x77);  // left alone by an SMD upload
  EXPECT_EQ(rig.UploadHeader(), CopierHeader(CopierFileType::SmdRom, 0));
  EXPECT_EQ(RomBlockCount, 256u);
  EXPECT_EQ(rig.copier().DramPage(255), Fill(kBlock, 0x42));
  const Texts progress = rig.Progress();
  EXPECT_EQ(Texts(progress.begin(), progress.begin() + 2), (Texts{"ROM 0/32768", "ROM 128/32768"}));
  EXPECT_EQ(progress.back(), "ROM 32768/32768");
}

// A short last block goes out zero-padded over old contents; an SMD file
// without a header is plain and goes interleaved, one with a header as read.
TEST(RomUpload, PatchCountsInPlainOrderAndInterleavedFilesGoAsRead) {
  // One run record: data bytes 16..31 (file offset 0x210) become 0xFF.
  const Bytes patch = {'P', 'A', 'T', 'C', 'H', 0x00, 0x02, 0x10, 0x00, 0x00, 0x00, 0x10, 0xFF, 'E', 'O', 'F'};
  auto plain = Pattern(3 * kPage + 1000, 13), patched = plain;  // 4 SWC blocks, 2 SMD blocks
  std::fill(patched.begin() + 16, patched.begin() + 32, 0xFF);
  const auto padded = [](const Bytes& data) { return Cat({data, Fill(2 * kBlock - data.size())}); };
  const std::tuple<Device, bool, bool, Bytes> cases[] = {{Device::Swc, true, true, padded(patched)},
                                                         {Device::Smd, false, true, Interleaved(padded(patched))},
                                                         {Device::Smd, true, true, Interleaved(padded(patched))},
                                                         {Device::Smd, true, false, Interleaved(padded(plain))}};
  for (const auto& [device, header, applyPatch, want] : cases) {
    SCOPED_TRACE(::testing::Message() << int(device) << header << applyPatch);
    Rig rig(Opts(device));
    const std::uint32_t blocks = device == Device::Smd ? 2 : 4;
    for (std::uint32_t p = 0; p < blocks; ++p) rig.copier().SetDramPage(p, Fill(want.size() / blocks, 0xEE));
    WriteFile(PatchPath = rig.Path("p.ips"), patch);
    const bool interleaved = device == Device::Smd && header;  // whole interleaved blocks
    WriteFile(RomPath = rig.Path("game"),
              Cat({Fill(header ? 512 : 0), interleaved ? Interleaved(padded(plain)) : plain}));
    RomHasCopierHeader = header;
    ASSERT_TRUE(UploadRom(applyPatch));
    EXPECT_EQ(rig.Pages(0, blocks), want);
    EXPECT_EQ(Slice(rig.UploadHeader(), 0, 2), (Bytes{static_cast<std::uint8_t>(blocks), 0}));
  }
}

TEST(SramUpload, SwcPagesFromTheSramBankAndBothSmdHalves) {
  auto small = Pattern(2048, 21), page = Pattern(kPage, 22), full = Pattern(32768, 23);
  // SWC: 8 KB pages from 0x100 on, the last one zero-padded, the rest untouched. SMD: 16 KB or less to both halves.
  const std::tuple<Device, Bytes, Bytes, Texts> cases[] = {
      {Device::Swc, small, Cat({small, Fill(6144), Fill(24576, 0xEE)}), {"SRAM 0/16", "SRAM 16/16"}},
      {Device::Swc, full, full, {"SRAM 0/256", "SRAM 64/256", "SRAM 128/256", "SRAM 192/256", "SRAM 256/256"}},
      {Device::Smd, page, Cat({page, Fill(kPage), page, Fill(kPage)}), {"SRAM 0/64", "SRAM 128/64", "SRAM 64/64"}},
      {Device::Smd, full, full, {"SRAM 0/256", "SRAM 128/256", "SRAM 256/256"}}};
  for (const auto& [device, data, want, progress] : cases) {
    SCOPED_TRACE(::testing::Message() << int(device) << " " << data.size());
    Rig rig(Opts(device));
    std::ranges::fill(rig.copier().Sram(), 0xEE);
    SramHasCopierHeader = data == full;
    WriteFile(SramPath = rig.Path("save"), Cat({Fill(SramHasCopierHeader ? 512 : 0), data}));
    CancelRequested = device == Device::Smd;  // the SMD sequence has no cancel test
    ASSERT_TRUE(UploadSram());
    EXPECT_EQ(rig.copier().Sram(), want);
    EXPECT_EQ(rig.Progress(), progress);
  }
}

TEST(Upload, FilesWithoutUsableDataAreRefusedBeforeAnyTransfer) {
  auto rom = [] { return UploadRom(false); };
  auto patchGone = [] {
    PatchPath = RomPath + ".ips";
    return UploadRom(true);
  };
  const std::tuple<long long, bool, std::function<bool()>, const char*, const char*> cases[] = {
      {-1, false, rom, "Upload ROM", "Cannot open"},           // vanished since it was loaded
      {32768, false, patchGone, "Upload ROM", "Cannot open"},  // the patch vanished, not the ROM
      {512, true, rom, "Upload ROM", "Cannot read all of"},    // shrunk to its header
      {6 * 1024 * 1024 + 1, false, rom, "Upload ROM", "larger than the copier can hold"},
      {512, true, UploadSram, "Upload SRAM", "holds no SRAM data"},
      {300, true, UploadSram, "Upload SRAM", "Cannot read all of"},  // shrunk below its header
      {32769, false, UploadSram, "Upload SRAM", "larger than the copier can hold"},
      {512 + 262143, false, UploadRealTimeSave, "Upload Real-time Save", "not a complete real-time save"}};
  for (const auto& [size, header, upload, caption, text] : cases) {
    SCOPED_TRACE(text);
    Rig rig;
    RomPath = SramPath = RealTimePath = rig.Path("file");
    if (size >= 0) WriteFile(RomPath, Fill(static_cast<std::size_t>(size)));
    RomHasCopierHeader = SramHasCopierHeader = header;
    EXPECT_FALSE(upload());
    const std::string shown = rig.OnlyMessage(caption, MessageIcon::Stop);
    EXPECT_NE(shown.find(RomPath), std::string::npos) << shown;
    EXPECT_NE(shown.find(text), std::string::npos) << shown;
    EXPECT_EQ(rig.copier().BytesMoved(), 0u);
  }
}

// Without the copier's signature a real-time save lies in the eight DRAM
// banks from the top one (0x76) behind the upper address line: downloaded and
// uploaded again it lands byte for byte in the same pages, and both
// directions end the real-time session.
TEST(RoundTrip, RealTimeSaveReturnsToTheSameDramPages) {
  constexpr std::uint32_t kFirst = 512 + 0x76 * 4;
  Rig rig(Opts(Device::Swc, Fault::None, 0, false));
  const Bytes area = Pattern(262144, 72);
  for (std::uint32_t j = 0; j < 32; ++j) rig.copier().SetDramPage(kFirst + j, Slice(area, j * kPage, kPage));
  rig.QueueSaveAnswer(RealTimePath = rig.Path("g.rts"));
  DownloadRealTimeSave();
  EXPECT_EQ(ReadFile(RealTimePath), Cat({CopierHeader(CopierFileType::SwcRealTime), area}));

  for (std::uint32_t j = 0; j < 32; ++j) rig.copier().SetDramPage(kFirst + j, Fill(kPage));
  ASSERT_TRUE(UploadRealTimeSave());
  EXPECT_EQ(rig.Pages(kFirst, 32), area);
  EXPECT_EQ(rig.Events("F 03 00 00 00"), 2);
}

// An upload cut short, by Cancel before the transfer ("start") or at a
// progress text, or by a copier that stops answering after `stall` bytes:
// what reached the copier stays, nothing is sent after a time-out, which is
// said once, the final progress text is shown, and a real-time upload closes
// its session only when cancelled.
TEST(UploadCutShort, WhatWasSentStaysAndNothingFollowsATimeout) {
  struct Step {
    std::function<bool()> upload;
    std::function<Bytes(Rig&)> held;  // where the data lands
    Bytes sent;
  };
  const Step rom{[] { return UploadRom(false); }, [](Rig& r) { return r.Pages(0, 3); }, Pattern(3 * kPage, 1)};
  const Step sram{UploadSram, [](Rig& r) { return r.copier().Sram(); }, Pattern(32768, 3)};
  const Step area{UploadRealTimeSave, [](Rig& r) { return r.copier().RealTimeArea(); }, Pattern(262144, 4)};
  const std::tuple<const Step*, std::string, std::uint64_t, std::size_t, std::string, long> cases[] = {
      {&rom, "ROM 64/192", 0, 2 * kPage, "ROM 192/192", 0},
      {&sram, "start", 0, 0, "SRAM 256/256", 0},
      {&area, "Real-time 64/2048", 0, 2 * kPage, "Real-time 2048/2048", 1},
      {&rom, "", 9 + 522 + 8222 + 5000, kPage, "ROM 192/192", 0},  // in the second block
      {&sram, "", 9 + 11 + 11 + 9 + 4000, 0, "SRAM 256/256", 0},
      {&area, "", 5000, 0, "Real-time 0/2048", 0}};
  for (const auto& [step, cut, stall, kept, lastProgress, closes] : cases) {
    SCOPED_TRACE(::testing::Message() << lastProgress << " " << cut << " " << stall);
    Rig rig(Opts(Device::Swc, cut.empty() ? Fault::Stall : Fault::None, stall));
    WriteFile(RomPath = rig.Path("game"), rom.sent);
    WriteFile(SramPath = rig.Path("save"), sram.sent);
    WriteFile(RealTimePath = rig.Path("rts"), Cat({Fill(512), area.sent}));
    rig.cancelAt = cut;
    CancelRequested = cut == "start";
    EXPECT_FALSE(step->upload());
    const Bytes held = step->held(rig);
    // After a cancel nothing follows the last block sent; a time-out may leave part of the block it cut.
    const std::size_t known = cut.empty() ? kept : held.size();
    EXPECT_EQ(Slice(held, 0, known), Cat({Slice(step->sent, 0, kept), Fill(known - kept)}));
    EXPECT_EQ(rig.Messages().size(), cut.empty() ? 1u : 0u);
    EXPECT_EQ(rig.TraceLines().back() == "! timeout", cut.empty());
    EXPECT_EQ(rig.Progress().back(), lastProgress);
    EXPECT_EQ(rig.Events("F 03 00 00 00"), closes);
  }
}

}  // namespace
}  // namespace ql::testing

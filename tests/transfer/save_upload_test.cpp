// SRAM and real-time save uploads: pages, halves, progress, the refusals of
// files without usable data, cancel and time-outs.
#include "transfer/save_upload.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/state.h"
#include "core/types.h"
#include "tests/transfer/transfer_fixture.h"

namespace ql::testing {
namespace {

bool HasEvent(SimLink& link, const std::string& line) {
  auto events = link.copier().Events();
  return std::find(events.begin(), events.end(), line) != events.end();
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& v, std::size_t from, std::size_t length) {
  return std::vector<std::uint8_t>(v.begin() + static_cast<long>(from), v.begin() + static_cast<long>(from + length));
}

class SramUpload : public ::testing::Test {
 protected:
  std::unique_ptr<SimLink> Open(emu::Device device) {
    emu::Options options;
    options.device = device;
    auto link = OpenSimLink(options);
    std::fill(link->copier().Sram().begin(), link->copier().Sram().end(), 0xEE);
    return link;
  }
  TempFolder folder;
};

TEST_F(SramUpload, SmallSwcFileFillsOneZeroPaddedPage) {
  auto link = Open(emu::Device::Swc);
  auto data = PatternBytes(2048, 21);
  WriteWholeFile(folder.Path("save.srm"), data);
  SramPath = folder.Path("save.srm");

  ASSERT_TRUE(UploadSram());
  auto& sram = link->copier().Sram();
  EXPECT_EQ(Slice(sram, 0, 2048), data);
  EXPECT_TRUE(std::all_of(sram.begin() + 2048, sram.begin() + 8192, [](std::uint8_t b) { return b == 0; }));
  EXPECT_EQ(sram[8192], 0xEE);  // page 0x101 not touched
  EXPECT_EQ(ProgressTexts(link->window()), (std::vector<std::string>{"SRAM 0/16", "SRAM 16/16"}));
}

TEST_F(SramUpload, FullSwcFileGoesToPagesFromTheSramBank) {
  auto link = Open(emu::Device::Swc);
  auto data = PatternBytes(32768, 22);
  // Type 7 (SMD SRAM) on an SWC: the selected device alone decides the sequence.
  WriteWholeFile(folder.Path("save.bbd"), WithHeader(CopierHeaderOf(0, 0, CopierFileType::SmdSram), data));
  SramPath = folder.Path("save.bbd");
  SramHasCopierHeader = true;
  TraceCapture trace;

  ASSERT_TRUE(UploadSram());
  EXPECT_EQ(link->copier().Sram(), data);
  EXPECT_EQ(trace.Lines().front(), "> D5 AA 96 05 00 00 00 00 84");
  EXPECT_EQ(ProgressTexts(link->window()),
            (std::vector<std::string>{"SRAM 0/256", "SRAM 64/256", "SRAM 128/256", "SRAM 192/256", "SRAM 256/256"}));
}

TEST_F(SramUpload, SmallSmdFileIsWrittenToBothHalves) {
  auto link = Open(emu::Device::Smd);
  auto data = PatternBytes(8192, 23);
  WriteWholeFile(folder.Path("save.srm"), data);
  SramPath = folder.Path("save.srm");
  CancelRequested = true;  // the SMD sequence has no cancel test

  ASSERT_TRUE(UploadSram());
  auto half = data;
  half.resize(16384, 0);
  EXPECT_EQ(Slice(link->copier().Sram(), 0, 16384), half);
  EXPECT_EQ(Slice(link->copier().Sram(), 16384, 16384), half);
  EXPECT_TRUE(HasEvent(*link, "W 2001 04"));
  EXPECT_EQ(ProgressTexts(link->window()), (std::vector<std::string>{"SRAM 0/64", "SRAM 128/64", "SRAM 64/64"}));
}

TEST_F(SramUpload, FullSmdFileFillsTheTwoHalvesInOrder) {
  auto link = Open(emu::Device::Smd);
  auto data = PatternBytes(32768, 24);
  WriteWholeFile(folder.Path("save.bbd"), WithHeader(CopierHeaderOf(0, 0, CopierFileType::SmdSram), data));
  SramPath = folder.Path("save.bbd");
  SramHasCopierHeader = true;
  ASSERT_TRUE(UploadSram());
  EXPECT_EQ(link->copier().Sram(), data);
}

TEST_F(SramUpload, HeaderOnlyFileIsRefusedWithAMessage) {
  auto link = Open(emu::Device::Swc);
  WriteWholeFile(folder.Path("empty.bbd"), CopierHeaderOf(0, 0, CopierFileType::SwcSram));
  SramPath = folder.Path("empty.bbd");
  SramHasCopierHeader = true;

  EXPECT_FALSE(UploadSram());
  auto messages = link->window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Upload SRAM");
  EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
  EXPECT_NE(messages[0].text.find(SramPath), std::string::npos);
  EXPECT_EQ(link->copier().BytesMoved(), 0u);
}

TEST_F(SramUpload, FileShrunkBelowItsHeaderIsRefused) {
  auto link = Open(emu::Device::Smd);
  WriteWholeFile(folder.Path("cut.bbd"), PatternBytes(300, 25));
  SramPath = folder.Path("cut.bbd");
  SramHasCopierHeader = true;
  EXPECT_FALSE(UploadSram());
  EXPECT_EQ(link->window().Messages().size(), 1u);
  EXPECT_EQ(link->copier().BytesMoved(), 0u);
}

TEST_F(SramUpload, CancelBeforeTheFirstSwcPageSendsNoData) {
  auto link = Open(emu::Device::Swc);
  WriteWholeFile(folder.Path("save.srm"), PatternBytes(8192, 26));
  SramPath = folder.Path("save.srm");
  CancelRequested = true;
  EXPECT_FALSE(UploadSram());
  EXPECT_EQ(link->copier().Sram()[0], 0xEE);
  EXPECT_EQ(ProgressTexts(link->window()), std::vector<std::string>{"SRAM 64/64"});
}

TEST_F(SramUpload, TimeoutStillShowsTheFinalText) {
  emu::Options options;
  options.fault = emu::Fault::Stall;
  options.stallAfterBytes = 9 + 11 + 11 + 9 + 4000;  // inside the first page
  auto link = OpenSimLink(options);
  WriteWholeFile(folder.Path("save.srm"), PatternBytes(16384, 27));
  SramPath = folder.Path("save.srm");
  TraceCapture trace;

  EXPECT_FALSE(UploadSram());
  ASSERT_EQ(link->window().Messages().size(), 1u);
  EXPECT_EQ(link->window().Messages()[0].caption, "SWC Interface");
  EXPECT_EQ(trace.Lines().back(), "! timeout");
  EXPECT_EQ(ProgressTexts(link->window()), (std::vector<std::string>{"SRAM 0/128", "SRAM 128/128"}));
}

class RealTimeUpload : public ::testing::Test {
 protected:
  void WriteSave(const std::vector<std::uint8_t>& area) {
    WriteWholeFile(folder.Path("game.rts"), WithHeader(CopierHeaderOf(0, 0, CopierFileType::SwcRealTime), area));
    RealTimePath = folder.Path("game.rts");
  }
  TempFolder folder;
};

TEST_F(RealTimeUpload, WithTheSignatureTheAreaFillsAndTheSessionCloses) {
  auto link = OpenSimLink();
  auto area = PatternBytes(262144, 31);
  WriteSave(area);

  ASSERT_TRUE(UploadRealTimeSave());
  EXPECT_EQ(link->copier().RealTimeArea(), area);
  EXPECT_TRUE(HasEvent(*link, "F 03 00 00 00"));
  auto texts = ProgressTexts(link->window());
  ASSERT_EQ(texts.size(), 33u);
  EXPECT_EQ(texts[0], "Real-time 0/2048");
  EXPECT_EQ(texts[31], "Real-time 1984/2048");
  EXPECT_EQ(texts[32], "Real-time 2048/2048");
}

TEST_F(RealTimeUpload, FileShorterThanTheAreaIsRefused) {
  auto link = OpenSimLink();
  WriteSave(PatternBytes(262143, 32));
  EXPECT_FALSE(UploadRealTimeSave());
  auto messages = link->window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Upload Real-time Save");
  EXPECT_NE(messages[0].text.find(RealTimePath), std::string::npos);
  EXPECT_EQ(link->copier().BytesMoved(), 0u);
}

TEST_F(RealTimeUpload, CancelStillEndsTheSession) {
  auto link = OpenSimLink();
  CancellingWindow window("Real-time 64/2048");
  SetFrontEnd(&window);
  auto area = PatternBytes(262144, 33);
  WriteSave(area);

  EXPECT_FALSE(UploadRealTimeSave());
  auto& copied = link->copier().RealTimeArea();
  EXPECT_EQ(Slice(copied, 8192, 8192), Slice(area, 8192, 8192));
  EXPECT_TRUE(std::all_of(copied.begin() + 16384, copied.end(), [](std::uint8_t b) { return b == 0; }));
  EXPECT_TRUE(HasEvent(*link, "F 03 00 00 00"));
  EXPECT_EQ(ProgressTexts(window).back(), "Real-time 2048/2048");
  SetFrontEnd(&link->window());
}

TEST_F(RealTimeUpload, TimeoutSendsNoClosingPacketAndNoFinalText) {
  emu::Options options;
  options.fault = emu::Fault::Stall;
  options.stallAfterBytes = 60000;  // a few pages in
  auto link = OpenSimLink(options);
  WriteSave(PatternBytes(262144, 34));
  TraceCapture trace;

  EXPECT_FALSE(UploadRealTimeSave());
  EXPECT_EQ(link->window().Messages().size(), 1u);
  EXPECT_FALSE(HasEvent(*link, "F 03 00 00 00"));
  EXPECT_EQ(trace.Lines().back(), "! timeout");
  auto texts = ProgressTexts(link->window());
  ASSERT_FALSE(texts.empty());
  EXPECT_NE(texts.back(), "Real-time 2048/2048");
}

}  // namespace
}  // namespace ql::testing

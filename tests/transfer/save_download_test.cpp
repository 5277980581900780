// SRAM and real-time save downloads: the proposed names, the file forms,
// progress, cancel and time-outs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/state.h"
#include "core/types.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/downloads.h"

namespace ql::testing {
namespace {

using Filters = std::vector<std::pair<std::string, std::string>>;

std::vector<std::uint8_t> Zeros(std::size_t n) { return std::vector<std::uint8_t>(n, 0); }

bool HasEvent(SimLink& link, const std::string& line) {
  auto events = link.copier().Events();
  return std::find(events.begin(), events.end(), line) != events.end();
}

class SramDownload : public ::testing::Test {
 protected:
  std::unique_ptr<SimLink> Open(emu::Device device = emu::Device::Swc) {
    emu::Options options;
    options.device = device;
    auto link = OpenSimLink(options);
    link->copier().Sram() = PatternBytes(32768, 51);
    return link;
  }
  TempFolder folder;
};

TEST_F(SramDownload, ProposalFollowsTheSlots) {
  auto link = Open();
  SramPath = "/saves/old/game.SRM";
  RomPath = "/roms/game.smc";
  DownloadSram();
  SramPath.clear();
  DownloadSram();
  RomPath.clear();
  LastDirectory = "/last";
  DownloadSram();

  auto requests = link->window().SaveRequests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].filters,
            (Filters{{"Backup Battery Data (*.bbd)", "*.bbd"}, {"Emulator SRAM (*.srm)", "*.srm"}}));
  EXPECT_EQ(requests[0].defaultExtension, std::optional<std::string>(""));
  EXPECT_EQ(requests[0].initialDirectory, "/saves/old/");
  EXPECT_EQ(requests[0].fileName, "/saves/old/game.SRM");
  EXPECT_EQ(requests[0].filterIndex, 2);
  EXPECT_EQ(requests[1].initialDirectory, "/roms/");
  EXPECT_EQ(requests[1].fileName, "/roms/game");
  EXPECT_EQ(requests[1].filterIndex, 1);
  EXPECT_EQ(requests[2].initialDirectory, "/last");
  EXPECT_EQ(requests[2].fileName, "");
  // Cancelled dialogs: nothing else happened.
  EXPECT_TRUE(link->window().Messages().empty());
  EXPECT_EQ(link->copier().BytesMoved(), 0u);
}

TEST_F(SramDownload, FormFollowsTheNameThenTheFilter) {
  auto link = Open();
  link->window().QueueSaveAnswer(folder.Path("typed"), 1);
  link->window().QueueSaveAnswer(folder.Path("a.srm"), 1);
  link->window().QueueSaveAnswer(folder.Path("b.bbd"), 2);
  link->window().QueueSaveAnswer(folder.Path("raw"), 2);
  for (int i = 0; i < 4; ++i) DownloadSram();

  auto sram = link->copier().Sram();
  auto withHeader = WithHeader(CopierHeaderOf(0, 0, CopierFileType::SwcSram), sram);
  EXPECT_EQ(ReadWholeFile(folder.Path("typed")), withHeader);
  EXPECT_EQ(ReadWholeFile(folder.Path("a.srm")), sram);
  EXPECT_EQ(ReadWholeFile(folder.Path("b.bbd")), withHeader);
  EXPECT_EQ(ReadWholeFile(folder.Path("raw")), sram);
  EXPECT_TRUE(link->window().Messages().empty());
}

TEST_F(SramDownload, SwcProgressRunsOverFourPagesAndEndsCleared) {
  auto link = Open();
  link->window().QueueSaveAnswer(folder.Path("s.srm"));
  DownloadSram();
  EXPECT_EQ(ProgressTexts(link->window()),
            (std::vector<std::string>{"SRAM 0/256", "SRAM 64/256", "SRAM 128/256", "SRAM 192/256", ""}));
}

TEST_F(SramDownload, SmdReadsBothHalvesWithItsOwnTypeByte) {
  auto link = Open(emu::Device::Smd);
  CancelRequested = true;  // the SMD sequence does not test it
  link->window().QueueSaveAnswer(folder.Path("g.bbd"));
  DownloadSram();
  EXPECT_EQ(ReadWholeFile(folder.Path("g.bbd")),
            WithHeader(CopierHeaderOf(0, 0, CopierFileType::SmdSram), link->copier().Sram()));
  EXPECT_EQ(ProgressTexts(link->window()), (std::vector<std::string>{"SRAM 0/256", "SRAM 128/256", ""}));
}

TEST_F(SramDownload, CancelWritesZerosForThePagesNotRead) {
  auto link = Open();
  CancellingWindow window("SRAM 64/256");
  SetFrontEnd(&window);
  window.QueueSaveAnswer(folder.Path("c.srm"));
  DownloadSram();

  auto file = ReadWholeFile(folder.Path("c.srm"));
  ASSERT_EQ(file.size(), 32768u);
  auto sram = link->copier().Sram();
  EXPECT_TRUE(std::equal(file.begin(), file.begin() + 16384, sram.begin()));
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 16384, file.end()), Zeros(16384));
  EXPECT_EQ(ProgressTexts(window).back(), "");
  SetFrontEnd(&link->window());
}

TEST_F(SramDownload, TimeoutLeavesOnlyTheHeader) {
  emu::Options options;
  options.fault = emu::Fault::Stall;
  options.stallAfterBytes = 9 + 11 + 11 + 9 + 9 + 3000;
  auto link = OpenSimLink(options);
  link->window().QueueSaveAnswer(folder.Path("t.bbd"));
  DownloadSram();
  EXPECT_EQ(link->window().Messages().size(), 1u);
  EXPECT_EQ(ReadWholeFile(folder.Path("t.bbd")), CopierHeaderOf(0, 0, CopierFileType::SwcSram));
  EXPECT_EQ(ProgressTexts(link->window()).back(), "");
}

class RealTimeDownload : public ::testing::Test {
 protected:
  TempFolder folder;
};

TEST_F(RealTimeDownload, ProposalFollowsTheSlots) {
  auto link = OpenSimLink();
  RealTimePath = "/s/keep.rts";
  RomPath = "/roms/game.smc";
  DownloadRealTimeSave();
  RealTimePath.clear();
  DownloadRealTimeSave();

  auto requests = link->window().SaveRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].filters, (Filters{{"Real-time Save (*.rts)", "*.rts"}}));
  EXPECT_EQ(requests[0].defaultExtension, std::optional<std::string>("rts"));
  EXPECT_EQ(requests[0].filterIndex, 0);
  EXPECT_EQ(requests[0].initialDirectory, "/s/");
  EXPECT_EQ(requests[0].fileName, "/s/keep.rts");
  EXPECT_EQ(requests[1].initialDirectory, "/roms/");
  EXPECT_EQ(requests[1].fileName, "/roms/game.rts");
}

TEST_F(RealTimeDownload, FileHoldsTheAreaAndTheSessionCloses) {
  auto link = OpenSimLink();
  link->copier().RealTimeArea() = PatternBytes(262144, 52);
  link->window().QueueSaveAnswer(folder.Path("g.rts"));

  DownloadRealTimeSave();

  EXPECT_EQ(ReadWholeFile(folder.Path("g.rts")),
            WithHeader(CopierHeaderOf(0, 0, CopierFileType::SwcRealTime), link->copier().RealTimeArea()));
  EXPECT_TRUE(HasEvent(*link, "F 03 00 00 00"));
  auto texts = ProgressTexts(link->window());
  ASSERT_EQ(texts.size(), 33u);
  EXPECT_EQ(texts[31], "Real-time 1984/2048");
  EXPECT_EQ(texts[32], "");
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Real-time 2048/2048"), 0);
}

TEST_F(RealTimeDownload, CancelKeepsThePagesDoneWithoutClosingTheSession) {
  auto link = OpenSimLink();
  CancellingWindow window("Real-time 128/2048");
  SetFrontEnd(&window);
  link->copier().RealTimeArea() = PatternBytes(262144, 53);
  window.QueueSaveAnswer(folder.Path("c.rts"));

  DownloadRealTimeSave();

  auto file = ReadWholeFile(folder.Path("c.rts"));
  ASSERT_EQ(file.size(), 512u + 3 * 8192);
  EXPECT_TRUE(std::equal(file.begin() + 512, file.end(), link->copier().RealTimeArea().begin()));
  EXPECT_FALSE(HasEvent(*link, "F 03 00 00 00"));
  EXPECT_EQ(ProgressTexts(window).back(), "");
  SetFrontEnd(&link->window());
}

TEST_F(RealTimeDownload, TimeoutKeepsThePagesDoneWithoutClosingTheSession) {
  emu::Options options;
  options.fault = emu::Fault::Stall;
  options.stallAfterBytes = 40000;
  auto link = OpenSimLink(options);
  link->window().QueueSaveAnswer(folder.Path("t.rts"));
  TraceCapture trace;

  DownloadRealTimeSave();

  EXPECT_EQ(link->window().Messages().size(), 1u);
  EXPECT_EQ(trace.Lines().back(), "! timeout");
  EXPECT_FALSE(HasEvent(*link, "F 03 00 00 00"));
  auto size = std::filesystem::file_size(folder.Path("t.rts"));
  EXPECT_EQ((size - 512) % 8192, 0u);
  EXPECT_GT(size, 512u);
  EXPECT_EQ(ProgressTexts(link->window()).back(), "");
}

TEST_F(RealTimeDownload, TimeoutWhileProbingTheCopierLeavesTheHeader) {
  emu::Options options;
  options.fault = emu::Fault::Stall;
  options.stallAfterBytes = 5;  // inside the page selection of the signature check
  auto link = OpenSimLink(options);
  link->window().QueueSaveAnswer(folder.Path("p.rts"));

  DownloadRealTimeSave();

  EXPECT_EQ(link->window().Messages().size(), 1u);
  EXPECT_EQ(ReadWholeFile(folder.Path("p.rts")), CopierHeaderOf(0, 0, CopierFileType::SwcRealTime));
  EXPECT_EQ(ProgressTexts(link->window()), std::vector<std::string>{""});
}

}  // namespace
}  // namespace ql::testing

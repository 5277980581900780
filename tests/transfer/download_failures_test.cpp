// Downloads to places that refuse the data, and single-byte reads whose check
// byte keeps failing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/state.h"
#include "core/types.h"
#include "link/link_timeout.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/cartridge_probe.h"
#include "transfer/downloads.h"

namespace ql::testing {
namespace {

// A folder in which no file can be created. Root ignores permission bits,
// so there /proc stands in for it.
std::string UnwritableFolder(const TempFolder& scratch) {
  if (geteuid() == 0) return "/proc";
  std::filesystem::create_directory(scratch.Path("locked"));
  chmod(scratch.Path("locked").c_str(), 0555);
  return scratch.Path("locked");
}

void ExpectWriteFailure(const WindowModel& window, const std::string& caption, const std::string& path) {
  auto messages = window.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, caption);
  EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
  EXPECT_NE(messages[0].text.find(path), std::string::npos) << messages[0].text;
}

TEST(DownloadToAFullDevice, CartridgeStopsAtTheFirstFailedWrite) {
  emu::Options options;
  options.device = emu::Device::Smd;
  auto link = OpenSimLink(options);
  link->copier().SetCartridge(PatternBytes(256 * 1024, 61), false);
  link->window().QueueSaveAnswer("/dev/full");

  DownloadCartridgeRom();

  ASSERT_NO_FATAL_FAILURE(ExpectWriteFailure(link->window(), "Download Cartridge ROM", "/dev/full"));
  EXPECT_NE(link->window().Messages()[0].text.find(std::strerror(ENOSPC)), std::string::npos);
  // The header write failed: no block was read from the copier.
  EXPECT_EQ(ProgressTexts(link->window()), std::vector<std::string>{""});
}

TEST(DownloadToAFullDevice, SramShowsOneMessage) {
  auto link = OpenSimLink();
  link->window().QueueSaveAnswer("/dev/full", 2);
  DownloadSram();
  ASSERT_NO_FATAL_FAILURE(ExpectWriteFailure(link->window(), "Download SRAM", "/dev/full"));
  EXPECT_EQ(ProgressTexts(link->window()).back(), "");
}

TEST(DownloadToAFullDevice, RealTimeSaveDoesNotCloseTheSession) {
  auto link = OpenSimLink();
  link->window().QueueSaveAnswer("/dev/full");
  DownloadRealTimeSave();
  ASSERT_NO_FATAL_FAILURE(ExpectWriteFailure(link->window(), "Download Real-time Save", "/dev/full"));
  auto events = link->copier().Events();
  EXPECT_EQ(std::find(events.begin(), events.end(), "F 03 00 00 00"), events.end());
}

TEST(DownloadToAnUnwritableFolder, EachDownloadSaysWhyThereIsNoFile) {
  TempFolder scratch;
  const std::string folder = UnwritableFolder(scratch);
  auto link = OpenSimLink();
  link->copier().SetCartridge(PatternBytes(256 * 1024, 62), false);
  const std::string rom = folder + "/cart.swc";
  const std::string sram = folder + "/save.srm";
  const std::string rts = folder + "/game.rts";
  link->window().QueueSaveAnswer(rom);
  link->window().QueueSaveAnswer(sram);
  link->window().QueueSaveAnswer(rts);

  DownloadCartridgeRom();
  DownloadSram();
  DownloadRealTimeSave();

  auto messages = link->window().Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].caption, "Download Cartridge ROM");
  EXPECT_EQ(messages[1].caption, "Download SRAM");
  EXPECT_EQ(messages[2].caption, "Download Real-time Save");
  EXPECT_NE(messages[0].text.find(rom), std::string::npos);
  EXPECT_NE(messages[1].text.find(sram), std::string::npos);
  EXPECT_NE(messages[2].text.find(rts), std::string::npos);
  for (const auto& path : {rom, sram, rts}) EXPECT_FALSE(std::filesystem::exists(path)) << path;
}

TEST(CheckedByteRead, GivesUpAfterRepeatedCheckFailures) {
  emu::Options options;
  options.fault = emu::Fault::BadCheck;
  auto link = OpenSimLink(options);
  TraceCapture trace;
  EXPECT_FALSE(ReadCartridgeSramSizeCode().has_value());
  // Page, mode write, then the read packet once per attempt.
  auto lines = trace.Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "> D5 AA 96 01 D8 BF 01 00 E6"), kProbeReadAttempts);
}

TEST(CheckedByteRead, ReturnsTheCartridgeSramCode) {
  auto link = OpenSimLink();
  auto image = PatternBytes(256 * 1024, 63);
  image[0x7FD8] = 3;
  link->copier().SetCartridge(image, false);
  EXPECT_EQ(ReadCartridgeSramSizeCode(), std::optional<std::uint8_t>(3));
}

TEST(CheckedByteRead, SmdSizeThatNeverChecksOutStopsWithoutAFile) {
  emu::Options options;
  options.device = emu::Device::Smd;
  options.fault = emu::Fault::BadCheck;
  auto link = OpenSimLink(options);
  link->copier().SetCartridge(PatternBytes(128 * 1024, 64), false);
  TempFolder folder;
  link->window().QueueSaveAnswer(folder.Path("never.smd"));

  DownloadCartridgeRom();

  auto messages = link->window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Download Cartridge ROM");
  EXPECT_NE(messages[0].text, "No game cartridge is detected");
  EXPECT_TRUE(link->window().SaveRequests().empty());
  EXPECT_FALSE(std::filesystem::exists(folder.Path("never.smd")));
}

}  // namespace
}  // namespace ql::testing

// Cartridge ROM download: the dialog, the header built from the detected
// size, map and SRAM code, the data in read order, cancel and time-outs.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/state.h"
#include "core/types.h"
#include "link/copier_ops.h"
#include "link/link_timeout.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/downloads.h"

namespace ql::testing {
namespace {

constexpr std::size_t kMegabyte = 1024 * 1024;
const char* const kCaption = "Download Cartridge ROM";

// A Super NES image with its SRAM size code at the internal header.
std::vector<std::uint8_t> SnesCartridge(std::size_t size, bool hiRom, std::uint8_t sramCode, std::uint32_t seed) {
  auto image = PatternBytes(size, seed);
  image[hiRom ? 0xFFD8 : 0x7FD8] = sramCode;
  return image;
}

class CartridgeDownload : public ::testing::Test {
 protected:
  TempFolder folder;
};

TEST_F(CartridgeDownload, LoRomFileIsTheHeaderAndTheCartridge) {
  auto link = OpenSimLink();
  auto image = SnesCartridge(kMegabyte, false, 0, 41);
  link->copier().SetCartridge(image, false);
  LastDirectory = folder.Root();
  link->window().QueueSaveAnswer(folder.Path("cart.swc"));

  DownloadCartridgeRom();

  auto requests = link->window().SaveRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].filters,
            (std::vector<std::pair<std::string, std::string>>{{"ROM Image (*.swc, *.smc)", "*.smc;*.swc"}}));
  EXPECT_EQ(requests[0].defaultExtension, std::optional<std::string>("swc"));
  EXPECT_EQ(requests[0].initialDirectory, folder.Root());
  EXPECT_EQ(requests[0].fileName, "");
  EXPECT_EQ(requests[0].filterIndex, 0);

  auto file = ReadWholeFile(folder.Path("cart.swc"));
  ASSERT_EQ(file.size(), 1049088u);
  EXPECT_EQ(file, WithHeader(CopierHeaderOf(0x80, 0x2D, CopierFileType::SwcRom), image));
  auto progress = link->window().ProgressHistory();
  ASSERT_EQ(progress.size(), 129u);
  EXPECT_EQ(progress[0].text, "ROM 0/8192");
  EXPECT_EQ(progress[127].text, "ROM 8128/8192");
  EXPECT_EQ(progress[127].total, 8192u);
  EXPECT_EQ(progress[128].text, "");
  EXPECT_TRUE(link->window().Messages().empty());
}

TEST_F(CartridgeDownload, HiRomBanksArriveLowerHalfFirst) {
  auto link = OpenSimLink();
  auto image = SnesCartridge(kMegabyte, true, 1, 42);
  link->copier().SetCartridge(image, true);
  link->window().QueueSaveAnswer(folder.Path("cart.swc"));

  DownloadCartridgeRom();

  // 16 banks of 64 KB: 128 blocks, SRAM code 1 on HiROM.
  EXPECT_EQ(ReadWholeFile(folder.Path("cart.swc")),
            WithHeader(CopierHeaderOf(0x80, 0x38, CopierFileType::SwcRom), image));
  EXPECT_EQ(link->window().ProgressHistory()[0].total, 8192u);
}

TEST_F(CartridgeDownload, SmdFileHoldsTheCartridgeInInterleavedOrder) {
  emu::Options options;
  options.device = emu::Device::Smd;
  auto link = OpenSimLink(options);
  auto image = PatternBytes(256 * 1024, 43);
  link->copier().SetCartridge(image, false);
  link->window().QueueSaveAnswer(folder.Path("cart.smd"));

  DownloadCartridgeRom();

  auto requests = link->window().SaveRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].filters, (std::vector<std::pair<std::string, std::string>>{{"ROM Image (*.smd)", "*.smd"}}));
  EXPECT_EQ(requests[0].defaultExtension, std::optional<std::string>("smd"));
  // Whole 16 KB blocks: the transfer buffer holds a block of this device.
  EXPECT_EQ(ReadWholeFile(folder.Path("cart.smd")),
            WithHeader(CopierHeaderOf(16, 0, CopierFileType::SmdRom), Interleaved(image)));
  auto events = link->copier().Events();
  EXPECT_NE(std::find(events.begin(), events.end(), "W 2001 00"), events.end());
  auto texts = ProgressTexts(link->window());
  EXPECT_EQ(texts.front(), "ROM 0/2048");
  EXPECT_EQ(texts[texts.size() - 2], "ROM 1920/2048");
  EXPECT_EQ(texts.back(), "");
}

TEST_F(CartridgeDownload, NoCartridgeMeansAMessageAndNoDialog) {
  for (auto device : {emu::Device::Swc, emu::Device::Smd}) {
    emu::Options options;
    options.device = device;
    auto link = OpenSimLink(options);
    link->window().QueueSaveAnswer(folder.Path("none.bin"));
    DownloadCartridgeRom();
    auto messages = link->window().Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "No game cartridge is detected");
    EXPECT_EQ(messages[0].caption, kCaption);
    EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
    EXPECT_TRUE(link->window().SaveRequests().empty());
    EXPECT_FALSE(std::filesystem::exists(folder.Path("none.bin")));
  }
}

TEST_F(CartridgeDownload, CancelledDialogEndsSilently) {
  emu::Options options;
  options.device = emu::Device::Smd;
  auto link = OpenSimLink(options);
  link->copier().SetCartridge(PatternBytes(128 * 1024, 44), false);
  DownloadCartridgeRom();
  EXPECT_EQ(link->window().SaveRequests().size(), 1u);
  EXPECT_TRUE(link->window().Messages().empty());
  EXPECT_TRUE(link->window().ProgressHistory().empty());
}

TEST_F(CartridgeDownload, CancelKeepsTheHeaderAndWholeBlocks) {
  emu::Options options;
  options.device = emu::Device::Smd;
  auto link = OpenSimLink(options);
  CancellingWindow window("ROM 128/1024");
  SetFrontEnd(&window);
  auto image = PatternBytes(128 * 1024, 45);
  link->copier().SetCartridge(image, false);
  window.QueueSaveAnswer(folder.Path("part.smd"));

  DownloadCartridgeRom();

  auto file = ReadWholeFile(folder.Path("part.smd"));
  auto expected = WithHeader(CopierHeaderOf(8, 0, CopierFileType::SmdRom), Interleaved(image));
  expected.resize(512 + 2 * 16384);
  EXPECT_EQ(file, expected);
  EXPECT_EQ(ProgressTexts(window).back(), "");
  SetFrontEnd(&link->window());
}

TEST_F(CartridgeDownload, TimeoutDuringTheCopyKeepsWhatWasWritten) {
  auto image = SnesCartridge(512 * 1024, false, 0, 46);
  std::uint64_t fullTransfer = 0;
  {
    auto link = OpenSimLink();
    link->copier().SetCartridge(image, false);
    link->window().QueueSaveAnswer(folder.Path("whole.swc"));
    DownloadCartridgeRom();
    fullTransfer = link->copier().BytesMoved();
  }
  emu::Options options;
  options.fault = emu::Fault::Stall;
  options.stallAfterBytes = fullTransfer - 20000;  // in the last three blocks
  auto link = OpenSimLink(options);
  link->copier().SetCartridge(image, false);
  link->window().QueueSaveAnswer(folder.Path("part.swc"));
  TraceCapture trace;

  DownloadCartridgeRom();

  auto messages = link->window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "SWC Interface");
  EXPECT_EQ(trace.Lines().back(), "! timeout");
  auto file = ReadWholeFile(folder.Path("part.swc"));
  EXPECT_EQ((file.size() - 512) % 8192, 0u);
  EXPECT_GE(file.size(), 512u + 61 * 8192);
  EXPECT_LT(file.size(), 512u + 64 * 8192);
  auto whole = ReadWholeFile(folder.Path("whole.swc"));
  EXPECT_TRUE(std::equal(file.begin(), file.end(), whole.begin()));
  EXPECT_EQ(ProgressTexts(link->window()).back(), "");
}

TEST_F(CartridgeDownload, TimeoutReadingTheSramCodeLeavesAnEmptyFile) {
  auto image = SnesCartridge(256 * 1024, false, 0, 47);
  std::uint64_t detection = 0;
  {
    auto link = OpenSimLink();
    link->copier().SetCartridge(image, false);
    std::uint8_t size = 0;
    bool hiRom = false;
    ASSERT_TRUE(DetectCartridge(&size, &hiRom));
    detection = link->copier().BytesMoved();
  }
  emu::Options options;
  options.fault = emu::Fault::Stall;
  options.stallAfterBytes = detection + 9 + 11 + 5;  // inside the read of 0xBFD8
  auto link = OpenSimLink(options);
  link->copier().SetCartridge(image, false);
  link->window().QueueSaveAnswer(folder.Path("empty.swc"));

  DownloadCartridgeRom();

  EXPECT_EQ(link->window().Messages().size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(folder.Path("empty.swc")));
  EXPECT_EQ(std::filesystem::file_size(folder.Path("empty.swc")), 0u);
  EXPECT_EQ(ProgressTexts(link->window()), std::vector<std::string>{""});
}

TEST_F(CartridgeDownload, SmdSizeTimeoutComesBeforeTheDialog) {
  emu::Options options;
  options.device = emu::Device::Smd;
  options.fault = emu::Fault::Dead;
  auto link = OpenSimLink(options);
  link->window().QueueSaveAnswer(folder.Path("x.smd"));
  DownloadCartridgeRom();
  ASSERT_EQ(link->window().Messages().size(), 1u);
  EXPECT_EQ(link->window().Messages()[0].caption, "SWC Interface");
  EXPECT_TRUE(link->window().SaveRequests().empty());
  EXPECT_FALSE(std::filesystem::exists(folder.Path("x.smd")));
}

}  // namespace
}  // namespace ql::testing

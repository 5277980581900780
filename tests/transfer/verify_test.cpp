// Transfers against a copier that is flaky on purpose: damaged blocks are
// read again, a block that never arrives intact stops the operation with
// only whole good blocks kept, --verify dumps read until two reads agree,
// and uploads read back what they wrote before the image is started.
#include "app/jobs.h"
#include "link/block_reads.h"
#include "rom/cartridge_info.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/downloads.h"
#include "transfer/upload_verify.h"
#include "transfer/verification.h"

namespace ql::testing {
namespace {

// Once armed, the ERROR status line reads inverted: every byte received
// arrives with bits 0 and 4 flipped, its check byte too, so a block of an
// even length fails its check however often it is read.
struct SpoilingPort final : PortIo {
  explicit SpoilingPort(emu::Copier& copier) : copier(copier) {}
  void PortOut(std::uint16_t port, std::uint8_t value) override { copier.PortOut(port, value); }
  std::uint8_t PortIn(std::uint16_t port) override {
    const std::uint8_t value = copier.PortIn(port);
    const bool spoil = armed || copier.BytesMoved() >= armAt;
    return (port & 3) == kStatusRegister && spoil ? value ^ 0x08 : value;
  }
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override { copier.NotPortBit(port, bit); }
  std::uint16_t IsDriverInstalled() override { return copier.IsDriverInstalled(); }
  emu::Copier& copier;
  bool armed = false;
  std::uint64_t armAt = UINT64_MAX;
};

// Clears the verify switches whatever a case leaves behind.
struct VerifySwitches {
  VerifySwitches(bool downloads, bool uploads) { VerifyDownloads = downloads, VerifyUploads = uploads; }
  ~VerifySwitches() { VerifyDownloads = VerifyUploads = false; }
};

emu::Options Noisy(Device device, std::uint32_t linePpm, std::uint32_t cartridgePpm, std::uint64_t seed) {
  emu::Options options = Opts(device);
  options.noisePpm = linePpm, options.cartridgeNoisePpm = cartridgePpm, options.seed = seed;
  return options;
}

long Notes(Rig& rig, const std::string& prefix) {
  return std::ranges::count_if(rig.TraceLines(), [&](const std::string& line) { return line.starts_with(prefix); });
}

// A LoROM cartridge of 512 KB whose header declares no SRAM (mode byte 0x2D).
const Bytes kCartridge = [] {
  Bytes image = Pattern(512 * 1024, 91);
  image[0x7FD8] = 0;
  return image;
}();
const Bytes kArea = Pattern(32 * kPage, 92);
const Bytes kSram = Pattern(32768, 93);

// What each download should write from a copier that holds the data above.
struct DownloadCase {
  const char* name;
  Device device;
  std::function<void()> download;
  const char* file;
  Bytes expected;
};

std::vector<DownloadCase> Downloads() {
  return {{"SWC cartridge", Device::Swc, DownloadCartridgeRom, "c.swc",
           Cat({Header(64, 0x2D, CopierFileType::SwcRom), kCartridge})},
          {"SMD cartridge", Device::Smd, DownloadCartridgeRom, "c.smd",
           Cat({Header(32, 0, CopierFileType::SmdRom), Interleaved(kCartridge)})},
          {"SWC SRAM", Device::Swc, DownloadSram, "s.srm", kSram},
          {"SMD SRAM", Device::Smd, DownloadSram, "s.srm", kSram},
          {"real-time save", Device::Swc, DownloadRealTimeSave, "r.rts",
           Cat({Header(0, 0, CopierFileType::SwcRealTime), kArea})}};
}

void Load(Rig& rig) {
  rig.copier().SetCartridge(kCartridge, false);
  rig.copier().Sram() = kSram;
  rig.copier().RealTimeArea() = kArea;
}

TEST(DamagedBlocks, AreReadAgainUntilIntactAndTheTraceShowsEveryRepeat) {
  for (const DownloadCase& c : Downloads()) {
    SCOPED_TRACE(c.name);
    // Enough noise for some repeats, little enough that two flips of one bit in one block
    // (which the check byte, an XOR, cannot see) stay unlikely.
    const bool sram = c.file == std::string("s.srm");
    Rig rig(Noisy(c.device, sram ? 60 : c.device == Device::Smd ? 5 : 10, 0, 17));
    Load(rig);
    rig.QueueSaveAnswer(rig.Path(c.file));
    c.download();
    EXPECT_TRUE(rig.Messages().empty()) << rig.Messages()[0].text;
    EXPECT_EQ(ReadFile(rig.Path(c.file)), c.expected);
    EXPECT_GT(Notes(rig, "! damaged block, read again (2 of 9)"), 0);
  }
}

// Armed at the progress text of a block, the spoilt line fails that block
// nine times: the operation stops there and keeps the whole blocks before it.
TEST(DamagedBlocks, ABlockThatNeverArrivesIntactStopsAndOnlyWholeGoodBlocksAreKept) {
  const std::tuple<std::size_t, const char*, const char*, const char*, Bytes> cases[] = {
      {0, "ROM 1536/4096", "Download Cartridge ROM", "bank 0x06, quarter 0",
       Slice(Downloads()[0].expected, 0, 512 + 24 * kPage)},
      {1, "ROM 384/4096", "Download Cartridge ROM", "page 0x03", Slice(Downloads()[1].expected, 0, 512 + 3 * kBlock)},
      {2, "SRAM 128/256", "Download SRAM", "SRAM page 0x102", {}},  // the image is written whole or not at all
      {3, "SRAM 128/256", "Download SRAM", "copier address 0x8000 (SRAM)", {}},
      {4, "Real-time 128/2048", "Download Real-time Save", "page 2 of the real-time save area",
       Slice(Downloads()[4].expected, 0, 512 + 2 * kPage)}};
  const std::vector<DownloadCase> downloads = Downloads();
  for (const auto& [index, armAt, caption, where, kept] : cases) {
    const DownloadCase& c = downloads[index];
    SCOPED_TRACE(c.name);
    Rig rig(Opts(c.device));
    Load(rig);
    SpoilingPort spoiling(rig.copier());
    rig.port = &spoiling;
    rig.onProgress = [&](const std::string& text) { spoiling.armed = spoiling.armed || text == armAt; };
    rig.QueueSaveAnswer(rig.Path(c.file));
    c.download();
    ASSERT_EQ(rig.Messages().size(), 1u);
    EXPECT_EQ(rig.Messages()[0].caption, caption);
    EXPECT_EQ(rig.Messages()[0].text, DamagedBlockText(where));
    EXPECT_EQ(ReadFile(rig.Path(c.file)), kept);
    EXPECT_EQ(Notes(rig, "! damaged block, read again"), kBlockReadRepeats);
    EXPECT_EQ(rig.Events("F 03 00 00 00"), 0);  // a real-time download that stopped does not close the session
    EXPECT_EQ(rig.Progress().back(), "");
  }
}

TEST(DamagedBlocks, EveryRepeatSelectsThePageAgainFirst) {
  Rig rig(Opts(Device::Smd));
  Load(rig);
  SpoilingPort spoiling(rig.copier());
  rig.port = &spoiling;
  rig.onProgress = [&](const std::string& text) { spoiling.armed = spoiling.armed || text == "ROM 384/4096"; };
  rig.QueueSaveAnswer(rig.Path("c.smd"));
  DownloadCartridgeRom();
  // SelectPage(3) and the read of page 3, nine times each, in turn.
  const Texts lines = rig.TraceLines();
  const std::string select = "> D5 AA 96 05 03 00 00 00 87", read = "> D5 AA 96 01 00 40 00 40 80";
  std::string pattern;
  for (const std::string& line : lines) {
    if (line == select || line == read) pattern += line == select ? 'S' : 'R';
  }
  ASSERT_GE(pattern.size(), 18u);
  EXPECT_EQ(pattern.substr(pattern.size() - 18), "SRSRSRSRSRSRSRSRSR");
  EXPECT_EQ(std::ranges::count(lines, select), 9);
}

TEST(DamagedBlocks, TheCartridgeReportIsNotShownFromADamagedHeader) {
  std::uint64_t cleanBytes = 0;
  for (bool spoilHeader : {false, true}) {
    Rig rig;
    rig.copier().SetCartridge(kCartridge, false);
    SpoilingPort spoiling(rig.copier());
    // The header read is the last thing on the wire: 64 bytes and the check byte received.
    if (spoilHeader) spoiling.armAt = cleanBytes - 65;
    rig.port = &spoiling;
    ShowCartridgeInfo();
    ASSERT_EQ(rig.Messages().size(), 1u);
    EXPECT_EQ(rig.Messages()[0].caption, "Cartridge Info");
    if (!spoilHeader) {
      cleanBytes = rig.copier().BytesMoved();
      EXPECT_TRUE(rig.Messages()[0].text.starts_with("Name:  "));
      continue;
    }
    EXPECT_EQ(rig.Messages()[0].text, DamagedBlockText("bank 0x00, quarter 3 (the cartridge header)"));
    EXPECT_EQ(rig.Messages()[0].icon, MessageIcon::Stop);
  }
}

// A dirty contact passes the check byte; only a second read shows it.
TEST(VerifiedDump, ReadsEachBlockUntilTwoReadsAgree) {
  for (const DownloadCase& c : {Downloads()[0], Downloads()[1]}) {
    for (bool verify : {false, true}) {
      SCOPED_TRACE(::testing::Message() << c.name << (verify ? " --verify" : ""));
      VerifySwitches switches(verify, false);
      Rig rig(Noisy(c.device, 0, 8, 23));
      Load(rig);
      rig.QueueSaveAnswer(rig.Path(c.file));
      DownloadCartridgeRom();
      EXPECT_EQ(ReadFile(rig.Path(c.file)) == c.expected, verify);
      const long readAgain = Notes(rig, "! reads disagree, read again (3 of 8)");
      if (!verify) {
        EXPECT_TRUE(rig.Messages().empty());
        EXPECT_EQ(readAgain, 0);
        continue;
      }
      EXPECT_GT(readAgain, 0);
      ASSERT_EQ(rig.Messages().size(), 1u);
      EXPECT_EQ(rig.Messages()[0].icon, MessageIcon::Information);
      EXPECT_EQ(rig.Messages()[0].text, "Verified: " + std::to_string(c.device == Device::Smd ? 32 : 64) +
                                            " blocks read until two reads in a row agreed; " +
                                            std::to_string(readAgain) + " of them needed more than two reads.");
    }
  }
}

TEST(VerifiedDump, ReadsThatNeverAgreeStopAtThatBlock) {
  VerifySwitches switches(true, false);
  Rig rig(Noisy(Device::Smd, 0, 1'000'000, 3));
  Load(rig);
  rig.QueueSaveAnswer(rig.Path("c.smd"));
  DownloadCartridgeRom();
  ASSERT_EQ(rig.Messages().size(), 1u);
  EXPECT_EQ(rig.Messages()[0].text,
            "the block at page 0x00 read differently 8 times in a row. Clean the cartridge contacts, reseat the "
            "cartridge and try again.");
  EXPECT_EQ(ReadFile(rig.Path("c.smd")).size(), 512u);
  EXPECT_EQ(Notes(rig, "! reads disagree"), 6);  // reads 3 to 8
}

}  // namespace
}  // namespace ql::testing

// Transfers against a copier that is flaky on purpose: damaged blocks are
// read again, a block that never arrives intact stops the operation with
// only whole good blocks kept, and --verify dumps read until two reads agree.
#include "link/block_reads.h"
#include "rom/cartridge_info.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/downloads.h"

namespace ql::testing {
namespace {

emu::Options Noisy(Device device, std::uint32_t linePpm, std::uint32_t cartridgePpm, std::uint64_t seed) {
  emu::Options options = Opts(device);
  options.noisePpm = linePpm, options.cartridgeNoisePpm = cartridgePpm, options.seed = seed;
  return options;
}

// A HiROM cartridge of 512 KB whose header declares no SRAM (mode byte 0x1C);
// the SMD reads the same image as 32 units.
const Bytes kCartridge = [] {
  Bytes image = Pattern(512 * 1024, 91);
  image[0xFFD8] = 0;
  return image;
}();
const Bytes kArea = Pattern(32 * kPage, 92);
const Bytes kSram = Pattern(32768, 93);

// What each download writes from a copier that holds the data above.
struct DownloadCase {
  const char* name;
  Device device;
  std::function<void()> download;
  const char* file;
  Bytes expected;
};

const std::vector<DownloadCase> kDownloads = {
    {"SWC cartridge", Device::Swc, DownloadCartridgeRom, "c.swc",
     Cat({CopierHeader(CopierFileType::SwcRom, 64, 0x1C), kCartridge})},
    {"SMD cartridge", Device::Smd, DownloadCartridgeRom, "c.smd",
     Cat({CopierHeader(CopierFileType::SmdRom, 32), Interleaved(kCartridge)})},
    {"SWC SRAM", Device::Swc, DownloadSram, "s.srm", kSram},
    {"SMD SRAM", Device::Smd, DownloadSram, "s.srm", kSram},
    {"real-time save", Device::Swc, DownloadRealTimeSave, "r.rts",
     Cat({CopierHeader(CopierFileType::SwcRealTime), kArea})}};

void Load(Rig& rig) {
  rig.copier().SetCartridge(kCartridge, true);
  rig.copier().Sram() = kSram;
  rig.copier().RealTimeArea() = kArea;
}

TEST(DamagedBlocks, AreReadAgainUntilIntactAndTheTraceShowsEveryRepeat) {
  for (const DownloadCase& c : kDownloads) {
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
    EXPECT_GT(rig.TraceCount("! damaged block, read again (2 of 9)"), 0);
  }
}

// Armed at the progress text of a block, the spoilt line fails that block
// nine times: the operation stops there and keeps the whole blocks before it.
TEST(DamagedBlocks, ABlockThatNeverArrivesIntactStopsAndOnlyWholeGoodBlocksAreKept) {
  const std::tuple<std::size_t, const char*, const char*, const char*, Bytes> cases[] = {
      // HiROM: the lower bank of each pair first
      {0, "ROM 1536/4096", "Download Cartridge ROM", "bank 0x43, quarter 0",
       Slice(kDownloads[0].expected, 0, 512 + 24 * kPage)},
      {1, "ROM 384/4096", "Download Cartridge ROM", "page 0x03", Slice(kDownloads[1].expected, 0, 512 + 3 * kBlock)},
      {2, "SRAM 128/256", "Download SRAM", "SRAM page 0x102", {}},  // the image is written whole or not at all
      {3, "SRAM 128/256", "Download SRAM", "copier address 0x8000 (SRAM)", {}},
      {4, "Real-time 128/2048", "Download Real-time Save", "page 2 of the real-time save area",
       Slice(kDownloads[4].expected, 0, 512 + 2 * kPage)}};
  for (const auto& [index, armAt, caption, where, kept] : cases) {
    const DownloadCase& c = kDownloads[index];
    SCOPED_TRACE(c.name);
    Rig rig(Opts(c.device));
    Load(rig);
    rig.spoilFrom = armAt;
    rig.QueueSaveAnswer(rig.Path(c.file));
    c.download();
    EXPECT_EQ(rig.OnlyMessage(caption), DamagedBlockText(where));
    EXPECT_EQ(ReadFile(rig.Path(c.file)), kept);
    EXPECT_EQ(rig.TraceCount("! damaged block, read again"), kBlockReadRepeats);
    EXPECT_EQ(rig.Events("F 03 00 00 00"), 0);  // a real-time download that stopped does not close the session
    EXPECT_EQ(rig.Progress().back(), "");
    if (index != 1) continue;
    // Pages 0 to 2 read once each, then every read of page 3 follows its own SelectPage(3).
    std::string pattern;
    for (const std::string& line : rig.TraceLines()) {
      pattern += line == "> D5 AA 96 05 03 00 00 00 87" ? "S" : line == "> D5 AA 96 01 00 40 00 40 80" ? "R" : "";
    }
    EXPECT_EQ(pattern, "RRRSRSRSRSRSRSRSRSRSR");
  }
}

TEST(DamagedBlocks, TheCartridgeReportIsNotShownFromADamagedHeader) {
  std::uint64_t cleanBytes = 0;
  for (bool spoilHeader : {false, true}) {
    Rig rig;
    rig.copier().SetCartridge(kCartridge, false);
    // The header read is the last thing on the wire: 64 bytes and the check byte received.
    if (spoilHeader) rig.spoilAfterBytes = cleanBytes - 65;
    ShowCartridgeInfo();
    cleanBytes = rig.copier().BytesMoved();
    if (!spoilHeader) continue;
    EXPECT_EQ(rig.OnlyMessage("Cartridge Info", MessageIcon::Stop),
              "the block at bank 0x00, quarter 3 (the cartridge header) arrived damaged 9 times. Check the cable and "
              "try again.");
  }
}

// A dirty contact passes the check byte; only a second read shows it.
TEST(VerifiedDump, ReadsEachBlockUntilTwoReadsAgree) {
  for (const DownloadCase& c : {kDownloads[0], kDownloads[1]}) {
    SCOPED_TRACE(c.name);
    Rig rig(Noisy(c.device, 0, 8, 23));
    VerifyDownloads = true;
    Load(rig);
    rig.QueueSaveAnswer(rig.Path(c.file));
    DownloadCartridgeRom();
    EXPECT_EQ(ReadFile(rig.Path(c.file)), c.expected);
    const long readAgain = rig.TraceCount("! reads disagree, read again (3 of 8)");
    EXPECT_GT(readAgain, 0);
    EXPECT_EQ(rig.OnlyMessage("Download Cartridge ROM", MessageIcon::Information),
              "Verified: " + std::to_string(c.device == Device::Smd ? 32 : 64) +
                  " blocks read until two reads in a row agreed; " + std::to_string(readAgain) +
                  " of them needed more than two reads.");
  }
}

TEST(VerifiedDump, ReadsThatNeverAgreeStopAtThatBlock) {
  Rig rig(Noisy(Device::Smd, 0, 1'000'000, 3));
  VerifyDownloads = true;
  Load(rig);
  rig.QueueSaveAnswer(rig.Path("c.smd"));
  DownloadCartridgeRom();
  EXPECT_EQ(rig.OnlyMessage("Download Cartridge ROM"),
            "the block at page 0x00 read differently 8 times in a row. Clean the cartridge contacts, reseat the "
            "cartridge and try again.");
  EXPECT_EQ(ReadFile(rig.Path("c.smd")).size(), 512u);
  EXPECT_EQ(rig.TraceCount("! reads disagree"), 6);  // reads 3 to 8
}

}  // namespace
}  // namespace ql::testing

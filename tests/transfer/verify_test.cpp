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

// What each download writes from a copier that holds the data above, and the
// line noise (ppm) that reads some blocks again but leaves two flips of one
// bit in one block (which the check byte, an XOR, cannot see) unlikely.
struct DownloadCase {
  const char* name;
  Device device;
  std::function<void()> download;
  const char* caption;
  const char* file;
  Bytes expected;
  std::uint32_t noise;
};

const std::vector<DownloadCase> kDownloads = {
    {"SWC cartridge", Device::Swc, DownloadCartridgeRom, "Download Cartridge ROM", "c.swc",
     Cat({CopierHeader(CopierFileType::SwcRom, 64, 0x1C), kCartridge}), 10},
    {"SMD cartridge", Device::Smd, DownloadCartridgeRom, "Download Cartridge ROM", "c.smd",
     Cat({CopierHeader(CopierFileType::SmdRom, 32), Interleaved(kCartridge)}), 5},
    {"SWC SRAM", Device::Swc, DownloadSram, "Download SRAM", "s.bbd",
     Cat({CopierHeader(CopierFileType::SwcSram), kSram}), 60},
    {"SMD SRAM", Device::Smd, DownloadSram, "Download SRAM", "s.bbd",
     Cat({CopierHeader(CopierFileType::SmdSram), kSram}), 60},
    {"real-time save", Device::Swc, DownloadRealTimeSave, "Download Real-time Save", "r.rts",
     Cat({CopierHeader(CopierFileType::SwcRealTime), kArea}), 10}};

void Load(Rig& rig) {
  rig.copier().SetCartridge(kCartridge, true);
  rig.copier().Sram() = kSram;
  rig.copier().RealTimeArea() = kArea;
}

TEST(DamagedBlocks, AreReadAgainUntilIntactAndTheTraceShowsEveryRepeat) {
  for (const DownloadCase& c : kDownloads) {
    SCOPED_TRACE(c.name);
    Rig rig(Noisy(c.device, c.noise, 0, 17));
    Load(rig);
    rig.QueueSaveAnswer(rig.Path(c.file));
    c.download();
    EXPECT_TRUE(rig.Messages().empty()) << rig.Messages()[0].text;
    EXPECT_EQ(ReadFile(rig.Path(c.file)), c.expected);
    EXPECT_GT(rig.TraceCount("! damaged block, read again (2 of 9)"), 0);
  }
}

// A download cut short: the line spoilt from the progress text `at` (the
// block there fails its check nine times), Cancel pressed there, or a copier
// that stops answering after `stall` bytes. The file keeps the whole blocks
// before the cut, `kept` bytes or more after a time-out (the SRAM image is
// written whole, with zeros for the pages a cancel left unread), one message
// says why (none for Cancel), and the real-time session stays open.
TEST(DamagedBlocks, ADownloadCutShortKeepsOnlyWholeGoodBlocks) {
  enum Cut { kSpoil, kCancel, kStall };
  const std::string timeout =
      "LPT read timeout\nThe backup device is not responding.  Make sure it's connected and the Super NES is turned "
      "on.";
  const std::tuple<std::size_t, Cut, const char*, std::uint64_t, std::string, std::size_t, std::size_t> cases[] = {
      {0, kSpoil, "ROM 1536/4096", 0, DamagedBlockText("bank 0x43, quarter 0"), 512 + 24 * kPage,
       0},  // lower bank first
      {1, kSpoil, "ROM 384/4096", 0, DamagedBlockText("page 0x03"), 512 + 3 * kBlock, 0},
      {2, kSpoil, "SRAM 128/256", 0, DamagedBlockText("SRAM page 0x102"), 512, 0},
      {3, kSpoil, "SRAM 128/256", 0, DamagedBlockText("copier address 0x8000 (SRAM)"), 512, 0},
      {4, kSpoil, "Real-time 128/2048", 0, DamagedBlockText("page 2 of the real-time save area"), 512 + 2 * kPage, 0},
      {2, kCancel, "SRAM 64/256", 0, "", 512 + 2 * kPage, 32768 - 2 * kPage},
      {4, kCancel, "Real-time 128/2048", 0, "", 512 + 3 * kPage, 0},
      {2, kStall, "", 9 + 11 + 11 + 9 + 9 + 3000, timeout, 512, 0},
      {4, kStall, "", 30000, timeout, 512 + kPage, 0},
      {0, kStall, "", 200000, timeout, 512 + 8 * kPage, 0}};
  for (const auto& [index, cut, at, stall, message, kept, zeros] : cases) {
    const DownloadCase& c = kDownloads[index];
    SCOPED_TRACE(::testing::Message() << c.name << " " << cut << " " << at << stall);
    Rig rig(Opts(c.device, cut == kStall ? Fault::Stall : Fault::None, stall));
    Load(rig);
    (cut == kSpoil ? rig.spoilFrom : rig.cancelAt) = at;
    rig.QueueSaveAnswer(rig.Path(c.file));
    c.download();
    const Bytes file = ReadFile(rig.Path(c.file));
    ASSERT_GE(file.size(), kept);
    EXPECT_EQ(file, Cat({Slice(c.expected, 0, cut == kStall ? file.size() : kept), Fill(zeros)}));
    EXPECT_EQ(cut == kCancel ? "" : rig.OnlyMessage(cut == kSpoil ? c.caption : "SWC Interface"), message);
    EXPECT_EQ(rig.Messages().empty(), cut == kCancel);
    EXPECT_EQ(rig.TraceCount("! damaged block, read again"), cut == kSpoil ? kBlockReadRepeats : 0);
    EXPECT_EQ(rig.TraceLines().back() == "! timeout", cut == kStall);
    EXPECT_EQ(rig.Events("F 03 00 00 00"), 0);
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
  Rig rig(Noisy(Device::Smd, 0, 8, 23));
  VerifyDownloads = true;
  Load(rig);
  rig.QueueSaveAnswer(rig.Path("c.smd"));
  DownloadCartridgeRom();
  EXPECT_EQ(ReadFile(rig.Path("c.smd")), kDownloads[1].expected);
  const long readAgain = rig.TraceCount("! reads disagree, read again (3 of 8)");
  EXPECT_GT(readAgain, 0);
  EXPECT_EQ(rig.OnlyMessage("Download Cartridge ROM", MessageIcon::Information),
            "Verified: 32 blocks read until two reads in a row agreed; " + std::to_string(readAgain) +
                " of them needed more than two reads.");
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

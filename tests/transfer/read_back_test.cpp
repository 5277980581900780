// Upload read-back (VerifyUploads): each step reads back what it wrote, the
// first difference stops the job before the image is started, and without
// the switch the wire carries no read at all.
#include "app/jobs.h"
#include "link/block_reads.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/upload_verify.h"

namespace ql::testing {
namespace {

const Bytes kRom = Pattern(4 * kPage, 71);  // 4 SWC blocks, 2 SMD blocks
const Bytes kArea = Pattern(32 * kPage, 73);

// Fills the three slots and asks for a real-time run.
void LoadSlots(Rig& rig) {
  WriteFile(RomPath = rig.Path("game.bin"), kRom);
  WriteFile(SramPath = rig.Path("game.srm"), Pattern(32768, 72));
  WriteFile(RealTimePath = rig.Path("game.rts"), Cat({CopierHeader(CopierFileType::SwcRealTime), kArea}));
  RealTimeMode = true;
}

bool Executed(Rig& rig) {
  return std::ranges::any_of(rig.copier().Events(), [](const std::string& line) {
    return line.starts_with("F 05") || line.starts_with("F 01") || line == "W 2001 03" || line == "W 2001 07";
  });
}

emu::Options WithDramFault(Device device, std::uint32_t offset, std::uint8_t bit, bool signature = true) {
  emu::Options options = Opts(device, Fault::None, 0, signature);
  options.dramFault = emu::Options::DramFault{offset, bit};
  return options;
}

constexpr std::uint32_t kTopRealTimePage = 512 + 0x76 * 4;  // above 4 MB (0xC010 = 1), bank 0x76

// A copier that does not keep a bit, or a read-back that arrives damaged, or
// a cancel while reading back: the image is not started.
TEST(UploadReadBack, TheFirstDifferenceStopsTheJobBeforeTheImageIsStarted) {
  const Bytes smdRom = Interleaved(kRom);
  const std::string stopped = "\nThe upload stopped; nothing was started.";
  const std::tuple<const char*, emu::Options, const char*, const char*, std::string> cases[] = {
      {"SWC ROM block", WithDramFault(Device::Swc, 3 * kPage + 0x123, 2), "", "Upload ROM",
       UploadReadBack::DifferenceText("bank 0x00, quarter 3 (ROM block 3)", 0x8123, kRom[3 * kPage + 0x123],
                                      kRom[3 * kPage + 0x123] ^ 0x04)},
      {"SMD ROM block", WithDramFault(Device::Smd, kBlock, 7), "", "Upload ROM",
       UploadReadBack::DifferenceText("page 0x01 (ROM block 1)", 0x8000, smdRom[kBlock], smdRom[kBlock] ^ 0x80)},
      {"real-time save in DRAM", WithDramFault(Device::Swc, kTopRealTimePage * kPage + 5, 0, false), "",
       "Upload Real-time Save",
       UploadReadBack::DifferenceText("page 0 of the real-time save area", 0x8005, kArea[5], kArea[5] ^ 0x01)},
      {"SWC SRAM read back damaged", Opts(Device::Swc), "Verify SRAM 128/256", "Upload SRAM",
       DamagedBlockText("SRAM page 0x102") + stopped},
      {"SWC upload header read back damaged", Opts(Device::Swc), "Verify ROM 0/256", "Upload ROM",
       DamagedBlockText("copier address 0x0400 (the upload header)") + stopped},
      {"cancelled: no message, no failure", Opts(Device::Swc), "", "", ""}};
  for (const auto& [name, options, spoilAt, caption, text] : cases) {
    SCOPED_TRACE(name);
    Rig rig(options);
    VerifyUploads = true;
    LoadSlots(rig);
    rig.spoilFrom = spoilAt;
    if (text.empty()) rig.cancelAt = "Verify ROM 128/256";
    UploadJob(UploadSteps::All);
    EXPECT_EQ(text.empty() ? "" : rig.OnlyMessage(caption), text);
    EXPECT_EQ(rig.Messages().empty(), text.empty());
    EXPECT_FALSE(Executed(rig));
    EXPECT_EQ(LastJobFailed(), !text.empty());
    // A real-time upload that read back different still closes its session, as a cancelled one does.
    EXPECT_EQ(rig.Events("F 03 00 00 00"), caption == std::string("Upload Real-time Save") ? 1 : 0);
  }
}

TEST(UploadReadBack, ASoundCopierPassesAndIsStartedAndNothingIsReadWithoutTheSwitch) {
  // The upload header, a ROM block, an SRAM page, a real-time page.
  const std::pair<const char*, long> reads[] = {{"> D5 AA 96 01 00 04 00 02", 1},
                                                {"> D5 AA 96 01 00 80 00 20", 4},
                                                {"> D5 AA 96 01 00 20 00 20", 4},
                                                {"> D5 AA 96 01 00 A0 00 20", 32}};
  for (bool verify : {false, true}) {
    SCOPED_TRACE(verify);
    Rig rig;
    VerifyUploads = verify;
    LoadSlots(rig);
    UploadJob(UploadSteps::All);
    EXPECT_TRUE(rig.Messages().empty());
    EXPECT_TRUE(Executed(rig));
    for (const auto& [read, count] : reads) EXPECT_EQ(rig.TraceCount(read), verify ? count : 0) << read;
    EXPECT_EQ(std::ranges::count(rig.Progress(), "Verify Real-time 1984/2048"), verify ? 1 : 0);
  }
}

}  // namespace
}  // namespace ql::testing

#include "link/copier_ops.h"

#include <gmock/gmock.h>

#include <vector>

#include "core/types.h"
#include "link/commands.h"
#include "tests/link/link_fixture.h"
#include "tests/support/sim_link.h"

namespace ql::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Bytes = std::vector<std::uint8_t>;
using Kind = ScriptedPort::OpKind;

const char* const kSwcTimeoutText =
    "LPT read timeout\nThe backup device is not responding.  Make sure it's connected and the Super NES is turned on.";

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

class CopierOpsWireTest : public LinkTest {
 protected:
  void OfferRead(std::uint8_t value) {
    port_.ExpectSends(9);
    port_.OfferByte(value);
    port_.OfferByte(static_cast<std::uint8_t>(value ^ 0x81));
  }
  // The last three port operations of an execute.
  void ExpectReleased() {
    const auto& ops = port_.Ops();
    ASSERT_GE(ops.size(), 3u);
    const auto* tail = &ops[ops.size() - 3];
    EXPECT_EQ(tail[0].kind, Kind::Out);
    EXPECT_EQ(tail[0].port, 0x378);
    EXPECT_EQ(tail[0].value, 0x00);
    EXPECT_EQ(tail[1].kind, Kind::In);
    EXPECT_EQ(tail[1].port, 0x37A);
    EXPECT_EQ(tail[2].kind, Kind::Out);
    EXPECT_EQ(tail[2].port, 0x37A);
    EXPECT_EQ(tail[2].value, 0x0B);
    EXPECT_EQ(port_.Control(), 0x0B);
    EXPECT_EQ(port_.Data(), 0x00);
  }
};

TEST_F(CopierOpsWireTest, ExecuteOnSwcSendsBlockCountAndModeThenReleases) {
  RomBlockCount = 0x0140;
  SwcModeByte = 0x2C;
  ExecuteImage();
  EXPECT_THAT(port_.DataWritten(), ElementsAreArray(Concat({{0xD5, 0xAA, 0x96, 0x05, 0x00, 0x00, 0x00, 0x00, 0x84},
                                                            {0xD5, 0xAA, 0x96, 0x06, 0x05, 0x40, 0x01, 0x00, 0xC3},
                                                            {0xD5, 0xAA, 0x96, 0x06, 0x01, 0x2C, 0x00, 0x00, 0xAA},
                                                            {0x00}})));
  ExpectReleased();
  EXPECT_EQ(clock_.SleptMs(), 1u);
  EXPECT_TRUE(window_.Messages().empty());
}

TEST_F(CopierOpsWireTest, ExecuteInRealTimeModeSetsTheFlagByte) {
  RomBlockCount = 0x20;
  SwcModeByte = 0;
  RealTimeMode = true;
  ExecuteImage();
  const Bytes sent = port_.DataWritten();
  ASSERT_EQ(sent.size(), 28u);
  EXPECT_THAT(Bytes(sent.begin() + 18, sent.begin() + 27),
              ElementsAre(0xD5, 0xAA, 0x96, 0x06, 0x01, 0x00, 0x01, 0x00, 0x87 ^ 0x01 ^ 0x01));
}

TEST_F(CopierOpsWireTest, ExecuteOnSmdPicksTheModeByImageSize) {
  SelectedDevice = kDeviceSmd;
  const struct {
    std::uint32_t blocks;
    std::uint8_t mode;
  } rows[] = {{0, 3}, {128, 3}, {129, 7}, {256, 7}};
  for (const auto& row : rows) {
    port_.ClearOps();
    RomBlockCount = row.blocks;
    ExecuteImage();
    EXPECT_THAT(port_.DataWritten(),
                ElementsAre(0xD5, 0xAA, 0x96, 0x00, 0x01, 0x20, 0x01, 0x00, 0xA1, row.mode, row.mode ^ 0x81, 0x00))
        << row.blocks;
    ExpectReleased();
  }
}

TEST_F(CopierOpsWireTest, ExecuteTimeOutShowsMessageOnceAndLeavesPortUnreleased) {
  port_.ExpectSends(12);
  port_.SetIdleStatus(0x00);
  ExecuteImage();
  const auto messages = window_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, kSwcTimeoutText);
  EXPECT_EQ(messages[0].caption, "SWC Interface");
  EXPECT_EQ(port_.Count(Kind::Out, 2), 0u);
  EXPECT_EQ(port_.DataWritten().size(), 12u);
}

TEST_F(CopierOpsWireTest, ExecuteWithoutLibraryTouchesNothing) {
  libraryMissing_ = true;
  ExecuteImage();
  EXPECT_TRUE(port_.Ops().empty());
  ASSERT_EQ(window_.Messages().size(), 1u);
  EXPECT_EQ(window_.Messages()[0].text, PortLibraryLoadFailureText());
}

TEST_F(CopierOpsWireTest, PlayOnSmdSendsPageTwoAndFunctionTwoWithoutRelease) {
  SelectedDevice = kDeviceSmd;
  PlayCartridge();
  EXPECT_THAT(port_.DataWritten(), ElementsAreArray(Concat({{0xD5, 0xAA, 0x96, 0x05, 0x02, 0x00, 0x00, 0x00, 0x86},
                                                            {0xD5, 0xAA, 0x96, 0x06, 0x02, 0x00, 0x00, 0x00, 0x85}})));
  EXPECT_EQ(port_.Count(Kind::Out, 2), 0u);
  EXPECT_TRUE(window_.Messages().empty());
}

TEST_F(CopierOpsWireTest, PlayTimeOutShowsTheDevicesMessage) {
  SelectedDevice = kDeviceSmd;
  port_.SetIdleStatus(0x00);
  PlayCartridge();
  const auto messages = window_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find("Genesis is turned on."), std::string::npos);
}

TEST_F(CopierOpsWireTest, SignatureProbeStopsAtTheFirstMismatch) {
  ASSERT_TRUE(EnsureLinkReady());
  port_.ExpectSends(9 + 11);
  OfferRead(0x54);
  EXPECT_FALSE(HasRealTimeSaveSupport());
  EXPECT_EQ(port_.PhasesLeft(), 0u);
  const Bytes sent = port_.DataWritten();
  ASSERT_EQ(sent.size(), 29u);  // select, 0xE00D <- 0, one read
  EXPECT_THAT(Bytes(sent.begin(), sent.begin() + 9), ElementsAre(0xD5, 0xAA, 0x96, 0x05, 0x1F, 0x00, 0x00, 0x00, 0x9B));
  EXPECT_THAT(Bytes(sent.begin() + 9, sent.begin() + 20),
              ElementsAre(0xD5, 0xAA, 0x96, 0x00, 0x0D, 0xE0, 0x01, 0x00, 0x6D, 0x00, 0x81));
  EXPECT_EQ(sent[24], 0x80);
  EXPECT_EQ(sent[25], 0xB0);
}

TEST_F(CopierOpsWireTest, SignatureProbeReadsSubInOrder) {
  ASSERT_TRUE(EnsureLinkReady());
  port_.ExpectSends(9 + 11);
  OfferRead('S');
  OfferRead('U');
  OfferRead('B');
  EXPECT_TRUE(HasRealTimeSaveSupport());
  EXPECT_EQ(port_.DataWritten()[9 + 11 + 2 * 9 + 4], 0x82);

  port_.ExpectSends(9 + 11);
  OfferRead('S');
  OfferRead('U');
  port_.ExpectSends(9);
  port_.OfferByte('B');
  port_.OfferByte('B');  // bad check: -1 is a mismatch
  EXPECT_FALSE(HasRealTimeSaveSupport());
}

TEST_F(CopierOpsWireTest, FailedReadBackCountsAsWritableAndTheByteIsRestored) {
  ASSERT_TRUE(EnsureLinkReady());
  port_.ExpectSends(9);
  OfferRead(0x10);
  port_.ExpectSends(11);
  port_.ExpectSends(9);
  port_.OfferByte(0xEF);
  port_.OfferByte(0x00);  // bad check: -1
  port_.ExpectSends(11);
  EXPECT_TRUE(IsDramBankWritable(0x76));
  EXPECT_EQ(port_.PhasesLeft(), 0u);
  const Bytes sent = port_.DataWritten();
  ASSERT_EQ(sent.size(), 9u + 9u + 11u + 9u + 11u);
  EXPECT_EQ(sent[4], 0xD8);  // bank 0x76, quarter 0: page 0x1D8
  EXPECT_EQ(sent[5], 0x01);
  EXPECT_THAT(Bytes(sent.begin() + 27, sent.begin() + 29), ElementsAre(0xEF, 0x6E));
  EXPECT_THAT(Bytes(sent.end() - 2, sent.end()), ElementsAre(0x10, 0x91));
}

TEST_F(CopierOpsWireTest, BankThatKeepsNothingIsNotWrittenBack) {
  ASSERT_TRUE(EnsureLinkReady());
  port_.ExpectSends(9);
  OfferRead(0x10);
  port_.ExpectSends(11);
  OfferRead(0x10);
  EXPECT_FALSE(IsDramBankWritable(0x56));
  EXPECT_EQ(port_.DataWritten().size(), 9u + 9u + 11u + 9u);
}

TEST_F(CopierOpsWireTest, ReleaseLinkPausesThenParksDataAndControl) {
  ASSERT_TRUE(EnsureLinkReady());
  ReleaseLink();
  EXPECT_EQ(clock_.SleptMs(), 1u);
  ASSERT_EQ(port_.Ops().size(), 3u);
  ExpectReleased();
  EXPECT_GE(port_.Ops()[0].at, 1000u);
}

// Round trips against the emulated copier.
class CopierOpsEmulatorTest : public ::testing::Test {
 protected:
  SimLink sim_;
};

TEST_F(CopierOpsEmulatorTest, ExecuteReachesTheCopierAndLeavesThePortReleased) {
  RomBlockCount = 0x0140;
  SwcModeByte = 0x2C;
  ExecuteImage();
  EXPECT_THAT(sim_.copier().Events(), ElementsAre("F 05 40 01 00", "F 01 2C 00 00"));
  EXPECT_EQ(sim_.copier().DataRegister(), 0x00);
  EXPECT_EQ(sim_.copier().ControlRegister(), 0x0B);
  EXPECT_TRUE(sim_.window().Messages().empty());
}

TEST(CopierOpsSmdEmulator, ExecuteWritesTheModeRegister) {
  emu::Options options;
  options.device = emu::Device::Smd;
  SimLink sim(options);
  SelectedDevice = kDeviceSmd;
  RomBlockCount = 129;
  ExecuteImage();
  EXPECT_EQ(sim.copier().SmdMode(), 7);
  RomBlockCount = 128;
  ExecuteImage();
  EXPECT_EQ(sim.copier().SmdMode(), 3);
  EXPECT_THAT(sim.copier().Events(), ElementsAre("W 2001 07", "W 2001 03"));
  EXPECT_EQ(sim.copier().ControlRegister(), 0x0B);
}

TEST_F(CopierOpsEmulatorTest, PlayWithoutCartridgeSendsNoFunctionPacket) {
  PlayCartridge();
  EXPECT_TRUE(sim_.copier().Events().empty());
  const auto messages = sim_.window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "No game cartridge is detected");
  EXPECT_EQ(messages[0].caption, "Play Cartridge");
  EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
}

TEST_F(CopierOpsEmulatorTest, PlayWithCartridgeStartsIt) {
  std::vector<std::uint8_t> image(512 * 1024);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 131 + (i >> 13) * 7);
  sim_.copier().SetCartridge(image, false);
  PlayCartridge();
  EXPECT_THAT(sim_.copier().Events(), ElementsAre("F 02 00 00 00"));
  EXPECT_TRUE(sim_.window().Messages().empty());
}

TEST_F(CopierOpsEmulatorTest, TopDramBankIsTheFirstThatKeepsAByteAndTheByteIsRestored) {
  ASSERT_TRUE(EnsureLinkReady());
  sim_.copier().SetBankWritable(0x76, false);
  sim_.copier().SetBankWritable(0x56, false);
  std::vector<std::uint8_t> page(8192, 0);
  page[0] = 0x3C;
  sim_.copier().SetDramPage(0x36 * 4, page);
  EXPECT_EQ(FindTopDramBank(), 0x36);
  EXPECT_EQ(sim_.copier().DramPage(0x36 * 4)[0], 0x3C);
}

TEST_F(CopierOpsEmulatorTest, SmallestCopierFallsBackToBank16) {
  ASSERT_TRUE(EnsureLinkReady());
  for (std::uint8_t bank : {0x76, 0x56, 0x36}) sim_.copier().SetBankWritable(bank, false);
  EXPECT_EQ(FindTopDramBank(), 0x16);
  EXPECT_TRUE(IsDramBankWritable(0x16));
}

TEST_F(CopierOpsEmulatorTest, SignatureFollowsTheCopierModel) {
  ASSERT_TRUE(EnsureLinkReady());
  EXPECT_TRUE(HasRealTimeSaveSupport());
}

TEST(CopierOpsNoSignature, CopierWithoutSignatureIsDetected) {
  emu::Options options;
  options.realTimeSignature = false;
  SimLink sim(options);
  ASSERT_TRUE(EnsureLinkReady());
  EXPECT_FALSE(HasRealTimeSaveSupport());
}

}  // namespace
}  // namespace ql::testing

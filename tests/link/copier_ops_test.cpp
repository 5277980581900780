#include "link/copier_ops.h"

#include "core/types.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

TEST(CopierOps, ExecuteAndPlayOnTheWire) {
  // Execute releases the port: after a 1 ms pause, data 0x00, then control with bits 0, 1 and 3 set.
  const auto check = [](bool smd, std::uint32_t blocks, bool play, const Bytes& expected) {
    SCOPED_TRACE(blocks);
    Wire wire(With(emu::Fault::None, 0, 0, smd ? emu::Device::Smd : emu::Device::Swc));
    wire.Bind();
    SelectedDevice = smd ? kDeviceSmd : kDeviceSwc;
    RomBlockCount = blocks;
    SwcModeByte = 0x2C;
    play ? PlayCartridge() : ExecuteImage();
    EXPECT_EQ(wire.Written(), expected);
    EXPECT_EQ(wire.Shape().find("O37A") == std::string::npos, play);  // Play leaves the port as it is
    if (play) return;
    const std::size_t n = wire.ops.size();
    EXPECT_EQ(wire.Shape(n - 3), "O378=00 I37A O37A=0B");
    EXPECT_GE(wire.ops[n - 3].at - wire.ops[n - 4].at, 1000u);
  };
  check(false, 0x0140, false, {0xD5, 0xAA, 0x96, 0x05, 0x00, 0x00, 0x00, 0x00, 0x84, 0xD5, 0xAA, 0x96, 0x06, 0x05,
                               0x40, 0x01, 0x00, 0xC3, 0xD5, 0xAA, 0x96, 0x06, 0x01, 0x2C, 0x00, 0x00, 0xAA, 0x00});
  // The SMD's mode: small up to 2 MB (128 blocks), large above.
  check(true, 128, false, {0xD5, 0xAA, 0x96, 0x00, 0x01, 0x20, 0x01, 0x00, 0xA1, 0x03, 0x82, 0x00});
  check(true, 129, false, {0xD5, 0xAA, 0x96, 0x00, 0x01, 0x20, 0x01, 0x00, 0xA1, 0x07, 0x86, 0x00});
  check(true, 0, true,
        {0xD5, 0xAA, 0x96, 0x05, 0x02, 0x00, 0x00, 0x00, 0x86, 0xD5, 0xAA, 0x96, 0x06, 0x02, 0x00, 0x00, 0x00, 0x85});
}

TEST(CopierOps, FaultsEndAnOperationWithOneMessage) {
  const std::string timeout =
      "LPT read timeout\nThe backup device is not responding.  Make sure it's connected and the ";
  const struct {
    emu::Options options;
    bool play, cartridge;
    std::string message, caption;  // no message: the copier ran the cartridge
  } rows[] = {
      {With(emu::Fault::Dead), false, true, timeout + "Super NES is turned on.", "SWC Interface"},
      {With(emu::Fault::Dead, 0, 0, emu::Device::Smd), true, false, timeout + "Genesis is turned on.", "SWC Interface"},
      {With(emu::Fault::None), true, false, "No game cartridge is detected", "Play Cartridge"},
      {With(emu::Fault::None), true, true, "", ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message);
    SimLink sim(row.options);
    if (row.cartridge) sim.copier().SetCartridge(Noise(512 * 1024), false);
    SelectedDevice = row.options.device == emu::Device::Smd ? kDeviceSmd : kDeviceSwc;
    row.play ? PlayCartridge() : ExecuteImage();
    EXPECT_EQ(StopMessages(sim, row.caption), std::vector<std::string>(row.message.empty() ? 0 : 1, row.message));
    EXPECT_EQ(sim.copier().Events().empty(), !row.message.empty());
    EXPECT_NE(sim.copier().ControlRegister(), 0x0B) << "released";
  }
}

// The real-time area's probes: the signature read stops at its first
// mismatch; the top DRAM bank is the first that keeps an inverted byte, which
// is then written back.
TEST(CopierOps, SignatureProbeStopsAtTheFirstMismatchAndTopDramBankIsTheFirstThatKeepsAByte) {
  for (bool signature : {true, false}) {
    emu::Options options;
    options.realTimeSignature = signature;
    SimLink sim(options);
    ASSERT_TRUE(EnsureLinkReady());
    EXPECT_EQ(HasRealTimeSaveSupport(), signature);
    // Page 0x1F (bank 7, quarter 3), 0xE00D <- 0, then reads from 0xB080 on, three or one.
    EXPECT_EQ(sim.copier().BytesMoved(), 9u + 11u + (signature ? 33u : 11u));
  }
  SimLink sim;
  ASSERT_TRUE(EnsureLinkReady());
  sim.copier().SetBankWritable(0x76, false);
  sim.copier().SetBankWritable(0x56, false);
  EXPECT_EQ(FindTopDramBank(), 0x36);
  // Per bank: select (9), read (9 + 2), inverted write (11), read back (9 + 2), and 11 for the write back.
  EXPECT_EQ(sim.copier().BytesMoved(), 3u * 42u + 11u);
  sim.copier().SetBankWritable(0x36, false);
  EXPECT_EQ(FindTopDramBank(), 0x16);
}

// Banks 24..27 and 32..35 all read 0x84; a change at either end of a run must count.
TEST(CartridgeDetection, SampleTestsCoverTheFirstAndTheLastEntryOfTheirRun) {
  for (std::size_t i = 0; i < 512; ++i) CartridgeSamples[i] = (i / 16 == 6 || i / 16 == 8) ? 0x84 : i % 32;
  EXPECT_TRUE(SamplesMatch(0, 8, 4) && SamplesMatch(24, 32, 4) && SamplesUniform(32) && BankReadsAs(35, 0x84));
  EXPECT_FALSE(SamplesMatch(0, 4, 4) || BankReadsAs(35, 0x85));
  for (std::size_t entry : {32 * 4, 36 * 4 - 1}) {
    CartridgeSamples[entry] ^= 1;
    EXPECT_FALSE(SamplesMatch(24, 32, 4) || SamplesUniform(32) || BankReadsAs(static_cast<int>(entry / 4), 0x84));
    CartridgeSamples[entry] ^= 1;
  }
}

TEST(CartridgeDetection, SizesOfMirroredCartridgesAndTheBoardKind) {
  const struct {
    std::size_t kilobytes;
    int openBusBank;  // a bank whose samples read its own number, or -1
    bool hiRom;
    std::uint8_t size;
  } rows[] = {{128, -1, false, 8},   {256, -1, false, 8},    {512, -1, false, 16},   {1024, -1, false, 32},
              {1280, -1, false, 40}, {1536, -1, false, 48},  {2048, -1, false, 64},  {2560, -1, false, 80},
              {3072, -1, false, 96}, {3584, -1, false, 112}, {4096, -1, false, 128}, {4096, 32, false, 32},
              {4096, 64, false, 64}, {2048, -1, true, 32}};  // HiROM: 64 KB banks
  const Bytes noise = Noise(4096 * 1024);
  SimLink sim;
  ASSERT_TRUE(EnsureLinkReady());
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.kilobytes << " KB, open bus at " << row.openBusBank);
    Bytes image(noise.begin(), noise.begin() + static_cast<std::ptrdiff_t>(row.kilobytes * 1024));
    // Bank 0x80 + b, quarter q, offset 0xA0 of the upper window.
    for (std::size_t q = 0; q < 4 && row.openBusBank >= 0; ++q)
      image[row.openBusBank * 0x8000u + q * 0x2000 + 0xA0] = static_cast<std::uint8_t>(0x80 + row.openBusBank);
    sim.copier().SetCartridge(image, row.hiRom);
    std::uint8_t size = 0;
    bool hiRom = !row.hiRom;
    ASSERT_TRUE(DetectCartridge(&size, &hiRom));
    EXPECT_EQ(size, row.size);
    EXPECT_EQ(hiRom, row.hiRom);
  }
}

// A bad check reads every sample as 0xFF, one value everywhere, as an empty slot does.
TEST(CartridgeDetection, ABadCheckOrATimeOutMeansNoCartridgeAndLeavesTheSize) {
  for (emu::Fault fault : {emu::Fault::BadCheck, emu::Fault::Dead}) {
    SimLink sim(With(fault));
    sim.copier().SetCartridge(Noise(1024 * 1024), false);
    ASSERT_TRUE(EnsureLinkReady());
    std::uint8_t size = 0x55;
    EXPECT_FALSE(DetectCartridge(&size, nullptr));
    EXPECT_EQ(size, 0x55);
    EXPECT_TRUE(sim.window().Messages().empty());
  }
  EXPECT_EQ(CartridgeSamples[0], 0xFF);  // as every sample read under the bad check; the dead copier took none
}

}  // namespace
}  // namespace ql::testing

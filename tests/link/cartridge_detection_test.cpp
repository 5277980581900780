#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

#include "link/copier_ops.h"
#include "tests/link/link_fixture.h"
#include "tests/support/sim_link.h"

namespace ql::testing {
namespace {

using Samples = std::array<std::uint8_t, 512>;

// Cartridge-like bytes: no two runs of a few samples alike by accident.
std::uint8_t Noise(std::uint32_t index) {
  std::uint32_t x = index * 2654435761u + 0x9E3779B9u;
  x ^= x >> 15;
  x *= 0x85EBCA6Bu;
  x ^= x >> 13;
  return static_cast<std::uint8_t>(x);
}

// Samples of a ROM whose bank i shows the data of bank source(i).
Samples MirroredSamples(const std::function<int(int)>& source) {
  Samples samples{};
  for (int bank = 0; bank < 128; ++bank) {
    for (int quarter = 0; quarter < 4; ++quarter) {
      samples[static_cast<std::size_t>(bank * 4 + quarter)] =
          Noise(static_cast<std::uint32_t>(source(bank) * 4 + quarter));
    }
  }
  return samples;
}

Samples RepeatingEvery(int banks) {
  return MirroredSamples([banks](int bank) { return bank % banks; });
}

class SampleTestsTest : public ::testing::Test {
 protected:
  void SetUp() override { CartridgeSamples = RepeatingEvery(128); }
};

TEST_F(SampleTestsTest, MatchComparesWholeRunsOfBanks) {
  CartridgeSamples = RepeatingEvery(8);
  EXPECT_TRUE(SamplesMatch(0, 8, 8));
  EXPECT_TRUE(SamplesMatch(3, 11, 5));
  EXPECT_FALSE(SamplesMatch(0, 4, 4));
  // A difference in the first entry of the run counts as much as one in the last.
  CartridgeSamples[8 * 4] ^= 1;
  EXPECT_FALSE(SamplesMatch(0, 8, 8));
  CartridgeSamples[8 * 4] ^= 1;
  CartridgeSamples[16 * 4 - 1] ^= 1;
  EXPECT_FALSE(SamplesMatch(0, 8, 8));
  EXPECT_TRUE(SamplesMatch(0, 8, 7));
}

TEST_F(SampleTestsTest, UniformNeedsAllSixteenEntriesEqual) {
  for (std::size_t i = 32 * 4; i < 36 * 4; ++i) CartridgeSamples[i] = 0x5C;
  EXPECT_TRUE(SamplesUniform(32));
  CartridgeSamples[36 * 4 - 1] = 0x5D;
  EXPECT_FALSE(SamplesUniform(32));
  CartridgeSamples[36 * 4 - 1] = 0x5C;
  CartridgeSamples[32 * 4] = 0x5D;
  EXPECT_FALSE(SamplesUniform(32));
}

TEST_F(SampleTestsTest, BankReadsAsChecksItsFourEntries) {
  for (std::size_t i = 0; i < 4; ++i) CartridgeSamples[4 * 4 + i] = 0x84;
  EXPECT_TRUE(BankReadsAs(4, 0x84));
  EXPECT_FALSE(BankReadsAs(4, 0x85));
  CartridgeSamples[4 * 4 + 3] = 0x00;
  EXPECT_FALSE(BankReadsAs(4, 0x84));
}

// Detection over the scripted wire: the exact command sequence, with the
// copier answering each sample read from a table.
class DetectionWireTest : public LinkTest {
 protected:
  void SetUp() override { Bind(); }

  void OfferSampleRead(std::uint8_t value, bool goodCheck = true) {
    port_.ExpectSends(9);
    port_.OfferByte(value);
    port_.OfferByte(goodCheck ? static_cast<std::uint8_t>(value ^ 0x81) : value);
  }
  void ScriptSamples(const Samples& samples, int badCheckEntry = -1) {
    port_.ExpectSends(11);
    for (int i = 0; i < 512; ++i) {
      port_.ExpectSends(9);
      OfferSampleRead(samples[static_cast<std::size_t>(i)], i != badCheckEntry);
    }
  }
  void ScriptHiRomProbe(const std::array<std::uint8_t, 4>& lower, const std::array<std::uint8_t, 4>& upper) {
    for (std::size_t q = 0; q < 4; ++q) {
      port_.ExpectSends(9);
      OfferSampleRead(lower[q]);
      OfferSampleRead(upper[q]);
    }
  }
  std::uint8_t DetectSize(const Samples& samples) {
    ScriptSamples(samples);
    std::uint8_t size = 0;
    EXPECT_TRUE(DetectCartridge(&size, nullptr));
    EXPECT_EQ(port_.PhasesLeft(), 0u);
    return size;
  }
};

TEST_F(DetectionWireTest, SamplesEveryQuarterOfBanks80ToFFAtA0A0) {
  ScriptSamples(RepeatingEvery(128));
  std::uint8_t size = 0;
  ASSERT_TRUE(DetectCartridge(&size, nullptr));
  const auto sent = port_.DataWritten();
  // 0xE00C <- 0, then select and read for each of the 512 samples.
  ASSERT_EQ(sent.size(), 11u + 512u * 18u);
  EXPECT_EQ(std::vector<std::uint8_t>(sent.begin(), sent.begin() + 11),
            (std::vector<std::uint8_t>{0xD5, 0xAA, 0x96, 0x00, 0x0C, 0xE0, 0x01, 0x00, 0x6C, 0x00, 0x81}));
  const std::size_t last = 11 + 511 * 18;
  // Bank 0xFF quarter 3 is page 0x3FF.
  EXPECT_EQ(sent[last + 4], 0xFF);
  EXPECT_EQ(sent[last + 5], 0x03);
  EXPECT_EQ(sent[last + 9 + 3], 0x01);
  EXPECT_EQ(sent[last + 9 + 4], 0xA0);
  EXPECT_EQ(sent[last + 9 + 5], 0xA0);
  EXPECT_EQ(CartridgeSamples, RepeatingEvery(128));
  EXPECT_EQ(size, 128);
}

TEST_F(DetectionWireTest, SizesOfMirroredRoms) {
  const struct {
    const char* name;
    std::function<int(int)> source;
    std::uint8_t size;
  } rows[] = {
      {"128 KB", [](int b) { return b % 4; }, 8},
      {"256 KB", [](int b) { return b % 8; }, 8},
      {"512 KB", [](int b) { return b % 16; }, 16},
      {"1 MB", [](int b) { return b % 32; }, 32},
      {"1.25 MB", [](int b) { return b < 40 ? b : 32 + (b - 32) % 8; }, 40},
      {"1.5 MB", [](int b) { return b < 48 ? b : b - 16; }, 48},
      {"2 MB", [](int b) { return b % 64; }, 64},
      {"2.5 MB", [](int b) { return b < 80 ? b : b - 16; }, 80},
      {"3 MB", [](int b) { return b < 96 ? b : b - 32; }, 96},
      {"3.5 MB", [](int b) { return b < 112 ? b : b - 16; }, 112},
      {"4 MB", [](int b) { return b; }, 128},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DetectSize(MirroredSamples(row.source)), row.size) << row.name;
  }
}

TEST_F(DetectionWireTest, OpenBusBankNumbersEndTheSearch) {
  Samples samples = RepeatingEvery(128);
  for (std::size_t i = 32 * 4; i < 33 * 4; ++i) samples[i] = 0xA0;
  EXPECT_EQ(DetectSize(samples), 32);
  samples = RepeatingEvery(128);
  for (std::size_t i = 64 * 4; i < 65 * 4; ++i) samples[i] = 0xC0;
  EXPECT_EQ(DetectSize(samples), 64);
}

TEST_F(DetectionWireTest, UniformFirstBanksMeanNoCartridgeAndSizeIsLeftAlone) {
  Samples samples;
  samples.fill(0xFF);
  ScriptSamples(samples);
  std::uint8_t size = 0x55;
  bool hiRom = true;
  EXPECT_FALSE(DetectCartridge(&size, &hiRom));
  EXPECT_EQ(size, 0x55);
  EXPECT_TRUE(hiRom);
  EXPECT_TRUE(window_.Messages().empty());
}

TEST_F(DetectionWireTest, Bank84ReadingItsOwnNumberMeansNoCartridge) {
  Samples samples = RepeatingEvery(128);
  for (std::size_t i = 4 * 4; i < 5 * 4; ++i) samples[i] = 0x84;
  ScriptSamples(samples);
  std::uint8_t size = 0x55;
  EXPECT_FALSE(DetectCartridge(&size, nullptr));
  EXPECT_EQ(size, 0x55);
}

TEST_F(DetectionWireTest, FailedSampleCheckStoresFF) {
  ScriptSamples(RepeatingEvery(128), 77);
  ASSERT_TRUE(DetectCartridge(nullptr, nullptr));
  EXPECT_EQ(CartridgeSamples[77], 0xFF);
  EXPECT_EQ(CartridgeSamples[78], RepeatingEvery(128)[78]);
}

TEST_F(DetectionWireTest, HiRomWhenBank40HalvesDiffer) {
  ScriptSamples(RepeatingEvery(16));
  ScriptHiRomProbe({1, 2, 3, 4}, {1, 2, 3, 5});
  std::uint8_t size = 0;
  bool hiRom = false;
  ASSERT_TRUE(DetectCartridge(&size, &hiRom));
  EXPECT_EQ(size, 16);
  EXPECT_TRUE(hiRom);
  EXPECT_EQ(port_.PhasesLeft(), 0u);
  // The probe reads 0x20A0 and 0xA0A0 after selecting bank 0x40, quarter 3 (page 0x103).
  const auto sent = port_.DataWritten();
  const std::size_t lastProbe = sent.size() - 27;
  EXPECT_EQ(sent[lastProbe + 4], 0x03);
  EXPECT_EQ(sent[lastProbe + 5], 0x01);
  EXPECT_EQ(sent[lastProbe + 9 + 5], 0x20);
  EXPECT_EQ(sent[lastProbe + 18 + 5], 0xA0);
}

TEST_F(DetectionWireTest, LoRomWhenBank40HalvesAgree) {
  ScriptSamples(RepeatingEvery(16));
  ScriptHiRomProbe({9, 8, 7, 6}, {9, 8, 7, 6});
  bool hiRom = true;
  ASSERT_TRUE(DetectCartridge(nullptr, &hiRom));
  EXPECT_FALSE(hiRom);
}

TEST_F(DetectionWireTest, NoHiRomProbeUnlessAsked) {
  ScriptSamples(RepeatingEvery(16));
  std::uint8_t size = 0;
  ASSERT_TRUE(DetectCartridge(&size, nullptr));
  EXPECT_EQ(port_.DataWritten().size(), 11u + 512u * 18u);
}

TEST_F(DetectionWireTest, TimeOutMeansNoCartridgeWithoutMessage) {
  port_.ExpectSends(11 + 18 * 100);
  port_.SetIdleStatus(0x00);
  std::uint8_t size = 0x55;
  EXPECT_FALSE(DetectCartridge(&size, nullptr));
  EXPECT_EQ(size, 0x55);
  EXPECT_TRUE(window_.Messages().empty());
}

TEST_F(DetectionWireTest, TimeOutInHiRomProbeFailsAfterSizeWasWritten) {
  ScriptSamples(RepeatingEvery(32));
  port_.ExpectSends(9);
  port_.SetIdleStatus(0x00);
  std::uint8_t size = 0;
  bool hiRom = false;
  EXPECT_FALSE(DetectCartridge(&size, &hiRom));
  EXPECT_EQ(size, 32);
  EXPECT_TRUE(window_.Messages().empty());
}

// The same detection against the emulated copier and its cartridge decoding.
class DetectionEmulatorTest : public ::testing::Test {
 protected:
  static std::vector<std::uint8_t> Image(std::size_t bytes) {
    std::vector<std::uint8_t> image(bytes);
    for (std::size_t i = 0; i < bytes; ++i) image[i] = Noise(static_cast<std::uint32_t>(i));
    return image;
  }
  SimLink sim_;
};

TEST_F(DetectionEmulatorTest, LoRomSizesFrom128KbTo4Mb) {
  ASSERT_TRUE(EnsureLinkReady());
  const struct {
    std::size_t kilobytes;
    std::uint8_t size;
  } rows[] = {{128, 8}, {256, 8}, {512, 16}, {1024, 32}, {1536, 48}, {2048, 64}, {3072, 96}, {4096, 128}};
  for (const auto& row : rows) {
    sim_.copier().SetCartridge(Image(row.kilobytes * 1024), false);
    std::uint8_t size = 0;
    bool hiRom = true;
    ASSERT_TRUE(DetectCartridge(&size, &hiRom)) << row.kilobytes;
    EXPECT_EQ(size, row.size) << row.kilobytes;
    EXPECT_FALSE(hiRom) << row.kilobytes;
  }
  EXPECT_TRUE(sim_.window().Messages().empty());
}

TEST_F(DetectionEmulatorTest, HiRomBoardIsRecognised) {
  ASSERT_TRUE(EnsureLinkReady());
  sim_.copier().SetCartridge(Image(2 * 1024 * 1024), true);
  std::uint8_t size = 0;
  bool hiRom = false;
  ASSERT_TRUE(DetectCartridge(&size, &hiRom));
  EXPECT_EQ(size, 32);  // 64 KB banks
  EXPECT_TRUE(hiRom);
}

TEST_F(DetectionEmulatorTest, EmptySlotIsNoCartridge) {
  ASSERT_TRUE(EnsureLinkReady());
  std::uint8_t size = 0x55;
  EXPECT_FALSE(DetectCartridge(&size, nullptr));
  EXPECT_EQ(size, 0x55);
}

}  // namespace
}  // namespace ql::testing

// Function packets as events, and the state folder that carries the
// copier's memory from one run to the next.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/emulator/pc_side.h"
#include "tests/emulator/test_data.h"

namespace ql::emu::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class StateFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("quillon-emu-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  Options WithState(Device device = Device::Swc) const {
    Options options;
    options.device = device;
    options.stateDir = (folder_ / "nested").string();
    return options;
  }

  VirtualClock clock_;
  fs::path folder_;
};

TEST(Events, FunctionPacketsAreRecordedAsUppercaseHexLines) {
  VirtualClock clock;
  Copier copier(Options{}, clock);
  PcSide pc(copier);
  ASSERT_TRUE(pc.SelectBankPage(0, 0));
  ASSERT_TRUE(pc.Function(5, 0x40, 0x01, 0));
  ASSERT_TRUE(pc.Function(1, 0x2C, 0, 0));
  ASSERT_TRUE(pc.Function(2, 0, 0, 0));
  ASSERT_TRUE(pc.Function(3, 0xAB, 0xCD, 0xEF));
  EXPECT_EQ(copier.Events(),
            (std::vector<std::string>{"F 05 40 01 00", "F 01 2C 00 00", "F 02 00 00 00", "F 03 AB CD EF"}));
}

TEST(Events, FunctionPacketWithBadCheckIsNotRecorded) {
  VirtualClock clock;
  Copier copier(Options{}, clock);
  PcSide pc(copier);
  auto packet = PcSide::PacketBytes(6, 2, 0, 0, 0);
  packet[8] = 0x00;
  ASSERT_TRUE(pc.SendAll(packet));
  EXPECT_TRUE(copier.Events().empty());
}

TEST_F(StateFolderTest, MissingFolderMeansZeroedMemory) {
  Copier copier(WithState(), clock_);
  EXPECT_EQ(copier.Sram(), std::vector<std::uint8_t>(32768, 0));
  EXPECT_EQ(copier.DramSize(), 0u);
  EXPECT_FALSE(fs::exists(folder_)) << "nothing is written before an event or the end";
}

TEST_F(StateFolderTest, SecondCopierSeesWhatTheFirstHeld) {
  const auto header = Pattern(512, 1);
  const auto block = Pattern(8192, 2);
  const auto sram = Pattern(32768, 3);
  const auto area = Pattern(262144, 4);
  {
    Copier first(WithState(), clock_);
    PcSide pc(first);
    ASSERT_TRUE(pc.SelectBankPage(0, 0));
    ASSERT_TRUE(pc.Write(0x0400, header));
    ASSERT_TRUE(pc.SelectBankPage(0, 2));
    ASSERT_TRUE(pc.Write(0x8000, block));
    first.Sram() = sram;
    first.RealTimeArea() = area;
    ASSERT_TRUE(pc.Function(5, 3, 0, 0));
  }
  EXPECT_EQ(fs::file_size(folder_ / "nested" / "dram.bin"), 3u * 8192) << "only up to the highest page written";
  EXPECT_EQ(fs::file_size(folder_ / "nested" / "sram.bin"), 32768u);
  EXPECT_EQ(fs::file_size(folder_ / "nested" / "rtsarea.bin"), 262144u);
  Copier second(WithState(), clock_);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), second.UploadHeader().begin()));
  EXPECT_EQ(second.DramPage(2), block);
  EXPECT_EQ(second.DramPage(0), std::vector<std::uint8_t>(8192, 0));
  EXPECT_EQ(second.Sram(), sram);
  EXPECT_EQ(second.RealTimeArea(), area);
  EXPECT_TRUE(second.Events().empty()) << "events belong to the run";
}

TEST_F(StateFolderTest, FunctionPacketSavesAtOnceAndEventsAppendAcrossRuns) {
  {
    Copier first(WithState(), clock_);
    PcSide pc(first);
    ASSERT_TRUE(pc.SelectBankPage(0, 0));
    ASSERT_TRUE(pc.Write(0x8000, {0x99}));
    ASSERT_TRUE(pc.Function(5, 8, 0, 0));
    // Saved before the copier goes away.
    EXPECT_EQ(ReadText(folder_ / "nested" / "events.log"), "F 05 08 00 00\n");
    std::ifstream dram(folder_ / "nested" / "dram.bin", std::ios::binary);
    EXPECT_EQ(dram.get(), 0x99);
    ASSERT_TRUE(pc.Function(1, 0x2D, 0, 0));
  }
  {
    Copier second(WithState(), clock_);
    PcSide pc(second);
    ASSERT_TRUE(pc.Function(2, 0, 0, 0));
    second.SaveState();
  }
  EXPECT_EQ(ReadText(folder_ / "nested" / "events.log"), "F 05 08 00 00\nF 01 2D 00 00\nF 02 00 00 00\n");
}

TEST_F(StateFolderTest, ParkingThePortSavesButStrobeWritesDoNot) {
  Copier copier(WithState(), clock_);
  PcSide pc(copier);
  ASSERT_TRUE(pc.SelectBankPage(0, 0));
  ASSERT_TRUE(pc.Write(0x8000, {0x5C}));
  // A STROBE flip written whole (an inpout caller has no bit inversion).
  copier.PortOut(0x37A, copier.ControlRegister() ^ 1);
  EXPECT_FALSE(fs::exists(folder_ / "nested" / "dram.bin"));
  copier.PortOut(0x378, 0x00);
  copier.PortOut(0x37A, 0x0C);
  std::ifstream dram(folder_ / "nested" / "dram.bin", std::ios::binary);
  EXPECT_EQ(dram.get(), 0x5C);
}

TEST_F(StateFolderTest, SmdModeWritesAreEventsAndNoRealTimeAreaIsKept) {
  {
    Copier smd(WithState(Device::Smd), clock_);
    PcSide pc(smd);
    ASSERT_TRUE(pc.WriteByte(0x2001, 0));
    ASSERT_TRUE(pc.SelectPage(1));
    ASSERT_TRUE(pc.Write(0x8000, std::vector<std::uint8_t>(16384, 0x44)));
    ASSERT_TRUE(pc.WriteByte(0x2001, 7));
  }
  EXPECT_EQ(ReadText(folder_ / "nested" / "events.log"), "W 2001 00\nW 2001 07\n");
  EXPECT_EQ(fs::file_size(folder_ / "nested" / "dram.bin"), 2u * 16384);
  EXPECT_FALSE(fs::exists(folder_ / "nested" / "rtsarea.bin"));
  Copier again(WithState(Device::Smd), clock_);
  EXPECT_EQ(again.DramPage(1), std::vector<std::uint8_t>(16384, 0x44));
}

TEST_F(StateFolderTest, ShortOrOversizedFilesAreTakenAsFarAsTheyFit) {
  fs::create_directories(folder_ / "nested");
  std::ofstream(folder_ / "nested" / "sram.bin", std::ios::binary) << std::string(40000, '\x11');
  std::ofstream(folder_ / "nested" / "dram.bin", std::ios::binary) << std::string(8193, '\x22');
  std::ofstream(folder_ / "nested" / "header.bin", std::ios::binary) << "AB";
  Copier copier(WithState(), clock_);
  EXPECT_EQ(copier.Sram(), std::vector<std::uint8_t>(32768, 0x11));
  EXPECT_EQ(copier.DramSize(), 2u * 8192) << "a cut page is completed";
  EXPECT_EQ(copier.DramPage(1)[0], 0x22);
  EXPECT_EQ(copier.DramPage(1)[1], 0x00);
  EXPECT_EQ(copier.UploadHeader()[1], 'B');
  EXPECT_EQ(copier.UploadHeader()[2], 0);
}

}  // namespace
}  // namespace ql::emu::testing

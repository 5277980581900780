// Events, the state folder that carries the copier's memory from one run to
// the next, and the option text after "sim:".
#include <filesystem>
#include <fstream>
#include <random>

#include "tests/emulator/pc_side.h"

namespace ql::emu::testing {
namespace {

namespace fs = std::filesystem;

class StateFolder : public ::testing::Test {
 protected:
  ~StateFolder() override { fs::remove_all(root_); }
  Options With(Device device = Device::Swc) const { return Make(device, Fault::None, 0, dir_.string()); }
  const fs::path root_ = fs::temp_directory_path() / ("quillon-emu-" + std::to_string(std::random_device{}()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
  const fs::path dir_ = root_ / "nested";
};

TEST_F(StateFolder, SecondCopierSeesWhatTheFirstHeldAndEventsAppend) {
  const Bytes header = Pattern(512, 1), block = Pattern(8192, 2), sram = Pattern(32768, 3), area = Pattern(262144, 4);
  {
    Rig first(With());
    ASSERT_TRUE(first.pc.Write(0x0400, header) && first.pc.Page(2) && first.pc.Write(0x8000, block));
    first.copier.Sram() = sram;
    first.copier.RealTimeArea() = area;
    EXPECT_FALSE(fs::exists(root_)) << "nothing is saved before an event";
    // Function packets: command 6, the four parameters sent as address and length, low byte first.
    ASSERT_TRUE(first.pc.Command(6, 0x0805));
    EXPECT_EQ(ReadText(dir_ / "events.log"), "F 05 08 00 00\n") << "a function packet saves at once";
    ASSERT_TRUE(first.pc.Command(6, 0xAB03, 0xEFCD));
  }
  EXPECT_EQ(fs::file_size(dir_ / "dram.bin"), 3u * 8192) << "up to the highest page written";
  Rig second(With());
  EXPECT_EQ(Bytes(second.copier.UploadHeader().begin(), second.copier.UploadHeader().end()), header);
  EXPECT_EQ(second.copier.DramPage(2), block);
  EXPECT_EQ(second.copier.Sram(), sram);
  EXPECT_EQ(second.copier.RealTimeArea(), area);
  ASSERT_TRUE(second.pc.Command(6, 0x0002));
  EXPECT_EQ(second.copier.Events(), std::vector<std::string>{"F 02 00 00 00"}) << "events belong to the run";
  EXPECT_EQ(ReadText(dir_ / "events.log"), "F 05 08 00 00\nF 03 AB CD EF\nF 02 00 00 00\n");
}

TEST_F(StateFolder, ParkingThePortSavesButAStrobeWrittenWholeDoesNot) {
  Rig rig(With());
  ASSERT_TRUE(rig.pc.Write(0x8000, {0x5C}));
  rig.copier.PortOut(0x37A, rig.copier.ControlRegister() ^ 1);
  EXPECT_FALSE(fs::exists(dir_ / "dram.bin"));
  rig.copier.PortOut(0x37A, 0x0C);
  EXPECT_EQ(ReadText(dir_ / "dram.bin").substr(0, 1), "\x5C");
}

// The SMD map, and its state kept without a real-time area.
TEST_F(StateFolder, SmdHeaderAt0xDC00DramPagesAndSramHalves) {
  Rig rig(With(Device::Smd));
  const Bytes sram = Pattern(32768, 2), header = Pattern(512, 3);
  rig.copier.Sram() = sram;
  EXPECT_EQ(rig.pc.Read(0x4000, 16384), Slice(sram, 0, 16384)) << "at power-up";
  ASSERT_TRUE(rig.pc.Write(0xDC00, header) && rig.pc.Write(0x2001, {0}));
  EXPECT_EQ(Bytes(rig.copier.UploadHeader().begin(), rig.copier.UploadHeader().end()), header);
  for (std::uint16_t page : {1, 200, 255}) {
    ASSERT_TRUE(rig.pc.Page(page) && rig.pc.Write(0x8000, Pattern(16384, page)));
    EXPECT_EQ(rig.copier.DramPage(page), Pattern(16384, page));
  }
  EXPECT_EQ(rig.copier.DramSize(), 256u * 16384);
  ASSERT_TRUE(rig.pc.Write(0x2001, {3}));  // after a run an SRAM download finds the SRAM
  EXPECT_EQ(rig.pc.Read(0x4000, 16384), Slice(sram, 0, 16384));
  EXPECT_EQ(rig.pc.Read(0x8000, 16384), Slice(sram, 16384, 16384));
  ASSERT_TRUE(rig.pc.Write(0x2001, {4}) && rig.pc.Write(0x7FFF, {1, 2}));  // one write across both halves
  EXPECT_EQ(Slice(rig.copier.Sram(), 16383, 2), (Bytes{1, 2}));
  EXPECT_EQ(rig.copier.SmdMode(), 4);
  EXPECT_EQ(rig.copier.DramSize(), 256u * 16384);
  EXPECT_EQ(ReadText(dir_ / "events.log"), "W 2001 00\nW 2001 03\nW 2001 04\n");
  EXPECT_FALSE(fs::exists(dir_ / "rtsarea.bin"));
  EXPECT_EQ(Rig(With(Device::Smd)).copier.DramPage(255), Pattern(16384, 255));
}

TEST_F(StateFolder, ShortOrOversizedFilesAreTakenAsFarAsTheyFit) {
  fs::create_directories(dir_);
  std::ofstream(dir_ / "sram.bin", std::ios::binary) << std::string(40000, '\x11');
  std::ofstream(dir_ / "dram.bin", std::ios::binary) << std::string(8193, '\x22');
  std::ofstream(dir_ / "header.bin", std::ios::binary) << "AB";
  Rig rig(With());
  EXPECT_EQ(rig.copier.Sram(), Bytes(32768, 0x11));
  EXPECT_EQ(rig.copier.DramSize(), 2u * 8192) << "a cut page is completed";
  EXPECT_EQ(Slice(rig.copier.DramPage(1), 0, 2), (Bytes{0x22, 0}));
  EXPECT_EQ(Slice(Bytes(rig.copier.UploadHeader().begin(), rig.copier.UploadHeader().end()), 0, 3),
            (Bytes{'A', 'B', 0}));
}

TEST(ParseOptions, GoodTextStartsFromTheDefaults) {
  const auto parsed = [](const std::string& text) {
    Options options = Make(Device::Smd, Fault::Stall, 7);
    std::string error;
    EXPECT_TRUE(ParseOptions(text, options, error)) << text << ": " << error;
    return options;
  };
  EXPECT_EQ(std::tuple(parsed("").device, parsed("").fault, parsed("").stallAfterBytes),
            std::tuple(Device::Swc, Fault::None, 0u));
  EXPECT_EQ(parsed("fault=dead").fault, Fault::Dead);
  EXPECT_EQ(parsed("fault=badcheck").fault, Fault::BadCheck);
  EXPECT_EQ(std::tuple(parsed("fault=slow:400").fault, parsed("fault=slow:400").slowMs), std::tuple(Fault::Slow, 400u));
  EXPECT_EQ(parsed("state=Z:\\x").stateDir, "Z:\\x");
  const fs::path cart = fs::temp_directory_path() / ("quillon-emu-cart-" + std::to_string(std::random_device{}()));
  std::ofstream(cart, std::ios::binary) << std::string(131072, '\x5A');
  const Options options = parsed("device=smd,state=/tmp/a b,cart=" + cart.string() + ",hirom=1,rts=0,fault=stall:123");
  EXPECT_EQ(std::tuple(options.device, options.stateDir, options.hiRom, options.realTimeSignature, options.fault,
                       options.stallAfterBytes),
            std::tuple(Device::Smd, "/tmp/a b", true, false, Fault::Stall, 123u));
  EXPECT_EQ(Rig(options).pc.ReadByte(0xDFF1), 1) << "the cartridge is plugged in at construction";
  fs::remove(cart);
  const Options flaky = parsed("noise=0,cartnoise=1000000,seed=18446744073709551615,fault=badcheck");
  EXPECT_EQ(std::tuple(flaky.noisePpm, flaky.cartridgeNoisePpm, flaky.seed, flaky.fault),
            std::tuple(0u, 1'000'000u, std::optional<std::uint64_t>(18446744073709551615u), Fault::BadCheck));
  EXPECT_FALSE(parsed("noise=5").seed) << "the clock seeds it";
  const std::tuple<const char*, std::uint32_t, std::uint8_t> dramFaults[] = {
      {"dramfault=0x2005:3", 0x2005, 3},
      {"dramfault=8191:0", 8191, 0},
      {"dramfault=0X7FFFFF:7", 0x7FFFFF, 7},
      {"device=smd,dramfault=0x3FFFFF:1", 0x3FFFFF, 1}};
  for (const auto& [text, offset, bit] : dramFaults) {
    const auto fault = parsed(text).dramFault;
    ASSERT_TRUE(fault) << text;
    EXPECT_EQ(std::tuple(fault->offset, fault->bit), std::tuple(offset, bit)) << text;
  }
}

// Each bad text fails, names its bad part (after the "|"), and leaves the options alone.
TEST(ParseOptions, BadPartsAreNamed) {
  const auto refused = [](const std::string& row) {
    const std::string text = row.substr(0, row.find('|'));
    Options options = Make(Device::Smd);
    std::string error;
    EXPECT_FALSE(ParseOptions(text, options, error)) << text;
    EXPECT_NE(error.find(row.substr(row.find('|') + 1)), std::string::npos) << text << " -> " << error;
    EXPECT_EQ(options.device, Device::Smd) << text;
  };
  for (const char* row : {"device=snes|snes", "colour=red|colour", "device|device", "hirom=yes|hirom", "rts=2|rts",
                          "fault=slow|fault", "fault=slow:|fault", "fault=slow:-5|-5", "fault=stall:12x|stall:12x",
                          "fault=stall:99999999999999999999|fault", "fault=melt|melt", "state=|state",
                          "device=swc,,rts=0|empty", "device=swc,|empty", "cart=/nonexistent/c.smc|/nonexistent/c.smc"})
    refused(row);
  // The flaky copier's options.
  for (const char* row :
       {"noise=1000001|1000001", "noise=-1|noise", "cartnoise=|cartnoise", "cartnoise=5%|5%", "seed=x|seed",
        "seed=-3|-3", "dramfault=5|dramfault", "dramfault=5:8|5:8", "dramfault=0x:1|0x:1", "dramfault=1:|dramfault",
        "dramfault=0x800000:0|beyond", "dramfault=0x400000:0,device=smd|4 MB"})
    refused(row);
}

}  // namespace
}  // namespace ql::emu::testing

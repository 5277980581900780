// The option text after "sim:" and in QUILLON_SIM.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "emulator/copier.h"

namespace ql::emu {
namespace {

TEST(ParseOptions, EmptyTextGivesTheDefaults) {
  Options options;
  options.device = Device::Smd;
  std::string error;
  ASSERT_TRUE(ParseOptions("", options, error));
  EXPECT_EQ(options.device, Device::Swc);
  EXPECT_TRUE(options.realTimeSignature);
  EXPECT_FALSE(options.hiRom);
  EXPECT_EQ(options.fault, Fault::None);
  EXPECT_TRUE(options.stateDir.empty());
}

TEST(ParseOptions, EveryKeyIsTaken) {
  const auto cart = std::filesystem::temp_directory_path() / "quillon-emu-options-cart.sfc";
  std::ofstream(cart) << "rom";
  Options options;
  std::string error;
  ASSERT_TRUE(ParseOptions("device=smd,state=/tmp/a b,cart=" + cart.string() + ",hirom=1,rts=0,fault=stall:123",
                           options, error))
      << error;
  EXPECT_EQ(options.device, Device::Smd);
  EXPECT_EQ(options.stateDir, "/tmp/a b");
  EXPECT_EQ(options.cartridgeFile, cart.string());
  EXPECT_TRUE(options.hiRom);
  EXPECT_FALSE(options.realTimeSignature);
  EXPECT_EQ(options.fault, Fault::Stall);
  EXPECT_EQ(options.stallAfterBytes, 123u);
  std::filesystem::remove(cart);
}

TEST(ParseOptions, FaultKinds) {
  Options options;
  std::string error;
  ASSERT_TRUE(ParseOptions("fault=dead", options, error));
  EXPECT_EQ(options.fault, Fault::Dead);
  ASSERT_TRUE(ParseOptions("fault=badcheck", options, error));
  EXPECT_EQ(options.fault, Fault::BadCheck);
  ASSERT_TRUE(ParseOptions("fault=slow:400", options, error));
  EXPECT_EQ(options.fault, Fault::Slow);
  EXPECT_EQ(options.slowMs, 400u);
  ASSERT_TRUE(ParseOptions("state=Z:\\tmp\\copier", options, error));
  EXPECT_EQ(options.stateDir, "Z:\\tmp\\copier");
  EXPECT_EQ(options.fault, Fault::None) << "each parse starts from the defaults";
}

// Each bad text fails, names its bad part, and leaves the options alone.
TEST(ParseOptions, BadPartsAreNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {"device=snes", "snes"},
      {"colour=red", "colour"},
      {"device", "device"},
      {"hirom=yes", "hirom"},
      {"rts=2", "rts"},
      {"fault=slow", "fault"},
      {"fault=slow:", "fault"},
      {"fault=slow:-5", "-5"},
      {"fault=stall:12x", "stall:12x"},
      {"fault=stall:99999999999999999999999", "fault"},
      {"fault=melt", "melt"},
      {"state=", "state"},
      {"device=swc,,rts=0", "empty"},
      {"device=swc,", "empty"},
      {"cart=/nonexistent/quillon/cart.smc", "/nonexistent/quillon/cart.smc"},
  };
  for (const auto& [text, named] : cases) {
    Options options;
    options.device = Device::Smd;
    std::string error;
    EXPECT_FALSE(ParseOptions(text, options, error)) << text;
    EXPECT_NE(error.find(named), std::string::npos) << text << " -> " << error;
    EXPECT_EQ(options.device, Device::Smd) << text;
  }
}

TEST(ParseOptions, CartridgeFileIsPluggedInAtConstruction) {
  const auto cart = std::filesystem::temp_directory_path() / "quillon-emu-options-cart.bin";
  {
    std::ofstream out(cart, std::ios::binary);
    for (int i = 0; i < 131072; ++i) out.put(static_cast<char>(i & 0xFF));
  }
  Options options;
  std::string error;
  ASSERT_TRUE(ParseOptions("device=smd,cart=" + cart.string(), options, error)) << error;
  VirtualClock clock;
  Copier copier(options, clock);
  // 0xDFF1 through the wire: packet, then two nibbles per byte.
  const std::uint8_t packet[] = {0xD5, 0xAA, 0x96, 0x01, 0xF1, 0xDF, 0x01, 0x00, 0x81 ^ 0x01 ^ 0xF1 ^ 0xDF ^ 0x01};
  for (std::uint8_t b : packet) {
    copier.PortOut(0x378, b);
    copier.NotPortBit(0x37A, 0);
  }
  EXPECT_EQ((copier.PortIn(0x379) >> 3) & 0x0F, 1) << "one 128 KB unit";
  std::filesystem::remove(cart);
}

}  // namespace
}  // namespace ql::emu

#include "link/port_binding.h"

#include <cerrno>
#include <cstring>

#include "link/copier_ops.h"
#include "link/ports/port_argument.h"
#include "link/ports/port_backends.h"
#include "link/ports/rebased_port.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

TEST(PortBinding, LptBaseMapsChoicesAndAddressesAndKeepsTheBaseOtherwise) {
  // Base 0: refused.
  const std::pair<unsigned, std::uint16_t> rows[] = {{1, 0x378}, {0x378, 0x378}, {0x278, 0x278}, {0x3BC, 0x3BC},
                                                     {0, 0},     {4, 0},         {0x379, 0},     {0x10378, 0}};
  for (const auto& [port, base] : rows) {
    ASSERT_TRUE(SetLptBase(base == 0x278 ? 3 : 2));
    const std::uint16_t before = LptBase();
    EXPECT_EQ(SetLptBase(port), base != 0) << port;
    EXPECT_EQ(LptBase(), base ? base : before) << port;
  }
}

// A missing library: its message every time, and an operation stops at the
// gate without a time-out. An absent driver: its message, the library
// unloaded, and exit leaves the port alone. Exit parks a bound port once.
TEST(PortBinding, LoadingFailuresAndExit) {
  Wire wire;
  wire.missing = true;
  ExecuteImage();  // a loader without a reason gets the load text
  wire.failure = "Cannot open /dev/parport0: permission denied.";
  EXPECT_FALSE(EnsureLinkReady());
  wire.missing = false;
  wire.driver = 0;
  EXPECT_FALSE(EnsureLinkReady());
  EXPECT_FALSE(LinkOpen());
  ShutdownPortDriver();
  EXPECT_EQ(wire.loads, 3);
  EXPECT_TRUE(wire.ops.empty());
  const std::string texts[] = {
      "Could not load IO.DLL\nThis file is used to communicate with your copier.\nYou can download IO.DLL from "
      "http://www.geekhideout.com/iodll.shtml",
      wire.failure,
      "Could not install IO driver.\nTry disabling IO.SYS by opening a Command Prompt and entering \"net stop "
      "io.sys\""};
  const auto messages = wire.sim.window().Messages();
  ASSERT_EQ(messages.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(messages[i].text, texts[i]);
    EXPECT_EQ(messages[i].caption, "SWC Interface");
    EXPECT_EQ(messages[i].icon, MessageIcon::Stop);
  }
  wire.driver = 1;
  wire.Bind();
  ShutdownPortDriver();
  ShutdownPortDriver();
  EXPECT_EQ(wire.Shape(), "O378=00 O37A=0C");
  EXPECT_FALSE(LinkOpen());
  EXPECT_TRUE(EnsureLinkReady());  // a link used after exit binds again
  EXPECT_EQ(wire.loads, 5);
}

TEST(PortBinding, APortChangeReMeasuresTheCounterWithoutReloading) {
  const struct {
    unsigned port;
    std::uint64_t frequency;
    bool available;
    std::uint16_t base;
    std::uint64_t ticksPerMs;
  } rows[] = {{1, 1999, true, 0x378, 1},
              {3, 999, true, 0x3BC, 0},
              {2, 10'000'000, false, 0x278, 0},
              {9, 10'000'000, true, 0x278, 0}};  // refused: nothing changes
  Wire wire;
  SelectedLpt = 7;  // no such port: refused before anything is loaded
  EXPECT_FALSE(EnsureLinkReady());
  EXPECT_EQ(wire.loads, 0);
  SelectedLpt = 3;
  wire.Bind();
  SelectedLpt = 1;  // a later change goes through InitPortDriver
  EXPECT_TRUE(EnsureLinkReady());
  EXPECT_EQ(LptBase(), 0x3BC);
  for (const auto& row : rows) {
    wire.sim.clock().SetFrequency(row.frequency, row.available);
    EXPECT_EQ(InitPortDriver(row.port), row.port < 4) << row.frequency;
    EXPECT_EQ(LptBase(), row.base) << row.frequency;
    EXPECT_EQ(TicksPerMs(), row.ticksPerMs) << row.frequency;
  }
  EXPECT_EQ(wire.loads, 1);
  EXPECT_TRUE(wire.ops.empty() && wire.sim.window().Messages().empty());
}

// What the parser made of `text`, or its message.
std::string Parse(const std::string& text) {
  PortArgument argument;
  std::string error;
  if (!ParsePortArgument(text, argument, error)) return error;
  if (argument.kind == PortArgument::Kind::Lpt) return "lpt " + std::to_string(argument.lpt);
  if (argument.kind == PortArgument::Kind::DeviceFile) return "file " + argument.devicePath;
  if (argument.kind == PortArgument::Kind::Bridge)
    return "bridge " + argument.bridgeDevice + "@" + std::to_string(argument.baud);
  char base[8];
  std::snprintf(base, sizeof base, "0x%04X", argument.base);
  return std::string("io ") + base;
}

std::string Open(const std::string& port) {
  std::string error;
  return OpenPortBackend(port, error) ? "opened" : error;
}

TEST(PortArgument, ArgumentsAndTheMessagesOfPortsThatDoNotOpen) {
  const std::string bad = "': give a nonzero base from 0x0001 to 0xFFFD, such as 0x378 or 0xD010";
  const std::string unknown = "': use lpt1, lpt2, lpt3, /dev/parportN or 0xHHHH (the port's base address)";
  const std::pair<const char*, const char*> accepted[] = {
      {"LPT2", "lpt 2"},
      {"Lpt3", "lpt 3"},
      {"/dev/parport12", "file /dev/parport12"},
      {"0X3bc", "io 0x03BC"},
      {"0xFFFD", "io 0xFFFD"},
      {"0x1", "io 0x0001"},
      {"BRIDGE", "bridge @1000000"},
      {"bridge,baud=250000", "bridge @250000"},
      {"bridge:/dev/ttyACM1,baud=2000000", "bridge /dev/ttyACM1@2000000"}};
  for (const auto& [text, parsed] : accepted) EXPECT_EQ(Parse(text), parsed);
  // 0x100000378 would wrap to 0x378 in 32 bits.
  for (std::string text : {"0x", "0x0", "0xFFFE", "0x100000378", "0x37G"})
    EXPECT_EQ(Parse(text), "Bad port address '" + text + bad);
  for (std::string text : {"lpt0", "lpt4", "lpt12", "/dev/parport", "/dev/parportx", "bridges"})
    EXPECT_EQ(Parse(text), "Unknown port '" + text + unknown);
  for (std::string option : {"baud=115200", "speed=1", "baud=99999999999999999999999"})
    EXPECT_EQ(Parse("bridge," + option), "Bad bridge option '" + option + "' in 'bridge," + option +
                                             "': use baud=250000, 500000, 1000000 or 2000000");
  EXPECT_EQ(Parse("bridge:"), "Bad bridge port 'bridge:': use bridge, bridge:DEVICE or either with ,baud=N");
  const std::string p0 = "/dev/parport0", eio = std::strerror(EIO);
  const std::pair<std::string, std::string> rows[] = {
      // a message and what it must say
      {std::to_string(LptBaseAddress(1)) + std::to_string(LptBaseAddress(2)) + std::to_string(LptBaseAddress(3)),
       std::to_string(0x378) + std::to_string(0x278) + std::to_string(0x3BC)},
      {DeviceOpenErrorText(ENOENT, p0, {}),
       "parport_pc module loaded (sudo modprobe parport_pc ppdev)? No /dev/parport* "},
      {DeviceOpenErrorText(ENXIO, p0, {p0, "/dev/parport3"}), "? Present: /dev/parport0 /dev/parport3"},
      {DeviceOpenErrorText(ENODEV, p0, {}), "Cannot open /dev/parport0: no such parallel port. Is the parport_pc"},
      {DeviceOpenErrorText(EACCES, p0, {}),
       "Cannot open /dev/parport0: permission denied. Add yourself to the 'lp' group"},
      {DeviceOpenErrorText(EPERM, p0, {}), ": permission denied. Add yourself to the 'lp' group (sudo usermod -aG lp"},
      {DeviceOpenErrorText(EBUSY, p0, {}),
       "Cannot open /dev/parport0: the port is busy. Another driver such as lp holds"},
      {DeviceOpenErrorText(EIO, p0, {}), "Cannot open /dev/parport0: " + eio + "."},
      {DeviceClaimErrorText(EBUSY, p0), "Cannot claim /dev/parport0: the port is busy. Another driver such as lp"},
      {DeviceClaimErrorText(ENXIO, p0), "; unload it (sudo rmmod lp) or stop the program using the port."},
      {DeviceClaimErrorText(EIO, p0), "Cannot claim /dev/parport0: " + eio + "."},
      {DirectIoErrorText(EPERM, 0xD010), "Direct port access at 0xD010 needs root: run as root, or use /dev/parportN"},
      {DirectIoErrorText(EACCES, 0xD010), " needs root: run as root, or use /dev/parportN (ppdev) instead."},
      {DirectIoErrorText(EINVAL, 0x378), "Direct port access at 0x0378 failed: " + std::string(std::strerror(EINVAL))},
      {Open("com1"), "Unknown port 'com1" + unknown},
      {Open("/dev/parport987"), "Cannot open /dev/parport987: no such parallel port"}};
  for (const auto& [actual, says] : rows) EXPECT_THAT(actual, ::testing::HasSubstr(says));
}

TEST(PortArgument, ARebasedPortMovesTheRegistersToItsBase) {
  Wire wire;
  RebasedPort port(std::make_unique<Wire::Tap>(wire), 0xD010);
  port.PortOut(0x378, 0x55);
  port.NotPortBit(0x37A, 0);
  port.PortIn(0x279);
  EXPECT_EQ(wire.Shape(), "OD010=55 ND012.0 ID011");
}

}  // namespace
}  // namespace ql::testing

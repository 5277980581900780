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

// A missing library: its message every time, and an operation stops at the
// gate without a time-out. An absent driver: its message, the library
// unloaded, and exit leaves the port alone. Exit parks a bound port once.
TEST(PortBinding, LoadingFailuresAndExit) {
  Wire wire;
  wire.failure = "";
  ExecuteImage();  // a loader without a reason gets the load text
  wire.failure = "Cannot open /dev/parport0: permission denied.";
  EXPECT_FALSE(EnsureLinkReady());
  wire.failure.reset();
  wire.driver = 0;
  EXPECT_FALSE(EnsureLinkReady());
  ShutdownPortDriver();
  EXPECT_EQ(wire.loads, 3);
  EXPECT_TRUE(wire.ops.empty());
  EXPECT_EQ(StopMessages(wire.sim, "SWC Interface"),
            (std::vector<std::string>{
                "Could not load IO.DLL\nThis file is used to communicate with your copier.\nYou can download IO.DLL "
                "from http://www.geekhideout.com/iodll.shtml",
                "Cannot open /dev/parport0: permission denied.",
                "Could not install IO driver.\nTry disabling IO.SYS by opening a Command Prompt and entering \"net "
                "stop io.sys\""}));
  wire.driver = 1;
  wire.Bind();
  ShutdownPortDriver();
  ShutdownPortDriver();
  EXPECT_EQ(wire.Shape(), "O378=00 O37A=0C");
  EXPECT_TRUE(EnsureLinkReady());  // a link used after exit binds again
  EXPECT_EQ(wire.loads, 5);
}

// The library is loaded once; each port taken re-measures the counter (below
// 1 kHz, or none: 0 ticks per ms). A refused port changes nothing.
TEST(PortBinding, APortChangeReMeasuresTheCounterWithoutReloading) {
  const struct {
    unsigned port;
    std::uint64_t frequency;
    bool available;
    std::uint16_t base;  // 0: refused
    std::uint64_t ticksPerMs;
  } rows[] = {{1, 1999, true, 0x378, 1},
              {0x3BC, 999, true, 0x3BC, 0},
              {0x278, 10'000'000, false, 0x278, 0},
              {0x378, 10'000'000, true, 0x378, 10'000},
              {0, 1000, true, 0, 10'000},
              {0x10378, 1000, true, 0, 10'000}};  // not cut to 16 bits
  Wire wire;
  SelectedLpt = 7;  // no such port: refused before anything is loaded
  EXPECT_FALSE(EnsureLinkReady());
  EXPECT_EQ(wire.loads, 0);
  SelectedLpt = 3;
  wire.Bind();
  SelectedLpt = 2;  // a later change goes through InitPortDriver
  EXPECT_TRUE(EnsureLinkReady());
  EXPECT_EQ(LptBase(), 0x3BC);
  for (const auto& row : rows) {
    wire.sim.clock().SetFrequency(row.frequency, row.available);
    EXPECT_EQ(InitPortDriver(row.port), row.base != 0) << row.port;
    EXPECT_EQ(LptBase(), row.base ? row.base : 0x378) << row.port;
    EXPECT_EQ(TicksPerMs(), row.ticksPerMs) << row.port;
  }
  EXPECT_FALSE(SetLptBase(kBridgeChoice));  // a choice, but no LPT
  EXPECT_EQ(LptBase(), 0x378);
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
  const std::pair<const char*, const char*> accepted[] = {{"Lpt3", "lpt 3"},
                                                          {"/dev/parport12", "file /dev/parport12"},
                                                          {"0Xfffd", "io 0xFFFD"},
                                                          {"0x1", "io 0x0001"},
                                                          {"BRIDGE,baud=250000", "bridge @250000"},
                                                          {"bridge:/dev/ttyACM1", "bridge /dev/ttyACM1@1000000"}};
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

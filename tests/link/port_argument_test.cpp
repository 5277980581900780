#include "link/ports/port_argument.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "link/ports/port_backends.h"
#include "link/ports/rebased_port.h"
#include "tests/link/scripted_port.h"

namespace ql {
namespace {

TEST(PortArgumentTest, LptNamesInAnyCase) {
  for (const auto& [text, lpt] : {std::pair{"lpt1", 1}, {"LPT2", 2}, {"Lpt3", 3}}) {
    PortArgument argument;
    std::string error;
    ASSERT_TRUE(ParsePortArgument(text, argument, error)) << text;
    EXPECT_EQ(argument.kind, PortArgument::Kind::Lpt);
    EXPECT_EQ(argument.lpt, lpt);
  }
}

TEST(PortArgumentTest, DeviceFilesNeedANumber) {
  PortArgument argument;
  std::string error;
  ASSERT_TRUE(ParsePortArgument("/dev/parport12", argument, error));
  EXPECT_EQ(argument.kind, PortArgument::Kind::DeviceFile);
  EXPECT_EQ(argument.devicePath, "/dev/parport12");
  EXPECT_FALSE(ParsePortArgument("/dev/parport", argument, error));
  EXPECT_FALSE(ParsePortArgument("/dev/parportx", argument, error));
  EXPECT_FALSE(ParsePortArgument("/dev/lp0", argument, error));
}

TEST(PortArgumentTest, HexBasesWithRoomForThreeRegisters) {
  const struct {
    const char* text;
    std::uint16_t base;
  } accepted[] = {{"0x378", 0x378}, {"0xD010", 0xD010}, {"0xd010", 0xD010},
                  {"0X3bc", 0x3BC}, {"0xFFFD", 0xFFFD}, {"0x1", 0x0001}};
  for (const auto& row : accepted) {
    PortArgument argument;
    std::string error;
    ASSERT_TRUE(ParsePortArgument(row.text, argument, error)) << row.text;
    EXPECT_EQ(argument.kind, PortArgument::Kind::DirectIo);
    EXPECT_EQ(argument.base, row.base) << row.text;
  }
  for (const char* rejected : {"0x", "0x0", "0xFFFE", "0x10000", "0x37G", "0x-378"}) {
    PortArgument argument;
    std::string error;
    EXPECT_FALSE(ParsePortArgument(rejected, argument, error)) << rejected;
    EXPECT_NE(error.find("0xD010"), std::string::npos) << rejected;
  }
}

TEST(PortArgumentTest, UnknownNamesListTheChoices) {
  for (const char* rejected : {"", "lpt0", "lpt4", "lpt12", "com1", "888"}) {
    PortArgument argument;
    std::string error;
    EXPECT_FALSE(ParsePortArgument(rejected, argument, error)) << rejected;
    EXPECT_NE(error.find("lpt1, lpt2, lpt3, /dev/parportN or 0xHHHH"), std::string::npos) << rejected;
  }
}

TEST(PortArgumentTest, ClassicBasesAndDevices) {
  EXPECT_EQ(LptBaseAddress(1), 0x378);
  EXPECT_EQ(LptBaseAddress(2), 0x278);
  EXPECT_EQ(LptBaseAddress(3), 0x3BC);
  EXPECT_EQ(LptDevicePath(1), "/dev/parport0");
  EXPECT_EQ(LptDevicePath(3), "/dev/parport2");
}

TEST(PortErrorTextTest, MissingDeviceNamesTheModuleAndWhatExists) {
  const std::string none = DeviceOpenErrorText(ENOENT, "/dev/parport0", {});
  EXPECT_NE(none.find("/dev/parport0"), std::string::npos);
  EXPECT_NE(none.find("parport_pc"), std::string::npos);
  EXPECT_NE(none.find("No /dev/parport* device exists."), std::string::npos);
  const std::string some = DeviceOpenErrorText(ENXIO, "/dev/parport1", {"/dev/parport0", "/dev/parport3"});
  EXPECT_NE(some.find("Present: /dev/parport0 /dev/parport3"), std::string::npos);
  EXPECT_EQ(some.find("No /dev/parport"), std::string::npos);
}

TEST(PortErrorTextTest, PermissionDeniedPointsToTheLpGroup) {
  for (int error : {EACCES, EPERM}) {
    const std::string text = DeviceOpenErrorText(error, "/dev/parport0", {"/dev/parport0"});
    EXPECT_NE(text.find("permission denied"), std::string::npos);
    EXPECT_NE(text.find("'lp' group"), std::string::npos);
    EXPECT_NE(text.find("log in again"), std::string::npos);
  }
}

TEST(PortErrorTextTest, BusyPortNamesTheOtherDriver) {
  for (const std::string& text :
       {DeviceOpenErrorText(EBUSY, "/dev/parport0", {}), DeviceClaimErrorText(EBUSY, "/dev/parport0"),
        DeviceClaimErrorText(ENXIO, "/dev/parport0")}) {
    EXPECT_NE(text.find("busy"), std::string::npos) << text;
    EXPECT_NE(text.find("lp"), std::string::npos) << text;
  }
}

TEST(PortErrorTextTest, DirectIoRefusalAsksForRootOrPpdev) {
  const std::string text = DirectIoErrorText(EPERM, 0xD010);
  EXPECT_NE(text.find("0xD010"), std::string::npos);
  EXPECT_NE(text.find("root"), std::string::npos);
  EXPECT_NE(text.find("/dev/parportN"), std::string::npos);
  const std::string other = DirectIoErrorText(EINVAL, 0x378);
  EXPECT_EQ(other.find("root"), std::string::npos);
  EXPECT_NE(other.find("0x0378"), std::string::npos);
}

TEST(PortErrorTextTest, OtherErrorsCarryTheSystemText) {
  const std::string text = DeviceOpenErrorText(EIO, "/dev/parport0", {});
  EXPECT_NE(text.find(std::strerror(EIO)), std::string::npos);
}

TEST(PortBackendTest, BadArgumentIsRefusedBeforeAnyDeviceIsOpened) {
  std::string error;
  EXPECT_EQ(OpenPortBackend("com1", error), nullptr);
  EXPECT_NE(error.find("Unknown port 'com1'"), std::string::npos);
}

TEST(PortBackendTest, MissingDeviceFileGivesTheModuleHint) {
  std::string error;
  EXPECT_EQ(OpenPortBackend("/dev/parport987", error), nullptr);
  EXPECT_NE(error.find("Cannot open /dev/parport987"), std::string::npos);
  EXPECT_NE(error.find("parport_pc"), std::string::npos);
}

TEST(RebasedPortTest, RegistersMoveToTheBackEndsBase) {
  VirtualClock clock;
  auto library = std::make_unique<testing::ScriptedPort>(clock);
  testing::ScriptedPort& inner = *library;
  inner.SetBase(0xD010);
  RebasedPort port(std::move(library), 0xD010);
  port.PortOut(0x378, 0x55);
  port.NotPortBit(0x37A, 0);
  port.PortIn(0x279);
  const auto& ops = inner.Ops();
  ASSERT_EQ(ops.size(), 3u);
  EXPECT_EQ(ops[0].port, 0xD010);
  EXPECT_EQ(ops[1].port, 0xD012);
  EXPECT_EQ(ops[2].port, 0xD011);
  EXPECT_EQ(inner.Data(), 0x55);
}

}  // namespace
}  // namespace ql

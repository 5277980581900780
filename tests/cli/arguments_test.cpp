#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/copier_commands.h"
#include "cli/exit_codes.h"
#include "cli/port_selection.h"
#include "resources/resource_ids.h"

namespace ql::cli {
namespace {

ParseResult Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "quillon");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return ParseArguments(static_cast<int>(argv.size()), argv.data());
}

TEST(ParseArguments, GlobalOptionsBeforeOrAfterTheCommand) {
  ParseResult before = Parse({"--device", "smd", "--port", "sim", "--quiet", "info", "--json", "a.bin", "b.srm"});
  ASSERT_TRUE(before.invocation);
  EXPECT_EQ(before.invocation->device, "smd");
  EXPECT_EQ(before.invocation->port, "sim");
  EXPECT_TRUE(before.invocation->quiet);
  EXPECT_TRUE(before.invocation->json);
  EXPECT_EQ(before.invocation->files, (std::vector<std::string>{"a.bin", "b.srm"}));
  ParseResult after = Parse({"info", "a.bin", "--device", "smd"});
  ASSERT_TRUE(after.invocation);
  EXPECT_EQ(after.invocation->device, "smd");
  EXPECT_EQ(after.invocation->files, (std::vector<std::string>{"a.bin"}));
}

TEST(ParseArguments, DefaultsAndOptionalExecuteRom) {
  ParseResult plain = Parse({"execute"});
  ASSERT_TRUE(plain.invocation);
  EXPECT_EQ(plain.invocation->command, Command::Execute);
  EXPECT_EQ(plain.invocation->device, "swc");
  EXPECT_EQ(plain.invocation->port, "lpt1");
  EXPECT_TRUE(plain.invocation->files.empty());
  ParseResult withRom = Parse({"execute", "--realtime", "g.smc"});
  ASSERT_TRUE(withRom.invocation);
  EXPECT_TRUE(withRom.invocation->realTime);
  EXPECT_EQ(withRom.invocation->files, (std::vector<std::string>{"g.smc"}));
}

TEST(ParseArguments, CommandsWithFixedOperands) {
  ParseResult download = Parse({"download", "sram", "out.srm"});
  ASSERT_TRUE(download.invocation);
  EXPECT_EQ(download.invocation->what, "sram");
  EXPECT_EQ(download.invocation->outFile, "out.srm");
  ParseResult convert = Parse({"convert", "--to", "plain", "in.smd", "out.bin"});
  ASSERT_TRUE(convert.invocation);
  EXPECT_EQ(convert.invocation->command, Command::Convert);
  EXPECT_EQ(convert.invocation->what, "plain");
  ParseResult patch = Parse({"patch", "a", "b", "c"});
  ASSERT_TRUE(patch.invocation);
  EXPECT_EQ(patch.invocation->files.size(), 3u);
}

TEST(ParseArguments, UsageErrorsGiveExitStatusTwo) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{},
                                                                                    {"nothing"},
                                                                                    {"info"},
                                                                                    {"upload", "x", "a"},
                                                                                    {"download", "rom"},
                                                                                    {"execute", "a", "b"},
                                                                                    {"patch", "a", "b"},
                                                                                    {"patch", "a", "b", "c", "d"},
                                                                                    {"convert", "a", "b"},
                                                                                    {"--device", "nes", "probe"},
                                                                                    {"probe", "extra"},
                                                                                    {"info", "--realtime", "a"}}) {
    ParseResult result = Parse(args);
    EXPECT_FALSE(result.invocation);
    EXPECT_EQ(result.exitCode, kExitUsage) << ::testing::PrintToString(args);
  }
  ParseResult help = Parse({"--help"});
  EXPECT_FALSE(help.invocation);
  EXPECT_EQ(help.exitCode, kExitOk);
}

TEST(MenuCommandFor, EachSubcommandIsOneMenuCommand) {
  auto id = [](std::vector<std::string> args) { return MenuCommandFor(*Parse(std::move(args)).invocation); };
  EXPECT_EQ(id({"run", "a"}), IDM_UPLOAD_AND_RUN);
  EXPECT_EQ(id({"run", "--realtime", "a"}), IDM_UPLOAD_AND_RUN_REALTIME);
  EXPECT_EQ(id({"upload", "rom", "a"}), IDM_UPLOAD_ROM);
  EXPECT_EQ(id({"upload", "rom-ips", "a"}), IDM_UPLOAD_ROM_IPS);
  EXPECT_EQ(id({"upload", "sram", "a"}), IDM_UPLOAD_SRAM);
  EXPECT_EQ(id({"upload", "rts", "a"}), IDM_UPLOAD_REALTIME);
  EXPECT_EQ(id({"execute"}), IDM_EXECUTE);
  EXPECT_EQ(id({"execute", "--realtime"}), IDM_EXECUTE_REALTIME);
  EXPECT_EQ(id({"play"}), IDM_PLAY_CARTRIDGE);
  EXPECT_EQ(id({"cart-info"}), IDM_CARTRIDGE_INFO);
  EXPECT_EQ(id({"download", "rom", "o"}), IDM_DOWNLOAD_CARTRIDGE);
  EXPECT_EQ(id({"download", "sram", "o"}), IDM_DOWNLOAD_SRAM);
  EXPECT_EQ(id({"download", "rts", "o"}), IDM_DOWNLOAD_REALTIME);
  EXPECT_EQ(id({"info", "a"}), 0);
}

TEST(ParsePortChoice, RealPorts) {
  PortChoice choice;
  std::string error;
  ASSERT_TRUE(ParsePortChoice("lpt2", "swc", choice, error)) << error;
  EXPECT_EQ(choice.kind, PortChoice::Kind::Lpt);
  EXPECT_EQ(choice.lptNumber, 2u);
  EXPECT_EQ(DescribePort(choice), "ppdev /dev/parport1");
  ASSERT_TRUE(ParsePortChoice("/dev/parport3", "swc", choice, error)) << error;
  EXPECT_EQ(DescribePort(choice), "ppdev /dev/parport3");
  ASSERT_TRUE(ParsePortChoice("0xD010", "swc", choice, error)) << error;
  EXPECT_EQ(choice.kind, PortChoice::Kind::DirectIo);
  EXPECT_EQ(DescribePort(choice), "direct I/O 0xD010");
  for (const char* bad : {"lpt4", "com1", "0xZZ", "", "/dev/ttyS0", "simulator"}) {
    EXPECT_FALSE(ParsePortChoice(bad, "swc", choice, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

TEST(ParsePortChoice, TheEmulatorFollowsTheDevice) {
  PortChoice choice;
  std::string error;
  ASSERT_TRUE(ParsePortChoice("sim", "smd", choice, error)) << error;
  EXPECT_EQ(choice.simOptions.device, emu::Device::Smd);
  EXPECT_EQ(DescribePort(choice), "emulated SMD");
  ASSERT_TRUE(ParsePortChoice("sim:state=/tmp/s,fault=slow:5", "swc", choice, error)) << error;
  EXPECT_EQ(choice.simOptions.device, emu::Device::Swc);
  EXPECT_EQ(choice.simOptions.stateDir, "/tmp/s");
  EXPECT_EQ(choice.simOptions.fault, emu::Fault::Slow);
  EXPECT_EQ(choice.simOptions.slowMs, 5u);
  ASSERT_TRUE(ParsePortChoice("sim:device=smd", "smd", choice, error)) << error;
  EXPECT_EQ(choice.simOptions.device, emu::Device::Smd);
}

TEST(ParsePortChoice, BadEmulatorOptionsAndAnotherDeviceAreRefused) {
  PortChoice choice;
  std::string error;
  EXPECT_FALSE(ParsePortChoice("sim:fault=sometimes", "swc", choice, error));
  EXPECT_NE(error.find("sim:fault=sometimes"), std::string::npos) << error;
  EXPECT_FALSE(ParsePortChoice("sim:device=smd", "swc", choice, error));
  EXPECT_NE(error.find("--device swc"), std::string::npos) << error;
}

}  // namespace
}  // namespace ql::cli

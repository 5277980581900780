// The option text after "sim:".
#include "tests/emulator/pc_side.h"

namespace ql::emu::testing {
namespace {

TEST(ParseOptions, GoodTextStartsFromTheDefaults) {
  const auto parsed = [](const std::string& text) {
    Options options = Make(Device::Smd, Fault::Stall, 7);
    std::string error;
    EXPECT_TRUE(ParseOptions(text, options, error)) << text << ": " << error;
    return options;
  };
  EXPECT_EQ(std::tuple(parsed("").device, parsed("").fault, parsed("").stallAfterBytes),
            std::tuple(Device::Swc, Fault::None, 0u));
  // dramfault= after device= (the last byte of an SMD) or without it (the last of an SWC).
  const Options options = parsed("device=smd,state=/tmp/a b,hirom=1,rts=0,fault=stall:123,dramfault=0x3FFFFF:1");
  EXPECT_EQ(std::tuple(options.device, options.stateDir, options.hiRom, options.realTimeSignature, options.fault,
                       options.stallAfterBytes, options.dramFault->offset, options.dramFault->bit),
            std::tuple(Device::Smd, "/tmp/a b", true, false, Fault::Stall, 123u, 0x3FFFFFu, 1));
  const Options flaky =
      parsed("noise=0,cartnoise=1000000,seed=18446744073709551615,fault=badcheck,dramfault=0X7FFFFF:7");
  EXPECT_EQ(
      std::tuple(flaky.noisePpm, flaky.cartridgeNoisePpm, flaky.seed, flaky.fault, flaky.dramFault->offset,
                 flaky.dramFault->bit),
      std::tuple(0u, 1'000'000u, std::optional<std::uint64_t>(18446744073709551615u), Fault::BadCheck, 0x7FFFFFu, 7));
  EXPECT_FALSE(parsed("noise=5").seed) << "the clock seeds it";
}

// Each bad text fails, names its bad part (after the "|"), and leaves the options alone.
TEST(ParseOptions, BadPartsAreNamed) {
  for (const std::string row :
       {"device=snes|snes", "colour=red|colour", "device|device", "hirom=yes|hirom", "fault=slow:|fault",
        "fault=stall:12x|stall:12x", "fault=stall:99999999999999999999|fault", "fault=melt|melt", "state=|state",
        "device=swc,|empty", "cart=/nonexistent/c.smc|/nonexistent/c.smc", "noise=1000001|1000001", "cartnoise=5%|5%",
        "seed=-3|-3", "dramfault=5|dramfault", "dramfault=5:8|5:8", "dramfault=0x:1|0x:1",
        "dramfault=0x800000:0|beyond", "dramfault=0x400000:0,device=smd|4 MB"}) {
    const std::string text = row.substr(0, row.find('|'));
    Options options = Make(Device::Smd);
    std::string error;
    EXPECT_FALSE(ParseOptions(text, options, error)) << text;
    EXPECT_NE(error.find(row.substr(row.find('|') + 1)), std::string::npos) << text << " -> " << error;
    EXPECT_EQ(options.device, Device::Smd) << text;
  }
}

}  // namespace
}  // namespace ql::emu::testing

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
  // dramfault= at the last byte of an SMD, its 0X in capitals.
  const Options options = parsed(
      "device=smd,state=/tmp/a b,hirom=1,rts=0,fault=stall:123,dramfault=0X3FFFFF:1,noise=1000000,cartnoise=999999,"
      "seed=18446744073709551615");
  EXPECT_EQ(std::tuple(options.device, options.stateDir, options.hiRom, options.realTimeSignature, options.fault,
                       options.stallAfterBytes, options.dramFault->offset, options.dramFault->bit, options.noisePpm,
                       options.cartridgeNoisePpm, options.seed),
            std::tuple(Device::Smd, "/tmp/a b", true, false, Fault::Stall, 123u, 0x3FFFFFu, 1, 1'000'000u, 999'999u,
                       std::optional<std::uint64_t>(18446744073709551615u)));
  EXPECT_FALSE(parsed("noise=5").seed) << "the clock seeds it";
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
  for (const char* row :
       {"device=snes|snes", "colour=red|colour", "device|device", "hirom=yes|hirom", "rts=2|rts", "fault=slow:|fault",
        "fault=stall:12x|stall:12x", "fault=stall:99999999999999999999|fault", "fault=melt|melt", "state=|state",
        "device=swc,|empty", "cart=/nonexistent/c.smc|/nonexistent/c.smc"})
    refused(row);
  // The flaky copier's options.
  for (const char* row :
       {"noise=1000001|1000001", "cartnoise=5%|5%", "seed=-3|-3", "dramfault=5|dramfault", "dramfault=5:8|5:8",
        "dramfault=0x:1|0x:1", "dramfault=0x800000:0|beyond", "dramfault=0x400000:0,device=smd|4 MB"})
    refused(row);
}

}  // namespace
}  // namespace ql::emu::testing

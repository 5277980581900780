// The Port menu's Other Address and the stored settings: what a typed base
// address gives, and which registry data the program starts on.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "shell/port_address.h"
#include "shell/setting_values.h"

namespace ql {
namespace {

TEST(PortAddress, TypedTextGivesABaseOrItsProblem) {
  const struct {
    const char* text;
    AddressProblem problem;
    std::uint16_t base;
  } cases[] = {
      {" 0xd010 ", AddressProblem::None, 0xD010},
      {"0X0100", AddressProblem::None, 0x0100},
      {"FFF8", AddressProblem::None, 0xFFF8},
      {"0000378", AddressProblem::None, 0x0378},
      {"FFFFFFFFFFFF", AddressProblem::AboveRange, 0},  // no wrap-around to a valid base
      {"", AddressProblem::NotHex, 0},
      {"D0 10", AddressProblem::NotHex, 0},
  };
  for (const auto& c : cases) {
    const TypedAddress typed = ParsePortAddress(c.text);
    EXPECT_EQ(typed.problem, c.problem) << c.text;
    EXPECT_EQ(typed.base, c.base) << c.text;
  }
  EXPECT_EQ(OtherAddressItemText(0x0100), "LPT at 0x0100");
  EXPECT_EQ(AddressFieldText(0x0C08), "0C08");
}

// Four bytes of any type, in range; "Lpt" 5 needs a valid "LptBase".
TEST(SettingValues, FourBytesOfAnyTypeInRange) {
  const struct {
    RegistryValue stored;
    std::optional<std::uint8_t> device, lpt;
    std::optional<std::uint16_t> lptBase;
  } cases[] = {
      {{true, 4, 0}, 0, std::nullopt, std::nullopt},
      {{true, 4, 1}, 1, 1, std::nullopt},
      {{true, 4, 4}, std::nullopt, 4, std::nullopt},                 // the USB bridge
      {{true, 4, 5}, std::nullopt, std::nullopt, std::nullopt},      // Other Address, without a base
      {{true, 4, 0x101}, std::nullopt, std::nullopt, std::nullopt},  // not cut to its low byte
      {{true, 2, 2}, std::nullopt, std::nullopt, std::nullopt},      // a shorter value leaves stale bytes in the buffer
      {{false, 4, 1}, std::nullopt, std::nullopt, std::nullopt},  // the query failed (missing, or longer than 4 bytes)
      {{true, 4, 0xFFF8}, std::nullopt, std::nullopt, 0xFFF8},
      {{true, 4, 0x1D010}, std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AcceptedDevice(c.stored), c.device) << c.stored.size << " " << c.stored.value;
    EXPECT_EQ(AcceptedLpt(c.stored, std::nullopt), c.lpt) << c.stored.size << " " << c.stored.value;
    EXPECT_EQ(AcceptedLptBase(c.stored), c.lptBase) << c.stored.size << " " << c.stored.value;
  }
  EXPECT_EQ(AcceptedLpt({true, 4, 5}, 0xD010), 5);
  EXPECT_EQ(AcceptedLpt({true, 4, 6}, 0xD010), std::nullopt);
}

}  // namespace
}  // namespace ql

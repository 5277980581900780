// The Port menu's Other Address and the "Lpt" values it brings: what a
// typed base address gives, and which stored choice the program starts on.
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
      {"D010", AddressProblem::None, 0xD010},
      {" 0xd010 ", AddressProblem::None, 0xD010},
      {"0X0100", AddressProblem::None, 0x0100},
      {"FFF8", AddressProblem::None, 0xFFF8},
      {"0000378", AddressProblem::None, 0x0378},
      {"F8", AddressProblem::BelowRange, 0},
      {"0x00F8", AddressProblem::BelowRange, 0},
      {"0", AddressProblem::BelowRange, 0},
      {"FFF9", AddressProblem::AboveRange, 0},
      {"10000", AddressProblem::AboveRange, 0},
      {"FFFFFFFFFFFF", AddressProblem::AboveRange, 0},  // no wrap-around to a valid base
      {"D014", AddressProblem::NotMultipleOf8, 0},
      {"0x101", AddressProblem::NotMultipleOf8, 0},
      {"", AddressProblem::NotHex, 0},
      {"0x", AddressProblem::NotHex, 0},
      {"D01G", AddressProblem::NotHex, 0},
      {"-100", AddressProblem::NotHex, 0},
      {"D0 10", AddressProblem::NotHex, 0},
      {"0xx100", AddressProblem::NotHex, 0},
  };
  for (const auto& c : cases) {
    const TypedAddress typed = ParsePortAddress(c.text);
    EXPECT_EQ(typed.problem, c.problem) << c.text;
    EXPECT_EQ(typed.base, c.base) << c.text;
    EXPECT_EQ(AddressProblemText(typed.problem).empty(), c.problem == AddressProblem::None) << c.text;
  }
  EXPECT_EQ(OtherAddressItemText(0xD010), "LPT at 0xD010");
  EXPECT_EQ(OtherAddressItemText(0x0100), "LPT at 0x0100");
  EXPECT_EQ(AddressFieldText(0x0C08), "0C08");
}

// "Lpt" 5 needs a valid "LptBase"; without one the program starts at LPT1.
TEST(PortSettings, OtherAddressNeedsItsBase) {
  const RegistryValue five{true, 4, 5};
  const struct {
    RegistryValue lptBase;
    std::optional<std::uint16_t> base;
  } cases[] = {
      {{true, 4, 0xD010}, 0xD010},       {{true, 4, 0x0100}, 0x0100},        {{true, 4, 0xFFF8}, 0xFFF8},
      {{true, 4, 0x00F8}, std::nullopt}, {{true, 4, 0xD014}, std::nullopt},  {{true, 4, 0x1D010}, std::nullopt},
      {{true, 2, 0xD010}, std::nullopt}, {{false, 4, 0xD010}, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto base = AcceptedLptBase(c.lptBase);
    EXPECT_EQ(base, c.base) << c.lptBase.value;
    EXPECT_EQ(AcceptedLpt(five, base), c.base ? std::optional<std::uint8_t>(5) : std::nullopt) << c.lptBase.value;
  }
  EXPECT_EQ(AcceptedLpt({true, 4, 6}, 0xD010), std::nullopt);
  EXPECT_EQ(AcceptedLpt({true, 4, 4}, std::nullopt), 4);
}

}  // namespace
}  // namespace ql

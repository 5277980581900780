// The window's pieces that need no Win32: the Open dialog's filter lists and
// custom filter, the Other Address the user types, and the stored settings.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "shell/open_dialog_text.h"
#include "shell/port_address.h"
#include "shell/setting_values.h"

namespace ql {
namespace {

using namespace std::string_literals;

TEST(OpenFilters, ListsPerDeviceInTheDoubleNulForm) {
  EXPECT_EQ(FilterListBuffer(OpenFilters(0)),
            "ROM Image (*.swc, *.smc, *.sfc, *.fig)\0*.smc;*.swc;*.sfc;*.fig\0"
            "Battery Backup / SRAM (*.bbd, *.srm)\0*.bbd;*.srm\0"
            "Real-Time Save (*.rts)\0*.rts\0"
            "International Patching System (*.ips)\0*.ips\0"
            "All files\0*.*\0\0"s);
  EXPECT_EQ(FilterListBuffer(OpenFilters(1)),
            "ROM Image (*.smd, *.bin)\0*.smd;*.bin\0"
            "Battery Backup / SRAM (*.bbd, *.srm)\0*.bbd;*.srm\0"
            "International Patching System (*.ips)\0*.ips\0"
            "All files\0*.*\0\0"s);
  EXPECT_EQ(FilterListBuffer({}), "\0\0"s);
}

TEST(CustomFilter, PairIsLabelledWithItsPatternAndNeverHasAnEmptyString) {
  const std::string longest(61 - 5, 'x');  // with "Typed", two NULs and the closing NUL: 64
  const std::pair<std::string, std::string> cases[] = {
      // The pattern and what the buffer starts with; the rest is NULs.
      {"", "*.*\0*.*\0"s},  // an empty pattern would drop the filter list
      {std::string(30, 'a'), std::string(30, 'a') + '\0' + std::string(30, 'a') + '\0'},  // 63 bytes
      {std::string(31, 'b'), "Typed\0"s + std::string(31, 'b') + '\0'},                   // two copies no longer fit
      {longest, "Typed\0"s + longest + '\0'},
      {longest + "y", "*.*\0*.*\0"s},  // too long for any label
  };
  for (const auto& [pattern, pair] : cases) {
    std::array<char, kCustomFilterSize> buffer;
    buffer.fill('#');
    SetCustomFilter(buffer, pattern);
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), pair + std::string(kCustomFilterSize - pair.size(), '\0'));
    EXPECT_EQ(CustomFilterPattern(buffer), pattern.empty() || pattern.size() > longest.size() ? "*.*" : pattern);
  }
  // A buffer the dialog filled to the end.
  std::array<char, kCustomFilterSize> buffer;
  buffer.fill('p');
  EXPECT_EQ(CustomFilterPattern(buffer), "");  // no label end: nothing to read
  buffer[3] = '\0';
  EXPECT_EQ(CustomFilterPattern(buffer), std::string(kCustomFilterSize - 4, 'p'));  // unterminated pattern
}

TEST(CustomFilter, ATypedPatternSelectsTheCustomFilterNextTime) {
  const FileFilters& swc = OpenFilters(0);
  EXPECT_EQ(NextOpenFilterIndex(swc, 1, "*.*", "*.*"), 1u);      // the dialog left the pattern alone
  EXPECT_EQ(NextOpenFilterIndex(swc, 3, "*.xyz", "*.rts"), 3u);  // it wrote the listed filter's pattern
  EXPECT_EQ(NextOpenFilterIndex(swc, 0, "*.xyz", "*.smc;*.swc;*.sfc;*.fig"), 0u);  // the custom filter was in use
  EXPECT_EQ(NextOpenFilterIndex(swc, 9, "*.*", "*.xyz"), 0u);  // an index past the list (after a device switch)
}

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

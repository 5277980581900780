// The parts of the Windows shell that need no Win32: the Open dialog's
// filters and custom filter, and which registry data the settings accept.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "shell/open_dialog_text.h"
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
  struct Case {
    std::string pattern;
    std::string pair;  // what the buffer starts with; the rest is NULs
  };
  const std::string longest(61 - 5, 'x');  // with "Typed", two NULs and the closing NUL: 64
  const Case cases[] = {
      {"*.xyz", "*.xyz\0*.xyz\0"s},
      {"", "*.*\0*.*\0"s},  // an empty pattern would drop the filter list
      {std::string(30, 'a'), std::string(30, 'a') + '\0' + std::string(30, 'a') + '\0'},  // 63 bytes
      {std::string(31, 'b'), "Typed\0"s + std::string(31, 'b') + '\0'},                   // two copies no longer fit
      {longest, "Typed\0"s + longest + '\0'},
      {longest + "y", "*.*\0*.*\0"s},  // too long for any label
  };
  for (const Case& c : cases) {
    std::array<char, kCustomFilterSize> buffer;
    buffer.fill('#');
    SetCustomFilter(buffer, c.pattern);
    const std::string expected = c.pair + std::string(kCustomFilterSize - c.pair.size(), '\0');
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), expected) << c.pattern;
    EXPECT_EQ(CustomFilterPattern(buffer), c.pattern.empty() || c.pattern.size() > longest.size() ? "*.*" : c.pattern);
  }
}

TEST(CustomFilter, PatternReadsUpToTheBufferEnd) {
  std::array<char, kCustomFilterSize> buffer;
  buffer.fill('p');
  EXPECT_EQ(CustomFilterPattern(buffer), "");  // no label end: nothing to read
  buffer[3] = '\0';
  EXPECT_EQ(CustomFilterPattern(buffer), std::string(kCustomFilterSize - 4, 'p'));  // unterminated pattern
}

TEST(CustomFilter, ATypedPatternSelectsTheCustomFilterNextTime) {
  const FileFilters& swc = OpenFilters(0);
  struct Case {
    std::uint32_t chosen;
    const char* before;
    const char* after;
    std::uint32_t next;
  };
  const Case cases[] = {
      {1, "*.*", "*.*", 1},                      // the dialog left the pattern alone
      {1, "*.*", "*.smc;*.swc;*.sfc;*.fig", 1},  // it wrote the listed filter's pattern
      {3, "*.xyz", "*.rts", 3},
      {1, "*.*", "*.xyz", 0},  // typed in the file-name field
      {5, "*.xyz", "*.abc", 0},
      {0, "*.xyz", "*.smc;*.swc;*.sfc;*.fig", 0},  // the custom filter was in use
      {9, "*.*", "*.xyz", 0},                      // an index past the list (after a device switch)
  };
  for (const Case& c : cases)
    EXPECT_EQ(NextOpenFilterIndex(swc, c.chosen, c.before, c.after), c.next) << c.chosen << " " << c.after;
}

TEST(SettingValues, FourBytesOfAnyTypeInRange) {
  struct Case {
    RegistryValue stored;
    std::optional<std::uint8_t> device;
    std::optional<std::uint8_t> lpt;
  };
  const Case cases[] = {
      {{true, 4, 0}, 0, std::nullopt},
      {{true, 4, 1}, 1, 1},
      {{true, 4, 2}, std::nullopt, 2},
      {{true, 4, 3}, std::nullopt, 3},
      {{true, 4, 4}, std::nullopt, 4},                 // the USB bridge
      {{true, 4, 5}, std::nullopt, std::nullopt},      // Other Address, without a base
      {{true, 4, 0x101}, std::nullopt, std::nullopt},  // not cut to its low byte
      {{true, 4, 0xFFFFFFFF}, std::nullopt, std::nullopt},
      {{true, 1, 1}, std::nullopt, std::nullopt},  // a shorter value leaves stale bytes in the buffer
      {{true, 2, 2}, std::nullopt, std::nullopt},
      {{false, 4, 1}, std::nullopt, std::nullopt},  // the query failed (missing, or longer than 4 bytes)
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AcceptedDevice(c.stored), c.device) << c.stored.size << " " << c.stored.value;
    EXPECT_EQ(AcceptedLpt(c.stored, std::nullopt), c.lpt) << c.stored.size << " " << c.stored.value;
  }
}

}  // namespace
}  // namespace ql

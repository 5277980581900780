// The Open dialog's pieces that need no Win32: its filter lists and the
// custom filter that keeps a typed pattern.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "shell/open_dialog_text.h"

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

}  // namespace
}  // namespace ql

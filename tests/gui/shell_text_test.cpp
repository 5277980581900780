// The parts of the Windows shell that need no Win32: the Open dialog's
// filters and first-use choice, and which registry data the settings accept.
#include <gtest/gtest.h>

#include <string>

#include "shell/open_dialog_text.h"
#include "shell/setting_values.h"

namespace ql {
namespace {

using namespace std::string_literals;

TEST(OpenFilters, SwcOffersFiveFiltersWithTheRealTimeSave) {
  const FileFilters& filters = OpenFilters(0);
  ASSERT_EQ(filters.size(), 5u);
  EXPECT_EQ(filters[0].first, "ROM Image (*.swc, *.smc, *.sfc, *.fig)");
  EXPECT_EQ(filters[0].second, "*.smc;*.swc;*.sfc;*.fig");
  EXPECT_EQ(filters[1].first, "Battery Backup / SRAM (*.bbd, *.srm)");
  EXPECT_EQ(filters[2].first, "Real-Time Save (*.rts)");
  EXPECT_EQ(filters[2].second, "*.rts");
  EXPECT_EQ(filters[3].first, "International Patching System (*.ips)");
  EXPECT_EQ(filters[4], (std::pair<std::string, std::string>{"All files", "*.*"}));
}

TEST(OpenFilters, SmdOffersFourFiltersWithoutRealTimeSave) {
  const FileFilters& filters = OpenFilters(1);
  ASSERT_EQ(filters.size(), 4u);
  EXPECT_EQ(filters[0].first, "ROM Image (*.smd, *.bin)");
  EXPECT_EQ(filters[0].second, "*.smd;*.bin");
  for (const auto& [description, pattern] : filters) EXPECT_EQ(pattern.find("rts"), std::string::npos) << description;
  EXPECT_EQ(filters[3].second, "*.*");
}

TEST(FilterListBuffer, PairsAreNulSeparatedAndTheListEndsInTwoNuls) {
  EXPECT_EQ(FilterListBuffer({{"A (*.a)", "*.a"}, {"All", "*.*"}}), "A (*.a)\0*.a\0All\0*.*\0\0"s);
  EXPECT_EQ(FilterListBuffer({}), "\0\0"s);
  const std::string swc = FilterListBuffer(OpenFilters(0));
  EXPECT_EQ(swc.substr(0, 40), "ROM Image (*.swc, *.smc, *.sfc, *.fig)\0*"s);
  EXPECT_EQ(swc.substr(swc.size() - 15), "All files\0*.*\0\0"s);
}

TEST(ChooseOpenFilter, FirstUseShowsTheFirstFilterAndPassesNoEmptyCustomFilter) {
  const OpenFilterChoice first = ChooseOpenFilter(0, "");
  EXPECT_EQ(first.filterIndex, 1u);
  EXPECT_FALSE(first.passCustomFilter);
  EXPECT_EQ(ChooseOpenFilter(0, nullptr).filterIndex, 1u);
}

TEST(ChooseOpenFilter, KeepsTheUsersChoice) {
  const OpenFilterChoice later = ChooseOpenFilter(3, "");
  EXPECT_EQ(later.filterIndex, 3u);
  EXPECT_FALSE(later.passCustomFilter);
  // A custom filter the user typed is offered again, and index 0 selects it.
  const char custom[] = "*.abc\0*.abc\0";
  const OpenFilterChoice typed = ChooseOpenFilter(0, custom);
  EXPECT_EQ(typed.filterIndex, 0u);
  EXPECT_TRUE(typed.passCustomFilter);
  EXPECT_EQ(ChooseOpenFilter(2, custom).filterIndex, 2u);
}

RegistryDword Dword(std::uint32_t value, std::uint32_t type = kRegistryDwordType, std::uint32_t size = 4) {
  return RegistryDword{true, type, size, value};
}

TEST(SettingValues, DeviceTakesOnlyZeroOrOne) {
  EXPECT_EQ(AcceptedDevice(Dword(0)), 0);
  EXPECT_EQ(AcceptedDevice(Dword(1)), 1);
  EXPECT_FALSE(AcceptedDevice(Dword(2)));
  EXPECT_FALSE(AcceptedDevice(Dword(0xFFFFFFFF)));
  EXPECT_FALSE(AcceptedDevice(Dword(0x100)));  // not cut to its low byte
}

TEST(SettingValues, LptTakesOneToThree) {
  EXPECT_FALSE(AcceptedLpt(Dword(0)));
  EXPECT_EQ(AcceptedLpt(Dword(1)), 1);
  EXPECT_EQ(AcceptedLpt(Dword(3)), 3);
  EXPECT_FALSE(AcceptedLpt(Dword(4)));
  EXPECT_FALSE(AcceptedLpt(Dword(0xFFFFFFFF)));
  EXPECT_FALSE(AcceptedLpt(Dword(0x101)));
}

TEST(SettingValues, OnlyAFourByteDwordCounts) {
  constexpr std::uint32_t kRegBinary = 3;
  constexpr std::uint32_t kRegSz = 1;
  // A one-byte binary value leaves three bytes of the buffer unwritten.
  EXPECT_FALSE(AcceptedDevice(Dword(1, kRegBinary, 1)));
  EXPECT_FALSE(AcceptedLpt(Dword(2, kRegBinary, 4)));
  EXPECT_FALSE(AcceptedLpt(Dword(2, kRegSz, 2)));
  EXPECT_FALSE(AcceptedLpt(Dword(2, kRegistryDwordType, 2)));
  RegistryDword failed = Dword(1);
  failed.read = false;
  EXPECT_FALSE(AcceptedDevice(failed));
  EXPECT_FALSE(AcceptedLpt(failed));
}

}  // namespace
}  // namespace ql

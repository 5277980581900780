#include <gtest/gtest.h>

#include "rom/cartridge_info.h"

namespace ql {
namespace {

using Header = std::array<std::uint8_t, 64>;

Header MakeHeader(const std::string& title, std::uint8_t makeup, std::uint8_t romCode, std::uint8_t sramCode,
                  std::uint8_t region, std::uint8_t maker, std::uint8_t version) {
  Header h{};
  std::fill(h.begin(), h.begin() + 21, ' ');
  std::copy(title.begin(), title.end(), h.begin());
  h[0x15] = makeup;
  h[0x17] = romCode;
  h[0x18] = sramCode;
  h[0x19] = region;
  h[0x1A] = maker;
  h[0x1B] = version;
  return h;
}

// The line of the report that starts with `prefix`.
std::string Line(const std::string& report, const std::string& prefix) {
  const std::size_t at = report.find("\n" + prefix);
  const std::size_t start = report.rfind(prefix, 0) == 0 ? 0 : (at == std::string::npos ? at : at + 1);
  if (start == std::string::npos) return "<missing>";
  return report.substr(start, report.find('\n', start) - start);
}

TEST(CartridgeReport, WholeReport) {
  const Header h = MakeHeader("SUPER GAME", 0x30, 10, 3, 0x01, 0x01, 1);
  EXPECT_EQ(FormatCartridgeReport(h, 32, false),
            "Name:  SUPER GAME           \n"
            "Makeup:  Fast LoROM\n"
            "ROM size:  8Mb\n"
            "SRAM size:  64kb\n"
            "Region:  USA\n"
            "Maker:  Nintendo\n"
            "Version:  1.1\n");
}

TEST(CartridgeReport, MeasuredAgainstDeclaredSize) {
  EXPECT_EQ(Line(FormatCartridgeReport(MakeHeader("", 0, 10, 0, 0, 0, 0), 32, false), "ROM"), "ROM size:  8Mb");
  EXPECT_EQ(Line(FormatCartridgeReport(MakeHeader("", 0, 12, 0, 0, 0, 0), 64, true), "ROM"), "ROM size:  32Mb");
  EXPECT_EQ(Line(FormatCartridgeReport(MakeHeader("", 0, 11, 0, 0, 0, 0), 32, false), "ROM"), "ROM size:  16Mb (8Mb)");
  // The map word and the bank divisor follow the measurement, not the header.
  EXPECT_EQ(Line(FormatCartridgeReport(MakeHeader("", 0, 10, 0, 0, 0, 0), 32, true), "ROM"), "ROM size:  8Mb (16Mb)");
  EXPECT_EQ(Line(FormatCartridgeReport(MakeHeader("", 0, 14, 0, 0, 0, 0), 128, true), "ROM"),
            "ROM size:  128Mb (64Mb)");
}

TEST(CartridgeReport, DeclaredSizeIsEightBitWithShiftModuloThirtyTwo) {
  auto declared = [](std::uint8_t code) {
    return Line(FormatCartridgeReport(MakeHeader("", 0, code, 0, 0, 0, 0), 8, false), "ROM");
  };
  EXPECT_EQ(declared(8), "ROM size:  2Mb");
  EXPECT_EQ(declared(14), "ROM size:  128Mb (2Mb)");
  EXPECT_EQ(declared(15), "ROM size:  0Mb (2Mb)");
  EXPECT_EQ(declared(7), "ROM size:  0Mb (2Mb)");
  EXPECT_EQ(declared(0), "ROM size:  0Mb (2Mb)");
  EXPECT_EQ(declared(39), "ROM size:  0Mb (2Mb)");
  EXPECT_EQ(declared(40), "ROM size:  2Mb");
}

TEST(CartridgeReport, SramSizes) {
  auto sram = [](std::uint8_t code) {
    return Line(FormatCartridgeReport(MakeHeader("", 0, 8, code, 0, 0, 0), 8, false), "SRAM");
  };
  EXPECT_EQ(sram(0), "SRAM size:  none");
  EXPECT_EQ(sram(1), "SRAM size:  16kb");
  EXPECT_EQ(sram(3), "SRAM size:  64kb");
  EXPECT_EQ(sram(29), "SRAM size:  0kb");
  EXPECT_EQ(sram(32), "SRAM size:  8kb");
  EXPECT_EQ(sram(0xFF), "SRAM size:  0kb");
}

TEST(CartridgeReport, AllOnesHeader) {
  Header h;
  h.fill(0xFF);
  const std::string report = FormatCartridgeReport(h, 32, false);
  EXPECT_EQ(Line(report, "Name"), "Name:  " + std::string(21, '\xFF'));
  EXPECT_EQ(Line(report, "Makeup"), "Makeup:  Fast LoROM");
  EXPECT_EQ(Line(report, "ROM"), "ROM size:  0Mb (8Mb)");
  EXPECT_EQ(Line(report, "SRAM"), "SRAM size:  0kb");
  EXPECT_EQ(Line(report, "Region"), "Region:  Unknown");
  EXPECT_EQ(Line(report, "Maker"), "Maker:  Hudson Soft");
  EXPECT_EQ(Line(report, "Version"), "Version:  1.255");
}

TEST(CartridgeReport, NameMakeupRegionMaker) {
  Header h = MakeHeader("NAME", 0x30, 8, 0, 0x21, 0x02, 10);
  h[4] = 0;
  const std::string report = FormatCartridgeReport(h, 8, true);
  EXPECT_EQ(Line(report, "Name"), "Name:  NAME");
  EXPECT_EQ(Line(report, "Makeup"), "Makeup:  Fast HiROM");
  EXPECT_EQ(Line(report, "Region"), "Region:  USA");
  EXPECT_EQ(Line(report, "Maker"), "Maker:  (2)");
  EXPECT_EQ(Line(report, "Version"), "Version:  1.10");
  h[0x15] = 0x0F;
  EXPECT_EQ(Line(FormatCartridgeReport(h, 8, false), "Makeup"), "Makeup:  Slow LoROM");
}

}  // namespace
}  // namespace ql

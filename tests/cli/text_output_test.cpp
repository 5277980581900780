#include <gtest/gtest.h>

#include <string>

#include "cli/info_command.h"
#include "cli/json_output.h"
#include "cli/probe_command.h"

namespace ql::cli {
namespace {

using namespace std::string_literals;

TEST(JsonString, EscapesQuoteBackslashAndTheShortControls) {
  EXPECT_EQ(JsonString("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(JsonString("\b\f\n\r\t"), R"("\b\f\n\r\t")");
  EXPECT_EQ(JsonString(""), R"("")");
}

TEST(JsonString, OtherControlBytesDeleteAndHighBytesBecomeUnicodeEscapes) {
  EXPECT_EQ(JsonString("\0\x01\x1f"s), R"("\u0000\u0001\u001f")");
  EXPECT_EQ(JsonString("\x7f\x80\xe9\xff"), R"("\u007f\u0080\u00e9\u00ff")");
  EXPECT_EQ(JsonString(" ~"), R"(" ~")");
}

TEST(JsonString, EveryByteValueGivesPlainAscii) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::string json = JsonString(all);
  for (char c : json) {
    auto byte = static_cast<unsigned char>(c);
    EXPECT_TRUE(byte >= 0x20 && byte < 0x7F) << "raw byte " << int(byte);
  }
  EXPECT_EQ(json.front(), '"');
  EXPECT_EQ(json.back(), '"');
}

TEST(JsonObject, KeepsTheOrderGiven) {
  EXPECT_EQ(JsonObject({}), "{}");
  EXPECT_EQ(JsonObject({{"ROM File", "b.smc"}, {"Name", "A"}}), R"({"ROM File": "b.smc", "Name": "A"})");
}

TEST(TerminalText, ControlBytesAreShownNotSent) {
  EXPECT_EQ(TerminalText("\x1b[2J"), "\\x1B[2J");
  EXPECT_EQ(TerminalText("a\x7f\x01z"), "a\\x7F\\x01z");
  EXPECT_EQ(TerminalText("\xe9\\\" "), "\xe9\\\" ");
}

TEST(ProbeRegisters, StatusBitsAreDecoded) {
  // 0xC8: bit 7 (handshake), bit 6 (ACK) and bit 3 (ERROR): nibble 1001.
  std::string text = DescribeRegisters(0x5A, 0xC8, 0x0B);
  EXPECT_NE(text.find("Data register:    0x5A"), std::string::npos) << text;
  EXPECT_NE(text.find("Status register:  0xC8"), std::string::npos) << text;
  EXPECT_NE(text.find("(bit 7, reads inverted): 1"), std::string::npos) << text;
  EXPECT_NE(text.find("nibble lines (bits 6-3): 0x9 [ACK 1 PAPER-OUT 0 SELECT 0 ERROR 1]"), std::string::npos) << text;
  EXPECT_NE(text.find("Control register: 0x0B  STROBE (bit 0): 1"), std::string::npos) << text;
  std::string idle = DescribeRegisters(0, 0x78, 0);
  EXPECT_NE(idle.find("(bit 7, reads inverted): 0"), std::string::npos) << idle;
  EXPECT_NE(idle.find("0xF [ACK 1 PAPER-OUT 1 SELECT 1 ERROR 1]"), std::string::npos) << idle;
}

}  // namespace
}  // namespace ql::cli

// The pure pieces of the command line: parsing, formatting, escaping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_front_end.h"
#include "cli/copier_commands.h"
#include "cli/info_command.h"
#include "cli/json_output.h"
#include "cli/port_selection.h"
#include "cli/probe_command.h"
#include "core/state.h"
#include "resources/resource_ids.h"

namespace ql::cli {
namespace {

using namespace std::string_literals;

int MenuCommandOf(std::vector<std::string> args) {
  args.insert(args.begin(), "quillon");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  ParseResult parsed = ParseArguments(static_cast<int>(argv.size()), argv.data());
  return parsed.invocation ? MenuCommandFor(*parsed.invocation) : -1;
}

// Each way the command line names a menu command: with and without --realtime, and with WHAT.
TEST(Arguments, EachSubcommandIsOneMenuCommand) {
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"run", "a"}, IDM_UPLOAD_AND_RUN},
      {{"run", "--realtime", "a"}, IDM_UPLOAD_AND_RUN_REALTIME},
      {{"upload", "rom-ips", "a"}, IDM_UPLOAD_ROM_IPS},
      {{"execute"}, IDM_EXECUTE},
      {{"execute", "--realtime", "g.smc"}, IDM_EXECUTE_REALTIME},
      {{"play"}, IDM_PLAY_CARTRIDGE},
      {{"cart-info"}, IDM_CARTRIDGE_INFO},
      {{"download", "rts", "o"}, IDM_DOWNLOAD_REALTIME},
  };
  for (const auto& [args, id] : cases) EXPECT_EQ(MenuCommandOf(args), id) << ::testing::PrintToString(args);
}

TEST(Arguments, PortChoices) {
  const std::vector<std::pair<std::string, std::string>> cases = {{"lpt2", "ppdev /dev/parport1"},
                                                                  {"/dev/parport3", "ppdev /dev/parport3"},
                                                                  {"0xD010", "direct I/O 0xD010"},
                                                                  {"sim:device=smd", "emulated SMD"}};
  PortChoice choice;
  std::string error;
  for (const auto& [port, description] : cases) {
    ASSERT_TRUE(ParsePortChoice(port, "smd", choice, error)) << port << ": " << error;
    EXPECT_EQ(DescribePort(choice), description);
  }
}

TEST(SaveDialog, TheAnswerPicksTheFilterOfItsExtensionOnce) {
  SaveFileRequest request;
  request.filters = {{"All files", "*.*"}, {"Backup", "*.bbd"}, {"SRAM", "*.sav;*.srm"}};
  const std::pair<std::string, int> cases[] = {{"/a.b/OUT.SRM", 3}, {"x.sav", 3},       {"x.bbd", 2},
                                               {"out", 0},          {"out.srm.bak", 0}, {"srm", 0}};
  for (const auto& [path, index] : cases) EXPECT_EQ(FilterIndexForPath(request, path), index) << path;

  ProgressLine off(stderr, ProgressLine::Mode::Off);
  CliFrontEnd ui(off);
  request.filterIndex = 2;
  ui.AnswerSaveDialogWith("out");  // no filter of its own: the proposed one stays
  ASSERT_TRUE(ui.AskSaveFileName(request));
  EXPECT_EQ(request.filterIndex, 2);
  ui.AnswerSaveDialogWith("/tmp/x/out.srm");
  ASSERT_TRUE(ui.AskSaveFileName(request));
  EXPECT_EQ(request.filterIndex, 3);
  EXPECT_FALSE(ui.AskSaveFileName(request));  // one answer, one dialog
}

TEST(Progress, RatesDurationsAndLines) {
  const std::pair<std::string, std::string> cases[] = {
      {FormatRate(1023), "1023 B/s"},
      {FormatRate(1024), "1.0 KB/s"},
      {FormatRate(25.5 * 1024 * 1024), "25.50 MB/s"},
      {FormatDuration(-5), "0:00"},
      {FormatDuration(59.6), "1:00"},
      {FormatDuration(3725), "1:02:05"},
      // 1024 kilobits (128 KB) in one second: 128 KB/s, and as much again to go.
      {FormatProgressLine("ROM 1024/2048", 1024, 2048, 1.0),
       "ROM 1024/2048 [############------------]  50%  128.0 KB/s  0:01 left"},
      {FormatProgressLine("ROM 0/2048", 0, 2048, 3.0), "ROM 0/2048 [------------------------]   0%"},
      {FormatProgressLine("ROM 64/2048", 64, 2048, 0.0), "ROM 64/2048 [------------------------]   3%"},
      {FormatProgressLine("X", 0, 0, 0.0), "X [########################] 100%"},
      {FormatProgressLine("X", 300, 200, 1.0), "X [########################] 100%  37.5 KB/s  0:00 left"},
  };
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}

// What `write` puts into a file.
std::string Written(const std::function<void(std::FILE*)>& write) {
  std::FILE* file = std::tmpfile();
  write(file);
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

TEST(Progress, LinesModeWritesFirstAndLastOfEachStepOnly) {
  std::string text = Written([](std::FILE* file) {
    ProgressLine line(file, ProgressLine::Mode::Lines);
    line.Update("ROM 0/128", 0, 128);
    line.Update("ROM 64/128", 64, 128);    // right after the first: skipped
    line.Update("ROM 128/128", 128, 128);  // the end of the step: always
    line.Update("SRAM 0/256", 0, 256);     // a new step: always
    line.Update("", 0, 0);                 // the job's clearing writes nothing
  });
  // The rate after the last line depends on real time; the lines themselves do not.
  EXPECT_EQ(text.rfind("ROM 0/128 [------------------------]   0%\nROM 128/128 [########################] 100%", 0), 0u)
      << text;
  const std::string next = "SRAM 0/256 [------------------------]   0%\n";
  EXPECT_TRUE(text.ends_with("\n" + next)) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
}

TEST(Progress, RedrawModeRewritesOneLineAndErasesItForMessagesAndAtTheEnd) {
  EXPECT_EQ(Written([](std::FILE* file) {
              ProgressLine line(file, ProgressLine::Mode::Redraw);
              line.Update("ROM 0/128", 0, 128);
              line.PrintMessage(file, "SWC Interface: LPT read timeout");
              line.PrintMessage(file, "no line drawn now\n");
              line.Update("SRAM 0/256", 0, 256);
              line.Update("", 0, 0);
              line.Update("", 0, 0);  // nothing left to erase
            }),
            "\r\033[KROM 0/128 [------------------------]   0%\r\033[KSWC Interface: LPT read timeout\n"
            "no line drawn now\n\r\033[KSRAM 0/256 [------------------------]   0%\r\033[K");
}

TEST(Escaping, JsonKeepsUtf8AndEscapesOtherBytesAndControls) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\"b\\c\b\f\n\r\t", R"("a\"b\\c\b\f\n\r\t")"},
      {"\0\x1f ~\x7f"s, R"("\u0000\u001f ~\u007f")"},
      // Valid UTF-8, two to four bytes: as it is.
      {"\xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xae", "\"\xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xae\""},
      // C1 controls are characters a terminal acts on: escaped, as the same character.
      {"\xc2\x9b\xc2\xa0", "\"\\u009b\xc2\xa0\""},
      // Not UTF-8: lone bytes, a cut sequence, overlong, surrogate, past U+10FFFF.
      {"\x80\xe9\xff", R"("\u0080\u00e9\u00ff")"},
      {"\xe2\x82", R"("\u00e2\u0082")"},
      {"\xc0\xaf\xe0\x80\xaf", R"("\u00c0\u00af\u00e0\u0080\u00af")"},
      {"\xed\xa0\x80", R"("\u00ed\u00a0\u0080")"},
      {"\xf4\x90\x80\x80", R"("\u00f4\u0090\u0080\u0080")"},
      {"\xf4\x8f\xbf\xbf", "\"\xf4\x8f\xbf\xbf\""},
  };
  for (const auto& [bytes, json] : cases) EXPECT_EQ(JsonString(bytes), json) << bytes;
  EXPECT_EQ(TerminalText("\x1b[2Ja\x7f\x01z"), "\\x1B[2Ja\\x7F\\x01z");
}

TEST(Progress, AFailedOrCancelledStepLeavesNoFinishedLine) {
  for (bool cancel : {false, true}) {
    SCOPED_TRACE(cancel ? "cancelled" : "timed out");
    const std::string text = Written([cancel](std::FILE* file) {
      ProgressLine line(file, ProgressLine::Mode::Lines);
      CliFrontEnd ui(line);
      ui.ShowProgress("ROM 0/2048", 0, 2048);
      if (cancel) {
        CancelRequested = true;
      } else {
        ui.ShowMessage("LPT read timeout", "SWC Interface", MessageIcon::Stop);
      }
      ui.ShowProgress("ROM 2048/2048", 2048, 2048);  // the step's closing update
      ui.ShowProgress("", 0, 0);
      CancelRequested = false;
    });
    EXPECT_EQ(text, "ROM 0/2048 [------------------------]   0%\n");
  }
}

TEST(Probe, StatusBitsAreDecoded) {
  // 0xC8: bit 7 (handshake), bit 6 (ACK) and bit 3 (ERROR): nibble 1001.
  EXPECT_EQ(DescribeRegisters(0x5A, 0xC8, 0x0B),
            "Data register:    0x5A\n"
            "Status register:  0xC8  BUSY/handshake (bit 7, reads inverted): 1  nibble lines (bits 6-3): 0x9 "
            "[ACK 1 PAPER-OUT 0 SELECT 0 ERROR 1]\n"
            "Control register: 0x0B  STROBE (bit 0): 1");
}

}  // namespace
}  // namespace ql::cli

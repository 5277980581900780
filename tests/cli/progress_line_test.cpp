#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace ql::cli {
namespace {

TEST(ProgressFormat, RateUnitsSwitchAtWholeKilobytesAndMegabytes) {
  EXPECT_EQ(FormatRate(0), "0 B/s");
  EXPECT_EQ(FormatRate(1023), "1023 B/s");
  EXPECT_EQ(FormatRate(1024), "1.0 KB/s");
  EXPECT_EQ(FormatRate(1024.0 * 1024 - 1), "1024.0 KB/s");
  EXPECT_EQ(FormatRate(1024.0 * 1024), "1.00 MB/s");
  EXPECT_EQ(FormatRate(25.5 * 1024 * 1024), "25.50 MB/s");
}

TEST(ProgressFormat, DurationsRoundToSecondsAndGrowAnHourField) {
  EXPECT_EQ(FormatDuration(0), "0:00");
  EXPECT_EQ(FormatDuration(-5), "0:00");
  EXPECT_EQ(FormatDuration(59.4), "0:59");
  EXPECT_EQ(FormatDuration(59.6), "1:00");
  EXPECT_EQ(FormatDuration(3599), "59:59");
  EXPECT_EQ(FormatDuration(3600), "1:00:00");
  EXPECT_EQ(FormatDuration(3725), "1:02:05");
}

TEST(ProgressFormat, LineHasTextBarPercentageRateAndTimeLeft) {
  // 1024 kilobits (128 KB) in one second: 128 KB/s, and as much again to go.
  EXPECT_EQ(FormatProgressLine("ROM 1024/2048", 1024, 2048, 1.0),
            "ROM 1024/2048 [############------------]  50%  128.0 KB/s  0:01 left");
}

TEST(ProgressFormat, NoRateBeforeTimeHasPassedOrDataMoved) {
  EXPECT_EQ(FormatProgressLine("ROM 0/2048", 0, 2048, 3.0), "ROM 0/2048 [------------------------]   0%");
  EXPECT_EQ(FormatProgressLine("ROM 64/2048", 64, 2048, 0.0), "ROM 64/2048 [------------------------]   3%");
}

TEST(ProgressFormat, OddTotalsNeitherDivideByZeroNorOverflowTheBar) {
  EXPECT_EQ(FormatProgressLine("X", 0, 0, 0.0), "X [########################] 100%");
  EXPECT_EQ(FormatProgressLine("X", 300, 200, 0.0), "X [########################] 100%");
  EXPECT_EQ(FormatProgressLine("X", 300, 200, 1.0), "X [########################] 100%  37.5 KB/s  0:00 left");
}

class ProgressLineOutput : public ::testing::Test {
 protected:
  void SetUp() override { file_ = std::tmpfile(); }
  void TearDown() override { std::fclose(file_); }
  std::string Written() {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    int c;
    while ((c = std::fgetc(file_)) != EOF) text += static_cast<char>(c);
    return text;
  }
  std::FILE* file_ = nullptr;
};

TEST_F(ProgressLineOutput, LinesModeWritesFirstAndLastOfEachStepAndSkipsQuickUpdates) {
  ProgressLine line(file_, ProgressLine::Mode::Lines);
  line.Update("ROM 0/128", 0, 128);
  line.Update("ROM 64/128", 64, 128);    // right after the first: skipped
  line.Update("ROM 128/128", 128, 128);  // the end of the step: always
  line.Update("SRAM 0/256", 0, 256);     // a new step: always
  line.Update("", 0, 0);                 // the job's clearing writes nothing
  std::string text = Written();
  // The rate after the last line depends on real time; the lines themselves do not.
  const std::string first = "ROM 0/128 [------------------------]   0%\n";
  const std::string last = "ROM 128/128 [########################] 100%";
  const std::string next = "SRAM 0/256 [------------------------]   0%\n";
  ASSERT_EQ(text.compare(0, first.size(), first), 0) << text;
  ASSERT_EQ(text.compare(first.size(), last.size(), last), 0) << text;
  ASSERT_GE(text.size(), next.size());
  EXPECT_EQ(text.substr(text.size() - next.size()), next) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
}

TEST_F(ProgressLineOutput, RedrawModeRewritesOneLineAndErasesItForMessages) {
  ProgressLine line(file_, ProgressLine::Mode::Redraw);
  line.Update("ROM 0/128", 0, 128);
  line.PrintMessage(file_, "SWC Interface: LPT read timeout");
  line.PrintMessage(file_, "no line drawn now\n");
  EXPECT_EQ(Written(),
            "\r\033[KROM 0/128 [------------------------]   0%"
            "\r\033[KSWC Interface: LPT read timeout\n"
            "no line drawn now\n");
}

TEST_F(ProgressLineOutput, RedrawModeErasesTheLineWhenTheFieldIsCleared) {
  ProgressLine line(file_, ProgressLine::Mode::Redraw);
  line.Update("SRAM 0/256", 0, 256);
  line.Update("", 0, 0);
  line.Update("", 0, 0);  // nothing left to erase
  EXPECT_EQ(Written(), "\r\033[KSRAM 0/256 [------------------------]   0%\r\033[K");
}

TEST_F(ProgressLineOutput, OffModeWritesNothingButMessages) {
  ProgressLine line(file_, ProgressLine::Mode::Off);
  line.Update("ROM 0/128", 0, 128);
  line.Update("ROM 128/128", 128, 128);
  EXPECT_FALSE(line.Active());
  line.PrintMessage(file_, "text");
  EXPECT_EQ(Written(), "text\n");
}

}  // namespace
}  // namespace ql::cli

#include "rom/path_helpers.h"

#include <gtest/gtest.h>

namespace ql {
namespace {

TEST(HasExtension, ComparesTextAfterLastDotIgnoringCase) {
  EXPECT_TRUE(HasExtension("GAME.IPS", "ips"));
  EXPECT_TRUE(HasExtension("C:\\roms\\game.Smc", "SMC"));
  EXPECT_FALSE(HasExtension("C:\\dir.ips\\game", "ips"));
  EXPECT_FALSE(HasExtension("game", "ips"));
  EXPECT_FALSE(HasExtension("game.ipsx", "ips"));
  EXPECT_FALSE(HasExtension("game.ip", "ips"));
  EXPECT_FALSE(HasExtension("game.ips.bak", "ips"));
  EXPECT_TRUE(HasExtension("archive.tar.ips", "ips"));
  // Only ASCII letters fold: "[" is not "{" even though they differ by 0x20.
  EXPECT_FALSE(HasExtension("a.[", "{"));
}

TEST(HasExtension, DotAtEndMatchesOnlyEmptyExtension) {
  EXPECT_TRUE(HasExtension("game.", ""));
  EXPECT_FALSE(HasExtension("game.", "ips"));
}

TEST(ReplaceExtension, ReplacesAddsOrRemoves) {
  EXPECT_EQ(ReplaceExtension("C:\\roms\\game.smc", "rts"), "C:\\roms\\game.rts");
  EXPECT_EQ(ReplaceExtension("C:\\roms\\game.smc", nullptr), "C:\\roms\\game");
  EXPECT_EQ(ReplaceExtension("C:\\my.dir\\game", "bbd"), "C:\\my.dir\\game.bbd");
  EXPECT_EQ(ReplaceExtension("C:\\roms\\game", nullptr), "C:\\roms\\game");
  EXPECT_EQ(ReplaceExtension("game", "srm"), "game.srm");
  EXPECT_EQ(ReplaceExtension("game", nullptr), "game");
  EXPECT_EQ(ReplaceExtension("game.longext", "a"), "game.a");
  EXPECT_EQ(ReplaceExtension("", "ips"), ".ips");
}

TEST(ReplaceExtension, SlashSeparatesLikeBackslash) {
  EXPECT_EQ(ReplaceExtension("/home/u/my.dir/game", "bbd"), "/home/u/my.dir/game.bbd");
  EXPECT_EQ(ReplaceExtension("/home/u/roms/game.smd", "srm"), "/home/u/roms/game.srm");
  EXPECT_EQ(ReplaceExtension("/home/u/my.dir/game", nullptr), "/home/u/my.dir/game");
}

TEST(AfterLastAndStringEnd, Positions) {
  EXPECT_EQ(AfterLast("a\\b\\c", '\\'), 4u);
  EXPECT_EQ(AfterLast("abc", '\\'), 0u);
  EXPECT_EQ(AfterLast("abc\\", '\\'), 4u);
  EXPECT_EQ(AfterLast("", '.'), 0u);
  EXPECT_EQ(StringEnd("hello"), 5u);
  EXPECT_EQ(StringEnd(""), 0u);
  EXPECT_EQ(StringEnd(std::string_view("ab\0cd", 5)), 2u);
}

TEST(SetBits, LowestAndHighest) {
  EXPECT_EQ(LowestSetBit(0), -1);
  EXPECT_EQ(HighestSetBit(0), -1);
  EXPECT_EQ(LowestSetBit(1), 0);
  EXPECT_EQ(HighestSetBit(1), 0);
  EXPECT_EQ(LowestSetBit(0x80000000u), 31);
  EXPECT_EQ(HighestSetBit(0x80000000u), 31);
  EXPECT_EQ(LowestSetBit(0x2800), 11);
  EXPECT_EQ(HighestSetBit(0x2800), 13);
  EXPECT_EQ(LowestSetBit(0xFFFFFFFFu), 0);
  EXPECT_EQ(HighestSetBit(0xFFFFFFFFu), 31);
}

TEST(PathSplitting, FileNameAndFolder) {
  EXPECT_EQ(FileNameOf("C:\\roms\\game.smc"), "game.smc");
  EXPECT_EQ(FolderOf("C:\\roms\\game.smc"), "C:\\roms");
  EXPECT_EQ(FileNameOf("/home/u/game.smc"), "game.smc");
  EXPECT_EQ(FolderOf("/home/u/game.smc"), "/home/u");
  // Mixed separators: the last one of either kind counts.
  EXPECT_EQ(FileNameOf("C:\\roms/sub\\game.smc"), "game.smc");
  EXPECT_EQ(FolderOf("C:/roms\\game.smc"), "C:/roms");
  EXPECT_EQ(AfterLastSeparator("C:\\a/b"), 5u);
  // Without a separator the name is the whole path and there is no folder.
  EXPECT_EQ(FileNameOf("game.smc"), "game.smc");
  EXPECT_EQ(FolderOf("game.smc"), "");
  EXPECT_EQ(FolderOf("\\game.smc"), "");
  EXPECT_EQ(FileNameOf("C:\\roms\\"), "");
}

}  // namespace
}  // namespace ql

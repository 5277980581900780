#include "rom/path_helpers.h"

#include <gtest/gtest.h>

namespace ql {
namespace {

TEST(PathHelpers, ExtensionsFileNamesAndFolders) {
  const std::tuple<const char*, const char*, bool> hasExtension[] = {
      {"C:\\roms\\game.Smc", "SMC", true},
      {"archive.tar.ips", "ips", true},
      {"ips", "ips", false},  // no dot at all
      {"game.ip", "ips", false},
      {"a.[", "{", false},
  };
  for (auto [path, ext, expected] : hasExtension) EXPECT_EQ(HasExtension(path, ext), expected) << path << " " << ext;

  const std::tuple<const char*, const char*, const char*> replaceExtension[] = {
      {"C:\\roms\\game.smc", "rts", "C:\\roms\\game.rts"},
      {"C:\\roms\\game.smc", nullptr, "C:\\roms\\game"},
      {"C:\\my.dir\\game", "bbd", "C:\\my.dir\\game.bbd"},
      {"game", "srm", "game.srm"},
      {"game.longext", "a", "game.a"},
      {"/home/u/my.dir/game", "bbd", "/home/u/my.dir/game.bbd"},
  };
  for (auto [path, ext, expected] : replaceExtension) EXPECT_EQ(ReplaceExtension(path, ext), expected) << path;

  const std::tuple<const char*, const char*, const char*> split[] = {
      {"C:\\a/b\\game.smc", "game.smc", "C:\\a/b"},
      {"C:\\roms/g", "g", "C:\\roms"},
      {"game.smc", "game.smc", ""},
      {"\\game.smc", "game.smc", ""},
  };
  for (auto [path, name, folder] : split) {
    EXPECT_EQ(FileNameOf(path), name) << path;
    EXPECT_EQ(FolderOf(path), folder) << path;
  }
}

}  // namespace
}  // namespace ql

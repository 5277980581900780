// A state folder that cannot be saved, and one shared by two processes.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "tests/emulator/pc_side.h"

namespace ql::emu::testing {
namespace {

namespace fs = std::filesystem;

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class SharedState : public ::testing::Test {
 protected:
  SharedState() { fs::create_directories(root_); }
  ~SharedState() override { fs::remove_all(root_); }
  const fs::path root_ = fs::temp_directory_path() / ("quillon-share-" + std::to_string(std::random_device{}()));
};

// Each failing cause is told once however many packets try to save, the
// copier goes on answering, and events.log takes each line once even though
// dram.bin fails every time.
TEST_F(SharedState, UnsavableFilesAreReportedOnceAndTheCopierGoesOn) {
  const struct {
    const char* name;
    fs::path state;     // what state= names
    fs::path blocker;   // a directory where a file should be, or none
    std::string named;  // what the message names
    bool eventsKept;
  } cases[] = {
      {"state is a file", root_ / "plain-file", {}, (root_ / "plain-file").string(), false},
      {"dram.bin is a folder", root_ / "dir", root_ / "dir" / "dram.bin", (root_ / "dir" / "dram.bin").string(), true},
  };
  std::ofstream(root_ / "plain-file") << "not a folder";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.blocker.empty()) fs::create_directories(c.blocker);
    ::testing::internal::CaptureStderr();
    {
      Rig rig(Make(Device::Swc, Fault::None, 0, c.state.string()));
      ASSERT_TRUE(rig.pc.Write(0x8000, {0x5A}));
      for (std::uint16_t i = 1; i <= 3; ++i) ASSERT_TRUE(rig.pc.Command(6, i));
      EXPECT_EQ(rig.pc.ReadByte(0x8000), 0x5A) << "the command's own result is unchanged";
    }
    const std::string stderrText = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Count(stderrText, "Copier emulator:"), 1u) << stderrText;
    EXPECT_NE(stderrText.find(c.named), std::string::npos) << stderrText;
    if (c.eventsKept) {
      EXPECT_EQ(ReadText(c.state / "events.log"), "F 01 00 00 00\nF 02 00 00 00\nF 03 00 00 00\n");
      EXPECT_EQ(fs::file_size(c.state / "sram.bin"), 32768u) << "the other files are saved";
    }
  }
}

// A copier left open (the Windows program with the emulator's io.dll) saves
// when the port is parked; memory it has not changed since it loaded the
// folder must not overwrite what another run uploaded meanwhile.
TEST_F(SharedState, ACopierThatChangedNothingKeepsItsHandsOffNewerMemory) {
  const Options options = Make(Device::Swc, Fault::None, 0, (root_ / "st").string());
  const Bytes older = Pattern(8192, 1), newer = Pattern(8192, 2);
  Rig(options).copier.SetDramPage(0, older);  // saved by its destructor
  Rig idle(options);
  {
    Rig busy(options);
    ASSERT_TRUE(busy.pc.Page(0) && busy.pc.Write(0x8000, newer) && busy.pc.Command(6, 1));
  }
  ASSERT_TRUE(idle.pc.Write(0x1000, {1}) && idle.pc.Command(6, 2));
  idle.copier.SaveState();
  EXPECT_EQ(ReadText(root_ / "st" / "dram.bin"), std::string(newer.begin(), newer.end()));
  EXPECT_EQ(ReadText(root_ / "st" / "events.log"), "F 01 00 00 00\nF 02 00 00 00\n");
}

// Two processes run copiers on one folder over and over: each loads it,
// fills every page with its own byte and saves. Whatever the interleaving,
// dram.bin is always one process's whole memory, never cut or mixed, and
// events.log holds every line once.
TEST_F(SharedState, TwoProcessesNeverLeaveATornDramFile) {
  constexpr int kRounds = 20;
  constexpr std::uint16_t kPages = 32;
  const fs::path dir = root_ / "shared";
  const auto whole = [&](const Bytes& dram) {
    return dram.size() == kPages * 8192u &&
           std::count(dram.begin(), dram.end(), dram.front()) == std::ptrdiff_t(dram.size());
  };
  // 0 when every load found a whole memory, else the round that did not.
  const auto play = [&](std::uint8_t fill) {
    for (int round = 1; round <= kRounds; ++round) {
      Rig rig(Make(Device::Swc, Fault::None, 0, dir.string()));
      Bytes loaded;
      for (std::uint16_t p = 0; p < rig.copier.DramSize() / 8192; ++p) {
        const Bytes page = rig.copier.DramPage(p);
        loaded.insert(loaded.end(), page.begin(), page.end());
      }
      if (!loaded.empty() && !whole(loaded)) return round;
      for (std::uint16_t p = 0; p < kPages; ++p)
        if (!rig.pc.Page(p) || !rig.pc.Write(0x8000, Bytes(8192, fill))) return round;
      if (!rig.pc.Command(6, fill)) return round;
    }
    return 0;
  };
  pid_t children[2];
  for (int i = 0; i < 2; ++i) {
    children[i] = fork();
    ASSERT_GE(children[i], 0);
    if (children[i] == 0) _exit(play(std::uint8_t(0xA0 + i)));
  }
  // Meanwhile a reader of the file itself.
  int tornReads = 0, reads = 0, status[2] = {};
  bool finished[2] = {};
  while (!finished[0] || !finished[1]) {
    std::ifstream file(dir / "dram.bin", std::ios::binary);
    if (file) {
      ++reads;
      tornReads += !whole(Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
    }
    for (int i = 0; i < 2; ++i) finished[i] = finished[i] || waitpid(children[i], &status[i], WNOHANG) == children[i];
  }
  EXPECT_EQ(tornReads, 0) << "of " << reads << " reads";
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(WIFEXITED(status[i]));
    EXPECT_EQ(WEXITSTATUS(status[i]), 0) << "process " << i << ": the round whose load was cut";
  }
  const std::string events = ReadText(dir / "events.log");
  EXPECT_EQ(Count(events, "F A0 00 00 00\n"), std::size_t(kRounds));
  EXPECT_EQ(Count(events, "F A1 00 00 00\n"), std::size_t(kRounds));
  EXPECT_EQ(events.size(), 2u * kRounds * 14);
}

}  // namespace
}  // namespace ql::emu::testing

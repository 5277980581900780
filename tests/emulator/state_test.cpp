// The state folder that carries the copier's memory and events from one run
// to the next, one that cannot be saved, and one shared by two processes.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "tests/emulator/pc_side.h"

namespace ql::emu::testing {
namespace {

namespace fs = std::filesystem;

// A whole file, empty when it cannot be read.
std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class StateFolder : public ::testing::Test {
 protected:
  ~StateFolder() override { fs::remove_all(root_); }
  Options With(Device device = Device::Swc) const { return Make(device, Fault::None, 0, dir_.string()); }
  const fs::path root_ = fs::temp_directory_path() / ("quillon-emu-" + std::to_string(std::random_device{}()));
  const fs::path dir_ = root_ / "nested";
};
using SharedState = StateFolder;

// A STROBE flip written whole is a step; any other control write is the PC
// parking the port: no step, but a moment to save.
TEST_F(StateFolder, SecondCopierSeesWhatTheFirstHeldAndEventsAppend) {
  const Bytes header = Pattern(512, 1), block = Pattern(8192, 2), sram = Pattern(32768, 3), area = Pattern(262144, 4);
  {
    Rig first(With());
    ASSERT_TRUE(first.pc.Write(0x0400, header) && first.pc.Page(2) && first.pc.Write(0x8000, block));
    first.copier.Sram() = sram;
    first.copier.RealTimeArea() = area;
    const std::uint64_t moved = first.copier.BytesMoved();
    first.copier.PortOut(0x37A, first.copier.ControlRegister() ^ 1);
    EXPECT_FALSE(fs::exists(root_));
    first.copier.PortOut(0x37A, first.copier.ControlRegister() ^ 0x0C);
    EXPECT_EQ(first.copier.BytesMoved(), moved + 1);
    EXPECT_EQ(fs::file_size(dir_ / "dram.bin"), 3u * 8192) << "up to the highest page written";
    // Function packets: command 6, the four parameters sent as address and length, low byte first.
    ASSERT_TRUE(first.pc.Command(6, 0x0805));
    EXPECT_EQ(ReadText(dir_ / "events.log"), "F 05 08 00 00\n") << "a function packet saves at once";
    ASSERT_TRUE(first.pc.Command(6, 0xAB03, 0xEFCD));
  }
  Rig second(With());
  EXPECT_EQ(Bytes(second.copier.UploadHeader().begin(), second.copier.UploadHeader().end()), header);
  EXPECT_EQ(second.copier.DramPage(2), block);
  EXPECT_EQ(second.copier.Sram(), sram);
  EXPECT_EQ(second.copier.RealTimeArea(), area);
  ASSERT_TRUE(second.pc.Command(6, 0x0002));
  EXPECT_EQ(second.copier.Events(), std::vector<std::string>{"F 02 00 00 00"}) << "events belong to the run";
  EXPECT_EQ(ReadText(dir_ / "events.log"), "F 05 08 00 00\nF 03 AB CD EF\nF 02 00 00 00\n");
}

TEST_F(StateFolder, SmdModeWritesAreEventsAndNoRealTimeAreaIsKept) {
  ASSERT_TRUE(Rig(With(Device::Smd)).pc.Write(0x2001, {4}));
  EXPECT_EQ(ReadText(dir_ / "events.log"), "W 2001 04\n");
  EXPECT_FALSE(fs::exists(dir_ / "rtsarea.bin"));
}

TEST_F(StateFolder, ShortOrOversizedFilesAreTakenAsFarAsTheyFit) {
  fs::create_directories(dir_);
  std::ofstream(dir_ / "sram.bin", std::ios::binary) << std::string(40000, '\x11');
  std::ofstream(dir_ / "dram.bin", std::ios::binary) << std::string(8193, '\x22');
  std::ofstream(dir_ / "header.bin", std::ios::binary) << "AB";
  Rig rig(With());
  EXPECT_EQ(rig.copier.Sram(), Bytes(32768, 0x11));
  EXPECT_EQ(rig.copier.DramSize(), 2u * 8192) << "a cut page is completed";
  EXPECT_EQ(Slice(rig.copier.DramPage(1), 0, 2), (Bytes{0x22, 0}));
  EXPECT_EQ(Slice(Bytes(rig.copier.UploadHeader().begin(), rig.copier.UploadHeader().end()), 0, 3),
            (Bytes{'A', 'B', 0}));
}

// Each failing cause is told once however many packets try to save, the
// copier goes on answering, and events.log takes each line once even though
// dram.bin fails every time.
TEST_F(SharedState, UnsavableFilesAreReportedOnceAndTheCopierGoesOn) {
  fs::create_directories(dir_ / "dram.bin");  // a folder where the file should be
  std::ofstream(root_ / "plain-file") << "not a folder";
  for (const auto& [state, named] :
       {std::pair(root_ / "plain-file", root_ / "plain-file"), std::pair(dir_, dir_ / "dram.bin")}) {
    SCOPED_TRACE(state);
    ::testing::internal::CaptureStderr();
    {
      Rig rig(Make(Device::Swc, Fault::None, 0, state.string()));
      ASSERT_TRUE(rig.pc.Write(0x8000, {0x5A}));
      for (std::uint16_t i = 1; i <= 3; ++i) ASSERT_TRUE(rig.pc.Command(6, i));
      EXPECT_EQ(rig.pc.ReadByte(0x8000), 0x5A) << "the command's own result is unchanged";
    }
    const std::string stderrText = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(stderrText.rfind("Copier emulator: state not saved: "), 0u) << "one message: " << stderrText;
    EXPECT_NE(stderrText.find(named.string()), std::string::npos) << stderrText;
  }
  EXPECT_EQ(ReadText(dir_ / "events.log"), "F 01 00 00 00\nF 02 00 00 00\nF 03 00 00 00\n");
  EXPECT_EQ(fs::file_size(dir_ / "sram.bin"), 32768u) << "the other files are saved";
}

// A copier left open (the Windows program with the emulator's io.dll) saves
// when the port is parked; memory it has not changed since it loaded the
// folder must not overwrite what another run uploaded meanwhile.
TEST_F(SharedState, ACopierThatChangedNothingKeepsItsHandsOffNewerMemory) {
  const Bytes older = Pattern(8192, 1), newer = Pattern(8192, 2);
  Rig(With()).copier.SetDramPage(0, older);  // saved by its destructor
  Rig idle(With());
  {
    Rig busy(With());
    ASSERT_TRUE(busy.pc.Page(0) && busy.pc.Write(0x8000, newer) && busy.pc.Command(6, 1));
  }
  ASSERT_TRUE(idle.pc.Write(0x1000, {1}) && idle.pc.Command(6, 2));
  idle.copier.SaveState();
  EXPECT_EQ(ReadText(dir_ / "dram.bin"), std::string(newer.begin(), newer.end()));
  EXPECT_EQ(ReadText(dir_ / "events.log"), "F 01 00 00 00\nF 02 00 00 00\n");
}

// Two processes run copiers on one folder over and over, each filling every
// page with its own byte. Whatever the interleaving, a reader of dram.bin
// finds one process's whole memory, never cut or mixed, and events.log holds
// every line once.
TEST_F(SharedState, TwoProcessesNeverLeaveATornDramFile) {
  constexpr int kRounds = 20;
  constexpr std::uint16_t kPages = 32;
  // 0 when every round went through, else the round that did not.
  const auto play = [&](std::uint8_t fill) {
    for (int round = 1; round <= kRounds; ++round) {
      Rig rig(With());
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
  int tornReads = 0, reads = 0, status[2] = {};
  bool finished[2] = {};
  while (!finished[0] || !finished[1]) {
    std::ifstream file(dir_ / "dram.bin", std::ios::binary);
    if (file) {
      const Bytes dram(std::istreambuf_iterator<char>(file), {});
      ++reads;
      tornReads += dram.size() != kPages * 8192u || std::count(dram.begin(), dram.end(), dram[0]) != kPages * 8192;
    }
    for (int i = 0; i < 2; ++i) finished[i] = finished[i] || waitpid(children[i], &status[i], WNOHANG) == children[i];
  }
  EXPECT_EQ(tornReads, 0) << "of " << reads << " reads";
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(WIFEXITED(status[i]));
    EXPECT_EQ(WEXITSTATUS(status[i]), 0) << "process " << i << ": the round that failed";
  }
  const std::string events = ReadText(dir_ / "events.log");
  EXPECT_EQ(Count(events, "F A0 00 00 00\n"), std::size_t(kRounds));
  EXPECT_EQ(Count(events, "F A1 00 00 00\n"), std::size_t(kRounds));
  EXPECT_EQ(events.size(), 2u * kRounds * 14);
}

}  // namespace
}  // namespace ql::emu::testing

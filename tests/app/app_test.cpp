// The portable shell logic: the window's device and port state, the batch
// load and its companion search, the commands and the jobs they start.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <semaphore>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/command_table.h"
#include "app/commands.h"
#include "app/file_batch.h"
#include "app/jobs.h"
#include "app/window_state.h"
#include "core/state.h"
#include "core/types.h"
#include "core/window_model.h"
#include "emulator/copier.h"
#include "link/port_binding.h"
#include "resources/resource_ids.h"
#include "tests/support/sim_link.h"

namespace ql::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

// size bytes seeded by fill, after a copier header of that file type unless it is 0.
Bytes Pattern(std::size_t size, std::uint8_t fill, std::uint8_t copierFileType = 0) {
  Bytes bytes(copierFileType == 0 ? 0 : 512);
  if (copierFileType != 0) bytes[8] = 0xAA, bytes[9] = 0xBB, bytes[10] = copierFileType;
  for (std::size_t i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(fill + i * 7 + (i >> 8)));
  return bytes;
}
// 32 KB of LoROM with a valid internal header (2 Mbit, 16 kbit SRAM, checksum 0x1234).
Bytes SnesRom(std::uint8_t fill) {
  Bytes image = Pattern(32768, fill);
  const char header[] = "APP TEST ROM         \x20\x00\x08\x01\x01\x01\x00\xCB\xED\x34\x12";
  std::copy(header, header + 32, image.begin() + 0x7FC0);
  return image;
}

// The hook in `at` runs once, on the job's thread, at the first progress text that begins with its prefix.
struct HookedWindow final : WindowModel {
  void ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) override {
    WindowModel::ShowProgress(text, done, total);
    if (at.second && !text.empty() && text.rfind(at.first, 0) == 0) std::exchange(at.second, {})();
  }
  std::pair<std::string, std::function<void()>> at;
};

struct AppTest : ::testing::Test {
  AppTest() { Restart(); }
  ~AppTest() override {
    released.release();  // a job still held
    WaitForJob(-1);
    std::filesystem::remove_all(root_);
  }

  // Fresh shared state, copier and window, set up for this device.
  void Restart(emu::Device device = emu::Device::Swc) {
    sim_.reset();  // before the next one resets the shared state
    emu::Options options;
    options.device = device;
    sim_ = std::make_unique<SimLink>(options);
    window_ = std::make_unique<HookedWindow>();
    SetFrontEnd(window_.get());
    SelectedDevice = device == emu::Device::Smd ? kDeviceSmd : kDeviceSwc;
    InitialiseWindowState();
  }
  static void AwaitJobEnd() { ASSERT_TRUE(WaitForJob(20000)) << "the job did not end"; }

  std::string Put(const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories((root_ / name).parent_path());
    std::ofstream(root_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return (root_ / name).string();
  }
  std::string Rom(const std::string& name, std::uint8_t fill = 0x11) { return Put(name, SnesRom(fill)); }
  std::string Srm(const std::string& name, std::uint8_t fill = 1) { return Put(name, Pattern(8192, fill)); }
  std::string Rts(const std::string& name) { return Put(name, Pattern(262144, 3, 8)); }
  std::string Ips(const std::string& name) {
    return Put(name, {'P', 'A', 'T', 'C', 'H', 0, 0, 16, 0, 1, 9, 'E', 'O', 'F'});
  }
  static Strings Slots() { return {RomPath, SramPath, RealTimePath, PatchPath}; }

  const Strings& Events() { return sim_->copier().Events(); }

  const std::filesystem::path root_ =
      std::filesystem::temp_directory_path() / ("quillon-app-" + std::to_string(getpid()));
  std::unique_ptr<SimLink> sim_;
  std::unique_ptr<HookedWindow> window_;
  std::counting_semaphore<> held{0}, released{0};
};

// The function packets of an upload-and-run: plain, in real time, and in real time after the save.
const Strings kRun = {"F 05 04 00 00", "F 01 09 00 00"}, kRealTimeRun = {"F 05 04 00 00", "F 01 09 01 00"};
const Strings kRealTimeRunWithSave = {"F 03 00 00 00", "F 05 04 00 00", "F 01 09 01 00"};

// The menu items always say what the command table derives from the slots and the device.
void ExpectMenusFollowTheCommandTable(const WindowModel& window) {
  for (const CommandInfo& command : CommandTable()) {
    EXPECT_EQ(window.MenuItemEnabled(command.id), CommandAvailable(command)) << command.label;
  }
}

TEST_F(AppTest, DeviceAndPortChoicesCheckTheirItemsAndOnlyAnOpenLinkIsRebound) {
  LoadFileBatch({Rom("game.smc"), Srm("game.srm"), Rts("game.rts"), Ips("game.ips")});
  EXPECT_TRUE(RunCommand(IDM_DEVICE_SWC));
  EXPECT_FALSE(RomPath.empty()) << "choosing the selected device keeps the window";
  EXPECT_TRUE(RunCommand(IDM_DEVICE_SMD));
  SelectDevice(2);
  for (std::uint8_t port : {0, 6}) SelectLpt(port);  // 4 and 5 are the bridge and a base of the user's own
  EXPECT_EQ(Slots(), Strings(4));
  for (int label = IDC_LABEL_ROM_FILE; label <= IDC_LABEL_PATCH_FILE; ++label)
    EXPECT_FALSE(window_->ControlEnabled(label));
  for (int field = IDC_ROM_FILE; field <= IDC_PATCH_FILE; ++field) EXPECT_EQ(window_->ControlText(field), " ");
  ExpectMenusFollowTheCommandTable(*window_);
  EXPECT_TRUE(window_->MenuItemChecked(IDM_DEVICE_SMD));
  EXPECT_TRUE(window_->MenuItemChecked(IDM_LPT1));

  EXPECT_TRUE(RunCommand(IDM_LPT2));
  ASSERT_TRUE(EnsureLinkReady());
  EXPECT_TRUE(RunCommand(IDM_LPT3));
  EXPECT_EQ(LptBase(), 0x3BC);
}

TEST_F(AppTest, CompanionsAreNamedAfterTheRomAndGoWithIt) {
  // A .bbd before a .srm; a ROM file name without "." gets a dot of its own, the folder's dot is not the ROM's.
  const std::string rom = Rom("v1.2/game"), bbd = Put("v1.2/game.bbd", Pattern(8192, 4, 5)), rts = Rts("v1.2/game.rts");
  Srm("v1.2/game.srm");
  LoadFileBatch({rom});
  EXPECT_EQ(Slots(), (Strings{rom, bbd, rts, ""}));

  // A drop without a ROM searches nothing (a search now would find the .srm) and keeps the ROM's header.
  const auto header = RomHeader;
  std::filesystem::remove(bbd);
  const std::string fix = Ips("fix.ips");
  LoadFileBatch({fix});
  EXPECT_EQ(Slots(), (Strings{rom, bbd, rts, fix}));
  EXPECT_EQ(RomHeader, header);

  // A second ROM without companions takes the first one's out of the window.
  const std::string second = Rom("second.smc", 0x40);
  LoadFileBatch({second});
  EXPECT_EQ(Slots(), (Strings{second, "", "", ""}));
  ExpectMenusFollowTheCommandTable(*window_);
}

TEST(OpenSelectionTest, OneFullPathOrTheFolderJoinedWithEachName) {
  using namespace std::string_literals;
  // The empty string ends the list, and so does the buffer's end; a root folder has its backslash already.
  EXPECT_EQ(ExpandOpenSelection("C:\\x.smc\0\0C:\\stale.smc\0"s), Strings{"C:\\x.smc"});
  EXPECT_EQ(ExpandOpenSelection("C:\\roms\0a.smc\0b.ips"s), (Strings{"C:\\roms\\a.smc", "C:\\roms\\b.ips"}));
  EXPECT_EQ(ExpandOpenSelection("C:\\\0a.smc\0\0"s), Strings{"C:\\a.smc"});
}

TEST_F(AppTest, WhileAJobRunsOnlyCancelAboutAndExitAreTaken) {
  LoadFileBatch({Rom("game.smc"), Rts("game.rts")});  // no SRAM: a step run after the cancel would send the save
  window_->at = {"ROM ", [this] {
                   held.release();
                   released.acquire();
                 }};
  ASSERT_TRUE(RunCommand(IDM_UPLOAD_AND_RUN_REALTIME));
  held.acquire();
  EXPECT_FALSE(WaitForJob(10));
  for (int id = IDM_OPEN; id <= IDM_DOWNLOAD_REALTIME; ++id) {
    EXPECT_EQ(RunCommand(id), id == IDM_ABOUT || id == IDM_EXIT) << id;
  }
  EXPECT_FALSE(TryStartDownloadJob(static_cast<std::uint8_t>(DownloadKind::Sram)));
  EXPECT_EQ(LoadFileBatch({Rom("other.smc", 0x70)}), 0u);
  ASSERT_EQ(window_->Messages().size(), 2u) << "About, then the refused drop";
  EXPECT_EQ(window_->Messages()[1].text, "A transfer is running. Drop or open the files again when it has finished.");
  EXPECT_EQ(window_->Messages()[1].icon, MessageIcon::Stop);
  EXPECT_TRUE(RunCommand(IDC_PLAY));
  released.release();
  AwaitJobEnd();
  EXPECT_TRUE(Events().empty()) << "cancelled in the ROM step: no real-time save, no execute";
  EXPECT_FALSE(LastJobFailed()) << "a cancel is not a failure";

  // The cancel left over from that job does not stop the next.
  ASSERT_TRUE(RunCommand(IDM_UPLOAD_AND_RUN));
  AwaitJobEnd();
  EXPECT_EQ(Events(), kRun);
}

TEST_F(AppTest, UploadsSendTheLoadedSlotsAndRunInRealTimeOnlyWhenAsked) {
  Srm("a.srm", 'a'), Srm("c.srm", 'c'), Rts("b.rts"), Rts("c.rts");
  // b has no SRAM: the copier keeps c's.
  for (const auto& [rom, command, events] : {std::tuple{'a', IDC_PLAY, kRun},
                                             {'c', IDC_PLAY, kRealTimeRunWithSave},
                                             {'c', IDM_UPLOAD_REALTIME, Strings{kRealTimeRunWithSave[0]}},
                                             {'b', IDM_UPLOAD_AND_RUN_REALTIME, kRealTimeRunWithSave},
                                             {'a', IDM_UPLOAD_AND_RUN_REALTIME, kRealTimeRun}}) {
    SCOPED_TRACE(std::string(1, rom) + " " + std::to_string(command));
    const auto before = std::ssize(Events());
    LoadFileBatch({Rom(std::string(1, rom) + ".smc", static_cast<std::uint8_t>(rom))});
    ASSERT_TRUE(RunCommand(command));
    AwaitJobEnd();
    EXPECT_EQ(Strings(Events().begin() + before, Events().end()), events);
    const Bytes& sram = sim_->copier().Sram();
    EXPECT_EQ(Bytes(sram.begin(), sram.begin() + 8192), Pattern(8192, rom == 'a' ? 'a' : 'c'));
    EXPECT_FALSE(RealTimeMode);
  }
}

TEST_F(AppTest, FirstFailingStepEndsTheJob) {
  // The SRAM file vanished after loading: its step says so and no execute follows.
  const std::string srm = Srm("game.srm");
  LoadFileBatch({Rom("game.smc"), srm});
  std::filesystem::remove(srm);
  ASSERT_TRUE(RunCommand(IDM_UPLOAD_AND_RUN));
  AwaitJobEnd();
  EXPECT_TRUE(LastJobFailed());
  ASSERT_EQ(window_->Messages().size(), 1u);
  EXPECT_EQ(window_->Messages()[0].caption, "Upload SRAM");
  EXPECT_EQ(window_->Messages()[0].text.rfind("Cannot open \"" + srm + "\"", 0), 0u) << window_->Messages()[0].text;
  EXPECT_TRUE(Events().empty());
}

TEST_F(AppTest, AFailureNoStepExpectedEndsTheJobAsFailedWithAStopMessage) {
  LoadFileBatch({Rom("game.smc"), Srm("game.srm")});
  const std::vector<std::tuple<int, std::function<void()>, std::string, std::string>> cases = {
      {IDM_DOWNLOAD_SRAM, [] { throw 7; }, "Download SRAM", "unknown exception"},
      {IDM_UPLOAD_AND_RUN, [] { throw std::runtime_error("bad things"); }, "Upload SRAM", "bad things"},
  };
  RealTimeMode = true;
  for (const auto& [command, fail, caption, what] : cases) {
    SCOPED_TRACE(caption);
    window_->ClearRecords();
    window_->QueueSaveAnswer((root_ / "out.srm").string());
    window_->at = {"SRAM ", fail};
    ASSERT_TRUE(RunCommand(command));
    AwaitJobEnd();
    EXPECT_TRUE(LastJobFailed());
    EXPECT_EQ(RealTimeMode, command == IDM_DOWNLOAD_SRAM) << "a download leaves real-time mode alone";
    ASSERT_EQ(window_->Messages().size(), 1u);
    EXPECT_EQ(window_->Messages()[0].text, "Internal error: " + what);
    EXPECT_EQ(window_->Messages()[0].caption, caption);
    EXPECT_EQ(window_->Messages()[0].icon, MessageIcon::Stop);
  }
  ASSERT_TRUE(RunCommand(IDM_UPLOAD_AND_RUN));
  AwaitJobEnd();
  EXPECT_FALSE(LastJobFailed());
}

TEST_F(AppTest, SmdKeepsTheRealTimeSlotButNeverSendsIt) {
  Restart(emu::Device::Smd);
  Bytes genesis = Pattern(0x4000, 0x22);
  std::copy_n("SEGA GENESIS    ", 16, genesis.begin() + 0x100);
  const std::string rom = Put("game.bin", genesis), srm = Srm("game.srm"), rts = Rts("save.rts");
  LoadFileBatch({rts});
  LoadFileBatch({rom});
  EXPECT_EQ(Slots(), (Strings{rom, srm, rts, ""}));
  ASSERT_TRUE(RunCommand(IDC_PLAY));
  AwaitJobEnd();
  EXPECT_EQ(Events(), (Strings{"W 2001 00", "W 2001 04", "W 2001 03"})) << "uploaded and started, no real-time save";
}

TEST_F(AppTest, CommandsThatStartNoJob) {
  LoadFileBatch({Rom("game.smc")});
  SetPortLibraryLoader([](std::string&) -> std::unique_ptr<PortIo> { return nullptr; });  // no port library
  EXPECT_TRUE(RunCommand(IDM_UPLOAD_AND_RUN_REALTIME));
  EXPECT_FALSE(RealTimeMode) << "the real-time request ends with the failed link start";
  EXPECT_TRUE(window_->ProgressHistory().empty()) << "the window was left as it was";
  Restart();
  EXPECT_TRUE(RunCommand(IDC_PLAY));
  EXPECT_EQ(window_->Messages().at(0).caption, "Play Cartridge") << "without a ROM the button plays the cartridge";
  EXPECT_TRUE(RunCommand(IDM_EXECUTE_REALTIME));
  EXPECT_EQ(Events(), (Strings{"F 05 00 00 00", "F 01 00 01 00"}));
  EXPECT_FALSE(RealTimeMode) << "only that execute ran in real time";
  EXPECT_FALSE(RunCommand(IDM_OPEN)) << "no handler installed";
  for (int id : {0, 1000, 65535}) EXPECT_FALSE(RunCommand(id)) << id;
}

}  // namespace
}  // namespace ql::testing

#include "app/window_state.h"

#include <gtest/gtest.h>

#include "core/state.h"
#include "core/types.h"
#include "link/port_binding.h"
#include "resources/resource_ids.h"
#include "rom/load_image.h"
#include "tests/app/app_test_files.h"
#include "tests/support/sim_link.h"

namespace ql {
namespace {

using testing::SimLink;
using testing::TempFolder;

constexpr int kUploadItems[] = {IDM_UPLOAD_AND_RUN, IDM_UPLOAD_AND_RUN_REALTIME, IDM_UPLOAD_ROM, IDM_UPLOAD_ROM_IPS,
                                IDM_UPLOAD_SRAM,    IDM_UPLOAD_REALTIME};
constexpr int kSwcOnlyItems[] = {IDM_CARTRIDGE_INFO, IDM_EXECUTE_REALTIME, IDM_DOWNLOAD_REALTIME};

class WindowStateTest : public ::testing::Test {
 protected:
  WindowModel& window() { return sim_.window(); }

  // An SWC window with a ROM and all three companions loaded.
  void LoadFullSwcSet() {
    InitialiseWindowState();
    ASSERT_EQ(LoadImageFile(testing::WriteSnesRom(files_, "game.smc")), FileKind::Rom);
    ASSERT_EQ(LoadImageFile(testing::WriteSram(files_, "game.srm", 1)), FileKind::Sram);
    ASSERT_EQ(LoadImageFile(testing::WriteRealTimeSave(files_, "game.rts", 2)), FileKind::RealTime);
    ASSERT_EQ(LoadImageFile(testing::WritePatch(files_, "game.ips")), FileKind::Patch);
  }

  SimLink sim_;
  TempFolder files_;
};

TEST_F(WindowStateTest, InitialisationChecksTheStoredDeviceAndPortOnly) {
  SelectedDevice = kDeviceSmd;
  SelectedLpt = 3;
  InitialiseWindowState();

  EXPECT_EQ(SelectedDevice, kDeviceSmd);
  EXPECT_EQ(SelectedLpt, 3);
  EXPECT_TRUE(window().MenuItemChecked(IDM_DEVICE_SMD));
  EXPECT_FALSE(window().MenuItemChecked(IDM_DEVICE_SWC));
  EXPECT_TRUE(window().MenuItemChecked(IDM_LPT3));
  EXPECT_FALSE(window().MenuItemChecked(IDM_LPT1));
  EXPECT_FALSE(window().MenuItemChecked(IDM_LPT2));
  for (int item : kSwcOnlyItems) EXPECT_FALSE(window().MenuItemEnabled(item)) << item;
  for (int item : kUploadItems) EXPECT_FALSE(window().MenuItemEnabled(item)) << item;
  EXPECT_EQ(sim_.LoadCount(), 0) << "nothing touches the port at start";
}

TEST_F(WindowStateTest, InitialisationForSwcEnablesTheSwcItems) {
  InitialiseWindowState();
  EXPECT_TRUE(window().MenuItemChecked(IDM_DEVICE_SWC));
  EXPECT_FALSE(window().MenuItemChecked(IDM_DEVICE_SMD));
  EXPECT_TRUE(window().MenuItemChecked(IDM_LPT1));
  for (int item : kSwcOnlyItems) EXPECT_TRUE(window().MenuItemEnabled(item)) << item;
}

TEST_F(WindowStateTest, SwitchingDeviceEmptiesEverySlotAndBlanksTheWindow) {
  LoadFullSwcSet();
  SelectDevice(kDeviceSmd);

  EXPECT_TRUE(RomPath.empty());
  EXPECT_TRUE(SramPath.empty());
  EXPECT_TRUE(RealTimePath.empty());
  EXPECT_TRUE(PatchPath.empty());
  for (int label = IDC_LABEL_ROM_FILE; label <= IDC_LABEL_PATCH_FILE; ++label) {
    EXPECT_FALSE(window().ControlEnabled(label)) << label;
  }
  for (int field = IDC_ROM_FILE; field <= IDC_PATCH_FILE; ++field) {
    EXPECT_EQ(window().ControlText(field), " ") << field;
  }
  for (int item : kUploadItems) EXPECT_FALSE(window().MenuItemEnabled(item)) << item;
  for (int item : kSwcOnlyItems) EXPECT_FALSE(window().MenuItemEnabled(item)) << item;
  EXPECT_TRUE(window().MenuItemChecked(IDM_DEVICE_SMD));
  EXPECT_FALSE(window().MenuItemChecked(IDM_DEVICE_SWC));
}

TEST_F(WindowStateTest, SwitchingBackEnablesSwcItemsButNotTheUploadItems) {
  LoadFullSwcSet();
  SelectDevice(kDeviceSmd);
  SelectDevice(kDeviceSwc);

  for (int item : kSwcOnlyItems) EXPECT_TRUE(window().MenuItemEnabled(item)) << item;
  for (int item : kUploadItems) EXPECT_FALSE(window().MenuItemEnabled(item)) << item;
  EXPECT_TRUE(window().MenuItemChecked(IDM_DEVICE_SWC));
  EXPECT_FALSE(window().MenuItemChecked(IDM_DEVICE_SMD));
}

TEST_F(WindowStateTest, ChoosingTheSelectedDeviceKeepsSlotsAndFields) {
  LoadFullSwcSet();
  const std::string romField = window().ControlText(IDC_ROM_FILE);
  SelectDevice(kDeviceSwc);

  EXPECT_FALSE(RomPath.empty());
  EXPECT_FALSE(SramPath.empty());
  EXPECT_FALSE(RealTimePath.empty());
  EXPECT_FALSE(PatchPath.empty());
  EXPECT_EQ(window().ControlText(IDC_ROM_FILE), romField);
  EXPECT_EQ(romField, "game.smc");
  EXPECT_TRUE(window().MenuItemEnabled(IDM_UPLOAD_AND_RUN));
  EXPECT_TRUE(window().MenuItemEnabled(IDM_UPLOAD_ROM_IPS));
}

TEST_F(WindowStateTest, DeviceSwitchLeavesRealTimeModeAndLinkAlone) {
  InitialiseWindowState();
  ASSERT_TRUE(EnsureLinkReady());
  RealTimeMode = true;
  SelectDevice(kDeviceSmd);
  EXPECT_TRUE(RealTimeMode);
  EXPECT_TRUE(LinkOpen);
  EXPECT_EQ(sim_.LoadCount(), 1);
}

TEST_F(WindowStateTest, UnknownDeviceOrPortChangesNothing) {
  InitialiseWindowState();
  SelectDevice(2);
  SelectLpt(0);
  SelectLpt(4);
  EXPECT_EQ(SelectedDevice, kDeviceSwc);
  EXPECT_EQ(SelectedLpt, 1);
  EXPECT_TRUE(window().MenuItemChecked(IDM_DEVICE_SWC));
  EXPECT_TRUE(window().MenuItemChecked(IDM_LPT1));
}

TEST_F(WindowStateTest, PortChoiceBeforeTheLinkOpensOnlyMovesTheCheckMark) {
  InitialiseWindowState();
  SelectLpt(2);

  EXPECT_EQ(SelectedLpt, 2);
  EXPECT_TRUE(window().MenuItemChecked(IDM_LPT2));
  EXPECT_FALSE(window().MenuItemChecked(IDM_LPT1));
  EXPECT_EQ(sim_.LoadCount(), 0);
  EXPECT_FALSE(LinkOpen);
  // The first copier command binds to the chosen port.
  ASSERT_TRUE(EnsureLinkReady());
  EXPECT_EQ(LptBase(), 0x278);
}

TEST_F(WindowStateTest, PortChoiceWithTheLinkOpenRebindsAtOnce) {
  InitialiseWindowState();
  ASSERT_TRUE(EnsureLinkReady());
  ASSERT_EQ(LptBase(), 0x378);

  SelectLpt(3);
  EXPECT_EQ(LptBase(), 0x3BC);
  EXPECT_TRUE(LinkOpen);
  EXPECT_EQ(sim_.LoadCount(), 1) << "the library is loaded once";
  EXPECT_TRUE(window().MenuItemChecked(IDM_LPT3));
  EXPECT_FALSE(window().MenuItemChecked(IDM_LPT1));
}

}  // namespace
}  // namespace ql

// Downloads: the SRAM file forms, stops before or while the file is written,
// and an SRAM size code that keeps failing its check byte.
#include <cerrno>
#include <cstring>

#include "tests/transfer/transfer_fixture.h"
#include "transfer/cartridge_probe.h"
#include "transfer/downloads.h"
#include "transfer/save_dialogs.h"

namespace ql::testing {
namespace {

const char* const kCaption = "Download Cartridge ROM";

// Before the dialog: no cartridge, an SMD size that never passes its check
// byte (not taken as 255) or never comes; a cancelled dialog ends silently.
// After it: a file that cannot be created (in a folder that does not exist)
// or written (/dev/full: the cartridge and real-time header writes fail, the
// headerless SRAM image after its pages). shown: progress texts shown.
TEST(Download, StopsWithOneMessageOrSilentlyAndLeavesNoFileBehind) {
  const std::tuple<Device, Fault, std::function<void()>, const char*, const char*, std::string, std::size_t> cases[] = {
      {Device::Swc, Fault::None, DownloadCartridgeRom, kCaption, "No game cartridge is detected", "", 0},
      {Device::Smd, Fault::None, DownloadCartridgeRom, kCaption, "No game cartridge is detected", "", 0},
      {Device::Smd, Fault::BadCheck, DownloadCartridgeRom, kCaption, "The cartridge size cannot be read", "", 0},
      {Device::Smd, Fault::Dead, DownloadCartridgeRom, "SWC Interface", "LPT read timeout", "", 0},
      {Device::Smd, Fault::None, DownloadCartridgeRom, nullptr, "", "", 0},
      {Device::Swc, Fault::None, DownloadCartridgeRom, kCaption, "Cannot write", "/dev/full", 1},
      {Device::Swc, Fault::None, DownloadSram, "Download SRAM", "Cannot write", "/dev/full", 5},
      {Device::Swc, Fault::None, DownloadRealTimeSave, "Download Real-time Save", "Cannot write", "/dev/full", 1},
      {Device::Swc, Fault::None, DownloadCartridgeRom, kCaption, "Cannot create", "missing/out", 0},
      {Device::Swc, Fault::None, DownloadSram, "Download SRAM", "Cannot create", "missing/out", 0}};
  for (const auto& [device, fault, download, caption, text, answer, shown] : cases) {
    SCOPED_TRACE(::testing::Message() << int(device) << " " << int(fault) << " " << text << " " << answer);
    Rig rig(Opts(device, fault));
    if (std::string(text) != "No game cartridge is detected") rig.copier().SetCartridge(Pattern(256 * 1024, 44), false);
    const std::string path = answer.starts_with("/") ? answer : rig.Path(answer.empty() ? "out" : answer);
    if (caption) rig.QueueSaveAnswer(path, 2);
    download();
    const std::string message = caption ? rig.OnlyMessage(caption) : "";
    EXPECT_TRUE(message.starts_with(text)) << message;
    if (!answer.empty()) {
      EXPECT_NE(message.find(path + "\": " + std::strerror(answer == "/dev/full" ? ENOSPC : ENOENT)),
                std::string::npos);
    }
    EXPECT_EQ(rig.SaveRequests().size(), caption && answer.empty() ? 0u : 1u);
    EXPECT_EQ(rig.Progress().size(), shown);
    EXPECT_EQ(rig.Events("F 03 00 00 00"), 0);
    EXPECT_TRUE(answer == "/dev/full" || !std::filesystem::exists(path));
  }
}

// The name's extension decides, then the filter (the first one, .bbd, gets the
// copier header); the header itself is checked in the SRAM downloads to .bbd.
TEST(SramDownload, HeaderFollowsTheNameThenTheFilter) {
  const std::tuple<const char*, int, bool> cases[] = {
      {"typed", 1, true}, {"typed", 0, true}, {"a.srm", 1, false}, {"b.bbd", 2, true}, {"raw", 2, false}};
  for (const auto& [name, filter, header] : cases) {
    SaveFileRequest answered;
    answered.fileName = name, answered.filterIndex = filter;
    EXPECT_EQ(SramFileGetsHeader(answered), header) << name << " " << filter;
  }
}

// When the SRAM size code never passes its check, it is not taken as 255: the
// mode byte assumes no SRAM and is mended once the page holding the
// cartridge's own header has been read.
TEST(CheckedByteRead, SwcSramCodeFailingItsCheckIsNotTakenAs255) {
  for (std::string cancelAt : {"", "ROM 64/4096"}) {
    SCOPED_TRACE(cancelAt);
    emu::Copier corrupting(Opts(Device::Swc, Fault::BadCheck));
    Rig rig;
    auto image = Pattern(512 * 1024, 81);
    image[0x7FD8] = 2;  // 2 KB of SRAM
    rig.copier().SetCartridge(image, false);
    corrupting.SetCartridge(image, false);
    rig.onDialog = [&] { rig.port = &corrupting; };  // after the detection
    // Blocks with a bad check byte are read again: the blocks come from a sound copier.
    rig.onProgress = [&](const std::string&) { rig.port = &rig.copier(); };
    rig.cancelAt = cancelAt;
    rig.QueueSaveAnswer(rig.Path("cart.swc"));

    DownloadCartridgeRom();
    EXPECT_EQ(rig.TraceCount("> D5 AA 96 01 D8 BF 01 00 E6"), kProbeReadAttempts);
    EXPECT_TRUE(rig.Messages().empty());
    EXPECT_EQ(ReadFile(rig.Path("cart.swc")),
              cancelAt.empty() ? Cat({CopierHeader(CopierFileType::SwcRom, 64, 0x05), image})  // SRAM code 2
                               : Cat({CopierHeader(CopierFileType::SwcRom, 64, 0x2D), Slice(image, 0, 2 * kPage)}));
  }
}

}  // namespace
}  // namespace ql::testing

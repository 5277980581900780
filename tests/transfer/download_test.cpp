// Downloads: the SRAM file forms, stops before the file, places that refuse
// the data and an SRAM size code that keeps failing its check byte.
#include <cerrno>
#include <cstring>

#include "tests/transfer/transfer_fixture.h"
#include "transfer/cartridge_probe.h"
#include "transfer/downloads.h"

namespace ql::testing {
namespace {

const char* const kCaption = "Download Cartridge ROM";

// Before the dialog: no cartridge, an SMD size that never passes its check
// byte (not taken as 255) or never comes; a cancelled dialog ends silently.
TEST(CartridgeDownload, StopsBeforeTheFileWithOneMessageOrSilently) {
  const std::tuple<Device, Fault, bool, const char*, const char*> cases[] = {
      {Device::Swc, Fault::None, false, kCaption, "No game cartridge is detected"},
      {Device::Smd, Fault::None, false, kCaption, "No game cartridge is detected"},
      {Device::Smd, Fault::BadCheck, true, kCaption, "The cartridge size cannot be read"},
      {Device::Smd, Fault::Dead, true, "SWC Interface", "LPT read timeout"},
      {Device::Smd, Fault::None, true, nullptr, nullptr}};
  for (const auto& [device, fault, plugged, caption, text] : cases) {
    SCOPED_TRACE(::testing::Message() << int(device) << " " << int(fault) << " " << plugged);
    Rig rig(Opts(device, fault));
    if (plugged) rig.copier().SetCartridge(Pattern(128 * 1024, 44), false);
    if (caption) rig.QueueSaveAnswer(rig.Path("out"));
    DownloadCartridgeRom();
    EXPECT_TRUE(caption ? rig.OnlyMessage(caption).starts_with(text) : rig.Messages().empty());
    EXPECT_EQ(rig.SaveRequests().size(), caption ? 0u : 1u);
    EXPECT_TRUE(rig.Progress().empty());
    EXPECT_FALSE(std::filesystem::exists(rig.Path("out")));
  }
}

TEST(SramDownload, HeaderFollowsTheNameThenTheFilter) {
  const std::tuple<Device, const char*, int, std::uint8_t> cases[] = {
      // type 0: no header
      {Device::Swc, "typed", 1, CopierFileType::SwcSram},
      {Device::Swc, "a.srm", 1, 0},
      {Device::Swc, "b.bbd", 2, CopierFileType::SwcSram},
      {Device::Swc, "raw", 2, 0},
      {Device::Smd, "g.bbd", 2, CopierFileType::SmdSram}};
  for (const auto& [device, name, filter, type] : cases) {
    SCOPED_TRACE(name);
    Rig rig(Opts(device));
    auto sram = rig.copier().Sram() = Pattern(32768, 51);
    CancelRequested = device == Device::Smd;  // the SMD sequence does not test it
    rig.QueueSaveAnswer(rig.Path(name), filter);
    DownloadSram();
    EXPECT_EQ(ReadFile(rig.Path(name)), Cat({type ? CopierHeader(type) : Bytes{}, sram}));
  }
}

TEST(Download, FailedCreateOrWriteStopsWithOneMessageNamingTheFileAndTheReason) {
  // /dev/full: the cartridge and real-time header writes fail, the headerless SRAM image after its pages.
  const std::tuple<std::function<void()>, const char*, bool, std::size_t> cases[] = {
      {DownloadCartridgeRom, kCaption, true, 1},
      {DownloadSram, "Download SRAM", true, 5},
      {DownloadRealTimeSave, "Download Real-time Save", true, 1},
      {DownloadCartridgeRom, kCaption, false, 0},
      {DownloadSram, "Download SRAM", false, 0},
      {DownloadRealTimeSave, "Download Real-time Save", false, 0}};
  for (const auto& [download, caption, full, shown] : cases) {
    Rig rig;
    const std::string path = full ? "/dev/full" : rig.Path("missing/out");  // in a folder that does not exist
    SCOPED_TRACE(std::string(caption) + " " + path);
    rig.copier().SetCartridge(Pattern(256 * 1024, 61), false);
    rig.QueueSaveAnswer(path, 2);
    download();
    const std::string text = rig.OnlyMessage(caption);
    EXPECT_NE(text.find(path + "\": " + std::strerror(full ? ENOSPC : ENOENT)), std::string::npos) << text;
    EXPECT_EQ(rig.Progress().size(), shown);
    EXPECT_EQ(rig.Events("F 03 00 00 00"), 0);
    EXPECT_TRUE(full || !std::filesystem::exists(path));
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

// Every transfer run to its end or cut short, by Cancel or by a copier that
// stops answering: what was done stays, nothing follows a time-out, one
// message is shown.
#include <map>

#include "tests/transfer/transfer_fixture.h"
#include "transfer/downloads.h"
#include "transfer/rom_upload.h"
#include "transfer/save_upload.h"

namespace ql::testing {
namespace {

// A transfer and what holds its result: copier memory for an upload, the
// chosen file "out.srm" for a download (held empty).
struct Op {
  Device device;
  std::function<void(Rig&)> prepare;
  std::function<void()> run;
  std::function<Bytes(Rig&)> held;
  Bytes full;  // the result of a complete run
};

std::map<std::string, Op> Operations() {
  auto rom = Pattern(3 * kPage, 1), smdRom = Pattern(2 * kBlock, 2), sram = Pattern(32768, 3);
  auto area = Pattern(262144, 4), cart = Pattern(512 * 1024, 5), smdCart = Pattern(128 * 1024, 6);
  auto hiCart = Pattern(1 << 20, 7);
  cart[0x7FD8] = 2, hiCart[0xFFD8] = 1;  // SRAM size codes: 2 KB and 1 KB
  auto input = [](std::string& slot, Bytes data) {
    return [&slot, data](Rig& r) { WriteFile(slot = r.Path("in"), data); };
  };
  auto uploadRom = [] { EXPECT_FALSE(UploadRom(false)); };
  return {
      {"SWC ROM upload", {Device::Swc, input(RomPath, rom), uploadRom, [](Rig& r) { return r.Pages(0, 3); }, rom}},
      {"SMD ROM upload",
       {Device::Smd, input(RomPath, smdRom), uploadRom, [](Rig& r) { return r.Pages(0, 2); }, Interleaved(smdRom)}},
      {"SRAM upload",
       {Device::Swc, input(SramPath, sram), [] { EXPECT_FALSE(UploadSram()); },
        [](Rig& r) { return r.copier().Sram(); }, sram}},
      {"real-time upload",
       {Device::Swc, input(RealTimePath, Cat({Fill(512), area})), [] { EXPECT_FALSE(UploadRealTimeSave()); },
        [](Rig& r) { return r.copier().RealTimeArea(); }, area}},
      {"SRAM download", {Device::Swc, [=](Rig& r) { r.copier().Sram() = sram; }, DownloadSram, nullptr, sram}},
      {"real-time download",
       {Device::Swc, [=](Rig& r) { r.copier().RealTimeArea() = area; }, DownloadRealTimeSave, nullptr,
        Cat({CopierHeader(CopierFileType::SwcRealTime), area})}},
      {"SWC cartridge download",
       {Device::Swc, [=](Rig& r) { r.copier().SetCartridge(cart, false); }, DownloadCartridgeRom, nullptr,
        Cat({CopierHeader(CopierFileType::SwcRom, 64, 0x05), cart})}},
      {"HiROM cartridge download",
       {Device::Swc, [=](Rig& r) { r.copier().SetCartridge(hiCart, true); }, DownloadCartridgeRom, nullptr,
        Cat({CopierHeader(CopierFileType::SwcRom, 128, 0x38), hiCart})}},
      {"SMD cartridge download",
       {Device::Smd, [=](Rig& r) { r.copier().SetCartridge(smdCart, false); }, DownloadCartridgeRom, nullptr,
        Cat({CopierHeader(CopierFileType::SmdRom, 8), Interleaved(smdCart)})}},
  };
}

// cut: "done" lets the transfer run to its end; "start" presses Cancel before
// the transfer, a progress text presses it there; "" stops the copier
// answering after stallAt bytes (0: never), and "dialog" once the save dialog
// is answered. kept: leading bytes of the result that must be there. closes:
// packets that end the real-time session.
TEST(TransferEnd, WhatWasDoneStaysAndNothingFollowsATimeout) {
  const std::tuple<const char*, std::string, std::uint64_t, std::size_t, std::string, long> cases[] = {
      // Complete LoROM and SMD cartridge downloads are checked under line noise.
      {"HiROM cartridge download", "done", 0, 512 + (1 << 20), "", 0},
      {"SWC ROM upload", "start", 0, 0, "ROM 192/192", 0},
      {"SWC ROM upload", "ROM 64/192", 0, 2 * kPage, "ROM 192/192", 0},
      {"SMD ROM upload", "start", 0, 0, "ROM 256/256", 0},
      {"SRAM upload", "start", 0, 0, "SRAM 256/256", 0},
      {"real-time upload", "Real-time 64/2048", 0, 2 * kPage, "Real-time 2048/2048", 1},
      {"SRAM download", "SRAM 64/256", 0, 2 * kPage, "", 0},  // unread pages written as zeros
      {"real-time download", "Real-time 128/2048", 0, 512 + 3 * kPage, "", 0},
      {"SWC cartridge download", "ROM 64/4096", 0, 512 + 2 * kPage, "", 0},
      {"SMD cartridge download", "ROM 128/1024", 0, 512 + 2 * kBlock, "", 0},
      {"SWC ROM upload", "", 100, 0, "ROM 192/192", 0},                        // in the upload header
      {"SWC ROM upload", "", 9 + 522 + 8222 + 5000, kPage, "ROM 192/192", 0},  // in the second block
      {"SWC ROM upload", "", 0, 0, "ROM 192/192", 0},
      {"SMD ROM upload", "", 522 + 11 + 9 + 16394 + 100, kBlock, "ROM 256/256", 0},
      {"SRAM upload", "", 9 + 11 + 11 + 9 + 4000, 0, "SRAM 256/256", 0},
      {"real-time upload", "", 5000, 0, "Real-time 0/2048", 0},
      {"SRAM download", "", 9 + 11 + 11 + 9 + 9 + 3000, 0, "", 0},
      {"real-time download", "", 5, 512, "", 0},  // while probing for the area
      {"real-time download", "", 30000, 512 + kPage, "", 0},
      {"SWC cartridge download", "", 200000, 512 + 8 * kPage, "", 0},
      {"SWC cartridge download", "dialog", 0, 0, "", 0}};  // then reads the SRAM size code
  const auto ops = Operations();
  for (const auto& [name, cut, stallAt, kept, lastProgress, closes] : cases) {
    SCOPED_TRACE(::testing::Message() << name << " " << cut << " " << stallAt);
    const Op& op = ops.at(name);
    const bool cancel = !cut.empty() && cut != "dialog";  // or done
    emu::Copier dead(Opts(Device::Swc, Fault::Dead));
    Rig rig(Opts(op.device, cut.empty() ? Fault::Stall : Fault::None, stallAt));
    op.prepare(rig);
    rig.QueueSaveAnswer(rig.Path("out.srm"));
    if (cut == "dialog") rig.onDialog = [&] { rig.port = &dead; };
    if (cut != "done") rig.cancelAt = cut;
    CancelRequested = cut == "start";

    op.run();
    const Bytes held = op.held ? op.held(rig) : ReadFile(rig.Path("out.srm"));
    ASSERT_GE(held.size(), kept);
    const auto messages = rig.Messages();
    if (cancel) {
      EXPECT_EQ(held, Cat({Slice(op.full, 0, kept), Fill(held.size() - kept)}));
      EXPECT_TRUE(messages.empty());
    } else {  // a download keeps a leading part of its file, an upload what reached the copier
      EXPECT_EQ(op.held ? Slice(held, 0, kept) : held, Slice(op.full, 0, op.held ? kept : held.size()));
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].caption, "SWC Interface");
      EXPECT_TRUE(messages[0].text.starts_with("LPT read timeout") &&
                  messages[0].text.find(op.device == Device::Smd ? "Genesis" : "Super NES") != std::string::npos);
      EXPECT_EQ(rig.TraceLines().back(), "! timeout");
    }
    ASSERT_FALSE(rig.Progress().empty());
    EXPECT_EQ(rig.Progress().back(), lastProgress);
    EXPECT_EQ(rig.Events("F 03 00 00 00"), closes);
  }
}

}  // namespace
}  // namespace ql::testing

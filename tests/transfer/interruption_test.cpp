// Every transfer cut short, by Cancel or by a copier that stops answering:
// what was done stays, nothing follows a time-out, one message is shown.
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
  std::function<void(Rig&)> prepare;
  std::function<void()> run;
  std::function<Bytes(Rig&)> held;
  Bytes full;  // the result of a complete run
};

std::map<std::string, Op> Operations() {
  auto rom = Pattern(3 * kPage, 1), sram = Pattern(32768, 3), area = Pattern(262144, 4), cart = Pattern(512 * 1024, 5);
  cart[0x7FD8] = 2;  // 2 KB of SRAM
  auto input = [](std::string& slot, Bytes data) {
    return [&slot, data](Rig& r) { WriteFile(slot = r.Path("in"), data); };
  };
  return {
      {"ROM upload",
       {input(RomPath, rom), [] { EXPECT_FALSE(UploadRom(false)); }, [](Rig& r) { return r.Pages(0, 3); }, rom}},
      {"SRAM upload",
       {input(SramPath, sram), [] { EXPECT_FALSE(UploadSram()); }, [](Rig& r) { return r.copier().Sram(); }, sram}},
      {"real-time upload",
       {input(RealTimePath, Cat({Fill(512), area})), [] { EXPECT_FALSE(UploadRealTimeSave()); },
        [](Rig& r) { return r.copier().RealTimeArea(); }, area}},
      {"SRAM download", {[=](Rig& r) { r.copier().Sram() = sram; }, DownloadSram, nullptr, sram}},
      {"real-time download",
       {[=](Rig& r) { r.copier().RealTimeArea() = area; }, DownloadRealTimeSave, nullptr,
        Cat({CopierHeader(CopierFileType::SwcRealTime), area})}},
      {"cartridge download",
       {[=](Rig& r) { r.copier().SetCartridge(cart, false); }, DownloadCartridgeRom, nullptr,
        Cat({CopierHeader(CopierFileType::SwcRom, 64, 0x05), cart})}},
  };
}

// cut: "start" presses Cancel before the transfer, a progress text presses it
// there; "" stops the copier answering after stallAt bytes. kept: leading
// bytes of the result that must be there. closes: packets that end the
// real-time session.
TEST(TransferEnd, WhatWasDoneStaysAndNothingFollowsATimeout) {
  const std::tuple<const char*, std::string, std::uint64_t, std::size_t, std::string, long> cases[] = {
      {"ROM upload", "ROM 64/192", 0, 2 * kPage, "ROM 192/192", 0},
      {"SRAM upload", "start", 0, 0, "SRAM 256/256", 0},
      {"real-time upload", "Real-time 64/2048", 0, 2 * kPage, "Real-time 2048/2048", 1},
      {"SRAM download", "SRAM 64/256", 0, 2 * kPage, "", 0},  // unread pages written as zeros
      {"real-time download", "Real-time 128/2048", 0, 512 + 3 * kPage, "", 0},
      {"ROM upload", "", 9 + 522 + 8222 + 5000, kPage, "ROM 192/192", 0},  // in the second block
      {"SRAM upload", "", 9 + 11 + 11 + 9 + 4000, 0, "SRAM 256/256", 0},
      {"real-time upload", "", 5000, 0, "Real-time 0/2048", 0},
      {"SRAM download", "", 9 + 11 + 11 + 9 + 9 + 3000, 0, "", 0},
      {"real-time download", "", 30000, 512 + kPage, "", 0},
      {"cartridge download", "", 200000, 512 + 8 * kPage, "", 0}};
  const auto ops = Operations();
  for (const auto& [name, cut, stallAt, kept, lastProgress, closes] : cases) {
    SCOPED_TRACE(::testing::Message() << name << " " << cut << " " << stallAt);
    const Op& op = ops.at(name);
    Rig rig(Opts(Device::Swc, cut.empty() ? Fault::Stall : Fault::None, stallAt));
    op.prepare(rig);
    rig.QueueSaveAnswer(rig.Path("out.srm"));
    rig.cancelAt = cut;
    CancelRequested = cut == "start";

    op.run();
    const Bytes held = op.held ? op.held(rig) : ReadFile(rig.Path("out.srm"));
    ASSERT_GE(held.size(), kept);
    const auto messages = rig.Messages();
    if (!cut.empty()) {
      EXPECT_EQ(held, Cat({Slice(op.full, 0, kept), Fill(held.size() - kept)}));
      EXPECT_TRUE(messages.empty());
    } else {  // a download keeps a leading part of its file, an upload what reached the copier
      EXPECT_EQ(op.held ? Slice(held, 0, kept) : held, Slice(op.full, 0, op.held ? kept : held.size()));
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].caption, "SWC Interface");
      EXPECT_TRUE(messages[0].text.starts_with("LPT read timeout"));
      EXPECT_EQ(rig.TraceLines().back(), "! timeout");
    }
    ASSERT_FALSE(rig.Progress().empty());
    EXPECT_EQ(rig.Progress().back(), lastProgress);
    EXPECT_EQ(rig.Events("F 03 00 00 00"), closes);
  }
}

}  // namespace
}  // namespace ql::testing

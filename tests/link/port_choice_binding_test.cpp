// The port choices beyond LPT1..LPT3: the Other Address base through the
// port library, the USB bridge through its own loader, a move between the
// two kinds while the link is open, and the window's search for the bridge.
#include <map>

#include "link/ports/bridge_search.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

// A bridge back end that records what reached it.
struct FakeBridge final : PortIo {
  explicit FakeBridge(std::string& log) : log(log) {}
  void PortOut(std::uint16_t port, std::uint8_t value) override {
    log += " O" + std::to_string(port & 3) + "=" + std::to_string(value);
  }
  std::uint8_t PortIn(std::uint16_t) override { return 0; }
  void NotPortBit(std::uint16_t, std::uint8_t) override {}
  std::uint16_t IsDriverInstalled() override { return 1; }
  std::string& log;
};

class PortChoiceBinding : public ::testing::Test {
 protected:
  PortChoiceBinding() {
    SetBridgeLoader([this](std::string& reason) -> std::unique_ptr<PortIo> {
      ++bridgeLoads;
      reason = bridgeFailure;
      return bridgeFailure.empty() ? std::make_unique<FakeBridge>(bridgeLog) : nullptr;
    });
  }
  ~PortChoiceBinding() override { SetBridgeLoader(nullptr); }

  Wire wire;
  std::string bridgeLog, bridgeFailure;
  int bridgeLoads = 0;
};

TEST_F(PortChoiceBinding, OtherAddressUsesThePortLibraryAtItsBase) {
  for (std::uint32_t bad : {0u, 0xF8u, 0xD014u, 0xFFF9u, 0x10000u}) EXPECT_FALSE(SetOtherPortBase(bad)) << bad;
  EXPECT_FALSE(IsPortChoice(kOtherAddressChoice));
  EXPECT_FALSE(InitPortDriver(kOtherAddressChoice));  // no base yet: nothing loaded
  EXPECT_EQ(wire.loads, 0);

  ASSERT_TRUE(SetOtherPortBase(0xD010));
  SelectedLpt = kOtherAddressChoice;
  wire.Bind();
  EXPECT_EQ(LptBase(), 0xD010);
  EXPECT_TRUE(InitPortDriver(2));  // the same library moves to LPT2 and back
  EXPECT_TRUE(InitPortDriver(kOtherAddressChoice));
  ShutdownPortDriver();
  ASSERT_EQ(wire.ops.size(), 2u);
  EXPECT_EQ(wire.ops[0].port, 0xD010);
  EXPECT_EQ(wire.ops[1].port, 0xD012);
  EXPECT_EQ(wire.loads, 1);
  EXPECT_EQ(bridgeLoads, 0);
}

// Moving between the port library and the bridge parks the old one and binds
// the new at once; a bridge that cannot be bound leaves the link closed, so
// the next copier command tries again rather than using the old port.
TEST_F(PortChoiceBinding, AChangeOfKindParksTheOldPortAndBindsTheNew) {
  SelectedLpt = 2;
  wire.Bind();
  EXPECT_TRUE(InitPortDriver(kBridgeChoice));
  EXPECT_EQ(wire.Shape(), "O0=00 O2=0C");
  EXPECT_EQ(wire.ops[0].port, 0x278);
  EXPECT_TRUE(LinkOpen());
  EXPECT_TRUE(InitPortDriver(kBridgeChoice));  // the same choice keeps the connection
  EXPECT_EQ(bridgeLoads, 1);

  EXPECT_TRUE(InitPortDriver(3));
  EXPECT_EQ(bridgeLog, " O0=0 O2=12");
  EXPECT_EQ(wire.loads, 2);
  EXPECT_EQ(LptBase(), 0x3BC);

  bridgeFailure = "No USB bridge answers.";
  EXPECT_FALSE(InitPortDriver(kBridgeChoice));
  EXPECT_FALSE(LinkOpen());
  SelectedLpt = kBridgeChoice;
  EXPECT_FALSE(EnsureLinkReady());
  const auto messages = wire.sim.window().Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].text, "No USB bridge answers.");
  EXPECT_EQ(messages[1].caption, "USB Bridge");
  EXPECT_EQ(messages[1].icon, MessageIcon::Stop);
}

TEST(BridgeSearch, RememberedPortFirstThenEveryOtherAndTheRightMessage) {
  using bridge::BridgeFailure;
  struct Answer {
    BridgeFailure failure;
    unsigned protocol;
  };
  const struct {
    std::string remembered;
    std::vector<std::string> candidates;
    std::map<std::string, Answer> answers;  // a port not listed answers as our bridge
    std::string tried, device, messageStart;
  } cases[] = {
      {"COM5", {"COM1", "COM5"}, {}, "COM5", "COM5", ""},
      {"COM5",
       {"COM1", "COM6"},
       {{"COM5", {BridgeFailure::LineFailed, 0}}, {"COM1", {BridgeFailure::Silent, 0}}},
       "COM5 COM1 COM6",
       "COM6",
       ""},
      {"",
       {"COM1", "COM3", "COM4"},
       {{"COM1", {BridgeFailure::Foreign, 0}},
        {"COM3", {BridgeFailure::OtherProtocol, 2}},
        {"COM4", {BridgeFailure::Silent, 0}}},
       "COM1 COM3 COM4",
       "",
       "The board on COM3 answers with bridge protocol version 2; this program speaks version 1."},
      {"COM9",
       {"COM1", "COM9"},
       {{"COM9", {BridgeFailure::Silent, 0}}, {"COM1", {BridgeFailure::LineFailed, 0}}},
       "COM9 COM1",
       "",
       "No USB bridge answers on the serial ports of this PC (COM9, COM1)."},
      {"", {}, {}, "", "", "No USB bridge answers: Windows lists no serial port."},
  };
  for (const auto& c : cases) {
    std::string tried, log;
    const auto found = bridge::SearchBridge(
        c.remembered, c.candidates,
        [&](const std::string& device, BridgeFailure& failure, unsigned& protocol) -> std::unique_ptr<PortIo> {
          tried += (tried.empty() ? "" : " ") + device;
          const auto answer = c.answers.find(device);
          if (answer == c.answers.end()) return std::make_unique<FakeBridge>(log);
          failure = answer->second.failure;
          protocol = answer->second.protocol;
          return nullptr;
        });
    EXPECT_EQ(tried, c.tried) << c.remembered;
    EXPECT_EQ(found.port != nullptr, !c.device.empty()) << c.tried;
    EXPECT_EQ(found.device, c.device) << c.tried;
    EXPECT_EQ(found.message.substr(0, c.messageStart.size()), c.messageStart) << c.tried;
    EXPECT_EQ(found.message.empty(), c.messageStart.empty()) << c.tried;
  }
  EXPECT_NE(bridge::WrongFirmwareText("COM3", 2).find("-P COM3"), std::string::npos);
  EXPECT_NE(bridge::NoBridgeAnswersText({"COM1"}).find("FTDI or CH340"), std::string::npos);
}

}  // namespace
}  // namespace ql::testing

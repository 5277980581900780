// The port choices beyond LPT1..LPT3: the Other Address base through the
// port library, the USB bridge through its own loader, a move between the
// two kinds while the link is open, and the window's search for the bridge.
#include <map>

#include "link/ports/bridge_search.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

// The bridge's loader hands out a Tap too: its traffic joins the port library's in the log.
class PortChoiceBinding : public ::testing::Test {
 protected:
  PortChoiceBinding() {
    SetBridgeLoader([this](std::string& reason) -> std::unique_ptr<PortIo> {
      ++bridgeLoads;
      reason = bridgeFailure;
      return bridgeFailure.empty() ? std::make_unique<Wire::Tap>(wire) : nullptr;
    });
  }
  ~PortChoiceBinding() override { SetBridgeLoader(nullptr); }

  Wire wire;
  std::string bridgeFailure;
  int bridgeLoads = 0;
};

TEST_F(PortChoiceBinding, OtherAddressUsesThePortLibraryAtItsBase) {
  EXPECT_FALSE(SetOtherPortBase(0xD014));
  EXPECT_FALSE(IsPortChoice(kOtherAddressChoice));
  EXPECT_FALSE(InitPortDriver(kOtherAddressChoice));  // no base yet: nothing loaded
  EXPECT_EQ(wire.loads, 0);

  ASSERT_TRUE(SetOtherPortBase(0xD010));
  SelectedLpt = kOtherAddressChoice;
  wire.Bind();
  EXPECT_TRUE(InitPortDriver(2));  // the same library moves to LPT2 and back
  EXPECT_TRUE(InitPortDriver(kOtherAddressChoice));
  ShutdownPortDriver();
  EXPECT_EQ(wire.Shape(), "OD010=00 OD012=0C");
  EXPECT_EQ(wire.loads, 1);
}

// Moving between the port library and the bridge parks the old one and binds
// the new at once; a bridge that cannot be bound leaves the link closed, so
// the next copier command tries again rather than using the old port.
TEST_F(PortChoiceBinding, AChangeOfKindParksTheOldPortAndBindsTheNew) {
  SelectedLpt = 2;
  wire.Bind();
  EXPECT_TRUE(InitPortDriver(kBridgeChoice));
  EXPECT_TRUE(InitPortDriver(kBridgeChoice));  // the same choice keeps the connection
  EXPECT_TRUE(InitPortDriver(3));
  EXPECT_EQ(wire.Shape(), "O278=00 O27A=0C O378=00 O37A=0C");  // LPT2, then the bridge on its own base
  EXPECT_EQ(bridgeLoads, 1);
  EXPECT_EQ(wire.loads, 2);
  EXPECT_EQ(LptBase(), 0x3BC);

  bridgeFailure = "No USB bridge answers.";
  EXPECT_FALSE(InitPortDriver(kBridgeChoice));
  SelectedLpt = kBridgeChoice;
  EXPECT_FALSE(EnsureLinkReady());
  EXPECT_EQ(StopMessages(wire.sim, "USB Bridge"), std::vector<std::string>(2, "No USB bridge answers."));
}

TEST(BridgeSearch, RememberedPortFirstThenEveryOtherAndTheRightMessage) {
  using enum bridge::BridgeFailure;
  const struct {
    std::string remembered;
    std::vector<std::string> candidates;
    std::map<std::string, bridge::BridgeFailure> failures;  // a port not listed answers as our bridge
    std::string tried, found;                               // found: the device, or the start of the message
  } cases[] = {
      {"COM5", {"COM1", "COM5", "COM6", "COM7"}, {{"COM5", LineFailed}, {"COM1", Silent}}, "COM5 COM1 COM6", "COM6"},
      // Every other protocol here is version 2; the first board that speaks one is named.
      {"",
       {"COM1", "COM3", "COM4"},
       {{"COM1", Foreign}, {"COM3", OtherProtocol}, {"COM4", OtherProtocol}},
       "COM1 COM3 COM4",
       "The board on COM3 answers with bridge protocol version 2; this program speaks version 1."},
      {"COM9",
       {"COM1", "COM9"},
       {{"COM9", Silent}, {"COM1", LineFailed}},
       "COM9 COM1",
       "No USB bridge answers on the serial ports of this PC (COM9, COM1)."},
      {"", {}, {}, "", "No USB bridge answers: Windows lists no serial port."},
  };
  Wire wire;
  for (const auto& c : cases) {
    std::string tried;
    const auto found = bridge::SearchBridge(
        c.remembered, c.candidates,
        [&](const std::string& device, bridge::BridgeFailure& failure, unsigned& protocol) -> std::unique_ptr<PortIo> {
          tried += (tried.empty() ? "" : " ") + device;
          const auto answer = c.failures.find(device);
          if (answer == c.failures.end()) return std::make_unique<Wire::Tap>(wire);
          failure = answer->second;
          protocol = 2;
          return nullptr;
        });
    EXPECT_EQ(tried, c.tried) << c.remembered;
    EXPECT_EQ(found.port ? found.device : found.message.substr(0, c.found.size()), c.found) << c.tried;
    EXPECT_EQ(found.message.empty(), found.port != nullptr) << c.tried;
  }
  EXPECT_NE(bridge::WrongFirmwareText("COM3", 2).find("-P COM3"), std::string::npos);
  EXPECT_NE(bridge::NoBridgeAnswersText({"COM1"}).find("FTDI or CH340"), std::string::npos);
}

}  // namespace
}  // namespace ql::testing

#include "link/port_binding.h"

#include <gmock/gmock.h>

#include "core/state.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

using Kind = ScriptedPort::OpKind;

const char* const kDriverText =
    "Could not install IO driver.\nTry disabling IO.SYS by opening a Command Prompt and entering \"net stop io.sys\"";

TEST(LptBaseTable, MapsChoicesAndAddressesAndRejectsTheRest) {
  ResetPortBinding();
  const struct {
    unsigned port;
    std::uint16_t base;
  } accepted[] = {{1, 0x378}, {2, 0x278}, {3, 0x3BC}, {0x378, 0x378}, {0x278, 0x278}, {0x3BC, 0x3BC}};
  for (const auto& row : accepted) {
    SetLptBase(2);
    EXPECT_TRUE(SetLptBase(row.port)) << row.port;
    EXPECT_EQ(LptBase(), row.base) << row.port;
  }
  for (unsigned rejected : {0u, 4u, 0x379u, 0x37Au, 0x3BDu, 0x10378u}) {
    ASSERT_TRUE(SetLptBase(3));
    EXPECT_FALSE(SetLptBase(rejected)) << rejected;
    EXPECT_EQ(LptBase(), 0x3BC) << rejected;
  }
  ResetPortBinding();
}

class PortBindingTest : public LinkTest {};

TEST_F(PortBindingTest, LoadFailureShowsTheMessageEveryTimeAndRemembersNothing) {
  libraryMissing_ = true;
  loaderFailure_ = PortLibraryLoadFailureText();
  EXPECT_FALSE(EnsureLinkReady());
  EXPECT_FALSE(EnsureLinkReady());
  EXPECT_FALSE(LinkOpen);
  EXPECT_EQ(loads_, 2);
  const auto messages = window_.Messages();
  ASSERT_EQ(messages.size(), 2u);
  for (const auto& message : messages) {
    EXPECT_EQ(message.text,
              "Could not load IO.DLL\nThis file is used to communicate with your copier.\nYou can download IO.DLL "
              "from http://www.geekhideout.com/iodll.shtml");
    EXPECT_EQ(message.caption, "SWC Interface");
    EXPECT_EQ(message.icon, MessageIcon::Stop);
  }
  // Present again: the next command binds.
  libraryMissing_ = false;
  EXPECT_TRUE(EnsureLinkReady());
  EXPECT_TRUE(LinkOpen);
  EXPECT_EQ(window_.Messages().size(), 2u);
}

TEST_F(PortBindingTest, LoaderReasonIsShownAndAMissingReasonFallsBackToTheLoadText) {
  libraryMissing_ = true;
  loaderFailure_ = "Cannot open /dev/parport0: permission denied.";
  EXPECT_FALSE(EnsureLinkReady());
  loaderFailure_.clear();
  EXPECT_FALSE(EnsureLinkReady());
  const auto messages = window_.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].text, "Cannot open /dev/parport0: permission denied.");
  EXPECT_EQ(messages[1].text, PortLibraryLoadFailureText());
}

TEST_F(PortBindingTest, MissingDriverUnloadsAndExitLeavesThePortAlone) {
  port_.SetDriverInstalled(0);
  EXPECT_FALSE(EnsureLinkReady());
  EXPECT_FALSE(PortLibraryBound());
  EXPECT_FALSE(LinkOpen);
  const auto messages = window_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, kDriverText);
  EXPECT_EQ(messages[0].caption, "SWC Interface");
  EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
  ShutdownPortDriver();
  EXPECT_TRUE(port_.Ops().empty());
  // The next attempt loads and checks again.
  EXPECT_FALSE(EnsureLinkReady());
  EXPECT_EQ(loads_, 2);
  EXPECT_EQ(window_.Messages().size(), 2u);
}

TEST_F(PortBindingTest, BindingTouchesNoRegister) {
  EXPECT_TRUE(EnsureLinkReady());
  EXPECT_TRUE(port_.Ops().empty());
  EXPECT_TRUE(window_.Messages().empty());
}

TEST_F(PortBindingTest, EnsureLinkReadyUsesTheSelectedPortAndBindsOnce) {
  SelectedLpt = 3;
  EXPECT_TRUE(EnsureLinkReady());
  EXPECT_EQ(LptBase(), 0x3BC);
  SelectedLpt = 1;  // a later change goes through InitPortDriver, not here
  EXPECT_TRUE(EnsureLinkReady());
  EXPECT_EQ(LptBase(), 0x3BC);
  EXPECT_EQ(loads_, 1);
}

TEST_F(PortBindingTest, BadPortChoiceFailsSilentlyWithoutLoading) {
  SelectedLpt = 7;
  EXPECT_FALSE(EnsureLinkReady());
  EXPECT_EQ(loads_, 0);
  EXPECT_TRUE(window_.Messages().empty());
}

TEST_F(PortBindingTest, PortChangeWhileBoundRemeasuresWithoutReloading) {
  ASSERT_TRUE(EnsureLinkReady());
  EXPECT_EQ(TicksPerMs(), 1000u);
  clock_.SetFrequency(3'579'545);
  EXPECT_TRUE(InitPortDriver(2));
  EXPECT_EQ(LptBase(), 0x278);
  EXPECT_EQ(TicksPerMs(), 3579u);
  EXPECT_EQ(loads_, 1);
  EXPECT_FALSE(InitPortDriver(9));
  EXPECT_EQ(LptBase(), 0x278);
  EXPECT_TRUE(PortLibraryBound());
}

TEST_F(PortBindingTest, CounterResolutionBelowOneTickPerMsMeansNoCounter) {
  const struct {
    std::uint64_t frequency;
    bool available;
    std::uint64_t ticksPerMs;
  } rows[] = {{999, true, 0}, {1000, true, 1}, {1999, true, 1}, {10'000'000, true, 10'000}, {10'000'000, false, 0}};
  for (const auto& row : rows) {
    clock_.SetFrequency(row.frequency, row.available);
    ASSERT_TRUE(InitPortDriver(1));
    EXPECT_EQ(TicksPerMs(), row.ticksPerMs) << row.frequency;
  }
  EXPECT_EQ(loads_, 1);
}

TEST_F(PortBindingTest, ExitParksDataAndControlOnceWhenBound) {
  SelectedLpt = 2;
  port_.SetBase(0x278);
  Bind();
  ShutdownPortDriver();
  const auto& ops = port_.Ops();
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].kind, Kind::Out);
  EXPECT_EQ(ops[0].port, 0x278);
  EXPECT_EQ(ops[0].value, 0x00);
  EXPECT_EQ(ops[1].kind, Kind::Out);
  EXPECT_EQ(ops[1].port, 0x27A);
  EXPECT_EQ(ops[1].value, 0x0C);
  EXPECT_FALSE(PortLibraryBound());
  ShutdownPortDriver();
  EXPECT_EQ(port_.Ops().size(), 2u);
}

TEST_F(PortBindingTest, ExitWithoutBindingDoesNothing) {
  ShutdownPortDriver();
  EXPECT_EQ(loads_, 0);
  EXPECT_TRUE(port_.Ops().empty());
}

TEST_F(PortBindingTest, LinkUsedAfterShutdownBindsAgain) {
  Bind();
  ShutdownPortDriver();
  EXPECT_TRUE(LinkOpen);
  EXPECT_TRUE(EnsureLinkReady());
  EXPECT_TRUE(PortLibraryBound());
  EXPECT_EQ(loads_, 2);
}

}  // namespace
}  // namespace ql::testing

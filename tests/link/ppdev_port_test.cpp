// The ppdev back end over a driver played by the test: its ioctls reach the
// emulated copier until the test makes one of them fail, as an unplugged
// port or a removed driver would.
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <climits>

#include "link/commands.h"
#include "link/link_timeout.h"
#include "link/ports/linux_ports.h"
#include "link/ports/linux_ppdev_ioctl.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

emu::Copier* copier = nullptr;
unsigned long failing = 0;  // refused once callsLeft has run out
long callsLeft = LONG_MAX;

int FakeIoctl(int, unsigned long request, void* argument) {
  if (--callsLeft < 0 && request == failing) return errno = ENODEV, -1;
  auto* byte = static_cast<std::uint8_t*>(argument);
  if (request == PPRSTATUS) *byte = copier->PortIn(0x379);
  if (request == PPRCONTROL) *byte = copier->PortIn(0x37A);
  if (request == PPWDATA) copier->PortOut(0x378, *byte);
  if (request == PPWCONTROL) copier->PortOut(0x37A, *byte);
  return 0;  // claiming, releasing and the data direction always work
}

class PpdevPort : public ::testing::Test {
 protected:
  PpdevPort() {
    copier = &sim_.copier();
    callsLeft = LONG_MAX;
    previous_ = SetPpdevIoctl(FakeIoctl);
    SetPortLibraryLoader([](std::string& failure) { return OpenPpdevPort("/dev/null", failure); });
  }
  ~PpdevPort() override {
    ResetPortBinding();
    SetPpdevIoctl(previous_);
  }
  // An 8 KB block to DRAM page 0, as a ROM upload sends it.
  void Upload() {
    SelectPage(0);
    WriteMemoryBlock(0x8000, block_.data(), static_cast<std::uint16_t>(block_.size()));
  }

  SimLink sim_;
  PpdevIoctl previous_ = nullptr;
  const Bytes block_ = Bytes(8192, 0x3C);
};

TEST_F(PpdevPort, MovesBlocksWhileTheDriverAnswers) {
  ASSERT_TRUE(EnsureLinkReady());
  Upload();
  EXPECT_EQ(sim_.copier().DramPage(0), block_);
}

// Whichever ioctl fails, at the upload's start or halfway through its block,
// the upload ends with the time-out, the copier never takes the block, and
// the port can still be parked at exit.
TEST_F(PpdevPort, AFailedIoctlDuringAnUploadIsTheTimeOut) {
  const std::pair<unsigned long, long> cases[] = {
      {PPRSTATUS, 0}, {PPRSTATUS, 20000}, {PPWDATA, 20000}, {PPWCONTROL, 20000}};  // calls into the upload
  for (const auto& [request, after] : cases) {
    SCOPED_TRACE(::testing::Message() << request << " after " << after);
    sim_.copier().SetDramPage(0, Bytes(8192, 0));
    ResetPortBinding();
    ASSERT_TRUE(EnsureLinkReady());
    failing = request;
    callsLeft = after;
    EXPECT_THROW(Upload(), LinkTimeout);
    EXPECT_NE(sim_.copier().DramPage(0), block_) << "reported as done would be an upload to nowhere";
    EXPECT_THROW(SendFunction(5, 1, 0, 0), LinkTimeout) << "a lost port stays lost";
    EXPECT_NO_THROW(ShutdownPortDriver());
    callsLeft = LONG_MAX;
  }
}

}  // namespace
}  // namespace ql::testing

// The ppdev back end over a driver played by the test: its ioctls reach the
// emulated copier until the test makes one of them fail, as an unplugged
// port or a removed driver would.
#include <gtest/gtest.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "core/state.h"
#include "link/commands.h"
#include "link/link_timeout.h"
#include "link/port_binding.h"
#include "link/ports/linux_ports.h"
#include "link/ports/linux_ppdev_ioctl.h"
#include "tests/support/sim_link.h"

namespace ql::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The driver the fake ioctl plays: registers of the copier at 0x378, and
// `failing` refused from the `failAfter`-th call on.
struct Driver {
  emu::Copier* copier = nullptr;
  unsigned long failing = 0;
  std::optional<long> failAfter;
  long calls = 0;
};
Driver driver;

int FakeIoctl(int, unsigned long request, void* argument) {
  ++driver.calls;
  if (driver.failAfter && driver.calls > *driver.failAfter && request == driver.failing) {
    errno = ENODEV;
    return -1;
  }
  auto* byte = static_cast<std::uint8_t*>(argument);
  emu::Copier& copier = *driver.copier;
  switch (request) {
    case PPRSTATUS:
      *byte = copier.PortIn(0x379);
      return 0;
    case PPRDATA:
      *byte = copier.PortIn(0x378);
      return 0;
    case PPRCONTROL:
      *byte = copier.PortIn(0x37A);
      return 0;
    case PPWDATA:
      copier.PortOut(0x378, *byte);
      return 0;
    case PPWCONTROL:
      copier.PortOut(0x37A, *byte);
      return 0;
    case PPEXCL:
    case PPCLAIM:
    case PPRELEASE:
    case PPDATADIR:
      return 0;
    default:
      errno = EINVAL;
      return -1;
  }
}

class PpdevPort : public ::testing::Test {
 protected:
  PpdevPort() {
    driver = Driver{};
    driver.copier = &sim_.copier();
    previous_ = SetPpdevIoctl(FakeIoctl);
    SetPortLibraryLoader([](std::string& failure) { return OpenPpdevPort("/dev/null", failure); });
    SelectedLpt = 1;
  }
  ~PpdevPort() override {
    ResetPortBinding();
    SetPpdevIoctl(previous_);
  }
  // An 8 KB block to DRAM page 0, as a ROM upload sends it.
  void Upload(const Bytes& block) {
    SelectPage(0);
    WriteMemoryBlock(0x8000, block.data(), static_cast<std::uint16_t>(block.size()));
  }

  SimLink sim_;
  PpdevIoctl previous_ = nullptr;
  const Bytes block_ = Bytes(8192, 0x3C);
};

TEST_F(PpdevPort, MovesBlocksBothWaysWhileTheDriverAnswers) {
  ASSERT_TRUE(EnsureLinkReady());
  Upload(block_);
  EXPECT_EQ(sim_.copier().DramPage(0), block_);
  Bytes back(block_.size());
  EXPECT_TRUE(ReadMemoryBlock(0x8000, back.data(), static_cast<std::uint16_t>(back.size())));
  EXPECT_EQ(back, block_);
}

// Whichever ioctl fails, at the upload's start or halfway through its block,
// the upload ends with the time-out, the copier never takes the block, and
// the port can still be parked at exit.
TEST_F(PpdevPort, AFailedIoctlDuringAnUploadIsTheTimeOut) {
  const struct {
    const char* name;
    unsigned long request;
    long after;  // calls into the upload
  } cases[] = {{"status read at once", PPRSTATUS, 0},
               {"status read mid-block", PPRSTATUS, 20000},
               {"data write mid-block", PPWDATA, 20000},
               {"strobe write mid-block", PPWCONTROL, 20000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim_.copier().SetDramPage(0, Bytes(8192, 0));
    ResetPortBinding();
    ASSERT_TRUE(EnsureLinkReady());
    driver.failing = c.request;
    driver.failAfter = driver.calls + c.after;
    EXPECT_THROW(Upload(block_), LinkTimeout);
    EXPECT_NE(sim_.copier().DramPage(0), block_) << "reported as done would be an upload to nowhere";
    EXPECT_THROW(SendFunction(5, 1, 0, 0), LinkTimeout) << "a lost port stays lost";
    EXPECT_NO_THROW(ShutdownPortDriver());
    driver.failAfter.reset();
  }
}

}  // namespace
}  // namespace ql::testing

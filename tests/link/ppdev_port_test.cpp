// The ppdev back end over a driver played by the test: its ioctls reach the
// emulated copier until the test makes one of them fail, as an unplugged
// port or a removed driver would.
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <optional>

#include "link/commands.h"
#include "link/link_timeout.h"
#include "link/ports/linux_ports.h"
#include "link/ports/linux_ppdev_ioctl.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

// The driver the fake ioctl plays: the copier's registers at 0x378, and
// `failing` refused after `failAfter` calls.
struct Driver {
  emu::Copier* copier = nullptr;
  unsigned long failing = 0;
  std::optional<long> failAfter;
  long calls = 0;
};
Driver driver;

int FakeIoctl(int, unsigned long request, void* argument) {
  if (driver.failAfter && ++driver.calls > *driver.failAfter && request == driver.failing) return errno = ENODEV, -1;
  const std::pair<unsigned long, std::uint16_t> reads[] = {{PPRDATA, 0x378}, {PPRSTATUS, 0x379}, {PPRCONTROL, 0x37A}};
  const std::pair<unsigned long, std::uint16_t> writes[] = {{PPWDATA, 0x378}, {PPWCONTROL, 0x37A}};
  auto* byte = static_cast<std::uint8_t*>(argument);
  for (const auto& [code, port] : reads)
    if (code == request) *byte = driver.copier->PortIn(port);
  for (const auto& [code, port] : writes)
    if (code == request) driver.copier->PortOut(port, *byte);
  return 0;  // claiming, releasing and the data direction always work
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
    driver.calls = 0;
    driver.failAfter = c.after;
    EXPECT_THROW(Upload(block_), LinkTimeout);
    EXPECT_NE(sim_.copier().DramPage(0), block_) << "reported as done would be an upload to nowhere";
    EXPECT_THROW(SendFunction(5, 1, 0, 0), LinkTimeout) << "a lost port stays lost";
    EXPECT_NO_THROW(ShutdownPortDriver());
    driver.failAfter.reset();
  }
}

}  // namespace
}  // namespace ql::testing

// The channel of a parallel port: every byte goes out under the handshake
// when it is handed over, so Finish has nothing left to do.
#include "link/byte_channel.h"
#include "link/handshake.h"
#include "link/link_state.h"
#include "link/trace.h"

namespace ql {
namespace {

class ParallelChannel final : public ByteChannel {
 public:
  void BeginPacket() override {
    if (LinkTraceOn()) TracePacketStart();
  }
  void Send(std::span<const std::uint8_t> bytes) override {
    for (std::uint8_t byte : bytes) SendByte(byte);
  }
  void Receive(std::span<std::uint8_t> bytes) override {
    ReceiveBytes(bytes.data(), bytes.size());
  }
  void Pause(std::uint32_t ms) override { LinkTimer(static_cast<std::int32_t>(ms)); }
  void Finish() override {}
};

}  // namespace

ByteChannel& ActiveChannel() {
  static ParallelChannel parallel;
  ByteChannel* bound = link_state::boundChannel;
  return bound != nullptr ? *bound : parallel;
}

}  // namespace ql

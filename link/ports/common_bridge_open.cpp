#include <algorithm>
#include <chrono>

#include "bridge/protocol/quillon_bridge.h"
#include "link/ports/bridge_open.h"
#include "link/ports/bridge_text.h"

namespace ql::bridge {
namespace {

// HELLO goes out again this often while the board restarts.
constexpr int kHelloRepeatMs = 250;

// Collects the answers of the opening.
class OpeningSink final : public FrameSink {
 public:
  void OnFrame(const Frame& frame) override {
    if (frame.type == QLBR_REP_HELLO) hello = frame, helloSeen = true;
    if (frame.type == QLBR_REP_ACK) ackSeen = true;
    if (frame.type == QLBR_REP_ERROR) errorSeen = true;
    if (frame.type == QLBR_REP_DONE && frame.Field(0, 1) == awaitedToken) doneSeen = true;
    ++frames;
  }
  void OnCorruptReply() override { ++corrupt; }

  Frame hello;
  bool helloSeen = false, ackSeen = false, errorSeen = false, doneSeen = false;
  std::uint8_t awaitedToken = 0;
  int frames = 0, corrupt = 0;
};

enum class Hello { Answered, Silent, Foreign, Gone };

// SYNC first: a board still skipping requests after an error realigns on it.
Hello SayHello(BridgeWire& wire, OpeningSink& sink, int budgetMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(budgetMs);
  const std::uint8_t token = 0;
  while (Clock::now() < deadline) {
    if (wire.Post(QLBR_REQ_SYNC, {&token, 1}, sink) == BridgeWire::Wait::Gone ||
        wire.Post(QLBR_REQ_HELLO, {}, sink) == BridgeWire::Wait::Gone || !wire.Flush())
      return Hello::Gone;
    const auto repeatAt = Clock::now() + std::chrono::milliseconds(kHelloRepeatMs);
    while (!sink.helloSeen && Clock::now() < repeatAt) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(repeatAt - Clock::now()).count();
      if (wire.ReadSome(sink, static_cast<int>(left)) == BridgeWire::Wait::Gone) return Hello::Gone;
    }
    if (sink.helloSeen) return Hello::Answered;
  }
  return Hello::Silent;
}

bool IsOurs(const Frame& hello) {
  return hello.length >= QLBR_LEN_REP_HELLO &&
         std::equal(hello.payload.begin(), hello.payload.begin() + QLBR_MAGIC_LENGTH, QLBR_MAGIC);
}

}  // namespace

std::unique_ptr<BridgePort> ConnectBridge(std::unique_ptr<SerialLine> line, std::uint32_t baud, std::string& error,
                                          int helloBudgetMs, BridgeFailure* failure, unsigned* protocol) {
  BridgeFailure ignored = BridgeFailure::None;
  BridgeFailure& kind = failure != nullptr ? *failure : ignored;
  kind = BridgeFailure::LineFailed;  // until a better reason is known
  const std::string device = line->Name();
  line->DiscardInput();
  auto wire = std::make_unique<BridgeWire>(std::move(line));
  OpeningSink sink;
  Hello answer = SayHello(*wire, sink, helloBudgetMs);
  if (answer == Hello::Gone) {
    error = Cat("USB bridge on ", device, ": the serial device failed while opening it.");
    return nullptr;
  }
  if (answer == Hello::Silent) {
    // Bytes that never made a frame of ours: something else is listening there.
    const bool foreign = sink.corrupt > 0 || sink.frames > 0 || wire->SkippedBytes() > 0;
    kind = foreign ? BridgeFailure::Foreign : BridgeFailure::Silent;
    error = foreign ? ForeignDeviceText(device) : SilentBridgeText(device, helloBudgetMs);
    return nullptr;
  }
  if (!IsOurs(sink.hello)) {
    kind = BridgeFailure::Foreign;
    error = ForeignDeviceText(device);
    return nullptr;
  }
  if (sink.hello.payload[4] != QLBR_PROTOCOL_VERSION) {
    kind = BridgeFailure::OtherProtocol;
    if (protocol != nullptr) *protocol = sink.hello.payload[4];
    error = OtherProtocolText(device, sink.hello.payload[4]);
    return nullptr;
  }
  BridgeInfo info;
  info.protocol = sink.hello.payload[4];
  info.firmwareMajor = sink.hello.payload[5];
  info.firmwareMinor = sink.hello.payload[6];
  info.window = static_cast<std::uint16_t>(sink.hello.Field(7, 2));
  info.baud = QLBR_DEFAULT_BAUD;
  wire->SetWindow(info.window);

  if (baud != QLBR_DEFAULT_BAUD) {
    const std::uint8_t rate[4] = {static_cast<std::uint8_t>(baud), static_cast<std::uint8_t>(baud >> 8),
                                  static_cast<std::uint8_t>(baud >> 16), static_cast<std::uint8_t>(baud >> 24)};
    sink.ackSeen = sink.errorSeen = false;
    wire->Post(QLBR_REQ_SET_BAUD, rate, sink);
    const auto got = wire->WaitFor(sink, [&] { return sink.ackSeen || sink.errorSeen; });
    if (got != BridgeWire::Wait::Done || !sink.ackSeen) {
      error = Cat("USB bridge on ", device, ": the board refused ", baud, " baud.");
      return nullptr;
    }
    // The ACK went out at the old rate; both ends now change.
    if (!wire->Line().SetBaud(baud)) {
      error = Cat("USB bridge on ", device, ": this serial device cannot run at ", baud, " baud.");
      return nullptr;
    }
    wire->BoardIdle();
    sink.helloSeen = false;
    if (SayHello(*wire, sink, helloBudgetMs) != Hello::Answered || !IsOurs(sink.hello)) {
      error = Cat("USB bridge on ", device, ": no answer after switching to ", baud, " baud.");
      return nullptr;
    }
    info.baud = baud;
  }
  // Settle the credits of the opening's repeated requests before counting the window.
  sink.awaitedToken = 1;
  sink.doneSeen = false;
  wire->Post(QLBR_REQ_SYNC, {&sink.awaitedToken, 1}, sink);
  if (wire->WaitFor(sink, [&] { return sink.doneSeen; }) != BridgeWire::Wait::Done) {
    error = SilentBridgeText(device, helloBudgetMs);
    return nullptr;
  }
  wire->BoardIdle();
  kind = BridgeFailure::None;
  return std::make_unique<BridgePort>(std::move(wire), info);
}

std::string FlashAdvice(const std::string& device) {
  return Cat("Flash the bridge firmware: make bridge, then scripts/flash-bridge ", device);
}

std::string SilentBridgeText(const std::string& device, int budgetMs) {
  return Cat("USB bridge on ", device, ": no answer within ", (budgetMs + 999) / 1000,
             " s. Is the bridge firmware on the board? ", FlashAdvice(device), ".");
}

std::string ForeignDeviceText(const std::string& device) {
  return Cat(device,
             " answers, but not as a Quillon USB bridge (another device, or a board without the bridge firmware). ",
             FlashAdvice(device), ".");
}

std::string OtherProtocolText(const std::string& device, unsigned protocol) {
  return Cat("USB bridge on ", device, ": its firmware speaks protocol version ", protocol, ", this program version ",
             QLBR_PROTOCOL_VERSION, ". ", FlashAdvice(device), ".");
}

std::string DescribeBridge(PortIo& port) {
  auto* bridge = dynamic_cast<BridgePort*>(&port);
  if (bridge == nullptr) return {};
  const BridgeInfo& info = bridge->Info();
  return Cat("USB bridge on ", bridge->DeviceName(), ": firmware ", info.firmwareMajor, ".", info.firmwareMinor,
             ", protocol ", info.protocol, ", ", info.baud, " baud, receive window ", info.window, " bytes");
}

}  // namespace ql::bridge

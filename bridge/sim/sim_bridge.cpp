#include "bridge/sim/sim_bridge.h"

#include <algorithm>
#include <stdexcept>

#include "bridge/sim/board_pins.h"
#include "core/port_io.h"

namespace ql::bridge {
namespace {

enum ScheduleId { kDeliverToBoard = 0, kTransmitterFree = 1, kDataSettled = 2 };
constexpr std::uint64_t kBitsPerByte = 10;
constexpr std::uint8_t kCorruptMask = 0x01;
// Two port writes put a byte on the data lines; the copier is shown the
// value once it has stood this long, or at the next STROBE or status read.
constexpr std::uint64_t kDataSettleCycles = 32;

std::uint8_t PortBits(const AvrBoard& board, char port, int bit) { return (board.PinLevels(port) >> bit) & 1u; }
bool Driven(const AvrBoard& board, char port, int bit) { return (board.DrivenPins(port) >> bit) & 1u; }

// Line levels that show these register values to the copier.
void LevelsForRegisters(std::uint8_t data, std::uint8_t control, LineLevels& levels) {
  for (unsigned bit = 0; bit < 8; ++bit)
    LevelOf(levels, static_cast<Line>(static_cast<unsigned>(Line::Data0) + bit)) = (data >> bit) & 1u;
  for (const RegisterBit& bit : kControlBits) LevelOf(levels, bit.line) = ((control & bit.mask) != 0) != bit.inverted;
}

}  // namespace

// The emulator's time is the simulated chip's cycle count.
class SimulatedBridge::CycleClock final : public Clock {
 public:
  void Attach(const AvrBoard* board) { board_ = board; }
  bool QueryFrequency(std::uint64_t& ticksPerSecond) override {
    ticksPerSecond = AvrBoard::kFrequency;
    return true;
  }
  std::uint64_t ReadCounter() override { return board_ ? board_->Cycle() : 0; }
  void SleepMs(std::uint32_t) override {}  // the copier never sleeps

 private:
  const AvrBoard* board_ = nullptr;
};

SimulatedBridge::SimulatedBridge(const BridgeSettings& settings)
    : settings_(settings),
      clock_(std::make_unique<CycleClock>()),
      latencyCycles_(static_cast<std::uint64_t>(settings.latencyMs) * AvrBoard::kFrequency / 1000),
      capCyclesPerByte_((kBitsPerByte * AvrBoard::kFrequency + settings.maxBaud - 1) / settings.maxBaud) {
  if (!settings_.wireLogPath.empty()) {
    wireLog_ = std::fopen(settings_.wireLogPath.c_str(), "w");
    if (!wireLog_) throw std::runtime_error("cannot write the wire log " + settings_.wireLogPath);
  }
  copier_ = std::make_unique<emu::Copier>(settings_.copier, *clock_);
  controlShown_ = copier_->ControlRegister();
  dataShown_ = dataPending_ = copier_->DataRegister();
  board_ = std::make_unique<AvrBoard>(settings_.firmwarePath, *this);
  clock_->Attach(board_.get());
  // Until the firmware drives a line, the copier keeps seeing what it saw.
  LevelsForRegisters(dataShown_, controlShown_, levels_);
  DriveStatusLines(copier_->PortIn(kStatusRegister), levels_);
}

SimulatedBridge::~SimulatedBridge() {
  FlushData();
  FlushStatusRun();
  if (wireLog_) std::fclose(wireLog_);
}

bool SimulatedBridge::RunUntil(std::uint64_t cycle) { return board_->RunUntil(cycle); }

std::uint64_t SimulatedBridge::LineCyclesPerByte() const {
  return std::max(board_->UartCyclesPerByte(), capCyclesPerByte_);
}

void SimulatedBridge::FromPc(const std::uint8_t* bytes, std::size_t count) {
  const std::uint64_t ready = board_->Cycle() + latencyCycles_;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t byte = bytes[i];
    if (++fromPcCount_ == settings_.corruptByte) byte ^= kCorruptMask;
    toBoard_.push_back({byte, ready});
  }
  ScheduleDelivery();
}

void SimulatedBridge::ScheduleDelivery() {
  if (deliveryScheduled_ || toBoard_.empty()) return;
  deliveryScheduled_ = true;
  const std::uint64_t start = std::max({toBoard_.front().cycle, rxLineFreeAt_, board_->Cycle()});
  board_->ScheduleAt(kDeliverToBoard, start + LineCyclesPerByte());
}

void SimulatedBridge::TakeForPc(std::vector<std::uint8_t>& out) {
  const std::uint64_t now = board_->Cycle();
  while (!toPc_.empty() && toPc_.front().cycle <= now) {
    out.push_back(toPc_.front().byte);
    toPc_.pop_front();
  }
}

void SimulatedBridge::Scheduled(int id) {
  const std::uint64_t now = board_->Cycle();
  if (id == kDeliverToBoard) {
    deliveryScheduled_ = false;
    if (toBoard_.empty()) return;
    // Called when the byte's stop bit is in.
    board_->UartReceive(toBoard_.front().byte);
    toBoard_.pop_front();
    rxLineFreeAt_ = now;
    ScheduleDelivery();
  } else if (id == kTransmitterFree) {
    board_->SetUartTransmitReady(true);
  } else if (id == kDataSettled) {
    SettleData();
  }
}

void SimulatedBridge::UartWritten(std::uint8_t byte) {
  // A USART holds one byte in its data register while another shifts out:
  // the register empties when its byte starts on the line.
  const std::uint64_t now = board_->Cycle();
  const std::uint64_t start = std::max(now, txLineFreeAt_);
  txLineFreeAt_ = start + LineCyclesPerByte();
  toPc_.push_back({byte, txLineFreeAt_ + latencyCycles_});
  if (start > now) {
    board_->SetUartTransmitReady(false);
    board_->ScheduleAt(kTransmitterFree, start);
  }
}

void SimulatedBridge::OutputsWritten() {
  for (const BoardPin& pin : BoardPins()) {
    if (pin.boardDrives && Driven(*board_, pin.avrPort, pin.avrBit))
      LevelOf(levels_, pin.line) = PortBits(*board_, pin.avrPort, pin.avrBit) != 0;
  }
  const std::uint8_t data = DataRegisterFor(levels_);
  const std::uint8_t control = ControlRegisterFor(levels_);
  if (data != dataPending_) {
    dataPending_ = data;
    dataWrittenAt_ = board_->Cycle();
    board_->ScheduleAt(kDataSettled, dataWrittenAt_ + kDataSettleCycles);
  }
  if (control != controlShown_) {
    FlushData();
    controlShown_ = control;
    LogEvent('C', control);
    copier_->PortOut(kControlRegister, control);
  }
}

void SimulatedBridge::InputsAboutToBeRead() {
  FlushData();
  const std::uint8_t status = copier_->PortIn(kStatusRegister);
  LogEvent('S', status);
  DriveStatusLines(status, levels_);
  std::uint8_t pins = 0xFF;  // pins without a line are pulled up
  for (const BoardPin& pin : BoardPins()) {
    if (!pin.boardDrives && pin.avrPort == 'C' && !LevelOf(levels_, pin.line))
      pins = static_cast<std::uint8_t>(pins & ~(1u << pin.avrBit));
  }
  board_->SetInputLevels(pins);
}

void SimulatedBridge::SettleData() {
  if (dataPending_ != dataShown_ && board_->Cycle() - dataWrittenAt_ >= kDataSettleCycles) FlushData();
}

void SimulatedBridge::FlushData() {
  if (dataPending_ == dataShown_) return;
  dataShown_ = dataPending_;
  LogEvent('D', dataShown_);
  copier_->PortOut(kDataRegister, dataShown_);
}

// One line per event: "<microseconds> <kind> <hex value>", where the kind is
// D (data register written), C (control register written) or S (status
// read); a run of equal status reads is one line ending in "x<count>".
void SimulatedBridge::LogEvent(char kind, std::uint8_t value) {
  if (!wireLog_) return;
  const std::uint64_t now = board_->Cycle();
  if (kind == 'S') {
    if (statusRunValue_ == value) {
      ++statusRunCount_;
      return;
    }
    FlushStatusRun();
    statusRunValue_ = value;
    statusRunCount_ = 1;
    statusRunCycle_ = now;
    return;
  }
  FlushStatusRun();
  std::fprintf(wireLog_, "%llu %c %02x\n", static_cast<unsigned long long>(now * 1'000'000 / AvrBoard::kFrequency),
               kind, value);
}

void SimulatedBridge::FlushStatusRun() {
  if (!wireLog_ || statusRunValue_ < 0) return;
  std::fprintf(wireLog_, "%llu S %02x x%llu\n",
               static_cast<unsigned long long>(statusRunCycle_ * 1'000'000 / AvrBoard::kFrequency), statusRunValue_,
               static_cast<unsigned long long>(statusRunCount_));
  statusRunValue_ = -1;
}

void SimulatedBridge::FlushLog() {
  if (!wireLog_) return;
  FlushStatusRun();
  std::fflush(wireLog_);
}

}  // namespace ql::bridge

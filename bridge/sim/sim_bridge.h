// The simulated bridge: the firmware running in simavr, its port pins
// wired through the DB-25 cable to the copier emulator, and its UART at
// the end of a serial line that moves bytes no faster than the baud rate
// and, like USB, delivers them a fixed latency late in each direction.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "bridge/sim/avr_board.h"
#include "bridge/sim/parallel_cable.h"
#include "core/clock.h"
#include "emulator/copier.h"

namespace ql::bridge {

struct BridgeSettings {
  std::string firmwarePath;
  std::uint64_t maxBaud = 2'000'000;  // the USB-serial chip's fastest rate
  std::uint32_t latencyMs = 0;
  std::uint64_t corruptByte = 0;  // flip a bit of the Nth byte from the PC (from 1); 0 = none
  std::string wireLogPath;        // register-level log of what the copier saw
  emu::Options copier;
};

class SimulatedBridge final : public BoardListener {
 public:
  explicit SimulatedBridge(const BridgeSettings& settings);
  ~SimulatedBridge() override;

  std::uint64_t Cycle() const { return board_->Cycle(); }
  // Runs the board; false once its core has stopped.
  bool RunUntil(std::uint64_t cycle);

  // Bytes the PC has just written.
  void FromPc(const std::uint8_t* bytes, std::size_t count);
  // Appends the bytes that have reached the PC by now.
  void TakeForPc(std::vector<std::uint8_t>& out);
  // Nothing happens until the PC writes: the board sleeps and no byte is
  // on the line either way.
  bool Idle() const { return board_->Asleep() && toBoard_.empty() && toPc_.empty(); }
  // Bytes from the PC that the firmware did not fetch in time.
  std::uint64_t ReceiveOverruns() const { return board_->UartOverruns(); }
  // Writes out the wire log so far (a run of status reads is cut there).
  void FlushLog();

  // BoardListener
  void OutputsWritten() override;
  void InputsAboutToBeRead() override;
  void UartWritten(std::uint8_t byte) override;
  void Scheduled(int id) override;

 private:
  struct Timed {
    std::uint8_t byte;
    std::uint64_t cycle;
  };
  class CycleClock;

  std::uint64_t LineCyclesPerByte() const;
  void ScheduleDelivery();
  // Hands the copier a data value the firmware has left settled.
  void SettleData();
  void FlushData();
  void LogEvent(char kind, std::uint8_t value);
  void FlushStatusRun();

  BridgeSettings settings_;
  std::unique_ptr<CycleClock> clock_;
  std::unique_ptr<emu::Copier> copier_;
  std::unique_ptr<AvrBoard> board_;
  std::uint64_t latencyCycles_;
  std::uint64_t capCyclesPerByte_;

  // PC -> board
  std::deque<Timed> toBoard_;
  std::uint64_t fromPcCount_ = 0;
  std::uint64_t rxLineFreeAt_ = 0;
  bool deliveryScheduled_ = false;
  // board -> PC
  std::deque<Timed> toPc_;
  std::uint64_t txLineFreeAt_ = 0;

  // What the copier has been shown.
  LineLevels levels_{};
  std::uint8_t controlShown_;
  std::uint8_t dataShown_;
  std::uint8_t dataPending_;
  std::uint64_t dataWrittenAt_ = 0;

  std::FILE* wireLog_ = nullptr;
  int statusRunValue_ = -1;
  std::uint64_t statusRunCount_ = 0;
  std::uint64_t statusRunCycle_ = 0;
};

}  // namespace ql::bridge

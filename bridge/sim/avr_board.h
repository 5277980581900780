// The board's ATmega328P, run by simavr from the firmware's own ELF file.
// This class only reaches into the simulated chip: it tells a listener
// when the firmware writes its output ports or the UART, and before it
// reads its input pins, and lets the listener set input levels, feed the
// UART and ask for a call-back at a given cycle.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct avr_t;

namespace ql::bridge {

class BoardListener {
 public:
  virtual ~BoardListener() = default;
  // A write to PORTx, DDRx or PINx (a toggle) of ports B or D.
  virtual void OutputsWritten() = 0;
  // The firmware is about to read PINC: set the levels it should see.
  virtual void InputsAboutToBeRead() = 0;
  // The firmware wrote a byte to the UART's data register.
  virtual void UartWritten(std::uint8_t byte) = 0;
  // A call-back asked for with ScheduleAt.
  virtual void Scheduled(int id) = 0;
};

class AvrBoard {
 public:
  static constexpr std::uint64_t kFrequency = 16'000'000;
  static constexpr int kScheduleSlots = 4;

  // Throws std::runtime_error when the ELF cannot be loaded.
  AvrBoard(const std::string& elfPath, BoardListener& listener);
  ~AvrBoard();
  AvrBoard(const AvrBoard&) = delete;
  AvrBoard& operator=(const AvrBoard&) = delete;

  std::uint64_t Cycle() const;
  // The firmware has put the core to sleep until an interrupt.
  bool Asleep() const;
  // Runs until the cycle count reaches `until`; false once the core has
  // stopped (crashed, or slept with interrupts off).
  bool RunUntil(std::uint64_t until);

  // The level on each pin of port 'B', 'C' or 'D': the PORT bit where the
  // pin is an output; high where it is an undriven input (pulled up).
  std::uint8_t PinLevels(char port) const;
  // The pins of port 'B', 'C' or 'D' that the firmware drives (DDR bits).
  std::uint8_t DrivenPins(char port) const;
  // Levels that outside drivers put on port C's input pins.
  void SetInputLevels(std::uint8_t levels);

  // UART: cycles per 8N1 byte at the rate the firmware has set.
  std::uint64_t UartCyclesPerByte() const;
  // A byte's stop bit has arrived. Like the USART, the board holds two
  // received bytes; a third is lost (an overrun) if the firmware is late.
  void UartReceive(std::uint8_t byte);
  std::uint64_t UartOverruns() const;
  // The transmit data register has room (UDRE).
  void SetUartTransmitReady(bool ready);

  // Scheduled(id) is called when the cycle count reaches `cycle`; a slot
  // holds one call-back, a new one replaces it.
  void ScheduleAt(int id, std::uint64_t cycle);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ql::bridge

#include "bridge/sim/avr_board.h"

#include <simavr/avr_extint.h>
#include <simavr/avr_ioport.h>
#include <simavr/avr_uart.h>
#include <simavr/sim_avr.h>
#include <simavr/sim_elf.h>
#include <simavr/sim_interrupts.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace ql::bridge {
namespace {

// ATmega328P data-space addresses of the registers the board uses.
constexpr avr_io_addr_t kPinB = 0x23, kDdrB = 0x24, kPortB = 0x25;
constexpr avr_io_addr_t kPinC = 0x26, kDdrC = 0x27, kPortC = 0x28;
constexpr avr_io_addr_t kPinD = 0x29, kDdrD = 0x2A, kPortD = 0x2B;
constexpr avr_io_addr_t kUcsr0A = 0xC0, kUcsr0B = 0xC1, kUcsr0C = 0xC2, kUbrr0L = 0xC4, kUbrr0H = 0xC5;
constexpr avr_io_addr_t kUdr0 = 0xC6;
constexpr std::uint8_t kUdre0 = 1u << 5, kU2x0 = 1u << 1, kRxen0 = 1u << 4, kTxen0 = 1u << 3;
constexpr std::size_t kReceiveBuffer = 2;
constexpr unsigned kBitsPerByte = 10;  // start, 8 data, stop

// A register access that simavr already handles, kept so ours can run
// before or after it.
struct ReadChain {
  avr_io_read_t original = nullptr;
  void* param = nullptr;
};
struct WriteChain {
  avr_io_write_t original = nullptr;
  void* param = nullptr;
};

// simavr reports on stdout, where the pseudo-terminal's path must be the
// first line: keep its errors, on stderr, and drop its chatter.
void ErrorsOnly(avr_t*, const int level, const char* format, va_list arguments) {
  if (level > LOG_ERROR) return;
  std::fputs("simavr: ", stderr);
  std::vfprintf(stderr, format, arguments);
}

}  // namespace

struct AvrBoard::Impl {
  struct Slot {
    Impl* impl;
    int id;
  };

  Impl(const std::string& elfPath, BoardListener& l) : listener(l) {
    avr_global_logger_set(&ErrorsOnly);
    elf_firmware_t firmware{};
    if (elf_read_firmware(elfPath.c_str(), &firmware) != 0)
      throw std::runtime_error("cannot read the firmware " + elfPath);
    avr = avr_make_mcu_by_name("atmega328p");
    if (!avr) throw std::runtime_error("simavr has no ATmega328P");
    avr_init(avr);
    avr->log = 0;
    avr_load_firmware(avr, &firmware);
    avr->frequency = kFrequency;
    // INT0 and INT1 share PD2 and PD3 with DATA0 and DATA1. The firmware
    // leaves them off, but simavr would poll a low pin every cycle as a
    // level-triggered interrupt, filling its timer pool.
    avr_extint_set_strict_lvl_trig(avr, 0, 0);
    avr_extint_set_strict_lvl_trig(avr, 1, 0);
    // Real time is kept by the harness, not by simavr sleeping the thread.
    avr->sleep = [](avr_t*, avr_cycle_count_t) {};
    uart = static_cast<avr_uart_t*>(avr->io[AVR_DATA_TO_IO(kUdr0)].r.param);
    if (!uart) throw std::runtime_error("simavr's ATmega328P has no UART0");
    for (int i = 0; i < kScheduleSlots; ++i) slots[static_cast<std::size_t>(i)] = {this, i};

    for (avr_io_addr_t address : {kPortB, kDdrB, kPinB, kPortD, kDdrD, kPinD}) Chain(address, &OutputWrite);
    for (avr_io_addr_t address : {kUbrr0L, kUbrr0H, kUcsr0A, kUcsr0B, kUcsr0C}) Chain(address, &RateWrite);
    // The USART is modelled here as the chip has it: two received bytes
    // waiting, and a data register beside the transmit shift register.
    // simavr's own paces its receive queue so that a firmware once behind
    // never catches up, and holds one byte to transmit.
    avr->io[AVR_DATA_TO_IO(kUdr0)].w = {this, &UdrWrite};
    avr->io[AVR_DATA_TO_IO(kUdr0)].r = {this, &UdrRead};
    auto& pinRead = avr->io[AVR_DATA_TO_IO(kPinC)].r;
    pinC = {pinRead.c, pinRead.param};
    pinRead = {this, &PinCRead};
  }

  ~Impl() {
    if (avr) avr_terminate(avr);
  }

  void Chain(avr_io_addr_t address, avr_io_write_t ours) {
    auto& entry = avr->io[AVR_DATA_TO_IO(address)].w;
    writes[address] = {entry.c, entry.param};
    entry = {this, ours};
  }

  void CallOriginal(avr_io_addr_t address, std::uint8_t value) {
    const WriteChain& chain = writes[address];
    if (chain.original)
      chain.original(avr, address, value, chain.param);
    else
      avr->data[address] = value;
  }

  static void OutputWrite(avr_t*, avr_io_addr_t address, std::uint8_t value, void* param) {
    auto* self = static_cast<Impl*>(param);
    self->CallOriginal(address, value);
    self->listener.OutputsWritten();
  }

  static void RateWrite(avr_t* avr, avr_io_addr_t address, std::uint8_t value, void* param) {
    auto* self = static_cast<Impl*>(param);
    self->CallOriginal(address, value);
    if (!(avr->data[kUcsr0B] & kRxen0)) {
      self->received.clear();
      avr_clear_interrupt(avr, &self->uart->rxc);
    }
  }

  static void UdrWrite(avr_t* avr, avr_io_addr_t, std::uint8_t value, void* param) {
    auto* self = static_cast<Impl*>(param);
    if (!(avr->data[kUcsr0B] & kTxen0)) return;  // nothing leaves a disabled transmitter
    self->listener.UartWritten(value);
  }

  static std::uint8_t UdrRead(avr_t* avr, avr_io_addr_t, void* param) {
    auto* self = static_cast<Impl*>(param);
    if (self->received.empty()) return 0;
    const std::uint8_t byte = self->received.front();
    self->received.erase(self->received.begin());
    // The flag stays up while a byte waits; raising it again makes the
    // interrupt pending again once this one returns.
    if (self->received.empty())
      avr_clear_interrupt(avr, &self->uart->rxc);
    else
      avr_raise_interrupt(avr, &self->uart->rxc);
    return byte;
  }

  static std::uint8_t PinCRead(avr_t* avr, avr_io_addr_t address, void* param) {
    auto* self = static_cast<Impl*>(param);
    self->listener.InputsAboutToBeRead();
    avr->data[kPinC] = self->inputsC;
    return self->pinC.original(avr, address, self->pinC.param);
  }

  static avr_cycle_count_t Fire(avr_t*, avr_cycle_count_t, void* param) {
    auto* slot = static_cast<Slot*>(param);
    slot->impl->listener.Scheduled(slot->id);
    return 0;
  }

  std::uint64_t CyclesPerByte() const {
    const unsigned ubrr = avr->data[kUbrr0L] | ((avr->data[kUbrr0H] & 0x0Fu) << 8);
    const unsigned cyclesPerBit = (ubrr + 1) * ((avr->data[kUcsr0A] & kU2x0) ? 8u : 16u);
    return static_cast<std::uint64_t>(cyclesPerBit) * kBitsPerByte;
  }

  BoardListener& listener;
  avr_t* avr = nullptr;
  avr_uart_t* uart = nullptr;
  ReadChain pinC;
  std::array<WriteChain, 0x100> writes{};
  std::array<Slot, kScheduleSlots> slots{};
  std::uint8_t inputsC = 0xFF;
  std::vector<std::uint8_t> received;
  std::uint64_t overruns = 0;
};

AvrBoard::AvrBoard(const std::string& elfPath, BoardListener& listener)
    : impl_(std::make_unique<Impl>(elfPath, listener)) {}

AvrBoard::~AvrBoard() = default;

std::uint64_t AvrBoard::Cycle() const { return impl_->avr->cycle; }

bool AvrBoard::Asleep() const { return impl_->avr->state == cpu_Sleeping; }

bool AvrBoard::RunUntil(std::uint64_t until) {
  avr_t* avr = impl_->avr;
  // A sleeping core leaps to its next timer event; this one bounds the leap.
  if (until > avr->cycle)
    avr_cycle_timer_register(avr, until - avr->cycle, [](avr_t*, avr_cycle_count_t, void*) -> avr_cycle_count_t { return 0; },
                             impl_.get());
  while (avr->cycle < until) {
    const int state = avr_run(avr);
    if (state == cpu_Done || state == cpu_Crashed) return false;
  }
  return true;
}

std::uint8_t AvrBoard::PinLevels(char port) const {
  const std::uint8_t* data = impl_->avr->data;
  avr_io_addr_t ddr = kDdrB, out = kPortB;
  if (port == 'C') ddr = kDdrC, out = kPortC;
  if (port == 'D') ddr = kDdrD, out = kPortD;
  const std::uint8_t inputs = port == 'C' ? impl_->inputsC : 0xFF;
  return static_cast<std::uint8_t>((data[out] & data[ddr]) | (inputs & ~data[ddr]));
}

std::uint8_t AvrBoard::DrivenPins(char port) const {
  const std::uint8_t* data = impl_->avr->data;
  return port == 'B' ? data[kDdrB] : port == 'C' ? data[kDdrC] : data[kDdrD];
}

void AvrBoard::SetInputLevels(std::uint8_t levels) { impl_->inputsC = levels; }

std::uint64_t AvrBoard::UartCyclesPerByte() const { return impl_->CyclesPerByte(); }

void AvrBoard::UartReceive(std::uint8_t byte) {
  avr_t* avr = impl_->avr;
  if (!(avr->data[kUcsr0B] & kRxen0)) return;  // a disabled receiver hears nothing
  if (impl_->received.size() >= kReceiveBuffer) {
    ++impl_->overruns;
    return;
  }
  impl_->received.push_back(byte);
  avr_raise_interrupt(avr, &impl_->uart->rxc);
}

std::uint64_t AvrBoard::UartOverruns() const { return impl_->overruns; }

void AvrBoard::SetUartTransmitReady(bool ready) {
  std::uint8_t& status = impl_->avr->data[kUcsr0A];
  status = static_cast<std::uint8_t>(ready ? (status | kUdre0) : (status & ~kUdre0));
}

void AvrBoard::ScheduleAt(int id, std::uint64_t cycle) {
  avr_t* avr = impl_->avr;
  const avr_cycle_count_t when = cycle > avr->cycle ? cycle - avr->cycle : 1;
  avr_cycle_timer_register(avr, when, &Impl::Fire, &impl_->slots[static_cast<std::size_t>(id)]);
}

}  // namespace ql::bridge

// The wire side of the copier: the handshake on status bit 7 and the nibble
// lines, one step per STROBE edge, the packet commands, and the faults.
#include "emulator/copier.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>

#include "emulator/bit_noise.h"
#include "emulator/memory_map.h"
#include "emulator/packet_decoder.h"
#include "emulator/smd_memory.h"
#include "emulator/state_folder.h"
#include "emulator/swc_memory.h"

namespace ql::emu {
namespace {

constexpr std::uint8_t kReadyForByte = 0x80;  // bit 7 high: the copier takes a byte
constexpr std::uint8_t kNibbleShift = 3;      // a nibble travels on status bits 3-6

std::uint8_t NibbleStatus(std::uint8_t nibble) { return static_cast<std::uint8_t>((nibble & 0x0F) << kNibbleShift); }

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

struct Copier::Impl {
  Impl(const Options& opts, Clock& clk)
      : options(opts),
        clock(clk),
        store(opts.device == Device::Swc ? SwcMemory::kPageSize : SmdMemory::kPageSize,
              opts.device == Device::Swc ? SwcMemory::kPageCount : SmdMemory::kPageCount),
        output(0x10001),
        seed(opts.seed.value_or(SeedFromClock())),
        lineNoise(opts.noisePpm, seed),
        // Its own stream, so that each kind of noise repeats whatever the other does.
        cartridgeNoise(opts.cartridgeNoisePpm, ~seed),
        saver(opts.stateDir) {
    if (opts.device == Device::Swc) {
      auto swcMemory = std::make_unique<SwcMemory>(store, opts.realTimeSignature);
      swc = swcMemory.get();
      memory = std::move(swcMemory);
    } else {
      auto smdMemory = std::make_unique<SmdMemory>(store);
      smd = smdMemory.get();
      memory = std::move(smdMemory);
    }
    if (opts.fault == Fault::Dead || (opts.fault == Fault::Stall && opts.stallAfterBytes == 0)) Die();
    std::uint64_t frequency = 0;
    // A clock that reports no counter may still count; a zero rate cannot.
    clock.QueryFrequency(frequency);
    if (opts.fault == Fault::Slow && frequency != 0) {
      slow = true;
      slowTicks = frequency * opts.slowMs / 1000;
    }
  }

  bool HasRealTimeArea() const { return options.device == Device::Swc; }

  std::uint8_t Status() {
    if (!dead && !slow) [[likely]]
      return status;
    if (dead) return deadStatus;
    if (clock.ReadCounter() < readyAt) return sending ? kReadyForByte : 0;
    return status;
  }

  // One STROBE edge: the PC has put a byte on the data lines, or has taken
  // the nibble offered.
  void Step() {
    if (dead) {
      // The PC took the level shown as the one it waited for; it will wait
      // for the same level again next, so show the other one.
      deadStatus ^= kReadyForByte;
      return;
    }
    if (sending) {
      if (!highNibble) {
        highNibble = true;
        status = NibbleStatus(output[outputPos] >> 4);
      } else {
        highNibble = false;
        ++bytesMoved;
        if (++outputPos == outputLength) {
          sending = false;
          status = kReadyForByte;
        } else {
          status = NibbleStatus(output[outputPos]);
        }
      }
    } else {
      ++bytesMoved;
      Receive(data);
    }
    if (options.fault == Fault::Stall && bytesMoved >= options.stallAfterBytes) Die();
    if (slow) readyAt = clock.ReadCounter() + slowTicks;
  }

  // From now on bit 7 stays at the level the PC is not waiting for.
  void Die() {
    dead = true;
    deadStatus = sending ? kReadyForByte : 0;
  }

  void Receive(std::uint8_t byte) {
    switch (decoder.Feed(byte)) {
      case PacketDecoder::Result::Pending:
      case PacketDecoder::Result::Rejected:
        return;
      case PacketDecoder::Result::WriteData:
        WriteMemory(decoder.packet().Address(), decoder.data(), decoder.packet().Length());
        break;
      case PacketDecoder::Result::Packet:
        Execute(decoder.packet());
        break;
    }
    if (store.events.size() != saver.SavedEvents()) saver.Save(store, HasRealTimeArea());
  }

  void Execute(const Packet& packet) {
    switch (packet.command) {
      case kCommandRead:
        StartSending(packet.Address(), packet.Length());
        break;
      case kCommandSelectPage:
        memory->SelectPage(packet.Address());
        break;
      case kCommandFunction: {
        char line[24];
        std::snprintf(line, sizeof line, "F %02X %02X %02X %02X", packet.parameters[0], packet.parameters[1],
                      packet.parameters[2], packet.parameters[3]);
        store.events.emplace_back(line);
        break;
      }
      default:
        break;  // commands the copier does not know do nothing
    }
  }

  // Block copies resolve a window once per span, not once per byte.
  void WriteMemory(std::uint16_t address, const std::uint8_t* bytes, std::uint32_t length) {
    while (length > 0) {
      const Span span = memory->Map(address, true);
      std::uint32_t n = std::min({length, span.length, 0x10000u - address});
      if (span.kind == Span::Kind::Register) {
        memory->WriteRegister(address, *bytes);
        n = 1;
      } else if (span.kind == Span::Kind::Memory && !span.readOnly) {
        std::copy(bytes, bytes + n, span.data);
        if (span.source == Span::Source::Dram && options.dramFault) SpoilDram(span.data, n);
      }
      bytes += n;
      length -= n;
      address = static_cast<std::uint16_t>(address + n);
    }
  }

  void ReadMemory(std::uint16_t address, std::uint8_t* bytes, std::uint32_t length) {
    while (length > 0) {
      const Span span = memory->Map(address, false);
      std::uint32_t n = std::min({length, span.length, 0x10000u - address});
      if (span.kind == Span::Kind::Register) {
        *bytes = memory->ReadRegister(address);
        n = 1;
      } else if (span.kind == Span::Kind::Memory) {
        std::copy(span.data, span.data + n, bytes);
        // A dirty contact: the copier reads a wrong byte and believes it.
        if (span.source == Span::Source::Cartridge && cartridgeNoise.active()) cartridgeNoise.Apply(bytes, n);
      } else {
        std::fill(bytes, bytes + n, span.value);
      }
      bytes += n;
      length -= n;
      address = static_cast<std::uint16_t>(address + n);
    }
  }

  // The bad bit of dramfault= among `length` bytes just written at `written`.
  void SpoilDram(std::uint8_t* written, std::uint32_t length) {
    const auto offset = static_cast<std::size_t>(written - store.dram.data());
    const std::size_t bad = options.dramFault->offset;
    if (bad >= offset && bad < offset + length)
      store.dram[bad] ^= static_cast<std::uint8_t>(1u << options.dramFault->bit);
  }

  void StartSending(std::uint16_t address, std::uint16_t length) {
    ReadMemory(address, output.data(), length);
    std::uint8_t check = kCheckSeed;
    for (std::uint32_t i = 0; i < length; ++i) check ^= output[i];
    if (options.fault == Fault::BadCheck) check ^= 0xFF;
    output[length] = check;
    outputLength = length + 1u;
    // The line spoils data and check byte alike, after the check was computed.
    if (lineNoise.active()) lineNoise.Apply(output.data(), outputLength);
    outputPos = 0;
    highNibble = false;
    sending = true;
    status = NibbleStatus(output[0]);
  }

  void Save() { saver.Save(store, HasRealTimeArea()); }

  Options options;
  Clock& clock;
  CopierStore store;
  std::unique_ptr<CopierMemory> memory;
  SwcMemory* swc = nullptr;
  SmdMemory* smd = nullptr;
  PacketDecoder decoder;

  // Port registers as the PC sees them.
  std::uint8_t data = 0;
  std::uint8_t control = 0;
  std::uint8_t status = kReadyForByte;

  // What the copier is sending: `outputLength` bytes, low nibble first.
  std::vector<std::uint8_t> output;
  std::uint32_t outputLength = 0;
  std::uint32_t outputPos = 0;
  bool sending = false;
  bool highNibble = false;

  bool dead = false;
  std::uint8_t deadStatus = 0;
  bool slow = false;
  std::uint64_t slowTicks = 0;
  std::uint64_t readyAt = 0;

  const std::uint64_t seed;
  BitNoise lineNoise;
  BitNoise cartridgeNoise;
  StateSaver saver;
  std::uint64_t bytesMoved = 0;
  std::uint64_t portOuts = 0;
  std::uint64_t portIns = 0;
  std::uint64_t notPortBits = 0;
};

Copier::Copier(const Options& options, Clock& clock) : impl_(std::make_unique<Impl>(options, clock)) {
  impl_->saver.Load(impl_->store, impl_->HasRealTimeArea());
  if (!options.cartridgeFile.empty()) SetCartridge(ReadWholeFile(options.cartridgeFile), options.hiRom);
}

Copier::~Copier() {
  // A destructor must not throw, but a state that was not saved must not go unnoticed.
  try {
    impl_->Save();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Copier emulator: state not saved: %s\n", e.what());
  } catch (...) {
    std::fputs("Copier emulator: state not saved: an unknown exception\n", stderr);
  }
}

void Copier::PortOut(std::uint16_t port, std::uint8_t value) {
  ++impl_->portOuts;
  switch (port & 3) {
    case kDataRegister:
      impl_->data = value;
      break;
    case kControlRegister: {
      // The copier sees the STROBE line, so writing the whole register
      // with bit 0 changed is a step as much as inverting it.
      const std::uint8_t changed = impl_->control ^ value;
      impl_->control = value;
      if (changed & 1) impl_->Step();
      // Anything but a plain STROBE flip is the PC releasing or parking the
      // port: a moment to keep the state, in case the process is cut short.
      if (changed != 1) impl_->Save();
      break;
    }
    default:
      break;  // the status register is read-only
  }
}

std::uint8_t Copier::PortIn(std::uint16_t port) {
  ++impl_->portIns;
  switch (port & 3) {
    case kDataRegister:
      return impl_->data;
    case kStatusRegister:
      return impl_->Status();
    case kControlRegister:
      return impl_->control;
    default:
      return 0xFF;
  }
}

void Copier::NotPortBit(std::uint16_t port, std::uint8_t bit) {
  ++impl_->notPortBits;
  const auto mask = static_cast<std::uint8_t>(1u << (bit & 7));
  switch (port & 3) {
    case kDataRegister:
      impl_->data ^= mask;
      break;
    case kControlRegister:
      impl_->control ^= mask;
      if (mask == 1) impl_->Step();
      break;
    default:
      break;
  }
}

std::uint16_t Copier::IsDriverInstalled() { return 1; }

const Options& Copier::options() const { return impl_->options; }

const std::array<std::uint8_t, 512>& Copier::UploadHeader() const { return impl_->store.header; }

std::vector<std::uint8_t> Copier::DramPage(std::uint32_t page) const {
  const CopierStore& store = impl_->store;
  std::vector<std::uint8_t> bytes(store.pageSize);
  const std::size_t start = static_cast<std::size_t>(page) * store.pageSize;
  if (start < store.dram.size())
    std::copy_n(store.dram.begin() + static_cast<std::ptrdiff_t>(start), store.pageSize, bytes.begin());
  return bytes;
}

void Copier::SetDramPage(std::uint32_t page, const std::vector<std::uint8_t>& data) {
  CopierStore& store = impl_->store;
  if (page >= store.maxPages) return;
  const std::size_t start = static_cast<std::size_t>(page) * store.pageSize;
  if (store.dram.size() < start + store.pageSize) store.dram.resize(start + store.pageSize);
  std::copy_n(data.begin(), std::min<std::size_t>(data.size(), store.pageSize),
              store.dram.begin() + static_cast<std::ptrdiff_t>(start));
}

std::vector<std::uint8_t>& Copier::Sram() { return impl_->store.sram; }
std::vector<std::uint8_t>& Copier::RealTimeArea() { return impl_->store.realTimeArea; }
std::uint8_t Copier::SmdMode() const { return impl_->smd ? impl_->smd->mode() : 0; }
const std::vector<std::string>& Copier::Events() const { return impl_->store.events; }

void Copier::SetCartridge(std::vector<std::uint8_t> image, bool hiRom) {
  impl_->memory->SetCartridge(std::move(image), hiRom);
}

void Copier::SetBankWritable(std::uint8_t bank, bool writable) {
  if (impl_->swc) impl_->swc->SetBankWritable(bank, writable);
}

std::uint64_t Copier::BytesMoved() const { return impl_->bytesMoved; }
std::uint64_t Copier::PortOutCount() const { return impl_->portOuts; }
std::uint64_t Copier::PortInCount() const { return impl_->portIns; }
std::uint64_t Copier::NotPortBitCount() const { return impl_->notPortBits; }
std::uint8_t Copier::DataRegister() const { return impl_->data; }
std::uint8_t Copier::ControlRegister() const { return impl_->control; }
std::uint64_t Copier::RejectedCount() const { return impl_->decoder.RejectedCount(); }
std::size_t Copier::DramSize() const { return impl_->store.dram.size(); }

void Copier::SaveState() { impl_->Save(); }

}  // namespace ql::emu

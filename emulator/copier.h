// An emulated SWC or SMD copier on the other end of the parallel port. It
// plays the copier's side of the handshake and packet protocol at the level
// of the three port registers, so the PC side runs unchanged against it.
// Written from how the copier behaves; it shares nothing with link/.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/clock.h"
#include "core/port_io.h"

namespace ql::emu {

enum class Device { Swc, Smd };
enum class Fault { None, Dead, Stall, BadCheck, Slow };

struct Options {
  Device device = Device::Swc;
  std::string stateDir;           // state=DIR: load at start, save after every function packet and at release
  std::string cartridgeFile;      // cart=FILE: plain cartridge image plugged in
  bool hiRom = false;             // hirom=1
  bool realTimeSignature = true;  // rts=0 clears it
  Fault fault = Fault::None;      // fault=dead | stall:N | badcheck | slow:MS
  std::uint64_t stallAfterBytes = 0;
  std::uint32_t slowMs = 0;
  std::uint32_t noisePpm = 0;           // noise=PPM: a bit flipped in bytes sent to the PC, per million
  std::uint32_t cartridgeNoisePpm = 0;  // cartnoise=PPM: a cartridge byte read wrong, per million
  std::optional<std::uint64_t> seed;    // seed=N: repeatable noise; without it the clock seeds
  // dramfault=OFFSET:BIT: the DRAM byte at OFFSET (its place in dram.bin)
  // keeps bit BIT inverted from what was written, as a bad DRAM chip would.
  struct DramFault {
    std::uint32_t offset = 0;
    std::uint8_t bit = 0;
  };
  std::optional<DramFault> dramFault;
};

// Parses "key=value,key=value" (the text after "sim:"). False and a message
// naming the bad part on error.
bool ParseOptions(std::string_view text, Options& options, std::string& error);

class Copier final : public PortIo {
 public:
  // The clock is read for the slow fault; pass the test's virtual clock.
  explicit Copier(const Options& options, Clock& clock = ActiveClock());
  ~Copier() override;  // saves the state folder when one is set
  Copier(const Copier&) = delete;
  Copier& operator=(const Copier&) = delete;

  // PortIo
  void PortOut(std::uint16_t port, std::uint8_t value) override;
  std::uint8_t PortIn(std::uint16_t port) override;
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override;
  std::uint16_t IsDriverInstalled() override;

  // What the copier holds.
  const Options& options() const;
  const std::array<std::uint8_t, 512>& UploadHeader() const;
  // DRAM page as the copier numbers it (SWC: 8 KB, SMD: 16 KB); zeros if never written.
  std::vector<std::uint8_t> DramPage(std::uint32_t page) const;
  void SetDramPage(std::uint32_t page, const std::vector<std::uint8_t>& data);
  std::vector<std::uint8_t>& Sram();          // 32 KB
  std::vector<std::uint8_t>& RealTimeArea();  // SWC, 256 KB behind the signature
  std::uint8_t SmdMode() const;               // last value written to 0x2001
  // Lines as events.log holds them: "F 05 08 00 00", "W 2001 03". Only this
  // copier's own; events.log keeps those of earlier runs too.
  const std::vector<std::string>& Events() const;
  // Plug in (or, with an empty image, remove) a plain cartridge image.
  void SetCartridge(std::vector<std::uint8_t> image, bool hiRom);
  // Makes one SWC DRAM bank drop writes (a copier with less memory); the
  // bank as the page register decodes it (bank & 0x7F), whatever 0xC010 holds.
  void SetBankWritable(std::uint8_t bank, bool writable);

  // Wire counters.
  std::uint64_t BytesMoved() const;  // both directions
  std::uint64_t PortOutCount() const;
  std::uint64_t PortInCount() const;
  std::uint64_t NotPortBitCount() const;
  std::uint8_t DataRegister() const;
  std::uint8_t ControlRegister() const;
  // Packets and writes dropped for a bad check byte.
  std::uint64_t RejectedCount() const;
  // Bytes of DRAM held: up to the highest page ever written (what dram.bin gets).
  std::size_t DramSize() const;

  // To options().stateDir, when set. Also done after every function packet
  // and SMD mode write, when the PC parks the port, and by the destructor.
  void SaveState();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ql::emu

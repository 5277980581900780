#include "link/commands.h"

#include "link/byte_channel.h"

namespace ql {
namespace {

constexpr std::uint8_t kSync[3] = {0xD5, 0xAA, 0x96};
constexpr std::uint8_t kCheckSeed = 0x81;  // start of every packet and data check
constexpr std::uint32_t kReadPauseMs = 1;

void SendPacket(std::uint8_t command, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3, std::uint8_t p4) {
  // The sync bytes stay out of the check.
  const std::uint8_t packet[9] = {
      kSync[0], kSync[1], kSync[2],
      command,  p1,       p2,
      p3,       p4,       static_cast<std::uint8_t>(kCheckSeed ^ command ^ p1 ^ p2 ^ p3 ^ p4)};
  ByteChannel& channel = ActiveChannel();
  channel.BeginPacket();
  channel.Send(packet);
}

std::uint8_t Low(std::uint16_t value) { return static_cast<std::uint8_t>(value & 0xFF); }
std::uint8_t High(std::uint16_t value) { return static_cast<std::uint8_t>(value >> 8); }

// The packet, the data and its check byte, left queued.
void SendMemoryBlock(std::uint16_t address, const std::uint8_t* data, std::uint16_t length) {
  SendCommand(CopierCommand::WriteMemory, address, length);
  std::uint8_t check = kCheckSeed;
  for (std::uint16_t i = 0; i < length; ++i) check ^= data[i];
  ByteChannel& channel = ActiveChannel();
  channel.Send({data, length});
  channel.Send({&check, 1});
}

}  // namespace

void SendCommand(std::uint8_t command, std::uint16_t address, std::uint16_t length) {
  SendPacket(command, Low(address), High(address), Low(length), High(length));
}

void SendFunction(std::uint8_t p1, std::uint8_t p2, std::uint8_t p3, std::uint8_t p4) {
  SendPacket(CopierCommand::Function, p1, p2, p3, p4);
  // A function ends an operation (execute, play, end of a real-time save):
  // its failure belongs to that operation.
  ActiveChannel().Finish();
}

// Page selections and single-byte writes are left queued: the block that
// follows them finishes them, so a bridge pays one round trip per block.
void WriteMemoryByte(std::uint16_t address, std::uint8_t value) {
  SendCommand(CopierCommand::WriteMemory, address, 1);
  const std::uint8_t data[2] = {value, static_cast<std::uint8_t>(value ^ kCheckSeed)};
  ActiveChannel().Send(data);
}

void WriteMemoryBlock(std::uint16_t address, const std::uint8_t* data, std::uint16_t length) {
  SendMemoryBlock(address, data, length);
  ActiveChannel().Finish();
}

void StreamMemoryBlock(std::uint16_t address, const std::uint8_t* data, std::uint16_t length) {
  SendMemoryBlock(address, data, length);
  ActiveChannel().EndBlock();
}

void FinishBlocks() { ActiveChannel().Finish(); }

int ReadMemoryByte(std::uint16_t address) {
  SendCommand(CopierCommand::ReadMemory, address, 1);
  std::uint8_t reply[2];
  ByteChannel& channel = ActiveChannel();
  channel.Pause(kReadPauseMs);
  channel.Receive(reply);
  channel.Pause(kReadPauseMs);
  channel.Finish();
  return reply[1] == (reply[0] ^ kCheckSeed) ? reply[0] : -1;
}

bool ReadMemoryBlock(std::uint16_t address, std::uint8_t* buffer, std::uint16_t length) {
  SendCommand(CopierCommand::ReadMemory, address, length);
  std::uint8_t received = 0;
  ByteChannel& channel = ActiveChannel();
  channel.Pause(kReadPauseMs);
  channel.Receive({buffer, length});
  channel.Receive({&received, 1});
  channel.Pause(kReadPauseMs);
  channel.Finish();
  std::uint8_t check = kCheckSeed;
  for (std::uint16_t i = 0; i < length; ++i) check ^= buffer[i];
  return received == check;
}

void SelectBankPage(std::uint8_t bank, std::uint8_t quarter) {
  SendCommand(CopierCommand::SelectPage, static_cast<std::uint16_t>((bank << 2) | quarter), 0);
}

void SelectPage(std::uint8_t page) { SendCommand(CopierCommand::SelectPage, page, 0); }

}  // namespace ql

#include "link/commands.h"

#include "link/handshake.h"
#include "link/trace.h"

namespace ql {
namespace {

constexpr std::uint8_t kSync[3] = {0xD5, 0xAA, 0x96};
constexpr std::uint8_t kCheckSeed = 0x81;  // start of every packet and data check
constexpr std::int32_t kReadPauseMs = 1;

void SendPacket(std::uint8_t command, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3, std::uint8_t p4) {
  if (LinkTraceOn()) TracePacketStart();
  for (std::uint8_t sync : kSync) SendByte(sync);
  SendByte(command);
  SendByte(p1);
  SendByte(p2);
  SendByte(p3);
  SendByte(p4);
  // The sync bytes stay out of the check.
  SendByte(static_cast<std::uint8_t>(kCheckSeed ^ command ^ p1 ^ p2 ^ p3 ^ p4));
}

std::uint8_t Low(std::uint16_t value) { return static_cast<std::uint8_t>(value & 0xFF); }
std::uint8_t High(std::uint16_t value) { return static_cast<std::uint8_t>(value >> 8); }

}  // namespace

void SendCommand(std::uint8_t command, std::uint16_t address, std::uint16_t length) {
  SendPacket(command, Low(address), High(address), Low(length), High(length));
}

void SendFunction(std::uint8_t p1, std::uint8_t p2, std::uint8_t p3, std::uint8_t p4) {
  SendPacket(CopierCommand::Function, p1, p2, p3, p4);
}

void WriteMemoryByte(std::uint16_t address, std::uint8_t value) {
  SendCommand(CopierCommand::WriteMemory, address, 1);
  SendByte(value);
  SendByte(static_cast<std::uint8_t>(value ^ kCheckSeed));
}

void WriteMemoryBlock(std::uint16_t address, const std::uint8_t* data, std::uint16_t length) {
  SendCommand(CopierCommand::WriteMemory, address, length);
  std::uint8_t check = kCheckSeed;
  for (std::uint16_t i = 0; i < length; ++i) {
    SendByte(data[i]);
    check ^= data[i];
  }
  SendByte(check);
}

int ReadMemoryByte(std::uint16_t address) {
  SendCommand(CopierCommand::ReadMemory, address, 1);
  LinkTimer(kReadPauseMs);
  const std::uint8_t value = ReceiveByte();
  const std::uint8_t check = ReceiveByte();
  LinkTimer(kReadPauseMs);
  return check == (value ^ kCheckSeed) ? value : -1;
}

bool ReadMemoryBlock(std::uint16_t address, std::uint8_t* buffer, std::uint16_t length) {
  SendCommand(CopierCommand::ReadMemory, address, length);
  LinkTimer(kReadPauseMs);
  ReceiveBytes(buffer, length);
  std::uint8_t check = kCheckSeed;
  for (std::uint16_t i = 0; i < length; ++i) check ^= buffer[i];
  const std::uint8_t received = ReceiveByte();
  LinkTimer(kReadPauseMs);
  return received == check;
}

void SelectBankPage(std::uint8_t bank, std::uint8_t quarter) {
  SendCommand(CopierCommand::SelectPage, static_cast<std::uint16_t>((bank << 2) | quarter), 0);
}

void SelectPage(std::uint8_t page) { SendCommand(CopierCommand::SelectPage, page, 0); }

}  // namespace ql

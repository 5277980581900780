#include "shell/port_address.h"

#include <cstdio>

#include "link/port_binding.h"

namespace ql {
namespace {

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

TypedAddress ParsePortAddress(std::string_view text) {
  std::string_view digits = Trimmed(text);
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.remove_prefix(2);
  if (digits.empty()) return {};
  std::uint32_t value = 0;
  for (char c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0) return {};
    // Saturates: any number past 16 bits is just too high.
    value = value > 0xFFFFF ? 0x1000000 : value * 16 + static_cast<std::uint32_t>(digit);
  }
  if (value < 0x0100) return {AddressProblem::BelowRange, 0};
  if (value > 0xFFF8) return {AddressProblem::AboveRange, 0};
  if (value % 8 != 0) return {AddressProblem::NotMultipleOf8, 0};
  static_assert(IsOtherPortBase(0x0100) && IsOtherPortBase(0xFFF8));
  return {AddressProblem::None, static_cast<std::uint16_t>(value)};
}

std::string AddressProblemText(AddressProblem problem) {
  switch (problem) {
    case AddressProblem::None:
      return {};
    case AddressProblem::NotHex:
      return "Type the address in hex, for example D010 or 0xD010.";
    case AddressProblem::BelowRange:
      return "Addresses below 0x0100 belong to the PC's own devices.";
    case AddressProblem::AboveRange:
      return "The highest base address is 0xFFF8.";
    case AddressProblem::NotMultipleOf8:
      return "A port's base address is a multiple of 8: it ends in 0 or 8.";
  }
  return {};
}

std::string OtherAddressItemText(std::uint16_t base) {
  char text[24];
  std::snprintf(text, sizeof text, "LPT at 0x%04X", static_cast<unsigned>(base));
  return text;
}

std::string AddressFieldText(std::uint16_t base) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(base));
  return text;
}

}  // namespace ql

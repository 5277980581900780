// The Other Address choice of the Port menu without Win32: reading the base
// address the user types, why one is refused, and how the menu names it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ql {

enum class AddressProblem { None, NotHex, BelowRange, AboveRange, NotMultipleOf8 };

struct TypedAddress {
  AddressProblem problem = AddressProblem::NotHex;
  std::uint16_t base = 0;  // valid when problem is None
};

// Hex digits, with or without 0x, spaces around ignored: "D010", "0xd010".
TypedAddress ParsePortAddress(std::string_view text);
// The line the dialog shows under the field; empty for None.
std::string AddressProblemText(AddressProblem problem);
// "LPT at 0xD010"
std::string OtherAddressItemText(std::uint16_t base);
// What the field starts with when a base is known: "D010".
std::string AddressFieldText(std::uint16_t base);

}  // namespace ql

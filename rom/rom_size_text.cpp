#include "rom/rom_size_text.h"

namespace ql {

std::string RomSizeText(std::uint32_t declaredMbit, std::uint32_t actualMbit) {
  if (declaredMbit == actualMbit) return std::to_string(declaredMbit) + "Mb";
  return std::to_string(declaredMbit) + "Mb (" + std::to_string(actualMbit) + "Mb)";
}

}  // namespace ql

// The ROM size text both header formats share: the declared size, and the
// file's size in parentheses when the two differ.
#pragma once

#include <cstdint>
#include <string>

namespace ql {

std::string RomSizeText(std::uint32_t declaredMbit, std::uint32_t actualMbit);

}  // namespace ql

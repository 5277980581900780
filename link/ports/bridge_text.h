// Message texts of the bridge, joined piece by piece (the link library has
// no formatting library of its own).
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

namespace ql::bridge {

template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::string text;
  auto append = [&text](const auto& part) {
    if constexpr (std::is_arithmetic_v<std::decay_t<decltype(part)>>) {
      text += std::to_string(part);
    } else {
      text += std::string_view(part);
    }
  };
  (append(parts), ...);
  return text;
}

}  // namespace ql::bridge

// Writing JSON strings from the bytes the window shows. Header names are raw
// bytes from the image (any value, not UTF-8): each byte above 0x7F is
// written as the character of the same number (\u00XX), so the output is
// always plain ASCII and valid JSON.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ql::cli {

// The quoted, escaped JSON string for these bytes.
std::string JsonString(std::string_view bytes);

// {"key": "value", ...} on one line, keys in the given order.
std::string JsonObject(const std::vector<std::pair<std::string, std::string>>& members);

}  // namespace ql::cli

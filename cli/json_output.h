// Writing JSON strings from the bytes the window shows. File names and
// header texts are bytes of any value: a valid UTF-8 sequence is written as
// the character it is, and each byte that is not part of one as the
// character of the same number (\u00XX), so the output is always valid JSON.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ql::cli {

// The quoted, escaped JSON string for these bytes.
std::string JsonString(std::string_view bytes);

// {"key": "value", ...} on one line, keys in the given order.
std::string JsonObject(const std::vector<std::pair<std::string, std::string>>& members);

// The length of the well-formed UTF-8 sequence at `at` (1 to 4), or 0 when the
// byte there does not begin one (overlong forms, surrogates and code points
// above U+10FFFF are not well formed).
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at);

}  // namespace ql::cli

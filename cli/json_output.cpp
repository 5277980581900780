#include "cli/json_output.h"

#include <fmt/format.h>

namespace ql::cli {
namespace {

const char* ShortEscape(unsigned char byte) {
  switch (byte) {
    case '"':
      return "\\\"";
    case '\\':
      return "\\\\";
    case '\b':
      return "\\b";
    case '\f':
      return "\\f";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\t':
      return "\\t";
    default:
      return nullptr;
  }
}

// The code point of a control character, C0, DEL or C1 (U+0080 to U+009F,
// which a terminal may act on too), or -1 for any other character.
int ControlCodePoint(std::string_view character) {
  const auto first = static_cast<unsigned char>(character[0]);
  if (character.size() == 1) return first < 0x20 || first == 0x7F ? first : -1;
  const auto second = static_cast<unsigned char>(character[1]);
  return character.size() == 2 && first == 0xC2 && second < 0xA0 ? second : -1;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length;
  // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() - at < length) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  for (std::size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (const char* escape = ShortEscape(byte)) {
      out += escape;
      ++i;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(bytes, i);
    if (length == 0) {
      out += fmt::format("\\u{:04x}", byte);  // not UTF-8: the character of the byte's number
      ++i;
      continue;
    }
    if (int control = ControlCodePoint(bytes.substr(i, length)); control >= 0) {
      out += fmt::format("\\u{:04x}", control);
    } else {
      out.append(bytes.substr(i, length));
    }
    i += length;
  }
  out += '"';
  return out;
}

std::string JsonObject(const std::vector<std::pair<std::string, std::string>>& members) {
  std::string out = "{";
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (i > 0) out += ", ";
    out += JsonString(members[i].first) + ": " + JsonString(members[i].second);
  }
  out += "}";
  return out;
}

}  // namespace ql::cli

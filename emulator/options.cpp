// "key=value,key=value": the copier's options after "sim:" or in QUILLON_SIM.
#include <charconv>
#include <fstream>

#include "emulator/copier.h"

namespace ql::emu {
namespace {

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ParseFlag(std::string_view value, bool& flag) {
  if (value == "1")
    flag = true;
  else if (value == "0")
    flag = false;
  else
    return false;
  return true;
}

bool ParseFault(std::string_view value, Options& options) {
  if (value == "dead") {
    options.fault = Fault::Dead;
    return true;
  }
  if (value == "badcheck") {
    options.fault = Fault::BadCheck;
    return true;
  }
  const auto colon = value.find(':');
  if (colon == std::string_view::npos) return false;
  const std::string_view kind = value.substr(0, colon);
  const std::string_view number = value.substr(colon + 1);
  if (kind == "stall" && ParseNumber(number, options.stallAfterBytes)) {
    options.fault = Fault::Stall;
    return true;
  }
  if (kind == "slow" && ParseNumber(number, options.slowMs)) {
    options.fault = Fault::Slow;
    return true;
  }
  return false;
}

// One "key=value"; false and the message on error.
bool ParseItem(std::string_view item, Options& options, std::string& error) {
  const auto equals = item.find('=');
  if (equals == std::string_view::npos) {
    error = "option '" + std::string(item) + "' is not of the form key=value";
    return false;
  }
  const std::string_view key = item.substr(0, equals);
  const std::string_view value = item.substr(equals + 1);
  const auto bad = [&](const char* expected) {
    error = "bad value '" + std::string(value) + "' for " + std::string(key) + " (expected " + expected + ")";
    return false;
  };
  if (key == "device") {
    if (value == "swc")
      options.device = Device::Swc;
    else if (value == "smd")
      options.device = Device::Smd;
    else
      return bad("swc or smd");
  } else if (key == "state") {
    if (value.empty()) return bad("a folder");
    options.stateDir = value;
  } else if (key == "cart") {
    if (value.empty()) return bad("a file");
    if (!std::ifstream(std::string(value), std::ios::binary)) {
      error = "cannot open cartridge file '" + std::string(value) + "'";
      return false;
    }
    options.cartridgeFile = value;
  } else if (key == "hirom") {
    if (!ParseFlag(value, options.hiRom)) return bad("0 or 1");
  } else if (key == "rts") {
    if (!ParseFlag(value, options.realTimeSignature)) return bad("0 or 1");
  } else if (key == "fault") {
    if (!ParseFault(value, options)) return bad("dead, stall:N, badcheck or slow:MS");
  } else {
    error = "unknown option '" + std::string(key) + "'";
    return false;
  }
  return true;
}

}  // namespace

bool ParseOptions(std::string_view text, Options& options, std::string& error) {
  Options parsed;
  if (!text.empty()) {
    std::size_t start = 0;
    while (true) {
      const std::size_t comma = text.find(',', start);
      const std::string_view item = text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
      if (item.empty()) {
        error = "empty option in '" + std::string(text) + "'";
        return false;
      }
      if (!ParseItem(item, parsed, error)) return false;
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  }
  options = parsed;
  return true;
}

}  // namespace ql::emu

// "key=value,key=value": the copier's options after "sim:" or in QUILLON_SIM.
#include <charconv>
#include <fstream>

#include "emulator/copier.h"
#include "emulator/smd_memory.h"
#include "emulator/swc_memory.h"

namespace ql::emu {
namespace {

template <typename Number>
bool ParseNumber(std::string_view text, Number& value, int base = 10) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return ec == std::errc() && end == text.data() + text.size();
}

// Decimal, or hexadecimal after "0x": DRAM offsets are easier read in hex.
bool ParseAddress(std::string_view text, std::uint32_t& value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    return ParseNumber(text.substr(2), value, 16);
  return ParseNumber(text, value);
}

bool ParsePpm(std::string_view text, std::uint32_t& ppm) {
  std::uint32_t value = 0;
  if (!ParseNumber(text, value) || value > 1'000'000) return false;
  ppm = value;
  return true;
}

bool ParseDramFault(std::string_view text, std::optional<Options::DramFault>& fault) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  Options::DramFault parsed;
  if (!ParseAddress(text.substr(0, colon), parsed.offset) || !ParseNumber(text.substr(colon + 1), parsed.bit) ||
      parsed.bit > 7)
    return false;
  fault = parsed;
  return true;
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
  } else if (key == "noise") {
    if (!ParsePpm(value, options.noisePpm)) return bad("0 to 1000000 per million bytes");
  } else if (key == "cartnoise") {
    if (!ParsePpm(value, options.cartridgeNoisePpm)) return bad("0 to 1000000 per million bytes");
  } else if (key == "seed") {
    std::uint64_t seed = 0;
    if (!ParseNumber(value, seed)) return bad("a number");
    options.seed = seed;
  } else if (key == "dramfault") {
    if (!ParseDramFault(value, options.dramFault)) return bad("OFFSET:BIT, BIT 0 to 7");
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
  // Checked at the end: device= may come after dramfault=.
  const std::uint32_t dramSize = parsed.device == Device::Swc ? SwcMemory::kPageSize * SwcMemory::kPageCount
                                                              : SmdMemory::kPageSize * SmdMemory::kPageCount;
  if (parsed.dramFault && parsed.dramFault->offset >= dramSize) {
    error = "dramfault offset " + std::to_string(parsed.dramFault->offset) + " lies beyond the copier's " +
            std::to_string(dramSize / (1024 * 1024)) + " MB of DRAM";
    return false;
  }
  options = parsed;
  return true;
}

}  // namespace ql::emu

#include "bridge/sim/sim_arguments.h"

#include <charconv>

namespace ql::bridge {
namespace {

template <typename Number>
bool ParseNumber(const std::string& text, Number& value) {
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value);
  return !text.empty() && ec == std::errc() && stop == end;
}

}  // namespace

bool ParseSimArguments(const std::vector<std::string>& arguments, BridgeSettings& settings, bool& help,
                       std::string& error) {
  help = false;
  bool haveOptions = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      help = true;
      return true;
    }
    const bool takesValue = argument == "--baud" || argument == "--latency-ms" || argument == "--corrupt-byte" ||
                            argument == "--firmware" || argument == "--wire-log";
    if (takesValue) {
      if (i + 1 >= arguments.size()) {
        error = argument + " needs a value";
        return false;
      }
      const std::string& value = arguments[++i];
      bool ok = true;
      if (argument == "--baud")
        ok = ParseNumber(value, settings.maxBaud) && settings.maxBaud >= 300 && settings.maxBaud <= 4'000'000;
      else if (argument == "--latency-ms")
        ok = ParseNumber(value, settings.latencyMs) && settings.latencyMs <= 1000;
      else if (argument == "--corrupt-byte")
        ok = ParseNumber(value, settings.corruptByte) && settings.corruptByte > 0;
      else if (argument == "--firmware")
        settings.firmwarePath = value;
      else
        settings.wireLogPath = value;
      if (!ok || value.empty()) {
        error = "bad value '" + value + "' for " + argument;
        return false;
      }
      continue;
    }
    if (argument.rfind("--", 0) == 0) {
      error = "unknown option " + argument;
      return false;
    }
    if (haveOptions) {
      error = "one EMULATOR OPTIONS text only (join them with commas): '" + argument + "'";
      return false;
    }
    haveOptions = true;
    if (!emu::ParseOptions(argument, settings.copier, error)) return false;
  }
  return true;
}

}  // namespace ql::bridge

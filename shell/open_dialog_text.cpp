#include "shell/open_dialog_text.h"

#include <algorithm>

namespace ql {

const FileFilters& OpenFilters(std::uint8_t device) {
  static const FileFilters swc = {
      {"ROM Image (*.swc, *.smc, *.sfc, *.fig)", "*.smc;*.swc;*.sfc;*.fig"},
      {"Battery Backup / SRAM (*.bbd, *.srm)", "*.bbd;*.srm"},
      {"Real-Time Save (*.rts)", "*.rts"},
      {"International Patching System (*.ips)", "*.ips"},
      {"All files", "*.*"},
  };
  static const FileFilters smd = {
      {"ROM Image (*.smd, *.bin)", "*.smd;*.bin"},
      {"Battery Backup / SRAM (*.bbd, *.srm)", "*.bbd;*.srm"},
      {"International Patching System (*.ips)", "*.ips"},
      {"All files", "*.*"},
  };
  return device == 1 ? smd : swc;
}

std::string FilterListBuffer(const FileFilters& filters) {
  std::string list;
  for (const auto& [description, pattern] : filters) {
    list += description;
    list += '\0';
    list += pattern;
    list += '\0';
  }
  list += '\0';
  if (filters.empty()) list += '\0';  // still a valid empty list
  return list;
}

std::string_view CustomFilterPattern(std::span<const char, kCustomFilterSize> buffer) {
  const std::string_view all(buffer.data(), buffer.size());
  const std::size_t labelEnd = all.find('\0');
  if (labelEnd == std::string_view::npos) return {};
  const std::string_view rest = all.substr(labelEnd + 1);
  return rest.substr(0, rest.find('\0'));
}

void SetCustomFilter(std::span<char, kCustomFilterSize> buffer, std::string_view pattern) {
  static constexpr std::string_view kShortLabel = "Typed";
  // Both strings and their NULs, and the empty string that ends the buffer.
  if (pattern.empty() || kShortLabel.size() + pattern.size() + 3 > buffer.size()) pattern = kStartCustomPattern;
  const std::string_view label = 2 * pattern.size() + 3 <= buffer.size() ? pattern : kShortLabel;
  std::string pair;
  pair.append(label).append(1, '\0').append(pattern).append(1, '\0');
  std::fill(buffer.begin(), buffer.end(), '\0');
  std::copy(pair.begin(), pair.end(), buffer.begin());
}

std::uint32_t NextOpenFilterIndex(const FileFilters& filters, std::uint32_t chosenIndex, std::string_view patternBefore,
                                  std::string_view patternAfter) {
  if (chosenIndex == 0 || patternAfter == patternBefore) return chosenIndex;
  const bool listed = chosenIndex <= filters.size() && filters[chosenIndex - 1].second == patternAfter;
  return listed ? chosenIndex : 0;
}

}  // namespace ql

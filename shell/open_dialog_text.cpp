#include "shell/open_dialog_text.h"

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

OpenFilterChoice ChooseOpenFilter(std::uint32_t remembered, const char* customFilter) {
  const bool customEmpty = customFilter == nullptr || customFilter[0] == '\0';
  if (customEmpty) return {remembered == 0 ? 1u : remembered, false};
  return {remembered, true};
}

}  // namespace ql

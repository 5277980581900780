#include "cli/info_command.h"

#include <fmt/format.h>

#include "cli/exit_codes.h"
#include "cli/file_loading.h"
#include "cli/json_output.h"
#include "resources/resource_ids.h"

namespace ql::cli {
namespace {

struct LabelRow {
  int label;
  int field;
  const char* text;
};

// The window's rows, top to bottom, with the label texts the window shows.
constexpr LabelRow kRows[] = {
    {IDC_LABEL_ROM_FILE, IDC_ROM_FILE, "ROM File:"},
    {IDC_LABEL_NAME, IDC_NAME, "Name:"},
    {IDC_LABEL_MAKEUP, IDC_MAKEUP, "Makeup:"},
    {IDC_LABEL_ROM_SIZE, IDC_ROM_SIZE, "ROM Size:"},
    {IDC_LABEL_SRAM_SIZE, IDC_SRAM_SIZE, "SRAM Size:"},
    {IDC_LABEL_REGION, IDC_REGION, "Region:"},
    {IDC_LABEL_MAKER, IDC_MAKER, "Maker:"},
    {IDC_LABEL_VERSION, IDC_VERSION, "Version:"},
    {IDC_LABEL_SRAM_FILE, IDC_SRAM_FILE, "SRAM File:"},
    {IDC_LABEL_REALTIME_FILE, IDC_REALTIME_FILE, "Real-time File:"},
    {IDC_LABEL_PATCH_FILE, IDC_PATCH_FILE, "Patch File:"},
};

}  // namespace

std::vector<std::pair<std::string, std::string>> VisibleFields(const WindowModel& window) {
  std::vector<std::pair<std::string, std::string>> fields;
  for (const LabelRow& row : kRows) {
    if (!window.ControlEnabled(row.label)) continue;
    std::string label = row.text;
    label.pop_back();  // the colon
    fields.emplace_back(label, window.ControlText(row.field));
  }
  return fields;
}

std::string TerminalText(const std::string& bytes) {
  std::string out;
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out += fmt::format("\\x{:02X}", byte);
    } else {
      out += c;
    }
  }
  return out;
}

int RunInfo(const Invocation& inv, CliFrontEnd& ui) {
  unsigned kinds = LoadAsDrop(inv.files, ui);
  auto fields = VisibleFields(ui);
  if (inv.json) {
    ui.Print(JsonObject(fields));
  } else {
    std::string text;
    for (const auto& [label, value] : fields) text += label + ": " + TerminalText(value) + "\n";
    if (!text.empty()) ui.Print(text);
  }
  return (kinds & ~KindBit(FileKind::None)) != 0 ? kExitOk : kExitFailed;
}

}  // namespace ql::cli

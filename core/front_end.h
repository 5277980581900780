// The seam between the core and whoever shows things to the user. The core
// never draws: it sets control texts and states, greys menu items, shows
// messages and progress, and asks for file names through this interface.
// The Windows program answers with real controls, the command line with
// stderr/stdout and its arguments, tests with a WindowModel.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ql {

enum class MessageIcon { None, Stop, Information };

// What a save dialog needs and returns.
struct SaveFileRequest {
  std::vector<std::pair<std::string, std::string>> filters;  // description, pattern
  std::string initialDirectory;
  std::string fileName;                         // in: proposed name; out: the chosen path
  std::optional<std::string> defaultExtension;  // nullopt: none; "" present but empty
  int filterIndex = 0;                          // in and out; 1-based, 0 = first filter
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // Controls by the ids of resources/resource_ids.h (button, labels, fields).
  virtual void SetControlText(int controlId, const std::string& text) = 0;
  virtual void EnableControl(int controlId, bool enabled) = 0;
  // Menu items by command id; check marks are used by the Device and Port items.
  virtual void EnableMenuItem(int commandId, bool enabled) = 0;
  virtual void CheckMenuItem(int commandId, bool checked) = 0;
  // The four top-level menus at once (greyed while a job runs).
  virtual void EnableTopMenus(bool enabled) = 0;
  // A modal message box owned by the main window.
  virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
  // The progress field: the exact text the window shows, plus done and total
  // (kilobits) for front ends that draw a bar. An empty text clears the field.
  virtual void ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) = 0;
  // The save dialog; false when the user cancelled.
  virtual bool AskSaveFileName(SaveFileRequest& request) = 0;
};

// The front end in use. Without one installed, a silent front end that
// refuses every save dialog.
FrontEnd& UI();
void SetFrontEnd(FrontEnd* frontEnd);

}  // namespace ql

// The command line's answer to the core's front-end seam. It keeps the
// window's state like the window would (so `info` can print it), prints
// stop-icon messages to stderr as "Caption: text" and information boxes to
// stdout, draws the progress line, and answers the save dialog with the
// OUTFILE argument.
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "cli/progress_line.h"
#include "core/window_model.h"

namespace ql::cli {

class CliFrontEnd final : public WindowModel {
 public:
  explicit CliFrontEnd(ProgressLine& progress) : progress_(progress) {}

  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) override;
  bool AskSaveFileName(SaveFileRequest& request) override;

  // The path the next save dialog returns; one dialog only.
  void AnswerSaveDialogWith(const std::string& path) { saveAnswer_ = path; }
  // True once any message with the stop icon was shown.
  bool FailureShown() const { return failureShown_; }

  // Messages of the command line itself.
  void Error(const std::string& text);       // "quillon: text" on stderr
  void Print(const std::string& text);       // stdout; a failed write is kept for CheckStandardOutput
  void PrintError(const std::string& text);  // stderr, as it is
  // A closing remark for someone watching the progress line (stderr; nothing when it is off).
  void Note(const std::string& text);
  // A note only where the progress line was redrawn and has been erased.
  void NoteOnTerminal(const std::string& text);
  // Flushes stdout; false, after saying so on stderr, when anything printed
  // did not reach it (a full disk, a closed pipe).
  bool CheckStandardOutput();

 private:
  ProgressLine& progress_;
  std::optional<std::string> saveAnswer_;
  std::atomic<bool> failureShown_{false};
  std::atomic<int> outputError_{0};  // errno of the first write to stdout that failed
};

// The 1-based filter whose pattern matches the path's extension ("*.srm"
// for x.SRM), or 0 when none does.
int FilterIndexForPath(const SaveFileRequest& request, const std::string& path);

}  // namespace ql::cli

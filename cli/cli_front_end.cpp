#include "cli/cli_front_end.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/state.h"
#include "rom/path_helpers.h"

namespace ql::cli {

void CliFrontEnd::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
  WindowModel::ShowMessage(text, caption, icon);
  if (icon == MessageIcon::Stop) {
    failureShown_ = true;
    progress_.PrintMessage(stderr, caption + ": " + text);
  } else {
    Print(text);
  }
}

void CliFrontEnd::ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) {
  WindowModel::ShowProgress(text, done, total);
  // A step that failed or was cancelled still ends on its full count, which
  // would read as finished: after that only the clearing is drawn.
  if (!text.empty() && (failureShown_ || CancelRequested)) return;
  progress_.Update(text, done, total);
}

bool CliFrontEnd::AskSaveFileName(SaveFileRequest& request) {
  if (!saveAnswer_) {
    WindowModel::AskSaveFileName(request);  // records the request; counts as cancelled
    return false;
  }
  std::string path = *saveAnswer_;
  saveAnswer_.reset();
  int index = FilterIndexForPath(request, path);
  // A name that matches no filter keeps the filter the program proposed, as a dialog left alone would.
  QueueSaveAnswer(path, index > 0 ? index : -1);
  return WindowModel::AskSaveFileName(request);
}

void CliFrontEnd::Error(const std::string& text) { progress_.PrintMessage(stderr, "quillon: " + text); }

void CliFrontEnd::Print(const std::string& text) {
  int none = 0;
  if (!progress_.PrintMessage(stdout, text)) outputError_.compare_exchange_strong(none, errno != 0 ? errno : EIO);
}

bool CliFrontEnd::CheckStandardOutput() {
  int none = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    outputError_.compare_exchange_strong(none, errno != 0 ? errno : EIO);
  }
  const int error = outputError_.load();
  if (error == 0) return true;
  Error(fmt::format("standard output could not be written completely: {}", std::strerror(error)));
  return false;
}

void CliFrontEnd::PrintError(const std::string& text) { progress_.PrintMessage(stderr, text); }

void CliFrontEnd::Note(const std::string& text) {
  if (progress_.Active()) progress_.PrintMessage(stderr, text);
}

void CliFrontEnd::NoteOnTerminal(const std::string& text) {
  if (progress_.Redraws()) progress_.PrintMessage(stderr, text);
}

int FilterIndexForPath(const SaveFileRequest& request, const std::string& path) {
  for (std::size_t i = 0; i < request.filters.size(); ++i) {
    const std::string& pattern = request.filters[i].second;
    // Patterns are "*.ext" or several joined by ";".
    std::size_t start = 0;
    while (start <= pattern.size()) {
      std::size_t end = pattern.find(';', start);
      if (end == std::string::npos) end = pattern.size();
      std::string one = pattern.substr(start, end - start);
      if (one.size() > 2 && one.compare(0, 2, "*.") == 0 && one != "*.*" && HasExtension(path, one.substr(2))) {
        return static_cast<int>(i) + 1;
      }
      start = end + 1;
    }
  }
  return 0;
}

}  // namespace ql::cli

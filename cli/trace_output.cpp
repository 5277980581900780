#include "cli/trace_output.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstring>

#include "app/window_state.h"
#include "cli/file_io.h"
#include "cli/interrupt.h"
#include "link/trace.h"

namespace ql::cli {
namespace {

// The extensions the companion search tries beside a ROM image.
constexpr const char* kCompanionExtensions[] = {"bbd", "srm", "rts", "ips"};

std::string CannotWrite(const std::string& path, int error) {
  if (error == 0) return fmt::format("{}: could not be written completely (--trace)", path);
  return fmt::format("{}: could not be written completely (--trace): {}", path, std::strerror(error));
}

}  // namespace

std::string TraceClash(const std::string& trace, const std::vector<std::string>& files) {
  if (trace.empty()) return {};
  for (const std::string& file : files) {
    if (SameFile(trace, file)) return file;
    // Any named file may turn out to be a ROM image whose companions are read.
    for (const char* ext : kCompanionExtensions) {
      const std::string companion = CompanionPath(file, ext);
      if (SameFile(trace, companion)) return companion;
    }
  }
  return {};
}

TraceOutput::~TraceOutput() {
  if (!file_) return;
  SetLinkTrace(nullptr);
  std::fclose(file_);
}

bool TraceOutput::Open(std::string& error) {
  if (path_.empty()) return true;
  if (attempted_) return file_ != nullptr;  // a failure was told the first time
  attempted_ = true;
  file_ = OpenForWriting(path_);
  if (!file_ && errno == EINTR) {
    error = fmt::format("{}: nothing read the FIFO (--trace)", path_);
    return false;
  }
  if (!file_) {
    error = fmt::format("{}: cannot be written (--trace): {}", path_, std::strerror(errno));
    return false;
  }
  SetLinkTrace(file_);
  return true;
}

bool TraceOutput::Finish(std::string& error) {
  if (path_.empty()) return true;
  if (!attempted_ && !Interrupted() && !Open(error)) return false;
  if (!file_) return true;
  errno = 0;
  bool complete = FlushLinkTrace();
  int reason = errno;
  SetLinkTrace(nullptr);
  if (std::fclose(file_) != 0 && complete) {
    complete = false;
    reason = errno;
  }
  file_ = nullptr;
  if (!complete) error = CannotWrite(path_, reason);
  return complete;
}

}  // namespace ql::cli

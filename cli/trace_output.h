// --trace FILE: the record of every byte on the wire. It may not name a file
// the command reads or writes, and it is opened only once the command's files
// are loaded, when the link is about to be bound.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ql::cli {

// The first of `files`, or of the companions a drop of them may look for,
// that is the same file as `trace`; empty when there is none (or no trace).
std::string TraceClash(const std::string& trace, const std::vector<std::string>& files);

class TraceOutput {
 public:
  explicit TraceOutput(std::string path) : path_(std::move(path)) {}
  ~TraceOutput();
  TraceOutput(const TraceOutput&) = delete;
  TraceOutput& operator=(const TraceOutput&) = delete;

  // Creates or truncates the file and starts tracing; later calls only
  // repeat the first one's result.
  // A FIFO without a reader is waited for, until Ctrl+C. No path: nothing.
  bool Open(std::string& error);
  // Stops tracing and closes the file, opened now if that was never tried;
  // false and why when the record is not complete on disk.
  bool Finish(std::string& error);

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
  bool attempted_ = false;
};

}  // namespace ql::cli

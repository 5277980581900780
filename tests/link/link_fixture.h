// Fresh link state around each test: a virtual clock, a WindowModel front
// end and a ScriptedPort installed as the port library.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/clock.h"
#include "core/state.h"
#include "core/window_model.h"
#include "link/port_binding.h"
#include "link/trace.h"
#include "tests/link/scripted_port.h"

namespace ql::testing {

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() : port_(clock_) {
    ResetSharedState();
    ResetPortBinding();
    SetLinkTrace(nullptr);
    SetActiveClock(&clock_);
    SetFrontEnd(&window_);
    SetPortLibraryLoader([this](std::string& failure) -> std::unique_ptr<PortIo> {
      ++loads_;
      if (libraryMissing_) {
        failure = loaderFailure_;
        return nullptr;
      }
      return std::make_unique<BorrowedPort>(port_);
    });
  }
  ~LinkTest() override {
    SetLinkTrace(nullptr);
    ResetPortBinding();
    SetPortLibraryLoader(nullptr);
    SetFrontEnd(nullptr);
    SetActiveClock(nullptr);
    ResetSharedState();
  }

  // Binds to LPT1 and forgets the binding's own port traffic.
  void Bind() {
    ASSERT_TRUE(EnsureLinkReady());
    port_.ClearOps();
  }

  VirtualClock clock_;
  WindowModel window_;
  ScriptedPort port_;
  int loads_ = 0;
  bool libraryMissing_ = false;
  std::string loaderFailure_;
};

// A temporary file for the --trace output.
class TraceFile {
 public:
  TraceFile() : file_(std::tmpfile()) { SetLinkTrace(file_); }
  ~TraceFile() {
    SetLinkTrace(nullptr);
    if (file_) std::fclose(file_);
  }
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  std::string Text() {
    FlushLinkTrace();
    std::string text;
    std::rewind(file_);
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) text.push_back(static_cast<char>(c));
    return text;
  }

 private:
  std::FILE* file_;
};

}  // namespace ql::testing

// A simulated copier with the window behind a gate, for tests that run jobs.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/jobs.h"
#include "app/window_state.h"
#include "core/front_end.h"
#include "emulator/copier.h"
#include "resources/resource_ids.h"
#include "tests/app/app_test_files.h"
#include "tests/app/gated_window.h"
#include "tests/support/sim_link.h"

namespace ql::testing {

class JobTest : public ::testing::Test {
 protected:
  JobTest() { Restart({}); }
  ~JobTest() override { StopJob(); }

  // A fresh copier (and fresh shared state) with these options.
  void Restart(const emu::Options& options) {
    StopJob();
    gate_.reset();
    sim_.reset();
    sim_ = std::make_unique<SimLink>(options);
    gate_ = std::make_unique<GatedWindow>(sim_->window());
    SetFrontEnd(gate_.get());
    InitialiseWindowState();
  }

  void StopJob() {
    if (gate_) gate_->Release();
    WaitForJob(-1);
  }

  // Generous: only a job that hangs ever reaches it.
  static void AwaitJobEnd() { ASSERT_TRUE(WaitForJob(20000)) << "the job did not end"; }

  void HoldJobAtFirstRomBlock() {
    gate_->HoldAtProgress([](const std::string& text) { return text.rfind("ROM ", 0) == 0; });
  }

  SimLink& sim() { return *sim_; }
  WindowModel& window() { return sim_->window(); }
  emu::Copier& copier() { return sim_->copier(); }
  GatedWindow& gate() { return *gate_; }

  std::vector<std::string> Events() const { return sim_->copier().Events(); }
  static int CountStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
    int count = 0;
    for (const std::string& line : lines) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
  }

  void ExpectIdleWindow() {
    EXPECT_FALSE(JobRunning());
    EXPECT_TRUE(window().TopMenusEnabled());
    EXPECT_EQ(window().ControlText(IDC_PLAY), "&Play");
    EXPECT_EQ(window().ControlText(IDC_PROGRESS), "");
  }

  TempFolder files_;

 private:
  std::unique_ptr<SimLink> sim_;
  std::unique_ptr<GatedWindow> gate_;
};

}  // namespace ql::testing

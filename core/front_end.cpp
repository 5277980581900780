#include "core/front_end.h"

#include <atomic>

namespace ql {
namespace {

class SilentFrontEnd final : public FrontEnd {
 public:
  void SetControlText(int, const std::string&) override {}
  void EnableControl(int, bool) override {}
  void EnableMenuItem(int, bool) override {}
  void CheckMenuItem(int, bool) override {}
  void EnableTopMenus(bool) override {}
  void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
  void ShowProgress(const std::string&, std::uint32_t, std::uint32_t) override {}
  bool AskSaveFileName(SaveFileRequest&) override { return false; }
};

std::atomic<FrontEnd*> installed{nullptr};

}  // namespace

FrontEnd& UI() {
  static SilentFrontEnd silent;
  FrontEnd* frontEnd = installed.load();
  return frontEnd ? *frontEnd : silent;
}

void SetFrontEnd(FrontEnd* frontEnd) { installed = frontEnd; }

}  // namespace ql

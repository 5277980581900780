// The texts and buffers of the file dialogs that need no Win32: the Open
// filter lists per device, the double-NUL form the common dialogs read, and
// the Open dialog's first-use filter index.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ql {

using FileFilters = std::vector<std::pair<std::string, std::string>>;  // description, pattern

// The Open dialog's filters for SWC (0) or SMD (1).
const FileFilters& OpenFilters(std::uint8_t device);

// "desc\0pattern\0...\0\0", the form lpstrFilter expects.
std::string FilterListBuffer(const FileFilters& filters);

// How the Open dialog is to present its filters. The dialog writes the
// user's choice back, so it carries over from one Open to the next. Until
// the user picks one, index 0 with an empty custom filter would show no file
// types at all (and some dialogs refuse an empty custom filter outright), so
// the first filter is chosen and the empty custom filter is not passed.
struct OpenFilterChoice {
  std::uint32_t filterIndex;
  bool passCustomFilter;
};
OpenFilterChoice ChooseOpenFilter(std::uint32_t remembered, const char* customFilter);

}  // namespace ql

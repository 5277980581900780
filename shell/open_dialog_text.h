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

// An empty custom filter with filter index 0 would show no file types at
// all, so until the user picks a filter the dialog opens on the first one.
std::uint32_t OpenFilterIndex(std::uint32_t remembered, const char* customFilter);

}  // namespace ql

// The texts and buffers of the file dialogs that need no Win32: the Open
// filter lists per device, the double-NUL form the common dialogs read, and
// the Open dialog's custom filter, where a pattern the user typed is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ql {

using FileFilters = std::vector<std::pair<std::string, std::string>>;  // description, pattern

// The Open dialog's filters for SWC (0) or SMD (1).
const FileFilters& OpenFilters(std::uint8_t device);

// "desc\0pattern\0...\0\0", the form lpstrFilter expects.
std::string FilterListBuffer(const FileFilters& filters);

// The custom filter buffer holds "label\0pattern\0". When a file is chosen
// the dialog writes the pattern in use into the second string, one typed in
// the file-name field included, and the next Open lists the pair. Neither
// string may be empty: Wine then drops the whole filter list.
inline constexpr std::size_t kCustomFilterSize = 64;
inline constexpr std::string_view kStartCustomPattern = "*.*";

std::string_view CustomFilterPattern(std::span<const char, kCustomFilterSize> buffer);
// Writes the pair labelled with the pattern itself, or with a short label
// when both copies do not fit; an empty pattern, or one too long for any
// label, gives the start pattern.
void SetCustomFilter(std::span<char, kCustomFilterSize> buffer, std::string_view pattern);

// The filter index for the next Open, after one that ended with a file
// chosen. A pattern the dialog changed that is not the chosen filter's own
// was typed, so the custom filter (index 0) is selected.
std::uint32_t NextOpenFilterIndex(const FileFilters& filters, std::uint32_t chosenIndex, std::string_view patternBefore,
                                  std::string_view patternAfter);

}  // namespace ql

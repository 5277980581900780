// String and path helpers shared by the loader, the shell and the transfers.
// Paths split at the last backslash, and on Linux also at the last "/".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ql {

// True when the text after the last "." equals ext, ignoring ASCII case.
bool HasExtension(std::string_view path, std::string_view ext);
// Replaces (or adds) the file name's extension; ext == nullptr removes it.
std::string ReplaceExtension(std::string path, const char* ext);
// Position just after the last c, or 0 when c does not occur.
std::size_t AfterLast(std::string_view text, char c);
// Position of the end of the string (its length).
std::size_t StringEnd(std::string_view text);
// Index of the lowest/highest set bit, -1 for 0.
int LowestSetBit(std::uint32_t value);
int HighestSetBit(std::uint32_t value);

// Position just after the last path separator, or 0.
std::size_t AfterLastSeparator(std::string_view path);
// The file name shown in a value field: text after the last separator.
std::string FileNameOf(std::string_view path);
// The folder as LastDirectory keeps it: cut at the last separator, which is removed.
std::string FolderOf(std::string_view path);

}  // namespace ql

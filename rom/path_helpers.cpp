#include "rom/path_helpers.h"

#include <bit>

namespace ql {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool HasExtension(std::string_view path, std::string_view ext) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view tail = path.substr(dot + 1);
  if (tail.size() != ext.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (LowerAscii(tail[i]) != LowerAscii(ext[i])) return false;
  }
  return true;
}

std::string ReplaceExtension(std::string path, const char* ext) {
  std::size_t dotEnd = AfterLast(path, '.');
  const std::size_t separatorEnd = AfterLastSeparator(path);
  if (separatorEnd >= dotEnd) {
    // The file name itself has no extension.
    if (ext == nullptr) return path;
    path += '.';
    dotEnd = path.size();
  }
  if (ext != nullptr) {
    path.resize(dotEnd);
    path += ext;
  } else {
    path.resize(dotEnd - 1);
  }
  return path;
}

std::size_t AfterLast(std::string_view text, char c) {
  const std::size_t at = text.rfind(c);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::size_t StringEnd(std::string_view text) {
  // A view may carry an embedded NUL when it comes from a fixed buffer.
  const std::size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text.size() : nul;
}

int LowestSetBit(std::uint32_t value) { return value == 0 ? -1 : std::countr_zero(value); }

int HighestSetBit(std::uint32_t value) { return value == 0 ? -1 : 31 - std::countl_zero(value); }

std::size_t AfterLastSeparator(std::string_view path) {
  // "/" separates on every platform: Windows accepts it as well.
  const std::size_t backslash = AfterLast(path, '\\');
  const std::size_t slash = AfterLast(path, '/');
  return backslash > slash ? backslash : slash;
}

std::string FileNameOf(std::string_view path) { return std::string(path.substr(AfterLastSeparator(path))); }

std::string FolderOf(std::string_view path) {
  const std::size_t end = AfterLastSeparator(path);
  // Without a separator the file lies in the current folder: nothing to keep.
  if (end == 0) return std::string();
  return std::string(path.substr(0, end - 1));
}

}  // namespace ql

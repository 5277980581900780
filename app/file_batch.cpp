#include "app/file_batch.h"

#include "app/jobs.h"
#include "app/window_state.h"
#include "core/front_end.h"
#include "core/types.h"
#include "rom/load_image.h"

namespace ql {

unsigned LoadFileBatch(const std::vector<std::string>& paths, const BatchFileObserver& onEachFile) {
  if (JobRunning()) {
    UI().ShowMessage(kBatchRefusedText, kBatchRefusedCaption, MessageIcon::Stop);
    return 0;
  }
  // RomHeader is left alone here: LoadImageFile rewrites it when a new ROM
  // loads, and a batch without a ROM must not spoil the loaded ROM's header.
  unsigned loaded = 0;
  for (const std::string& path : paths) {
    const FileKind kind = LoadImageFile(path);
    if (onEachFile) onEachFile(path, kind);
    loaded |= KindBit(kind);
  }
  FindCompanionFiles(loaded);
  return loaded;
}

std::vector<std::string> ExpandOpenSelection(std::string_view buffer) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start < buffer.size()) {
    std::size_t end = buffer.find('\0', start);
    if (end == std::string_view::npos) end = buffer.size();
    if (end == start) break;  // the empty string that ends the list
    parts.push_back(buffer.substr(start, end - start));
    start = end + 1;
  }

  std::vector<std::string> paths;
  if (parts.size() == 1) {
    paths.emplace_back(parts.front());
    return paths;
  }
  for (std::size_t i = 1; i < parts.size(); ++i) {
    std::string path(parts.front());
    if (path.empty() || path.back() != '\\') path += '\\';
    path += parts[i];
    paths.push_back(std::move(path));
  }
  return paths;
}

}  // namespace ql

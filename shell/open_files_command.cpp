#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/file_batch.h"
#include "core/state.h"
#include "shell/main_dialog.h"
#include "shell/open_dialog_text.h"
#include "shell/shell_state.h"

namespace ql {

void OpenFilesCommand() {
  std::memset(FileNameBuffer, 0, sizeof FileNameBuffer);
  const std::string filterList = FilterListBuffer(OpenFilters(SelectedDevice));
  std::memset(InitialDirectoryBuffer, 0, sizeof InitialDirectoryBuffer);
  std::strncpy(InitialDirectoryBuffer, LastDirectory.c_str(), sizeof InitialDirectoryBuffer - 1);

  OpenFileParams.hwndOwner = MainWindow;
  OpenFileParams.lpstrFilter = filterList.c_str();
  const std::string patternBefore(CustomFilterPattern(CustomFilterBuffer));
  const bool chosen = GetOpenFileNameA(&OpenFileParams) != FALSE;
  OpenFileParams.lpstrFilter = nullptr;  // the list dies with this call
  if (!chosen) return;

  const std::string patternAfter(CustomFilterPattern(CustomFilterBuffer));
  OpenFileParams.nFilterIndex =
      NextOpenFilterIndex(OpenFilters(SelectedDevice), OpenFileParams.nFilterIndex, patternBefore, patternAfter);
  SetCustomFilter(CustomFilterBuffer, patternAfter);

  LoadFileBatch(ExpandOpenSelection(std::string_view(FileNameBuffer, sizeof FileNameBuffer)));
}

}  // namespace ql

#include "shell/shell_state.h"

#include <cstring>

namespace ql {

// The full-size record with the reserved fields and FlagsEx.
static_assert(sizeof(OPENFILENAMEA) == (sizeof(void*) == 8 ? 152 : 88));

void InitDialogParams() {
  std::memset(FileNameBuffer, 0, sizeof FileNameBuffer);
  SetCustomFilter(CustomFilterBuffer, kStartCustomPattern);
  std::memset(InitialDirectoryBuffer, 0, sizeof InitialDirectoryBuffer);

  OpenFileParams = {};
  OpenFileParams.lStructSize = sizeof(OPENFILENAMEA);
  OpenFileParams.hwndOwner = MainWindow;
  OpenFileParams.lpstrCustomFilter = CustomFilterBuffer;
  OpenFileParams.nMaxCustFilter = sizeof CustomFilterBuffer;
  // The first listed filter; 0 would select the custom filter.
  OpenFileParams.nFilterIndex = 1;
  OpenFileParams.lpstrFile = FileNameBuffer;
  OpenFileParams.nMaxFile = sizeof FileNameBuffer;
  OpenFileParams.lpstrInitialDir = InitialDirectoryBuffer;
  OpenFileParams.Flags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST |
                         OFN_EXPLORER | OFN_DONTADDTORECENT;

  SaveFileParams = {};
  SaveFileParams.lStructSize = sizeof(OPENFILENAMEA);
  SaveFileParams.hwndOwner = MainWindow;
  SaveFileParams.lpstrFile = FileNameBuffer;
  SaveFileParams.nMaxFile = sizeof FileNameBuffer;
  SaveFileParams.Flags =
      OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_DONTADDTORECENT;
}

}  // namespace ql

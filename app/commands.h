// Command dispatch shared by the Windows program and the command line: the
// action of each menu command and of the Play/Cancel button.
#pragma once

namespace ql {

// Runs the command of that id (IDC_PLAY or an IDM_ id). Returns false when
// it was refused because a job is running, or the id is unknown.
bool RunCommand(int commandId);

}  // namespace ql

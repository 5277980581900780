// Command dispatch shared by the Windows program and the command line: the
// action of each menu command and of the Play/Cancel button.
#pragma once

#include <functional>

namespace ql {

// Runs the command of that id (IDC_PLAY or an IDM_ id). Returns false when
// it was refused because a job is running, or the id is unknown.
//
// While a job runs it owns the link and reads the slots, and the accelerator
// keys still reach us although the menus are grey. So every command is
// refused then except the button (which only asks the job to cancel), About
// and Exit; refused commands change nothing, not even RealTimeMode.
bool RunCommand(int commandId);

// File > Open needs the front end's own dialog: it installs the handler that
// shows it and passes the chosen files to LoadFileBatch. Without a handler
// the command is refused.
using OpenFilesHandler = std::function<void()>;
void SetOpenFilesHandler(OpenFilesHandler handler);

}  // namespace ql

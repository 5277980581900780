// The main window's dialog procedure and the two ways files come in.
#pragma once

#include <windows.h>
// The shell headers need windows.h first.
#include <shellapi.h>

namespace ql {

INT_PTR CALLBACK MainDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Loads every dropped file as one batch, then releases the drop.
void OnDropFiles(HDROP drop);

// File > Open: the Open dialog, then the chosen files as one batch.
void OpenFilesCommand();

// Exit takes effect at once: a message wakes the loop that tests QuitRequested.
void WakeMessageLoopIfQuitting();

}  // namespace ql

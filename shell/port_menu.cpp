#include "shell/port_menu.h"

#include <windows.h>

#include <string>

#include "app/jobs.h"
#include "app/window_state.h"
#include "link/port_binding.h"
#include "resources/other_address_ids.h"
#include "resources/resource_ids.h"
#include "shell/port_address.h"
#include "shell/shell_state.h"

namespace ql {
namespace {

constexpr int kFieldLimit = 16;

std::string FieldText(HWND dialog) {
  char text[kFieldLimit + 1] = {};
  GetDlgItemTextA(dialog, IDC_ADDRESS_EDIT, text, sizeof text);
  return text;
}

// Ends with the base typed, or 0 for Cancel; a refused address keeps the
// dialog open with the reason under the field.
INT_PTR CALLBACK OtherAddressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessageA(dialog, IDC_ADDRESS_EDIT, EM_LIMITTEXT, kFieldLimit, 0);
      if (OtherPortBase() != 0) SetDlgItemTextA(dialog, IDC_ADDRESS_EDIT, AddressFieldText(OtherPortBase()).c_str());
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      if (LOWORD(wParam) == IDOK) {
        const TypedAddress typed = ParsePortAddress(FieldText(dialog));
        if (typed.problem == AddressProblem::None) {
          EndDialog(dialog, typed.base);
        } else {
          SetDlgItemTextA(dialog, IDC_ADDRESS_PROBLEM, AddressProblemText(typed.problem).c_str());
          HWND field = GetDlgItem(dialog, IDC_ADDRESS_EDIT);
          SetFocus(field);
          SendMessageA(field, EM_SETSEL, 0, -1);
        }
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void ChooseOtherAddress() {
  const INT_PTR base =
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_OTHER_ADDRESS), MainWindow, OtherAddressProc, 0);
  if (base <= 0 || !SetOtherPortBase(static_cast<std::uint32_t>(base))) return;  // cancelled
  ShowOtherAddressInMenu();
  SelectLpt(kOtherAddressChoice);
}

}  // namespace

bool RunPortMenuCommand(int commandId) {
  if (commandId != IDM_PORT_BRIDGE && commandId != IDM_PORT_OTHER_ADDRESS) return false;
  if (JobRunning()) return true;  // the job owns the link
  if (commandId == IDM_PORT_BRIDGE) {
    SelectLpt(kBridgeChoice);
  } else {
    ChooseOtherAddress();
  }
  return true;
}

void ShowOtherAddressInMenu() {
  if (OtherPortBase() == 0 || MainWindow == nullptr) return;
  std::string text = OtherAddressItemText(OtherPortBase());
  MENUITEMINFOA item = {};
  item.cbSize = sizeof item;
  item.fMask = MIIM_STRING;
  item.dwTypeData = text.data();
  SetMenuItemInfoA(GetMenu(MainWindow), IDM_PORT_OTHER_ADDRESS, FALSE, &item);
}

}  // namespace ql

// The Port menu's choices beyond LPT1..LPT3: the USB bridge, and a parallel
// port at an address typed in the Other Address dialog.
#pragma once

namespace ql {

// Runs IDM_PORT_BRIDGE or IDM_PORT_OTHER_ADDRESS and returns true; false for
// any other id. Both are refused while a job runs, like every port change.
bool RunPortMenuCommand(int commandId);

// The Other Address item names the chosen base ("LPT at 0xD010") once there is one.
void ShowOtherAddressInMenu();

}  // namespace ql

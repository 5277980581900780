#include "app/window_state.h"

#include "app/command_table.h"
#include "core/front_end.h"
#include "core/slot_table.h"
#include "core/state.h"
#include "core/types.h"
#include "link/port_binding.h"
#include "resources/resource_ids.h"

namespace ql {
namespace {

// The Device and Port items are numbered like the values they select.
int DeviceItem(std::uint8_t device) { return IDM_DEVICE_SWC + device; }
int PortItem(std::uint8_t port) {
  if (port == kBridgeChoice) return IDM_PORT_BRIDGE;
  if (port == kOtherAddressChoice) return IDM_PORT_OTHER_ADDRESS;
  return IDM_LPT1 + port - 1;
}

bool IsDevice(std::uint8_t device) { return device == kDeviceSwc || device == kDeviceSmd; }
bool IsPort(std::uint8_t port) { return IsPortChoice(port); }

void ClearSlotsAndFields() {
  for (const SlotInfo& slot : SlotTable()) slot.path->clear();
  FrontEnd& ui = UI();
  for (int label = IDC_LABEL_ROM_FILE; label <= IDC_LABEL_PATCH_FILE; ++label) ui.EnableControl(label, false);
  for (int field = IDC_ROM_FILE; field <= IDC_PATCH_FILE; ++field) ui.SetControlText(field, " ");
}

}  // namespace

void SelectDevice(std::uint8_t device) {
  if (device == SelectedDevice) return;
  // Only the two families exist; anything else would check a foreign item.
  if (!IsDevice(device)) return;

  ClearSlotsAndFields();

  FrontEnd& ui = UI();
  if (IsDevice(SelectedDevice)) ui.CheckMenuItem(DeviceItem(SelectedDevice), false);
  SelectedDevice = device;
  ui.CheckMenuItem(DeviceItem(device), true);

  // With the slots empty this greys every item that needs a file and sets
  // the SWC-only ones by the device.
  for (const CommandInfo& command : CommandTable()) {
    if (command.needs != 0 || command.swcOnly) ui.EnableMenuItem(command.id, CommandAvailable(command));
  }
}

void SelectLpt(std::uint8_t port) {
  if (!IsPort(port)) return;
  FrontEnd& ui = UI();
  if (IsPort(SelectedLpt)) ui.CheckMenuItem(PortItem(SelectedLpt), false);
  SelectedLpt = port;
  ui.CheckMenuItem(PortItem(port), true);
  // An open link follows the choice at once (it reports its own failures and
  // stays open); a link never opened binds to SelectedLpt on first use.
  if (LinkOpen()) InitPortDriver(port);
}

void InitialiseWindowState() {
  const std::uint8_t device = IsDevice(SelectedDevice) ? SelectedDevice : kDeviceSwc;
  SelectedDevice = 255;  // no item checked yet, so the full set-up runs
  SelectDevice(device);
  if (!IsPort(SelectedLpt)) SelectedLpt = 1;
  SelectLpt(SelectedLpt);
}

}  // namespace ql

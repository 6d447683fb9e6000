#include "panel/Form1.h"

#include <string>

#include "panel/Devices.h"

namespace halvorn {

namespace {
constexpr int kStateRowTop = 8160;
constexpr int kStateRowPitch = 240;
}  // namespace

Form1::Form1() {
  // The start picture's red valves and pumps: nothing answered yet.
  for (const Device& device : kDevices) {
    if (device.kind == DeviceKind::Valve || device.kind == DeviceKind::Pump)
      readings[device.slot].quality = Quality::Fault;
  }
}

std::array<Label, 8> Form1::GaugeStateCaptions() {
  std::array<Label, 8> captions;
  for (int row = 0; row < 8; ++row) {
    captions[static_cast<std::size_t>(row)] =
        layout::BoldText("Label1", row, Container::Form1,
                         {9000, kStateRowTop + kStateRowPitch * row, 795, 195},
                         "G" + std::to_string(row + 1) + " state:");
  }
  return captions;
}

Label Form1::GaugeStateReadout(std::string name, int row) {
  return layout::BoldReadout(std::move(name), Container::Form1,
                             {9840, kStateRowTop + kStateRowPitch * row, 75, 195}, "-");
}

WidgetRefs AllWidgets(Form1& f) {
  WidgetRefs w;
  w.lines.reserve(f.Line20.size());
  for (auto& line : f.Line20) w.lines.push_back(&line);

  // The devices come from their tables, in table order; the rest of the
  // window is listed here.
  for (const SwitchedDevice& d : kSwitchedDevices) w.shapes.push_back(&(f.*d.shape));
  for (const UnswitchedValve& v : kUnswitchedValves) w.shapes.push_back(&(f.*v.shape));
  for (auto& buffer : f.shpBuffer) w.shapes.push_back(&buffer);
  for (const GaugeDevice& g : kGauges) w.shapes.push_back(&(f.*g.shape));
  for (const FlowDevice& m : kFlows) w.shapes.push_back(&(f.*m.shape));
  w.shapes.insert(w.shapes.end(), {&f.shpPneumatics, &f.shpTMPCooling, &f.shpSend, &f.shpRecv});

  for (const SwitchedDevice& d : kSwitchedDevices) {
    w.labels.push_back(&(f.*d.nameLabel));
    w.labels.push_back(&(f.*d.state));
  }
  for (const UnswitchedValve& v : kUnswitchedValves) {
    w.labels.push_back(&(f.*v.nameLabel));
    w.labels.push_back(&(f.*v.state));
  }
  w.labels.push_back(&f.Label41);
  for (const GaugeDevice& g : kGauges) w.labels.push_back(&(f.*g.value));
  for (const FlowDevice& m : kFlows) w.labels.push_back(&(f.*m.nameLabel));
  for (const FlowDevice& m : kFlows) w.labels.push_back(&(f.*m.value));
  w.labels.insert(w.labels.end(), {&f.Label7, &f.Label38, &f.Label39, &f.Label40, &f.Label37,
                                   &f.Label29, &f.lblPneumatics, &f.Label13, &f.lblUptime});
  for (const GaugeDevice& g : kGauges) w.labels.push_back(&(f.*g.state));
  w.labels.insert(w.labels.end(),
                  {&f.lblStatus, &f.lblComStatus, &f.lblStatus2, &f.lblCrcErrors, &f.Label22,
                   &f.Label23, &f.Label24, &f.Label25, &f.lblElectrodePosition,
                   &f.lblElectrodeCooling});
  for (auto& l : f.Label12) w.labels.push_back(&l);
  for (auto& l : f.Label18) w.labels.push_back(&l);
  for (auto& l : f.Label1) w.labels.push_back(&l);
  for (auto& l : f.Label2) w.labels.push_back(&l);

  w.buttons = {&f.cmdConnect, &f.cmdDisconnect, &f.cmdClearError};
  for (const FlowDevice& m : kFlows) w.buttons.push_back(&(f.*m.send));
  w.buttons.insert(w.buttons.end(),
                   {&f.cmdMoveElectrodeIn, &f.cmdMoveElectrodeOut, &f.cmdOpenUVLampShutter,
                    &f.cmdCloseUVLampShutter, &f.cmdSwitchOnElectrodeCooling,
                    &f.cmdSwitchOffElectrodeCooling});
  for (const FlowDevice& m : kFlows) w.textBoxes.push_back(&(f.*m.setpoint));
  w.textBoxes.push_back(&f.txtUptime);
  w.listBoxes = {&f.lstWarnings, &f.lstMessages};
  w.comboBoxes = {&f.Combo1, &f.Combo2, &f.Combo3};
  w.frames = {&f.Frame1, &f.Frame2};
  w.timers = {&f.Timer1, &f.Timer2, &f.Timer3, &f.Timer4, &f.Timer5};
  for (const SwitchedDevice& d : kSwitchedDevices) {
    w.menus.push_back(&(f.*d.menu));
    w.menuItems.push_back(&(f.*d.on));
    w.menuItems.push_back(&(f.*d.off));
  }
  return w;
}

std::vector<std::string_view> FocusOrder() {
  return {"cmdConnect",           "cmdDisconnect",        "cmdClearError",
          "Combo1",               "Combo2",               "Combo3",
          "lstWarnings",          "lstMessages",          "txtMFC1",
          "cmdMFC1_send",         "txtMFC2",              "cmdMFC2_send",
          "txtMFC3",              "cmdMFC3_send",         "txtMFC4",
          "cmdMFC4_send",         "cmdMoveElectrodeIn",   "cmdMoveElectrodeOut",
          "cmdOpenUVLampShutter", "cmdCloseUVLampShutter", "cmdSwitchOffElectrodeCooling",
          "cmdSwitchOnElectrodeCooling"};
}

}  // namespace halvorn

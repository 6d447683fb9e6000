#include "panel/Form1.h"

#include <string>

namespace halvorn {

namespace {
constexpr int kStateRowTop = 8160;
constexpr int kStateRowPitch = 240;
}  // namespace

Form1::Form1() = default;

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

  w.shapes = {&f.shpTMP,    &f.shpRotary1, &f.shpRotary2, &f.shpV1,        &f.shpV2,
              &f.shpV3,     &f.shpV4,      &f.shpV5,      &f.shpV6,        &f.shpV7,
              &f.shpV8,     &f.shpV9,      &f.shpV10,     &f.shpV11,       &f.shpV12,
              &f.shpV13,    &f.shpV14,     &f.shpCV1,     &f.shpCV2,       &f.shpVmech1,
              &f.shpVmech2, &f.shpVmech3,  &f.shpVneedle, &f.shpBuffer[0], &f.shpBuffer[1],
              &f.shpBuffer[2], &f.shpG1,   &f.shpG2,      &f.shpG3,        &f.shpG4,
              &f.shpG5,     &f.shpG6,      &f.shpG7,      &f.shpG8,        &f.shpMFC1,
              &f.shpMFC2,   &f.shpMFC3,    &f.shpMFC4,    &f.shpPneumatics, &f.shpTMPCooling,
              &f.shpSend,   &f.shpRecv};

  w.labels = {&f.lblTmp,       &f.lblTMPstatus,   &f.lblRotary1,     &f.lblRotary1Status,
              &f.lblRotary2,   &f.lblRotary2Status, &f.lblV1,        &f.lblV1state,
              &f.lblV2,        &f.lblV2state,     &f.lblV3,          &f.lblV3state,
              &f.lblV4,        &f.lblV4state,     &f.lblV5,          &f.lblV5state,
              &f.lblV6,        &f.lblV6state,     &f.lblV7,          &f.lblV7state,
              &f.lblV8,        &f.lblV8state,     &f.lblV9,          &f.lblV9state,
              &f.lblV10,       &f.lblV10state,    &f.lblV11,         &f.lblV11state,
              &f.lblV12,       &f.lblV12state,    &f.lblV13,         &f.lblV13state,
              &f.lblV14,       &f.lblV14state,    &f.lblCV1,         &f.lblCV1State,
              &f.lblCV2,       &f.lblCV2state,    &f.Label15,        &f.Label16,
              &f.lblMECH2,     &f.lblVmech2state, &f.lblMECH3,       &f.lblVmech3state,
              &f.lblVneedle,   &f.Label8,         &f.Label41,        &f.lblG1Value,
              &f.lblG2Value,   &f.lblG3Value,     &f.lblG4Value,     &f.lblG5Value,
              &f.lblG6Value,   &f.lblG7Value,     &f.lblG8Value,     &f.lblMKS,
              &f.Label4,       &f.Label9,         &f.Label14,        &f.lblMFC1Value,
              &f.lblMFC2Value, &f.lblMFC3Value,   &f.lblMFC4Value,   &f.Label7,
              &f.Label38,      &f.Label39,        &f.Label40,        &f.Label37,
              &f.Label29,      &f.lblPneumatics,  &f.Label13,        &f.lblUptime,
              &f.lblG1State,   &f.lblG2State,     &f.lblG3State,     &f.lblG4State,
              &f.lblG5State,   &f.lblG6State,     &f.lblG7State,     &f.lblG8State,
              &f.lblStatus,    &f.lblComStatus,   &f.lblStatus2,     &f.lblCrcErrors,
              &f.Label22,      &f.Label23,        &f.Label24,        &f.Label25,
              &f.lblElectrodePosition, &f.lblElectrodeCooling};
  for (auto& l : f.Label12) w.labels.push_back(&l);
  for (auto& l : f.Label18) w.labels.push_back(&l);
  for (auto& l : f.Label1) w.labels.push_back(&l);
  for (auto& l : f.Label2) w.labels.push_back(&l);

  w.buttons = {&f.cmdConnect,           &f.cmdDisconnect,        &f.cmdClearError,
               &f.cmdMFC1_send,         &f.cmdMFC2_send,         &f.cmdMFC3_send,
               &f.cmdMFC4_send,         &f.cmdMoveElectrodeIn,   &f.cmdMoveElectrodeOut,
               &f.cmdOpenUVLampShutter, &f.cmdCloseUVLampShutter, &f.cmdSwitchOnElectrodeCooling,
               &f.cmdSwitchOffElectrodeCooling};
  w.textBoxes = {&f.txtMFC1, &f.txtMFC2, &f.txtMFC3, &f.txtMFC4, &f.txtUptime};
  w.listBoxes = {&f.lstWarnings, &f.lstMessages};
  w.comboBoxes = {&f.Combo1, &f.Combo2, &f.Combo3};
  w.frames = {&f.Frame1, &f.Frame2};
  w.timers = {&f.Timer1, &f.Timer2, &f.Timer3, &f.Timer4, &f.Timer5};
  w.menus = {&f.mnuTmp, &f.mnuRotary1, &f.mnuRotary2, &f.mnuV1,  &f.mnuV2,
             &f.mnuV3,  &f.mnuV4,      &f.mnuV5,      &f.mnuV6,  &f.mnuV7,
             &f.mnuV8,  &f.mnuV9,      &f.mnuV10,     &f.mnuV11, &f.mnuV12,
             &f.mnuV13, &f.mnuV14,     &f.mnuCV1,     &f.mnuCV2};
  w.menuItems = {&f.mnuTmpOn,     &f.mnuTmpOff,     &f.mnuRotary1On, &f.mnuRotary1Off,
                 &f.mnuRotary2On, &f.mnuRotary2Off, &f.mnuV1Open,    &f.mnuV1Close,
                 &f.mnuV2Open,    &f.mnuV2close,    &f.mnuV3Open,    &f.mnuV3Close,
                 &f.mnuV4Open,    &f.mnuV4Close,    &f.mnuV5Open,    &f.mnuV5Close,
                 &f.mnuV6Open,    &f.mnuV6Close,    &f.mnuV7open,    &f.mnuV7Close,
                 &f.mnuV8Open,    &f.mnuV8Close,    &f.mnuV9Open,    &f.mnuV9Close,
                 &f.mnuV10Open,   &f.mnuV10close,   &f.mnuV11Open,   &f.mnuV11Close,
                 &f.mnuV12Open,   &f.mnuV12Close,   &f.mnuV13Open,   &f.mnuV13Close,
                 &f.mnuV14Open,   &f.mnuV14Close,   &f.mnuCV1Open,   &f.mnuCV1Close,
                 &f.mnuCV2Open,   &f.mnuCV2Close};
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

// The one window of the front panel, as plain values: every widget by its
// name, with the content, geometry and colours it has when the window is
// created (before the Load event runs).
//
// Stacking follows the order of the lists that AllWidgets() returns: pipes
// lowest, then shapes in list order (so the gauge circles lie above the
// buffers around them), then labels; the frames and the remaining widgets
// are real controls above the picture.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "panel/Layout.h"
#include "panel/Reading.h"
#include "panel/Widgets.h"

namespace halvorn {

struct Form1 {
  Form1();

  std::string caption = "Halvorn gas injection front panel";
  int clientWidth = 14070;
  int clientHeight = 10170;

  // --- Pumps -------------------------------------------------------------
  Shape shpTMP = layout::PumpShape("shpTMP", 6600, 5520);
  Label lblTmp = layout::NameOn("lblTmp", shpTMP, "TMP");
  Label lblTMPstatus = layout::StateOn("lblTMPstatus", shpTMP, "---");
  Shape shpRotary1 = layout::PumpShape("shpRotary1", 9240, 6240);
  Label lblRotary1 = layout::NameOn("lblRotary1", shpRotary1, "ROTARY1");
  Label lblRotary1Status = layout::StateOn("lblRotary1Status", shpRotary1, "---");
  Shape shpRotary2 = layout::PumpShape("shpRotary2", 1440, 5520);
  Label lblRotary2 = layout::NameOn("lblRotary2", shpRotary2, "ROTARY2");
  Label lblRotary2Status = layout::StateOn("lblRotary2Status", shpRotary2, "---");

  // --- Switched valves ---------------------------------------------------
  Shape shpV1 = layout::ValveShape("shpV1", 3600, 4080);
  Label lblV1 = layout::NameOn("lblV1", shpV1, "V1");
  Label lblV1state = layout::StateOn("lblV1state", shpV1, "state");
  Shape shpV2 = layout::ValveShape("shpV2", 9480, 3120);
  Label lblV2 = layout::NameOn("lblV2", shpV2, "V2");
  Label lblV2state = layout::StateOn("lblV2state", shpV2, "state");
  Shape shpV3 = layout::ValveShape("shpV3", 10680, 2640);
  Label lblV3 = layout::NameOn("lblV3", shpV3, "V3");
  Label lblV3state = layout::StateOn("lblV3state", shpV3, "state");
  Shape shpV4 = layout::ValveShape("shpV4", 8280, 2640);
  Label lblV4 = layout::NameOn("lblV4", shpV4, "V4");
  Label lblV4state = layout::StateOn("lblV4state", shpV4, "state");
  Shape shpV5 = layout::ValveShape("shpV5", 11280, 3720);
  Label lblV5 = layout::NameOn("lblV5", shpV5, "V5");
  Label lblV5state = layout::StateOn("lblV5state", shpV5, "state");
  Shape shpV6 = layout::ValveShape("shpV6", 7680, 3720);
  Label lblV6 = layout::NameOn("lblV6", shpV6, "V6");
  Label lblV6state = layout::StateOn("lblV6state", shpV6, "state");
  Shape shpV7 = layout::ValveShape("shpV7", 6720, 3720);
  Label lblV7 = layout::NameOn("lblV7", shpV7, "V7");
  Label lblV7state = layout::StateOn("lblV7state", shpV7, "state");
  Shape shpV8 = layout::ValveShape("shpV8", 8640, 3720);
  Label lblV8 = layout::NameOn("lblV8", shpV8, "V8");
  Label lblV8state = layout::StateOn("lblV8state", shpV8, "state");
  Shape shpV9 = layout::ValveShape("shpV9", 10320, 3720);
  Label lblV9 = layout::NameOn("lblV9", shpV9, "V9");
  Label lblV9state = layout::StateOn("lblV9state", shpV9, "state");
  Shape shpV10 = layout::ValveShape("shpV10", 4920, 2640);
  Label lblV10 = layout::NameOn("lblV10", shpV10, "V10");
  Label lblV10state = layout::StateOn("lblV10state", shpV10, "state");
  Shape shpV11 = layout::ValveShape("shpV11", 3600, 2640);
  Label lblV11 = layout::NameOn("lblV11", shpV11, "V11");
  Label lblV11state = layout::StateOn("lblV11state", shpV11, "state");
  Shape shpV12 = layout::ValveShape("shpV12", 2280, 2640);
  Label lblV12 = layout::NameOn("lblV12", shpV12, "V12");
  Label lblV12state = layout::StateOn("lblV12state", shpV12, "state");
  Shape shpV13 = layout::ValveShape("shpV13", 12240, 3720);
  Label lblV13 = layout::NameOn("lblV13", shpV13, "V13");
  Label lblV13state = layout::StateOn("lblV13state", shpV13, "state");
  Shape shpV14 = layout::ValveShape("shpV14", 13080, 4320);
  Label lblV14 = layout::NameOn("lblV14", shpV14, "V14");
  Label lblV14state = layout::StateOn("lblV14state", shpV14, "state");
  Shape shpCV1 = layout::ValveShape("shpCV1", 5520, 5520);
  Label lblCV1 = layout::NameOn("lblCV1", shpCV1, "CV1");
  Label lblCV1State = layout::StateOn("lblCV1State", shpCV1, "state");
  Shape shpCV2 = layout::ValveShape("shpCV2", 2880, 5040);
  Label lblCV2 = layout::NameOn("lblCV2", shpCV2, "CV2");
  Label lblCV2state = layout::StateOn("lblCV2state", shpCV2, "state");

  // --- Valves without a menu ---------------------------------------------
  Shape shpVmech1 = layout::ValveShape("shpVmech1", 8040, 6360);
  Label Label15 = layout::NameOn("Label15", shpVmech1, "MECH1");
  Label Label16 = layout::StateOn("Label16", shpVmech1, "state");
  Shape shpVmech2 = layout::ValveShape("shpVmech2", 11640, 5040);
  Label lblMECH2 = layout::NameOn("lblMECH2", shpVmech2, "MECH2");
  Label lblVmech2state = layout::StateOn("lblVmech2state", shpVmech2, "state");
  Shape shpVmech3 = layout::ValveShape("shpVmech3", 5520, 6360);
  Label lblMECH3 = layout::NameOn("lblMECH3", shpVmech3, "MECH3");
  Label lblVmech3state = layout::StateOn("lblVmech3state", shpVmech3, "state");
  Shape shpVneedle = layout::ValveShape("shpVneedle", 6600, 1320);
  Label lblVneedle = layout::NameOn("lblVneedle", shpVneedle, "needle");
  Label Label8 = layout::StateOn("Label8", shpVneedle, "valve", true);

  // --- Pressure gauges ---------------------------------------------------
  // The buffers come first so that the circles inside them lie above them.
  std::array<Shape, 3> shpBuffer = {
      layout::Rectangle("shpBuffer", 0, Container::Form1, {2040, 960, 1215, 1455},
                        colours::LightGreen),
      layout::Rectangle("shpBuffer", 1, Container::Form1, {3360, 960, 1215, 1455},
                        colours::LightGreen),
      layout::Rectangle("shpBuffer", 2, Container::Form1, {4680, 960, 1215, 1455},
                        colours::LightGreen),
  };
  Shape shpG1 = layout::GaugeCircle("shpG1", 2160, 1200);
  Shape shpG2 = layout::GaugeCircle("shpG2", 3480, 1200);
  Shape shpG3 = layout::GaugeCircle("shpG3", 4800, 1200);
  Shape shpG4 = layout::GaugeCircle("shpG4", 360, 2280);
  Shape shpG5 = layout::GaugeCircle("shpG5", 12960, 2400);
  Shape shpG6 = layout::GaugeCircle("shpG6", 5400, 4080);
  Shape shpG7 = layout::GaugeCircle("shpG7", 4200, 5520);
  Shape shpG8 = layout::GaugeCircle("shpG8", 600, 840);
  std::array<Label, 7> Label12 = {
      layout::GaugeName("Label12", 0, shpG1, "G1"), layout::GaugeName("Label12", 1, shpG6, "G6"),
      layout::GaugeName("Label12", 2, shpG5, "G5"), layout::GaugeName("Label12", 3, shpG4, "G4"),
      layout::GaugeName("Label12", 4, shpG3, "G3"), layout::GaugeName("Label12", 5, shpG2, "G2"),
      layout::GaugeName("Label12", 6, shpG7, "G7"),
  };
  Label Label41 = layout::GaugeName("Label41", kNoElement, shpG8, "G8");
  Label lblG1Value = layout::GaugeReading("lblG1Value", shpG1, true);
  Label lblG2Value = layout::GaugeReading("lblG2Value", shpG2, true);
  Label lblG3Value = layout::GaugeReading("lblG3Value", shpG3, true);
  Label lblG4Value = layout::GaugeReading("lblG4Value", shpG4, false);
  Label lblG5Value = layout::GaugeReading("lblG5Value", shpG5, false);
  Label lblG6Value = layout::GaugeReading("lblG6Value", shpG6, false);
  Label lblG7Value = layout::GaugeReading("lblG7Value", shpG7, false);
  Label lblG8Value = layout::GaugeReading("lblG8Value", shpG8, false);

  // --- Mass-flow controllers ---------------------------------------------
  Shape shpMFC1 = layout::FlowShape("shpMFC1", 7560, 960);
  Shape shpMFC2 = layout::FlowShape("shpMFC2", 8760, 960);
  Shape shpMFC3 = layout::FlowShape("shpMFC3", 9960, 960);
  Shape shpMFC4 = layout::FlowShape("shpMFC4", 11160, 960);
  Label lblMKS = layout::FlowTitle("lblMKS", shpMFC1, "MFC1");
  Label Label4 = layout::FlowTitle("Label4", shpMFC2, "MFC2");
  Label Label9 = layout::FlowTitle("Label9", shpMFC3, "MFC3");
  Label Label14 = layout::FlowTitle("Label14", shpMFC4, "MFC4");
  TextBox txtMFC1 = layout::SetpointBox("txtMFC1", shpMFC1, colours::White);
  TextBox txtMFC2 = layout::SetpointBox("txtMFC2", shpMFC2, colours::SystemWindow);
  TextBox txtMFC3 = layout::SetpointBox("txtMFC3", shpMFC3, colours::SystemWindow);
  TextBox txtMFC4 = layout::SetpointBox("txtMFC4", shpMFC4, colours::SystemWindow);
  CommandButton cmdMFC1_send = layout::SendButton("cmdMFC1_send", shpMFC1);
  CommandButton cmdMFC2_send = layout::SendButton("cmdMFC2_send", shpMFC2);
  CommandButton cmdMFC3_send = layout::SendButton("cmdMFC3_send", shpMFC3);
  CommandButton cmdMFC4_send = layout::SendButton("cmdMFC4_send", shpMFC4);
  Label lblMFC1Value = layout::FlowReading("lblMFC1Value", shpMFC1);
  Label lblMFC2Value = layout::FlowReading("lblMFC2Value", shpMFC2);
  Label lblMFC3Value = layout::FlowReading("lblMFC3Value", shpMFC3);
  Label lblMFC4Value = layout::FlowReading("lblMFC4Value", shpMFC4);

  // Units 0-7, gauge types 8-15, flow ranges 16-19.
  std::array<Label, 20> Label18 = {
      layout::GaugeUnit(0, shpG1, true),
      layout::GaugeUnit(1, shpG5, false),
      layout::GaugeUnit(2, shpG8, false),
      layout::GaugeUnit(3, shpG3, true),
      layout::GaugeUnit(4, shpG2, true),
      layout::GaugeUnit(5, shpG6, false),
      layout::GaugeUnit(6, shpG4, false),
      layout::GaugeUnit(7, shpG7, false),
      layout::GaugeType(8, shpG1, "cpt"),
      layout::GaugeType(9, shpG7, "ppt"),
      layout::GaugeType(10, shpG8, "ppt"),
      layout::GaugeType(11, shpG6, "ppt"),
      layout::GaugeType(12, shpG5, "cpt"),
      layout::GaugeType(13, shpG3, "cpt"),
      layout::GaugeType(14, shpG2, "cpt"),
      layout::GaugeType(15, shpG4, "cpt"),
      layout::FlowRange(16, shpMFC1, "(100 sccm)", false),
      layout::FlowRange(17, shpMFC2, "(500 sccm)", false),
      layout::FlowRange(18, shpMFC3, "(500 sccm)", false),
      layout::FlowRange(19, shpMFC4, "(2000 sccm)", true),
  };

  // --- The rest of the picture -------------------------------------------
  Label Label7 = layout::PictureCaption("Label7", {585, 360, 1005, 195}, "vessel");
  Label Label38 = layout::PictureCaption("Label38", {2055, 360, 1185, 195}, "piezo 1");
  Label Label39 = layout::PictureCaption("Label39", {3345, 360, 1245, 195}, "piezo 2");
  Label Label40 = layout::PictureCaption("Label40", {4740, 360, 1095, 195}, "piezo 3");
  Label Label37 = layout::PictureCaption("Label37", {9360, 240, 975, 195}, "to vessel");
  Label Label29 = layout::PictureCaption("Label29", {3450, 6360, 315, 195}, "out");
  Shape shpPneumatics = layout::Rectangle("shpPneumatics", kNoElement, Container::Form1,
                                          {120, 4320, 1335, 375}, colours::SystemGrayText);
  Label lblPneumatics =
      layout::PictureCaption("lblPneumatics", {150, 4410, 1275, 195}, "Pneumatics", true);
  Shape shpTMPCooling = layout::Rectangle("shpTMPCooling", kNoElement, Container::Form1,
                                          {135, 4800, 1320, 375}, colours::SystemGrayText);
  Label Label13 = layout::PictureCaption("Label13", {165, 4890, 1275, 195}, "TMP cooling", true);
  Label lblUptime =
      layout::BoldText("lblUptime", kNoElement, Container::Form1, {120, 3600, 855, 255}, "Uptime");
  TextBox txtUptime = {"txtUptime", Container::Form1, {120, 3840, 1335, 285}, "",
                       colours::SystemWindow, true};

  std::array<Line, 34> Line20 = {
      layout::Pipe(0, 8040, 4560, 8040, 3480),   layout::Pipe(1, 7080, 4560, 7080, 3480),
      layout::Pipe(2, 4680, 6600, 4680, 6000),   layout::Pipe(3, 9000, 4560, 9000, 3480),
      layout::Pipe(4, 10680, 4560, 10680, 3480), layout::Pipe(5, 11640, 4560, 11640, 3480),
      layout::Pipe(6, 12600, 4560, 12600, 3480), layout::Pipe(7, 13440, 5280, 13440, 3000),
      layout::Pipe(8, 2640, 3480, 2640, 600),    layout::Pipe(9, 3960, 5280, 3960, 600),
      layout::Pipe(10, 5280, 3480, 5280, 600),   layout::Pipe(11, 8040, 2400, 8040, 840),
      layout::Pipe(12, 6960, 2400, 6960, 840),   layout::Pipe(13, 9240, 2400, 9240, 840),
      layout::Pipe(14, 10440, 2400, 10440, 840), layout::Pipe(15, 11640, 2400, 11640, 840),
      layout::Pipe(16, 9840, 840, 9840, 480),    layout::Pipe(17, 11640, 840, 6960, 840),
      layout::Pipe(18, 9240, 2400, 6960, 2400),  layout::Pipe(19, 11640, 2400, 10440, 2400),
      layout::Pipe(20, 8640, 3480, 8640, 2400),  layout::Pipe(21, 11040, 3480, 11040, 2400),
      layout::Pipe(22, 13440, 3480, 840, 3480),  layout::Pipe(23, 13440, 5280, 1920, 5280),
      layout::Pipe(24, 1080, 1680, 1080, 600),   layout::Pipe(25, 840, 3480, 840, 2400),
      layout::Pipe(26, 1920, 7320, 1920, 5280),  layout::Pipe(27, 3600, 7320, 3600, 6600),
      layout::Pipe(28, 7080, 6600, 7080, 5880),  layout::Pipe(29, 5880, 5760, 5880, 4680),
      layout::Pipe(30, 9720, 7320, 9720, 6480),  layout::Pipe(31, 9600, 6600, 4680, 6600),
      layout::Pipe(32, 9720, 7320, 1920, 7320),  layout::Pipe(33, 7080, 5880, 6000, 5880),
  };

  // --- Gauge state column ------------------------------------------------
  // Rows 240 twips apart from top 8160; the readouts start as wide as their
  // "-" and grow with the state text.
  std::array<Label, 8> Label1 = GaugeStateCaptions();
  Label lblG1State = GaugeStateReadout("lblG1State", 0);
  Label lblG2State = GaugeStateReadout("lblG2State", 1);
  Label lblG3State = GaugeStateReadout("lblG3State", 2);
  Label lblG4State = GaugeStateReadout("lblG4State", 3);
  Label lblG5State = GaugeStateReadout("lblG5State", 4);
  Label lblG6State = GaugeStateReadout("lblG6State", 5);
  Label lblG7State = GaugeStateReadout("lblG7State", 6);
  Label lblG8State = GaugeStateReadout("lblG8State", 7);

  // --- Frame1 "Status" ---------------------------------------------------
  Frame Frame1 = {"Frame1", {120, 7440, 8415, 2655}, "Status"};
  Label lblStatus = layout::BoldReadout("lblStatus", Container::Frame1,
                                     {120, 240, 1185, 195}, "Disconnected");
  Label lblComStatus = layout::BoldReadout("lblComStatus", Container::Frame1,
                                        {120, 480, 1290, 195}, "Com1,9600,n,1");
  Label lblStatus2 = layout::BoldReadout("lblStatus2", Container::Frame1,
                                      {120, 720, 2535, 195}, "0 messages received from pic");
  Label lblCrcErrors = layout::BoldReadout("lblCrcErrors", Container::Frame1,
                                        {120, 960, 3765, 195}, "0 received message with crc error");
  CommandButton cmdConnect =
      layout::Button("cmdConnect", Container::Frame1, {120, 1320, 1095, 375}, "Connect");
  CommandButton cmdDisconnect =
      layout::Button("cmdDisconnect", Container::Frame1, {120, 1680, 1095, 375}, "Disconnect");
  CommandButton cmdClearError =
      layout::Button("cmdClearError", Container::Frame1, {120, 2040, 1095, 375}, "Clear");
  ComboBox Combo1 = {"Combo1", Container::Frame1, {3000, 240, 975, 315},
                     {"2400", "9600", "38400", "115200", "460800", "921600"}};
  ComboBox Combo2 = {"Combo2", Container::Frame1, {4200, 240, 975, 315},
                     {"n", "e", "o", "m", "s"}};
  ComboBox Combo3 = {"Combo3", Container::Frame1, {5400, 240, 975, 315},
                     {"Com1", "Com2", "Com3", "Com4", "Com5", "Com6", "Com7", "Com8", "Com9",
                      "Com10"}};
  Shape shpSend = layout::Rectangle("shpSend", kNoElement, Container::Frame1,
                                    {6840, 240, 1095, 375}, colours::SystemMenu);
  Label Label22 = layout::Plain("Label22", kNoElement, Container::Frame1, {7185, 330, 405, 195},
                                "Send", false, Align::Centre, true);
  Shape shpRecv = layout::Rectangle("shpRecv", kNoElement, Container::Frame1,
                                    {6840, 720, 1095, 375}, colours::SystemMenu);
  Label Label23 = layout::Plain("Label23", kNoElement, Container::Frame1, {7080, 810, 615, 195},
                                "Receive", false, Align::Centre, true);
  Label Label24 = layout::BoldText("Label24", kNoElement, Container::Frame1,
                                   {1320, 1320, 2340, 195}, "Warnings");
  ListBox lstWarnings = {"lstWarnings", Container::Frame1, {1320, 1560, 3255, 1035}, {}};
  Label Label25 = layout::BoldText("Label25", kNoElement, Container::Frame1,
                                   {4680, 1320, 2340, 195}, "Other messages");
  ListBox lstMessages = {"lstMessages", Container::Frame1, {4680, 1560, 3255, 1035}, {}};

  // --- Frame2 "Electrode and UV lamp" ------------------------------------
  Frame Frame2 = {"Frame2", {10560, 6000, 3375, 3015}, "Electrode and UV lamp"};
  std::array<Label, 2> Label2 = {
      layout::BoldText("Label2", 0, Container::Frame2, {240, 360, 1605, 195},
                       "Electrode position:"),
      layout::BoldText("Label2", 1, Container::Frame2, {240, 600, 1560, 195},
                       "Electrode cooling:"),
  };
  Label lblElectrodePosition =
      layout::BoldReadout("lblElectrodePosition", Container::Frame2, {1920, 360, 75, 195}, "-");
  Label lblElectrodeCooling =
      layout::BoldReadout("lblElectrodeCooling", Container::Frame2, {1920, 600, 75, 195}, "-");
  CommandButton cmdMoveElectrodeIn = layout::Button("cmdMoveElectrodeIn", Container::Frame2,
                                                    {600, 960, 1095, 495}, "Move electrode in");
  CommandButton cmdMoveElectrodeOut = layout::Button("cmdMoveElectrodeOut", Container::Frame2,
                                                     {1920, 960, 1095, 495}, "Move electrode out");
  CommandButton cmdOpenUVLampShutter = layout::Button(
      "cmdOpenUVLampShutter", Container::Frame2, {600, 1560, 1095, 495}, "Open UV lamp shutter");
  CommandButton cmdCloseUVLampShutter =
      layout::Button("cmdCloseUVLampShutter", Container::Frame2, {1920, 1560, 1095, 495},
                     "Close UV lamp shutter");
  CommandButton cmdSwitchOnElectrodeCooling =
      layout::Button("cmdSwitchOnElectrodeCooling", Container::Frame2, {240, 2160, 1455, 495},
                     "Switch on electrode cooling");
  // A child of the window itself, drawn above the frame beside its twin.
  CommandButton cmdSwitchOffElectrodeCooling =
      layout::Button("cmdSwitchOffElectrodeCooling", Container::Form1, {12360, 8160, 1455, 495},
                     "Switch off electrode cooling");

  // --- What the devices show, typed ---------------------------------------
  // One per device of kDevices, in its order (Device::slot); written by the
  // decoders and the greying with the captions and colours.
  std::array<Reading, 37> readings{};
  Reading uptime{Quality::NoData, std::nullopt};  // of txtUptime

  // --- Timers ------------------------------------------------------------
  Timer Timer1 = {"Timer1", 200, true};   // polling cycle
  Timer Timer2 = {"Timer2", 500, true};   // link status, list lock
  Timer Timer3 = {"Timer3", 100, false};  // puts the send lamp back
  Timer Timer4 = {"Timer4", 100, false};  // puts the receive lamp back
  Timer Timer5 = {"Timer5", 3000, true};  // stale-data watchdog

  // --- Device menus, in their declared order -----------------------------
  Menu mnuTmp = {"mnuTmp", "TMP"};
  MenuItem mnuTmpOn = {"mnuTmpOn", "Switch on", "mnuTmp"};
  MenuItem mnuTmpOff = {"mnuTmpOff", "Switch off", "mnuTmp"};
  Menu mnuRotary1 = {"mnuRotary1", "Rotary1"};
  MenuItem mnuRotary1On = {"mnuRotary1On", "Switch on", "mnuRotary1"};
  MenuItem mnuRotary1Off = {"mnuRotary1Off", "Switch off", "mnuRotary1"};
  Menu mnuRotary2 = {"mnuRotary2", "Rotary2"};
  MenuItem mnuRotary2On = {"mnuRotary2On", "Switch on", "mnuRotary2"};
  MenuItem mnuRotary2Off = {"mnuRotary2Off", "Switch off", "mnuRotary2"};
  Menu mnuV1 = {"mnuV1", "V1"};
  MenuItem mnuV1Open = {"mnuV1Open", "Open", "mnuV1"};
  MenuItem mnuV1Close = {"mnuV1Close", "Close", "mnuV1"};
  Menu mnuV2 = {"mnuV2", "V2"};
  MenuItem mnuV2Open = {"mnuV2Open", "Open", "mnuV2"};
  MenuItem mnuV2close = {"mnuV2close", "Close", "mnuV2"};
  Menu mnuV3 = {"mnuV3", "V3"};
  MenuItem mnuV3Open = {"mnuV3Open", "Open", "mnuV3"};
  MenuItem mnuV3Close = {"mnuV3Close", "Close", "mnuV3"};
  Menu mnuV4 = {"mnuV4", "V4"};
  MenuItem mnuV4Open = {"mnuV4Open", "Open", "mnuV4"};
  MenuItem mnuV4Close = {"mnuV4Close", "Close", "mnuV4"};
  Menu mnuV5 = {"mnuV5", "V5"};
  MenuItem mnuV5Open = {"mnuV5Open", "Open", "mnuV5"};
  MenuItem mnuV5Close = {"mnuV5Close", "Close", "mnuV5"};
  Menu mnuV6 = {"mnuV6", "V6"};
  MenuItem mnuV6Open = {"mnuV6Open", "Open", "mnuV6"};
  MenuItem mnuV6Close = {"mnuV6Close", "Close", "mnuV6"};
  Menu mnuV7 = {"mnuV7", "V7"};
  MenuItem mnuV7open = {"mnuV7open", "Open", "mnuV7"};
  MenuItem mnuV7Close = {"mnuV7Close", "Close", "mnuV7"};
  Menu mnuV8 = {"mnuV8", "V8"};
  MenuItem mnuV8Open = {"mnuV8Open", "Open", "mnuV8"};
  MenuItem mnuV8Close = {"mnuV8Close", "Close", "mnuV8"};
  Menu mnuV9 = {"mnuV9", "V9"};
  MenuItem mnuV9Open = {"mnuV9Open", "Open", "mnuV9"};
  MenuItem mnuV9Close = {"mnuV9Close", "Close", "mnuV9"};
  Menu mnuV10 = {"mnuV10", "V10"};
  MenuItem mnuV10Open = {"mnuV10Open", "Open", "mnuV10"};
  MenuItem mnuV10close = {"mnuV10close", "Close", "mnuV10"};
  Menu mnuV11 = {"mnuV11", "V11"};
  MenuItem mnuV11Open = {"mnuV11Open", "Open", "mnuV11"};
  MenuItem mnuV11Close = {"mnuV11Close", "Close", "mnuV11"};
  Menu mnuV12 = {"mnuV12", "V12"};
  MenuItem mnuV12Open = {"mnuV12Open", "Open", "mnuV12"};
  MenuItem mnuV12Close = {"mnuV12Close", "Close", "mnuV12"};
  Menu mnuV13 = {"mnuV13", "V13"};
  MenuItem mnuV13Open = {"mnuV13Open", "Open", "mnuV13"};
  MenuItem mnuV13Close = {"mnuV13Close", "Close", "mnuV13"};
  Menu mnuV14 = {"mnuV14", "V14"};
  MenuItem mnuV14Open = {"mnuV14Open", "Open", "mnuV14"};
  MenuItem mnuV14Close = {"mnuV14Close", "Close", "mnuV14"};
  Menu mnuCV1 = {"mnuCV1", "CV1"};
  MenuItem mnuCV1Open = {"mnuCV1Open", "Open", "mnuCV1"};
  MenuItem mnuCV1Close = {"mnuCV1Close", "Close", "mnuCV1"};
  Menu mnuCV2 = {"mnuCV2", "CV2"};
  MenuItem mnuCV2Open = {"mnuCV2Open", "Open", "mnuCV2"};
  MenuItem mnuCV2Close = {"mnuCV2Close", "Close", "mnuCV2"};

 private:
  [[nodiscard]] static std::array<Label, 8> GaugeStateCaptions();
  static Label GaugeStateReadout(std::string name, int row);
};

// Every widget of the window, grouped by kind, in stacking order within a
// kind (see above). Pointers into `form`, valid as long as it lives.
struct WidgetRefs {
  std::vector<Label*> labels;
  std::vector<Shape*> shapes;
  std::vector<Line*> lines;
  std::vector<CommandButton*> buttons;
  std::vector<TextBox*> textBoxes;
  std::vector<ListBox*> listBoxes;
  std::vector<ComboBox*> comboBoxes;
  std::vector<Frame*> frames;
  std::vector<Timer*> timers;
  std::vector<Menu*> menus;
  std::vector<MenuItem*> menuItems;
};
[[nodiscard]] WidgetRefs AllWidgets(Form1& form);

// Names of the widgets that take the keyboard focus, first to last.
[[nodiscard]] std::vector<std::string_view> FocusOrder();

// A caption the shape it lies on draws as part of itself: the link's two
// lamps blink with every poll, and drawing "Send" with its lamp is one paint
// each blink, not two. Each lies wholly on its lamp, opens no menu and
// never grows.
struct LampCaption {
  Shape Form1::*lamp;
  Label Form1::*caption;
};
inline constexpr std::array<LampCaption, 2> kLampCaptions = {{
    {&Form1::shpSend, &Form1::Label22},
    {&Form1::shpRecv, &Form1::Label23},
}};

// The timers that put the two lamps back, 100 ms after each lit: a poll and
// its answer light them a millisecond or two apart, and the window puts them
// out together, in one wake-up, rather than a millisecond or two apart.
inline constexpr std::array<Timer Form1::*, 2> kLampTimers = {&Form1::Timer3, &Form1::Timer4};

// The message counters, which a flood changes hundreds of times a second:
// the window shows them at a pace an eye can follow, while the model counts
// every message all the same.
inline constexpr std::array<Label Form1::*, 2> kPacedCaptions = {&Form1::lblStatus2,
                                                                 &Form1::lblCrcErrors};

}  // namespace halvorn

#include "panel/Dump.h"

#include <cstdio>
#include <initializer_list>
#include <utility>

namespace halvorn {

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte > 0x7E) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Name(const std::string& name, int element) {
  return element == kNoElement ? name : name + "(" + std::to_string(element) + ")";
}

std::string Hex(Colour colour) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(colour));
  return text;
}

std::string Row(std::initializer_list<std::string> parts) {
  std::string line;
  for (const std::string& part : parts) {
    if (!line.empty()) line += " | ";
    line += part;
  }
  return line + "\n";
}

std::string DumpList(const ListBox& list) {
  std::string text = list.name + " [";
  for (std::size_t i = 0; i < list.items.size(); ++i) {
    if (i != 0) text += ", ";
    text += Quoted(list.items[i]);
  }
  return text + "]";
}

std::string DumpTimer(const Timer& timer) {
  return timer.name + (timer.enabled ? " on" : " off") + " starts " + std::to_string(timer.starts);
}

std::string DumpTextBox(const TextBox& box) {
  return box.name + " " + Quoted(box.text) + " back " + Hex(box.backColor);
}

}  // namespace

std::string DumpShape(const Shape& shape) {
  return Name(shape.name, shape.element) + " " + Hex(shape.fillColor);
}

std::string DumpLabel(const Label& label) {
  return Name(label.name, label.element) + " " + Quoted(label.caption);
}

std::string DumpValves(const Form1& f) {
  const std::pair<const Shape*, const Label*> valves[] = {
      {&f.shpV1, &f.lblV1state},         {&f.shpV2, &f.lblV2state},
      {&f.shpV3, &f.lblV3state},         {&f.shpV4, &f.lblV4state},
      {&f.shpV5, &f.lblV5state},         {&f.shpV6, &f.lblV6state},
      {&f.shpV7, &f.lblV7state},         {&f.shpV8, &f.lblV8state},
      {&f.shpV9, &f.lblV9state},         {&f.shpV10, &f.lblV10state},
      {&f.shpV11, &f.lblV11state},       {&f.shpV12, &f.lblV12state},
      {&f.shpV13, &f.lblV13state},       {&f.shpV14, &f.lblV14state},
      {&f.shpCV1, &f.lblCV1State},       {&f.shpCV2, &f.lblCV2state},
      {&f.shpVmech1, &f.Label16},        {&f.shpVmech2, &f.lblVmech2state},
      {&f.shpVmech3, &f.lblVmech3state}, {&f.shpVneedle, &f.Label8},
  };
  std::string text;
  for (const auto& [shape, state] : valves) text += Row({DumpShape(*shape), DumpLabel(*state)});
  return text;
}

std::string DumpGauges(const Form1& f) {
  const struct {
    const Shape* shape;
    const Label* value;
    const Label* state;
  } gauges[] = {
      {&f.shpG1, &f.lblG1Value, &f.lblG1State}, {&f.shpG2, &f.lblG2Value, &f.lblG2State},
      {&f.shpG3, &f.lblG3Value, &f.lblG3State}, {&f.shpG4, &f.lblG4Value, &f.lblG4State},
      {&f.shpG5, &f.lblG5Value, &f.lblG5State}, {&f.shpG6, &f.lblG6Value, &f.lblG6State},
      {&f.shpG7, &f.lblG7Value, &f.lblG7State}, {&f.shpG8, &f.lblG8Value, &f.lblG8State},
  };
  std::string text;
  for (const auto& g : gauges) {
    text += Row({DumpShape(*g.shape), DumpLabel(*g.value), DumpLabel(*g.state)});
  }
  return text;
}

std::string DumpFlows(const Form1& f) {
  const std::pair<const Shape*, const Label*> flows[] = {
      {&f.shpMFC1, &f.lblMFC1Value},
      {&f.shpMFC2, &f.lblMFC2Value},
      {&f.shpMFC3, &f.lblMFC3Value},
      {&f.shpMFC4, &f.lblMFC4Value},
  };
  std::string text;
  for (const auto& [shape, value] : flows) text += Row({DumpShape(*shape), DumpLabel(*value)});
  return text;
}

std::string DumpPumps(const Form1& f) {
  return Row({DumpShape(f.shpRotary1), DumpLabel(f.lblRotary1Status)}) +
         Row({DumpShape(f.shpRotary2), DumpLabel(f.lblRotary2Status)}) +
         Row({DumpShape(f.shpTMP), DumpLabel(f.lblTMPstatus)}) + Row({DumpShape(f.shpPneumatics)}) +
         Row({DumpShape(f.shpTMPCooling)});
}

std::string DumpElectrode(const Form1& f) {
  return Row({DumpLabel(f.lblElectrodePosition)}) + Row({DumpLabel(f.lblElectrodeCooling)});
}

std::string DumpReceiveStatus(const Form1& f) {
  return Row({DumpLabel(f.lblStatus2)}) + Row({DumpLabel(f.lblCrcErrors)}) +
         Row({DumpTextBox(f.txtUptime)}) + Row({DumpList(f.lstWarnings)}) +
         Row({DumpList(f.lstMessages)}) + Row({DumpShape(f.shpRecv), DumpTimer(f.Timer4)});
}

std::string DumpForm(const Form1& form) {
  // AllWidgets hands out pointers for changing the widgets; read a copy.
  Form1 copy = form;
  const WidgetRefs w = AllWidgets(copy);
  std::string text;
  for (const Label* label : w.labels) text += Row({DumpLabel(*label)});
  for (const Shape* shape : w.shapes) text += Row({DumpShape(*shape)});
  for (const CommandButton* button : w.buttons)
    text += Row({button->name + " " + Quoted(button->caption)});
  for (const TextBox* box : w.textBoxes) text += Row({DumpTextBox(*box)});
  for (const ListBox* list : w.listBoxes) text += Row({DumpList(*list)});
  for (const ComboBox* combo : w.comboBoxes) {
    text += Row({combo->name + " index " + std::to_string(combo->listIndex) +
                 (combo->enabled ? " enabled" : " disabled")});
  }
  for (const Frame* frame : w.frames) text += Row({frame->name + " " + Quoted(frame->caption)});
  for (const Timer* timer : w.timers) text += Row({DumpTimer(*timer)});
  return text;
}

}  // namespace halvorn

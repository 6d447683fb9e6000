#include "panel/Dump.h"

#include <cstdio>
#include <cstdint>
#include <initializer_list>

#include "panel/Devices.h"

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
  std::string text;
  for (const SwitchedDevice& v : kValves) text += Row({DumpShape(f.*v.shape), DumpLabel(f.*v.state)});
  for (const UnswitchedValve& v : kUnswitchedValves)
    text += Row({DumpShape(f.*v.shape), DumpLabel(f.*v.state)});
  return text;
}

std::string DumpGauges(const Form1& f) {
  std::string text;
  for (const GaugeDevice& g : kGauges)
    text += Row({DumpShape(f.*g.shape), DumpLabel(f.*g.value), DumpLabel(f.*g.state)});
  return text;
}

std::string DumpFlows(const Form1& f) {
  std::string text;
  for (const FlowDevice& m : kFlows) text += Row({DumpShape(f.*m.shape), DumpLabel(f.*m.value)});
  return text;
}

std::string DumpPumps(const Form1& f) {
  std::string text;
  for (std::int16_t number = 1; number <= static_cast<std::int16_t>(kPumps.size()); ++number) {
    const SwitchedDevice& p = *DeviceByNumber(kPumps, number);
    text += Row({DumpShape(f.*p.shape), DumpLabel(f.*p.state)});
  }
  return text + Row({DumpShape(f.shpPneumatics)}) + Row({DumpShape(f.shpTMPCooling)});
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

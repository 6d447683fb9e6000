// Fuzz target of the way in from the controller: arbitrary bytes, cut into
// arbitrary reads (see FuzzInput.h), reach the panel through the port's
// receive event, exactly as a serial driver would deliver them.
//
// After every read (the indicators: after every read that ended a message)
// it checks what must hold whatever the line carried:
// - the receive buffer holds at most 256 bytes, no carriage return, and as
//   many bytes as the overlong-line rule leaves (mirrored here from outside);
// - every carriage return that reached the receiver counted once, good or
//   bad, and lit the receive lamp once; those thrown away with an overlong
//   line did neither;
// - each list holds at most ten entries: warnings only the three fixed texts,
//   other messages only whole messages that passed the checksum check;
// - every caption the answers write is its initial caption, a fixed state
//   text, a status text, or a reading built the way its answer builds it, and
//   the indicator's colour goes with it;
// - the counters' captions show the counters.
// At the end of the input, every other widget of the window is as it was and
// nothing was sent.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FuzzInput.h"
#include "link/Frame.h"
#include "link/FrontPanel.h"
#include "link/Receiver.h"
#include "panel/Devices.h"
#include "support/FakeSerialPort.h"

namespace halvorn::fuzz {
namespace {

// The bounds are written out here rather than taken from the receiver, so
// that a change there shows up as a finding.
constexpr std::size_t kLongestLine = 256;  // bytes the receive buffer may hold
constexpr int kListLength = 10;            // entries each message list keeps

// The texts of the controller's status codes, the complete table.
constexpr std::array<std::string_view, 15> kStatusTexts = {
    "wrong size response from pfeiffer bus",
    "bad format response from pfeiffer bus",
    "bad crc from pfeiffer bus",
    "wrong size response from icpcon bus",
    "bad format response from icpcon bus",
    "bad crc from icpcon bus",
    "ok",
    "crc error",
    "message too short",
    "bad operator",
    "operation not implemented",
    "operation not allowed",
    "no response from pfeiffer bus",
    "no response from icpcon bus",
    "Unknown error code",
};

constexpr std::array<std::string_view, 3> kWarnings = {
    " 100 (OP_ERR_PNEUMATIC_PRESSURE)",
    " 105 (OP_ERR_ICPCON_BUS)",
    " 106 (OP_ERR_PFEIFFER_BUS)",
};

template <std::size_t N>
bool OneOf(std::string_view text, const std::array<std::string_view, N>& texts) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// A fault text: a status text other than the "ok" of a valid reading.
bool IsFaultText(std::string_view text) { return text != "ok" && OneOf(text, kStatusTexts); }

// Bytes outside printable ASCII as \xNN, so a report shows what was there.
std::string Printable(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      text += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      text += hex;
    }
  }
  return text;
}

[[noreturn]] void Fail(const char* what, std::string_view name, std::string_view shown) {
  std::fprintf(stderr, "broken invariant: %s: %s \"%s\"\n", what, std::string(name).c_str(),
               Printable(shown).c_str());
  std::abort();
}

// Checks one invariant; `name` and `shown` say where and what, on failure.
void Expect(bool holds, const char* what, std::string_view name = {}, std::string_view shown = {}) {
  if (!holds) Fail(what, name, shown);
}

// The window as it is created, to tell initial captions and colours from
// written ones.
Form1& Pristine() {
  static Form1 form;
  return form;
}

// What the receive event does with each read, counted from outside: it hands
// the receiver one piece per carriage return (each ending just after it, the
// last one whatever follows the last carriage return), and a piece that
// would make the buffer longer than 256 bytes is thrown away with the buffer,
// its carriage return included.
struct LineModel {
  std::size_t buffered = 0;
  std::int64_t messages = 0;

  void Take(std::string_view read) {
    while (!read.empty()) {
      const std::size_t end = read.find(kCarriageReturn);
      const std::size_t length = end == std::string_view::npos ? read.size() : end + 1;
      if (buffered + length > kLongestLine) {
        buffered = 0;
      } else if (end != std::string_view::npos) {
        buffered = 0;
        ++messages;
      } else {
        buffered += length;
      }
      read.remove_prefix(length);
    }
  }
};

// Gives every line of `stream` the checksum field of its text, in place of
// its last three bytes; lines shorter than three bytes stay as they are.
void FixChecksums(std::string& stream) {
  std::size_t start = 0;
  while (start < stream.size()) {
    std::size_t end = stream.find(kCarriageReturn, start);
    if (end == std::string::npos) end = stream.size();
    if (end - start >= 3) {
      const std::string field =
          ChecksumField(Checksum(std::string_view(stream).substr(start, end - start - 3)));
      stream.replace(end - 3, 3, field);
    }
    start = end + 1;
  }
}

// "-" or " " and a decimal number without leading zeros, in [low, high].
bool IsSignedNumber(std::string_view text, int low, int high) {
  if (text.size() < 2 || text.size() > 4) return false;
  if (text[0] != ' ' && text[0] != '-') return false;
  const std::string_view digits = text.substr(1);
  if (digits.size() > 1 && digits[0] == '0') return false;
  int value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (text[0] == '-') {
    if (value == 0) return false;
    value = -value;
  }
  return value >= low && value <= high;
}

// A gauge reading: a bound, "over range", or four mantissa bytes around "."
// and "E" with the exponent, whose two characters read leniently give -9 to
// 99 less the bias of 20.
bool IsGaugeReading(int gauge, std::string_view text) {
  if (text == "<1") return gauge <= 5;
  if (text == "<1.000E-4") return gauge >= 6;
  if (text == "over range") return true;
  if (text.size() < 8 || text[1] != '.' || text[5] != 'E') return false;
  constexpr std::array<std::size_t, 4> kMantissa = {0, 2, 3, 4};
  for (const std::size_t i : kMantissa)
    if (text[i] == kCarriageReturn) return false;
  return IsSignedNumber(text.substr(6), -29, 79);
}

// A flow reading: the controller's four bytes and "%".
bool IsFlowReading(std::string_view text) {
  return text.size() == 5 && text[4] == '%' &&
         text.substr(0, 4).find(kCarriageReturn) == std::string_view::npos;
}

// The uptime: a plain decimal number of at most ten digits and "s".
bool IsUptime(std::string_view text) {
  if (text.size() < 2 || text.back() != 's') return false;
  std::string_view digits = text.substr(0, text.size() - 1);
  if (digits[0] == '-') digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 10) return false;
  if (digits.size() > 1 && digits[0] == '0') return false;
  if (text[0] == '-' && digits == "0") return false;
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A space, the count in decimal, and the wording.
bool IsCountCaption(std::string_view caption, std::int32_t count, std::string_view wording) {
  std::array<char, 16> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), count).ptr;
  const std::string_view number(digits.data(), static_cast<std::size_t>(end - digits.data()));
  return caption.size() == 1 + number.size() + wording.size() && caption[0] == ' ' &&
         caption.substr(1, number.size()) == number && caption.substr(1 + number.size()) == wording;
}

// The labels and shapes an answer may write; everything else stays as created.
constexpr std::array<Label Form1::*, 4> kOtherWrittenLabels = {
    &Form1::lblElectrodePosition, &Form1::lblElectrodeCooling, &Form1::lblStatus2,
    &Form1::lblCrcErrors};
constexpr std::array<Shape Form1::*, 1> kOtherWrittenShapes = {&Form1::shpRecv};

bool Unwritten(const Label& label, Label Form1::*member) {
  return label.caption == (Pristine().*member).caption;
}
bool Unwritten(const Shape& shape, Shape Form1::*member) {
  return shape.fillColor == (Pristine().*member).fillColor;
}

void CheckPlant(const Form1& form) {
  for (const SwitchedDevice& v : kValves) {
    const Label& state = form.*v.state;
    const Colour colour = (form.*v.shape).fillColor;
    const bool shown = (state.caption == "open" && colour == colours::Green) ||
                       (state.caption == "closed" && colour == colours::Yellow) ||
                       (colour == colours::Red && OneOf(state.caption, kStatusTexts)) ||
                       (Unwritten(state, v.state) && Unwritten(form.*v.shape, v.shape));
    Expect(shown, "valve state and colour", state.name, state.caption);
  }
  for (const SwitchedDevice& p : kPumps) {
    const Label& state = form.*p.state;
    const Colour colour = (form.*p.shape).fillColor;
    const bool shown = (state.caption == "stopped" && colour == colours::Yellow) ||
                       (state.caption == "accelerating" && colour == colours::Cyan) ||
                       (state.caption == "stopping" && colour == colours::Magenta) ||
                       (state.caption == "started" && colour == colours::Green) ||
                       (colour == colours::Red && OneOf(state.caption, kStatusTexts)) ||
                       (Unwritten(state, p.state) && Unwritten(form.*p.shape, p.shape));
    Expect(shown, "pump state and colour", state.name, state.caption);
  }
  for (const GaugeDevice& g : kGauges) {
    const Label& value = form.*g.value;
    const Label& state = form.*g.state;
    const Colour colour = (form.*g.shape).fillColor;
    const bool shown =
        (colour == colours::White && state.caption == "ok" &&
         IsGaugeReading(g.number, value.caption)) ||
        (colour == colours::Red && value.caption == "---" && IsFaultText(state.caption)) ||
        (Unwritten(value, g.value) && Unwritten(state, g.state) &&
         Unwritten(form.*g.shape, g.shape));
    if (!shown)
      Fail("gauge reading, state and colour", value.name, value.caption + " | " + state.caption);
  }
  for (const FlowDevice& f : kFlows) {
    const Label& value = form.*f.value;
    const Colour colour = (form.*f.shape).fillColor;
    const bool shown = (colour == colours::LightYellow && IsFlowReading(value.caption)) ||
                       (colour == colours::Red && IsFaultText(value.caption)) ||
                       (Unwritten(value, f.value) && Unwritten(form.*f.shape, f.shape));
    Expect(shown, "flow reading and colour", value.name, value.caption);
  }
  const std::string& position = form.lblElectrodePosition.caption;
  Expect(Unwritten(form.lblElectrodePosition, &Form1::lblElectrodePosition) || position == "in" ||
             position == "out" || position == "middle" || position == "error",
         "electrode position", "lblElectrodePosition", position);
  const std::string& cooling = form.lblElectrodeCooling.caption;
  Expect(Unwritten(form.lblElectrodeCooling, &Form1::lblElectrodeCooling) || cooling == "running" ||
             cooling == "stopped" || cooling == "error",
         "electrode cooling", "lblElectrodeCooling", cooling);
}

void CheckLink(const FrontPanel& panel, const LineModel& model) {
  const Form1& form = panel.form;
  const std::string& buffer = panel.ReceiveBuffer;
  Expect(buffer.size() <= kLongestLine, "receive buffer within 256 bytes", "ReceiveBuffer", buffer);
  Expect(buffer.size() == model.buffered, "receive buffer holds what the last reads left",
         "ReceiveBuffer", buffer);
  Expect(buffer.find(kCarriageReturn) == std::string::npos, "no carriage return left behind",
         "ReceiveBuffer", buffer);

  const std::int64_t counted =
      std::int64_t{panel.CrcErrorCount} + std::int64_t{panel.CorrectMessageCount};
  if (counted != model.messages)
    Fail("every carriage return counted once", "CrcErrorCount + CorrectMessageCount",
         std::to_string(counted) + " counted, " + std::to_string(model.messages) + " delivered");
  if (std::int64_t{form.Timer4.starts} != model.messages)
    Fail("the lamp lit once per message", "Timer4", std::to_string(form.Timer4.starts));
  if (model.messages > 0) {
    Expect(form.shpRecv.fillColor == colours::Green && form.Timer4.enabled, "receive lamp lit");
  } else {
    Expect(Unwritten(form.shpRecv, &Form1::shpRecv) && !form.Timer4.enabled, "receive lamp dark");
  }

  Expect(panel.CorrectMessageCount == 0
             ? Unwritten(form.lblStatus2, &Form1::lblStatus2)
             : IsCountCaption(form.lblStatus2.caption, panel.CorrectMessageCount,
                              " correct message(s) received from pic"),
         "correct messages caption", "lblStatus2", form.lblStatus2.caption);
  Expect(panel.CrcErrorCount == 0 ? Unwritten(form.lblCrcErrors, &Form1::lblCrcErrors)
                                  : IsCountCaption(form.lblCrcErrors.caption, panel.CrcErrorCount,
                                                   " received message(s) with crc error"),
         "checksum errors caption", "lblCrcErrors", form.lblCrcErrors.caption);

  Expect(form.lstWarnings.ListCount() <= kListLength, "at most ten warnings");
  for (const std::string& warning : form.lstWarnings.items)
    Expect(OneOf(warning, kWarnings), "warning entry", "lstWarnings", warning);
  Expect(form.lstMessages.ListCount() <= kListLength, "at most ten other messages");
  for (const std::string& message : form.lstMessages.items) {
    Expect(message.size() < kLongestLine, "other message fits the buffer", "lstMessages", message);
    Expect(message.find(kCarriageReturn) == std::string::npos, "other message is one message",
           "lstMessages", message);
    Expect(!CrcError(message), "other message passed the checksum", "lstMessages", message);
  }

  const std::string& uptime = form.txtUptime.text;
  Expect(uptime == Pristine().txtUptime.text || IsUptime(uptime), "uptime", "txtUptime", uptime);

  const WatchdogFlags& flags = panel.watchdog;
  for (const std::int16_t flag :
       {flags.GaugesUpdated, flags.ValvesUpdated, flags.PumpsUpdated, flags.FlowsUpdated})
    if (flag != 0 && flag != 1) Fail("watchdog flag 0 or 1", "watchdog", std::to_string(flag));
}

template <typename Widget, typename Members>
bool Among(const Form1& form, const Widget* widget, const Members& members) {
  return std::any_of(members.begin(), members.end(),
                     [&](auto member) { return &(form.*member) == widget; });
}

bool IsPlantLabel(const Form1& form, const Label* label) {
  for (const SwitchedDevice& v : kValves)
    if (&(form.*v.state) == label) return true;
  for (const SwitchedDevice& p : kPumps)
    if (&(form.*p.state) == label) return true;
  for (const GaugeDevice& g : kGauges)
    if (&(form.*g.value) == label || &(form.*g.state) == label) return true;
  for (const FlowDevice& f : kFlows)
    if (&(form.*f.value) == label) return true;
  return Among(form, label, kOtherWrittenLabels);
}

bool IsPlantShape(const Form1& form, const Shape* shape) {
  for (const SwitchedDevice& v : kValves)
    if (&(form.*v.shape) == shape) return true;
  for (const SwitchedDevice& p : kPumps)
    if (&(form.*p.shape) == shape) return true;
  for (const GaugeDevice& g : kGauges)
    if (&(form.*g.shape) == shape) return true;
  for (const FlowDevice& f : kFlows)
    if (&(form.*f.shape) == shape) return true;
  return Among(form, shape, kOtherWrittenShapes);
}

// One panel for the whole run, put back into its initial state before each
// input: building the window anew costs far more than most inputs. Only what
// the answers may write is put back; that everything else is still as
// created is itself checked after every input.
class Rig {
 public:
  Rig() {
    const WidgetRefs now = AllWidgets(panel_.form);
    const WidgetRefs before = AllWidgets(Pristine());
    for (std::size_t i = 0; i < now.labels.size(); ++i)
      if (!IsPlantLabel(panel_.form, now.labels[i]))
        labels_.push_back({now.labels[i], before.labels[i]});
    for (std::size_t i = 0; i < now.shapes.size(); ++i)
      if (!IsPlantShape(panel_.form, now.shapes[i]))
        shapes_.push_back({now.shapes[i], before.shapes[i]});
    for (std::size_t i = 0; i < now.textBoxes.size(); ++i)
      if (now.textBoxes[i] != &panel_.form.txtUptime)
        textBoxes_.push_back({now.textBoxes[i], before.textBoxes[i]});
    for (std::size_t i = 0; i < now.comboBoxes.size(); ++i)
      comboBoxes_.push_back({now.comboBoxes[i], before.comboBoxes[i]});
    for (std::size_t i = 0; i < now.timers.size(); ++i)
      if (now.timers[i] != &panel_.form.Timer4)
        timers_.push_back({now.timers[i], before.timers[i]});
  }

  FrontPanel& panel() { return panel_; }
  testing::FakeSerialPort& port() { return port_; }

  // The panel as it is created, as far as the receive path can change it.
  void Reset() {
    Form1& form = panel_.form;
    const Form1& pristine = Pristine();
    for (const SwitchedDevice& v : kValves) Restore(form, pristine, v.shape, v.state);
    for (const SwitchedDevice& p : kPumps) Restore(form, pristine, p.shape, p.state);
    for (const GaugeDevice& g : kGauges) {
      Restore(form, pristine, g.shape, g.value);
      form.*g.state = pristine.*g.state;
    }
    for (const FlowDevice& f : kFlows) Restore(form, pristine, f.shape, f.value);
    for (Label Form1::*label : kOtherWrittenLabels) form.*label = pristine.*label;
    for (Shape Form1::*shape : kOtherWrittenShapes) form.*shape = pristine.*shape;
    form.txtUptime = pristine.txtUptime;
    form.lstWarnings = pristine.lstWarnings;
    form.lstMessages = pristine.lstMessages;
    form.Timer4 = pristine.Timer4;
    panel_.ReceiveBuffer.clear();
    panel_.CrcErrorCount = 0;
    panel_.CorrectMessageCount = 0;
    panel_.PollStep = 0;
    panel_.watchdog = WatchdogFlags{};
    port_.waiting.clear();
  }

  // Everything the answers do not write is as the window was created, and the
  // receive path sent nothing.
  void CheckRestOfWindow() const {
    for (const auto& [now, before] : labels_)
      Expect(now->caption == before->caption, "label left alone", now->name, now->caption);
    for (const auto& [now, before] : shapes_)
      Expect(now->fillColor == before->fillColor, "shape left alone", now->name);
    for (const auto& [now, before] : textBoxes_)
      Expect(now->text == before->text && now->backColor == before->backColor,
             "text box left alone", now->name, now->text);
    for (const auto& [now, before] : comboBoxes_)
      Expect(now->listIndex == before->listIndex && now->enabled == before->enabled,
             "drop-down list left alone", now->name);
    for (const auto& [now, before] : timers_)
      Expect(now->enabled == before->enabled && now->starts == before->starts, "timer left alone",
             now->name);
    Expect(port_.writes.empty() && port_.openCalls == 0 && !port_.PortOpen(), "nothing sent",
           "MSComm2", port_.written);
    Expect(panel_.PollStep == 0, "poll step left alone", "PollStep");
  }

 private:
  static void Restore(Form1& form, const Form1& pristine, Shape Form1::*shape,
                      Label Form1::*label) {
    form.*shape = pristine.*shape;
    form.*label = pristine.*label;
  }

  template <typename Widget>
  using Pairs = std::vector<std::pair<const Widget*, const Widget*>>;

  testing::FakeSerialPort port_;
  FrontPanel panel_{port_};
  Pairs<Label> labels_;
  Pairs<Shape> shapes_;
  Pairs<TextBox> textBoxes_;
  Pairs<ComboBox> comboBoxes_;
  Pairs<Timer> timers_;
};

}  // namespace
}  // namespace halvorn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvorn;
  using namespace halvorn::fuzz;
  FuzzInput input = ParseFuzzInput(data, size);
  if (input.fixChecksums) FixChecksums(input.stream);

  static Rig rig;
  rig.Reset();
  FrontPanel& panel = rig.panel();
  LineModel model;
  std::string_view rest = input.stream;
  const auto deliver = [&](std::string_view read) {
    const std::int64_t messagesBefore = model.messages;
    rig.port().Deliver(std::string(read));
    model.Take(read);
    CheckLink(panel, model);
    // Indicators change only by a message; a read that ends none leaves them.
    if (model.messages != messagesBefore) CheckPlant(panel.form);
  };
  for (const std::size_t readSize : input.reads) {
    const std::string_view read = rest.substr(0, std::min(readSize, rest.size()));
    rest.remove_prefix(read.size());
    deliver(read);
  }
  if (!rest.empty()) deliver(rest);
  rig.CheckRestOfWindow();
  return 0;
}

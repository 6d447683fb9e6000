#include "link/Receiver.h"

#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "link/Connection.h"
#include "link/Frame.h"
#include "link/Protocol.h"
#include "plant/Electrode.h"
#include "plant/Flows.h"
#include "plant/Gauges.h"
#include "plant/Numbers.h"
#include "plant/Pumps.h"
#include "plant/Valves.h"

namespace halvorn {

namespace {

// The uptime answer carries its seconds in characters 6 to 15.
constexpr std::size_t kUptimeStart = 5;
constexpr std::size_t kUptimeDigits = 10;

// The counters stop at the top of their range: a count that wrapped to a
// negative number would be plainly wrong, one that stops is merely stale,
// and at the poll rate it takes years of uptime to get there.
void CountUp(std::int32_t& counter) {
  if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
}

// Drops the oldest (bottom) entry of a list that has grown past its length.
void TrimList(ListBox& list) {
  if (list.ListCount() > kMessageListLength) list.RemoveItem(list.ListCount() - 1);
}

// Opens an empty entry at the top of a list and returns it for writing. A
// full list hands over the storage of its oldest entry, which the trim after
// the message would drop anyway; the list ends up the same, and a steady
// stream of warnings or other messages needs no new memory.
std::string& NewTopEntry(ListBox& list) {
  std::string entry;
  if (list.ListCount() == kMessageListLength) {
    entry = std::move(list.items.back());
    list.items.pop_back();
    entry.clear();
  }
  list.AddItem(std::move(entry), 0);
  return list.items.front();
}

void AddWarning(FrontPanel& panel, std::int64_t answerType, std::string_view name) {
  std::string& entry = NewTopEntry(panel.form.lstWarnings);
  AppendSignedNumber(entry, answerType);
  entry += " (";
  entry += name;
  entry += ')';
  panel.feed.Warning(answerType, entry);
}

// Rewrites a counter's caption in the storage it already holds: the count
// the signed way, then its wording.
void ShowCount(Label& label, std::int32_t count, std::string_view wording) {
  label.caption.clear();
  AppendSignedNumber(label.caption, count);
  label.caption += wording;
}

// Characters 6 to 15 of the uptime answer, as many as there are. Ten digits
// need more than 32 bits; the 64-bit reading shows any of them as sent.
void ShowUptime(Form1& form, std::string_view message) {
  const std::string_view digits = message.size() > kUptimeStart
                                      ? message.substr(kUptimeStart, kUptimeDigits)
                                      : std::string_view{};
  const std::int64_t seconds = ReadLeadingNumber(digits);
  form.txtUptime.text.clear();
  AppendPlainNumber(form.txtUptime.text, seconds);
  form.txtUptime.text += 's';
  form.uptime = {Quality::Valid, static_cast<double>(seconds)};
}

}  // namespace

void MSComm2_OnComm(FrontPanel& panel, int commEvent) {
  if (commEvent == kCommEventLost) {
    PortLost(panel);
    return;
  }
  if (commEvent != kCommEventReceive) return;
  const std::string waiting = panel.MSComm2.Input();
  if (!waiting.empty()) panel.feed.Received(waiting);
  std::string_view rest = waiting;
  while (!rest.empty()) {
    const std::size_t end = rest.find(kCarriageReturn);
    const std::size_t length = end == std::string_view::npos ? rest.size() : end + 1;
    ReceiveText(panel, rest.substr(0, length));
    rest.remove_prefix(length);
  }
}

void ReceiveText(FrontPanel& panel, std::string_view chunk) {
  std::string& buffer = panel.ReceiveBuffer;
  if (buffer.size() + chunk.size() > kReceiveBufferLimit) {
    // A line this long is no answer; start afresh. The first message after
    // this is normally the tail of a broken one and fails its checksum.
    buffer.clear();
    return;
  }
  buffer.append(chunk);
  // Each message is read in place in the buffer, and the processed ones are
  // removed together at the end: nothing ProcessMessage reaches touches the
  // receive buffer.
  std::size_t start = 0;
  for (std::size_t end = buffer.find(kCarriageReturn); end != std::string::npos;
       end = buffer.find(kCarriageReturn, start)) {
    ProcessMessage(panel, std::string_view(buffer).substr(start, end - start));
    start = end + 1;
    panel.form.shpRecv.fillColor = colours::Green;
    panel.form.Timer4.Start();
  }
  buffer.erase(0, start);
}

void ProcessMessage(FrontPanel& panel, std::string_view message) {
  Form1& form = panel.form;
  if (CrcError(message)) {
    CountUp(panel.CrcErrorCount);
    ShowCount(form.lblCrcErrors, panel.CrcErrorCount, " received message(s) with crc error");
    panel.feed.Counted(panel.CorrectMessageCount, panel.CrcErrorCount);
    return;
  }

  // Read leniently: a type field that is not three digits ends at its first
  // other character, and any type nothing handles is listed whole.
  const std::int64_t answerType = ReadLeadingNumber(message.substr(0, 3));
  WatchdogFlags& flags = panel.watchdog;
  switch (answerType) {
    case answer::Gauges:
      DecodeGaugeMessage(form, message);
      panel.feed.TellChanges(form, DeviceKind::Gauge);
      flags.GaugesUpdated = 1;
      break;
    case answer::Valves:
      DecodeValveMessage(form, message);
      panel.feed.TellChanges(form, DeviceKind::Valve);
      flags.ValvesUpdated = 1;
      break;
    case answer::Pumps:
      DecodePumpMessage(form, message);
      panel.feed.TellChanges(form, DeviceKind::Pump);
      flags.PumpsUpdated = 1;
      break;
    case answer::Flows:
      DecodeFlowMessage(form, message);
      panel.feed.TellChanges(form, DeviceKind::Flow);
      flags.FlowsUpdated = 1;
      break;
    // The electrode answers have no group of their own for the watchdog; they
    // count as flow answers, so while they arrive the flow shapes stay lit.
    case answer::ElectrodePosition:
      DecodeElectrodePositionMessage(form, message);
      panel.feed.TellChanges(form, DeviceKind::Electrode);
      flags.FlowsUpdated = 1;
      break;
    case answer::ElectrodeCooling:
      DecodeElectrodeCoolingMessage(form, message);
      panel.feed.TellChanges(form, DeviceKind::Electrode);
      flags.FlowsUpdated = 1;
      break;
    case answer::Uptime:
      ShowUptime(form, message);
      panel.feed.TellUptime(form);
      break;
    case answer::PneumaticPressureWarning:
      AddWarning(panel, answerType, "OP_ERR_PNEUMATIC_PRESSURE");
      break;
    case answer::IcpconBusWarning:
      AddWarning(panel, answerType, "OP_ERR_ICPCON_BUS");
      break;
    case answer::PfeifferBusWarning:
      AddWarning(panel, answerType, "OP_ERR_PFEIFFER_BUS");
      break;
    default:
      NewTopEntry(form.lstMessages).assign(message);
      break;
  }

  TrimList(form.lstWarnings);
  TrimList(form.lstMessages);
  CountUp(panel.CorrectMessageCount);
  ShowCount(form.lblStatus2, panel.CorrectMessageCount, " correct message(s) received from pic");
  panel.feed.Counted(panel.CorrectMessageCount, panel.CrcErrorCount);
}

}  // namespace halvorn

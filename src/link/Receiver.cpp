#include "link/Receiver.h"

#include <cstdint>
#include <limits>
#include <string>

#include "link/Connection.h"
#include "link/Frame.h"
#include "plant/Electrode.h"
#include "plant/Flows.h"
#include "plant/Gauges.h"
#include "plant/Numbers.h"
#include "plant/Pumps.h"
#include "plant/Valves.h"

namespace halvorn {

namespace {

// Answer types the panel handles itself rather than by a plant decoder.
constexpr std::int64_t kUptimeAnswer = 10;
constexpr std::int64_t kPneumaticPressureWarning = 100;
constexpr std::int64_t kIcpconBusWarning = 105;
constexpr std::int64_t kPfeifferBusWarning = 106;

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

void AddWarning(Form1& form, std::int64_t answerType, const char* name) {
  form.lstWarnings.AddItem(SignedNumberText(answerType) + " (" + name + ")", 0);
}

// Characters 6 to 15 of the uptime answer, as many as there are. Ten digits
// need more than 32 bits; the 64-bit reading shows any of them as sent.
std::string UptimeText(std::string_view message) {
  const std::string_view digits = message.size() > kUptimeStart
                                      ? message.substr(kUptimeStart, kUptimeDigits)
                                      : std::string_view{};
  return std::to_string(ReadLeadingNumber(digits)) + "s";
}

}  // namespace

void MSComm2_OnComm(FrontPanel& panel, int commEvent) {
  if (commEvent == kCommEventLost) {
    PortLost(panel);
    return;
  }
  if (commEvent != kCommEventReceive) return;
  const std::string waiting = panel.MSComm2.Input();
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
  buffer.append(chunk);
  if (buffer.size() > kReceiveBufferLimit) {
    // A line this long is no answer; start afresh. The first message after
    // this is normally the tail of a broken one and fails its checksum.
    buffer.clear();
    return;
  }
  for (std::size_t end = buffer.find(kCarriageReturn); end != std::string::npos;
       end = buffer.find(kCarriageReturn)) {
    const std::string message = buffer.substr(0, end);
    buffer.erase(0, end + 1);
    ProcessMessage(panel, message);
    panel.form.shpRecv.fillColor = colours::Green;
    panel.form.Timer4.Start();
  }
}

void ProcessMessage(FrontPanel& panel, std::string_view message) {
  Form1& form = panel.form;
  if (CrcError(message)) {
    CountUp(panel.CrcErrorCount);
    form.lblCrcErrors.caption =
        SignedNumberText(panel.CrcErrorCount) + " received message(s) with crc error";
    return;
  }

  // Read leniently: a type field that is not three digits ends at its first
  // other character, and any type nothing handles is listed whole.
  const std::int64_t answerType = ReadLeadingNumber(message.substr(0, 3));
  WatchdogFlags& flags = panel.watchdog;
  switch (answerType) {
    case 60:
      DecodeGaugeMessage(form, message);
      flags.GaugesUpdated = 1;
      break;
    case 61:
      DecodeValveMessage(form, message);
      flags.ValvesUpdated = 1;
      break;
    case 62:
      DecodePumpMessage(form, message);
      flags.PumpsUpdated = 1;
      break;
    case 63:
      DecodeFlowMessage(form, message);
      flags.FlowsUpdated = 1;
      break;
    // The electrode answers have no group of their own for the watchdog; they
    // count as flow answers, so while they arrive the flow shapes stay lit.
    case 81:
      DecodeElectrodePositionMessage(form, message);
      flags.FlowsUpdated = 1;
      break;
    case 121:
      DecodeElectrodeCoolingMessage(form, message);
      flags.FlowsUpdated = 1;
      break;
    case kUptimeAnswer:
      form.txtUptime.text = UptimeText(message);
      break;
    case kPneumaticPressureWarning:
      AddWarning(form, answerType, "OP_ERR_PNEUMATIC_PRESSURE");
      break;
    case kIcpconBusWarning:
      AddWarning(form, answerType, "OP_ERR_ICPCON_BUS");
      break;
    case kPfeifferBusWarning:
      AddWarning(form, answerType, "OP_ERR_PFEIFFER_BUS");
      break;
    default:
      form.lstMessages.AddItem(std::string(message), 0);
      break;
  }

  TrimList(form.lstWarnings);
  TrimList(form.lstMessages);
  CountUp(panel.CorrectMessageCount);
  form.lblStatus2.caption =
      SignedNumberText(panel.CorrectMessageCount) + " correct message(s) received from pic";
}

}  // namespace halvorn

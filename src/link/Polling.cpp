#include "link/Polling.h"

#include <string>

#include "link/CommandText.h"
#include "link/Sender.h"

namespace halvorn {

std::string PollRequest(std::int16_t step) {
  if (step < 0 || step >= static_cast<int>(kPollOperations.size())) return {};
  return CommandText(kPollOperations[static_cast<std::size_t>(step)], "");
}

void Timer1_Timer(FrontPanel& panel) {
  if (panel.MSComm2.PortOpen()) {
    const std::string request = PollRequest(panel.PollStep);
    if (!request.empty()) SendMessage(panel, request, Outgoing::Poll);
  }
  // The cycle runs on while the link is closed, so a connect resumes it at
  // whatever step is due.
  ++panel.PollStep;
  if (panel.PollStep > 6 || panel.PollStep < 0) panel.PollStep = 0;
}

void Timer3_Timer(FrontPanel& panel) {
  panel.form.shpSend.fillColor = colours::SystemMenu;
  panel.form.Timer3.Stop();
}

void Timer4_Timer(FrontPanel& panel) {
  panel.form.shpRecv.fillColor = colours::SystemMenu;
  panel.form.Timer4.Stop();
}

}  // namespace halvorn

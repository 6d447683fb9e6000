// The polling cycle and the two activity lamps.
//
// The panel learns the plant's state only by asking: one request per Timer1
// tick, round seven requests, so each device group is asked about every
// 1.4 s. Nothing waits for the answers; the watchdog greys a group whose
// answers stop.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/FrontPanel.h"
#include "link/Protocol.h"

namespace halvorn {

// Operation codes of the poll requests, by PollStep.
inline constexpr std::array<int, 7> kPollOperations = {
    answer::Valves, answer::Pumps,  answer::Gauges, answer::Flows, answer::Uptime,
    answer::ElectrodePosition, answer::ElectrodeCooling};

// The command text of a poll step: the operation code in three digits and
// "_", e.g. "061_"; empty for a step outside 0 to 6.
std::string PollRequest(std::int16_t step);

// Every 200 ms: sends the request of PollStep while the port is open, then
// advances PollStep (0 to 6, round again) whether or not anything was sent.
// A closed port sends nothing and shows nothing.
void Timer1_Timer(FrontPanel& panel);

// 100 ms after the last send: puts shpSend back to rest and stops Timer3.
void Timer3_Timer(FrontPanel& panel);

// 100 ms after the last received message: puts shpRecv back to rest and
// stops Timer4.
void Timer4_Timer(FrontPanel& panel);

}  // namespace halvorn

// A serial port that records what the panel writes and hands it scripted
// input and open failures, for tests that need no device.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "panel/SerialPort.h"

namespace halvorn::testing {

class FakeSerialPort : public SerialPort {
 public:
  int Open() override {
    ++openCalls;
    if (open_) return open_error::PortInUse;
    if (!openFailures.empty()) {
      const int failure = openFailures.front();
      openFailures.pop_front();
      if (failure != open_error::None) return failure;
    }
    open_ = true;
    return open_error::None;
  }
  void Close() override { open_ = false; }
  bool PortOpen() const override { return open_; }

  int CommPort() const override { return commPort_; }
  void SetCommPort(int number) override { commPort_ = number; }

  std::string Settings() const override { return settings_; }
  void SetSettings(const std::string& settings) override {
    settings_ = settings;
    settingsHistory.push_back(settings);
  }

  bool Output(const std::string& bytes) override {
    if (failWrites) return false;
    writes.push_back(bytes);
    written += bytes;
    return true;
  }
  std::string Input() override { return std::exchange(waiting, {}); }
  std::optional<std::string> DeviceIdentity() const override { return identity; }

  // Bytes arrive from the controller: queue them and raise the receive event.
  void Deliver(const std::string& bytes) {
    waiting += bytes;
    RaiseOnComm(kCommEventReceive);
  }
  void RaiseEvent(int commEvent) { RaiseOnComm(commEvent); }

  // Failures returned by the next Open() calls, in order (0 opens).
  std::deque<int> openFailures;
  bool failWrites = false;
  int openCalls = 0;
  std::vector<std::string> writes;  // one entry per Output()
  std::string written;              // everything written, in order
  std::string waiting;              // received bytes not yet taken
  std::vector<std::string> settingsHistory;
  // What DeviceIdentity() tells: by default a device without one.
  std::optional<std::string> identity = std::string();

 private:
  bool open_ = false;
  int commPort_ = 1;
  std::string settings_ = "9600,n,8,1";
};

}  // namespace halvorn::testing

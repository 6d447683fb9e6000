// The serial port with the record listening in: forwards every operation
// to the real port unchanged and hands the record a copy of the bytes that
// crossed the line and of what became of opening and closing. Without a
// recorder it only forwards, so the panel holds it whether or not the run
// is recorded.
#pragma once

#include <string>

#include "panel/SerialPort.h"
#include "record/Recorder.h"

namespace halvorn::record {

class RecordingSerialPort : public SerialPort {
 public:
  // Takes over `port`'s receive event; set this port's instead.
  RecordingSerialPort(SerialPort& port, Recorder* recorder);
  RecordingSerialPort(const RecordingSerialPort&) = delete;
  RecordingSerialPort& operator=(const RecordingSerialPort&) = delete;
  ~RecordingSerialPort() override;

  int Open() override;
  void Close() override;
  bool PortOpen() const override { return m_port.PortOpen(); }
  int CommPort() const override { return m_port.CommPort(); }
  void SetCommPort(int number) override { m_port.SetCommPort(number); }
  std::string Settings() const override { return m_port.Settings(); }
  void SetSettings(const std::string& settings) override { m_port.SetSettings(settings); }
  bool Output(const std::string& bytes) override;
  std::string Input() override;
  std::optional<std::string> DeviceIdentity() const override { return m_port.DeviceIdentity(); }

 private:
  SerialPort& m_port;
  Recorder* m_recorder;
};

}  // namespace halvorn::record

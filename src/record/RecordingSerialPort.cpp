#include "record/RecordingSerialPort.h"

namespace halvorn::record {

RecordingSerialPort::RecordingSerialPort(SerialPort& port, Recorder* recorder)
    : m_port(port), m_recorder(recorder) {
  m_port.SetOnComm([this](int commEvent) {
    if (m_recorder && commEvent == kCommEventLost && m_port.PortOpen())
      m_recorder->LinkEvent(Recorder::Link::Lost, m_port.CommPort());
    RaiseOnComm(commEvent);
  });
}

RecordingSerialPort::~RecordingSerialPort() { m_port.SetOnComm({}); }

int RecordingSerialPort::Open() {
  const int result = m_port.Open();
  if (m_recorder) {
    if (result == open_error::None) {
      m_recorder->LinkEvent(Recorder::Link::Opened, m_port.CommPort());
    } else {
      m_recorder->LinkEvent(Recorder::Link::OpenFailed, result);
    }
  }
  return result;
}

void RecordingSerialPort::Close() {
  const bool wasOpen = m_port.PortOpen();
  m_port.Close();
  if (m_recorder && wasOpen) m_recorder->LinkEvent(Recorder::Link::Closed, m_port.CommPort());
}

bool RecordingSerialPort::Output(const std::string& bytes) {
  const bool written = m_port.Output(bytes);
  if (m_recorder && written) m_recorder->Sent(bytes);
  return written;
}

std::string RecordingSerialPort::Input() {
  std::string bytes = m_port.Input();
  if (m_recorder && !bytes.empty()) m_recorder->Received(bytes);
  return bytes;
}

}  // namespace halvorn::record

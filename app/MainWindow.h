// The panel's one window. It has the model view build a Qt widget for
// every widget of the model, turns Qt's events into calls of the core's door,
// and after each event lets the model view show what the model now says. It
// decides nothing of its own.
#pragma once

#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AlarmView.h"
#include "ModelView.h"
#include "TouchPress.h"
#include "door/Events.h"
#include "record/Recorder.h"
#include "serial/PortMap.h"
#include "serial/TermiosSerialPort.h"

namespace halvorn::shell {

class SessionRecord;
class PlantPublishing;

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // Runs the window's Load before returning, so the first time it is shown
  // it is already in its start state. With a `record` (which must outlive
  // the window) everything the run shows and does goes into it. With
  // `alarms` on, the banner sits below the picture and the window is
  // kBannerHeight taller. With `publishing` (which must outlive the window)
  // the plant is published from the start picture on, and the title says
  // whether it reaches its broker.
  explicit MainWindow(PortMap ports = {}, SessionRecord* record = nullptr, AlarmOptions alarms = {},
                      PlantPublishing* publishing = nullptr, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Whether a lost port is tried again every two seconds (off by default).
  void setReconnect(bool on) { m_panel.reconnect.enabled = on; }
  // Where the serial port reads sysfs ("/sys"); a test lays out its own.
  void setSysfsRoot(std::filesystem::path sys) { m_port.SetSysfsRoot(std::move(sys)); }

  const Form1& form() const { return m_panel.form; }
  const FrontPanel& panel() const { return m_panel; }
  // Null unless the alarms are on.
  AlarmView* alarms() const { return m_alarms.get(); }

  // The Qt widget showing a model widget, by the model's name ("lblV1",
  // "Label18(3)" for an element of a group).
  QWidget* view(const QString& name) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void connectEvents();
  // Runs one event entry of the operator's, then shows the model.
  void handle(const std::function<void()>& entry);
  // Runs a timer's entry; the model view shows what it changed.
  void handleTick(const Timer& timer);
  // After the core has taken a port event.
  void handlePortEvent(int commEvent);
  // After every event: the record notes what changed, and the title says
  // once if recording has stopped.
  void recordOutcome();
  void showRecordingInTitle(const std::optional<std::string>& failure);
  // The publisher reached or lost its broker, or refused a write from the
  // network: the title, the record and standard error hear of it.
  void publishingChanged(const QString& status);
  void publishingRefused(const QString& text);
  // After an event that may have found another device on a lost port, or
  // opened one: the title says so while one is refused, standard error once.
  void showRefusedDevice();
  // Pops up the menu the core found under the pointer, if any.
  void popUp(const std::optional<DevicePopup>& popup);
  // Window pixels as the twips the core's mouse entries take.
  float twipsX(qreal pixels) const;
  float twipsY(qreal pixels) const;

  TermiosSerialPort m_port;
  SessionRecord* m_record = nullptr;
  record::Recorder* m_recorder = nullptr;
  FrontPanel m_panel{m_port};
  bool m_recordingFailed = false;
  // "publishing to HOST", "not publishing: why"; empty when not publishing.
  std::string m_publishing;
  // What the title adds for a device the reconnect did not take.
  std::string m_refusedNote;
  std::string m_refusedTold;
  // The pipes, painted beneath every view.
  std::vector<Line*> m_lines = AllWidgets(m_panel.form).lines;
  ModelView m_view{*this};
  std::unique_ptr<AlarmView> m_alarms;
  // A finger held on the picture (the window or a caption) right-clicks.
  TouchPress m_touch{this, [this](QWidget* w) { return w == this || w->inherits("QLabel"); }};
};

}  // namespace halvorn::shell

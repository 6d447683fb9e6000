// The panel's one window. It builds a Qt widget for every widget of the
// model, turns Qt's events into calls of the core's event procedures, and
// after each event shows whatever the model now says. It decides nothing of
// its own.
//
// Stacking: pipes are painted on the window itself, shapes are child widgets
// above them, captions above the shapes, and the frames and controls above
// the picture, each frame holding its own shapes, captions and controls. A
// caption never leaves its layout box, except a readout that sizes itself,
// which grows to the right beneath the opaque frames and every control.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ModelView.h"
#include "TouchPress.h"
#include "door/Events.h"
#include "record/Recorder.h"
#include "serial/PortMap.h"
#include "serial/TermiosSerialPort.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace halvorn::shell {

class CaptionView;
class GroupFrame;
class SessionRecord;
class ShapeView;

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // Runs the window's Load before returning, so the first time it is shown
  // it is already in its start state. With a `record` (which must outlive
  // the window) everything the run shows and does goes into it.
  explicit MainWindow(PortMap ports = {}, SessionRecord* record = nullptr, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Whether a lost port is tried again every two seconds (off by default).
  void setReconnect(bool on) { m_panel.reconnect.enabled = on; }
  // Where the serial port reads sysfs ("/sys"); a test lays out its own.
  void setSysfsRoot(std::filesystem::path sys) { m_port.SetSysfsRoot(std::move(sys)); }

  const Form1& form() const { return m_panel.form; }
  const FrontPanel& panel() const { return m_panel; }

  // The Qt widget showing a model widget, by the model's name ("lblV1",
  // "Label18(3)" for an element of a group).
  QWidget* view(const QString& name) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  using LabelView = ModelView::LabelView;
  using TextBoxView = ModelView::TextBoxView;
  using ComboView = ModelView::ComboView;
  using TimerView = ModelView::TimerView;

  // Pops up the menu the core found under the pointer, if any.
  void popUp(const std::optional<DevicePopup>& popup);
  // Window pixels as the twips the core's mouse entries take.
  float twipsX(qreal pixels) const;
  float twipsY(qreal pixels) const;

  void buildPicture();
  void buildFrame(GroupFrame* frame, Container container);
  void buildControls(QWidget* parent, Container container);
  // The lamp a caption lies on and that may draw it, if any.
  ShapeView* lampUnder(const Label& label) const;
  void buildTimers();
  void connectEvents();
  void applyFocusOrder();

  // Runs one event procedure of the core, then shows the model.
  void handle(const std::function<void()>& procedure);
  // Runs a timer's procedure. What it changed is shown at once, unless
  // something bound to change the picture again within a few milliseconds
  // (a poll's answer, another timer) would otherwise cost a second paint:
  // see kAnswerWait and kTimerWait.
  void handleTick(const Timer& timer);
  // Shows the model in `wait`, or sooner if a show is due sooner already;
  // any show before then takes the held change with it.
  void holdShow(std::chrono::milliseconds wait);
  // How long until the soonest running timer fires, if within `within`.
  std::optional<std::chrono::milliseconds> timerDueWithin(std::chrono::milliseconds within) const;
  // After every event: the record notes what changed, and the title says
  // once if recording has stopped.
  void recordOutcome();
  void showRecordingInTitle(const std::optional<std::string>& failure);
  // After an event that may have found another device on a lost port, or
  // opened one: the title says so while one is refused, standard error once.
  void showRefusedDevice();
  // After the core has taken a port event: the widgets at most once per
  // kShowPeriod, so that a flood of answers costs at most two updates a
  // 60 Hz frame.
  void handlePortEvent(int commEvent);
  void showModel();
  void showSoon();

  QRect toPixels(const Rect& r) const;
  QWidget* containerWidget(Container container) const;

  TermiosSerialPort m_port;
  SessionRecord* m_record = nullptr;
  record::Recorder* m_recorder = nullptr;
  FrontPanel m_panel{m_port};
  bool m_recordingFailed = false;
  // What the title adds for a device the reconnect did not take.
  std::string m_refusedNote;
  std::string m_refusedTold;
  WidgetRefs m_widgets = AllWidgets(m_panel.form);

  GroupFrame* m_frame1 = nullptr;
  GroupFrame* m_frame2 = nullptr;
  // What the window builds, it hands to the model view, which shows the
  // model in it; these name the model view's lists.
  ModelView m_view{*this};
  std::vector<LabelView>& m_labels = m_view.labels();
  std::vector<ModelView::ShapeViewRef>& m_shapes = m_view.shapes();
  std::vector<TextBoxView>& m_textBoxes = m_view.textBoxes();
  std::vector<ModelView::ListView>& m_lists = m_view.lists();
  std::vector<ComboView>& m_combos = m_view.combos();
  std::vector<std::pair<CommandButton*, QPushButton*>> m_buttons;
  std::vector<TimerView>& m_timers = m_view.timers();

  // Only answers are held back, by the time since answers were last shown:
  // clicks and timers show the model at once, and the answer to a poll is
  // not held back because the poll tick was just shown.
  QTimer m_showTimer;
  QElapsedTimer m_sinceAnswersShown;
  // A poll went out and the window holds the send lamp for its answer: the
  // messages counted when it went out.
  std::optional<std::int64_t> m_awaitingAnswer;
  // A finger held on the picture (the window or a caption) right-clicks.
  TouchPress m_touch{this, [this](QWidget* w) { return w == this || w->inherits("QLabel"); }};
};

}  // namespace halvorn::shell

// The panel's one window. It builds a Qt widget for every widget of the
// model, turns Qt's events into calls of the core's event procedures, and
// after each event shows whatever the model now says. It decides nothing of
// its own.
//
// Stacking: pipes are painted on the window itself, shapes are child widgets
// above them, captions above the shapes, and the frames and controls above
// the picture, each frame holding its own shapes, captions and controls.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/FrontPanel.h"
#include "panel/MenuPopup.h"
#include "record/RecordingSerialPort.h"
#include "serial/PortMap.h"
#include "serial/TermiosSerialPort.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace halvorn::shell {

class SessionRecord;
class ShapeView;

class MainWindow : public QWidget, private MenuPopup {
  Q_OBJECT

 public:
  // Runs the window's Load before returning, so the first time it is shown
  // it is already in its start state. With a `record` (which must outlive
  // the window) everything the run shows and does goes into it.
  explicit MainWindow(PortMap ports = {}, SessionRecord* record = nullptr, QWidget* parent = nullptr);
  ~MainWindow() override;

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
  // Each view keeps the model's value it last showed, so that bringing the
  // window up to date compares bytes and touches only what changed.
  struct LabelView {
    Label* model;
    QLabel* view;
    std::string shown = {};
  };
  struct ShapeViewRef {
    Shape* model;
    ShapeView* view;
    std::optional<Colour> shown = {};
  };
  struct TextBoxView {
    TextBox* model;
    QLineEdit* view;
    std::string shownText = {};
    std::optional<Colour> shownBack = {};
  };
  struct ListView {
    ListBox* model;
    QListWidget* view;
    std::vector<std::string> shown = {};
  };
  struct ComboView {
    ComboBox* model;
    QComboBox* view;
  };
  struct TimerView {
    Timer* model;
    QTimer* timer;
    unsigned starts;
  };

  void PopupMenu(const Menu& menu, int flags) override;

  void buildPicture();
  void buildFrame(QGroupBox* frame, Container container);
  void buildControls(QWidget* parent, Container container);
  void buildTimers();
  void connectEvents();
  void applyFocusOrder();

  // Runs one event procedure of the core, then shows the model.
  void handle(const std::function<void()>& procedure);
  // The operator ran `procedure`: the one place where the record hears of
  // it, just before it runs.
  void recordAction(std::string_view procedure, std::optional<std::string_view> device,
                    std::string_view argument);
  // After every event: the record notes what changed, and the title says
  // once if recording has stopped.
  void recordOutcome();
  void showRecordingInTitle(const std::optional<std::string>& failure);
  // The port's events: the model at once, the widgets at most once per
  // kShowPeriod, so that a flood of answers costs at most two updates a
  // 60 Hz frame.
  void handlePortEvent(int commEvent);
  void showModel();
  void showSoon();
  void showTimers();
  void fitLabel(const LabelView& label);
  // Whether a caption can change into another without a new fit.
  bool sameWidth(const std::string& before, const std::string& after) const;

  QRect toPixels(const Rect& r) const;
  QWidget* containerWidget(Container container) const;

  TermiosSerialPort m_port;
  SessionRecord* m_record = nullptr;
  record::Recorder* m_recorder = nullptr;
  record::RecordingSerialPort m_recordedPort;
  FrontPanel m_panel{m_recordedPort};
  bool m_recordingFailed = false;
  WidgetRefs m_widgets = AllWidgets(m_panel.form);

  QGroupBox* m_frame1 = nullptr;
  QGroupBox* m_frame2 = nullptr;
  std::vector<LabelView> m_labels;
  std::vector<ShapeViewRef> m_shapes;
  std::vector<TextBoxView> m_textBoxes;
  std::vector<ListView> m_lists;
  std::vector<ComboView> m_combos;
  std::vector<std::pair<CommandButton*, QPushButton*>> m_buttons;
  std::vector<TimerView> m_timers;

  // Only answers are held back, by the time since answers were last shown:
  // clicks and timers show the model at once, and the answer to a poll is
  // not held back because the poll tick was just shown.
  QTimer m_showTimer;
  QElapsedTimer m_sinceAnswersShown;
  // Whether every digit is as wide as any other in the captions' fonts.
  bool m_tabularDigits = false;
};

}  // namespace halvorn::shell

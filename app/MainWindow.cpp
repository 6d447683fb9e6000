#include "MainWindow.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <cstdio>

#include "LineText.h"
#include "PlantPublishing.h"
#include "SessionRecord.h"
#include "Twips.h"

namespace halvorn::shell {

namespace {

// MS Sans Serif at 8.25 points, or the closest sans serif the machine has.
QFont PanelFont() {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
  font.setPointSizeF(8.25);
  return font;
}

std::int16_t ButtonCode(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return mouse_button::Left;
    case Qt::RightButton:
      return mouse_button::Right;
    case Qt::MiddleButton:
      return mouse_button::Middle;
    default:
      return 0;
  }
}

std::int16_t ShiftCode(Qt::KeyboardModifiers modifiers) {
  std::int16_t shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= 1;
  if (modifiers & Qt::ControlModifier) shift |= 2;
  if (modifiers & Qt::AltModifier) shift |= 4;
  return shift;
}

}  // namespace

MainWindow::MainWindow(PortMap ports, SessionRecord* record, AlarmOptions alarms, PlantPublishing* publishing,
                       QWidget* parent)
    : QWidget(parent),
      m_port(std::move(ports)),
      m_record(record),
      m_recorder(record ? record->recorder() : nullptr) {
  // The record hears everything the core tells.
  if (m_recorder) m_panel.feed.Listen(*m_recorder);
  // So does the publisher's board, from the start picture on.
  if (publishing) {
    m_panel.feed.Listen(publishing->listener());
    m_publishing = "not publishing: not yet connected";
    connect(publishing, &PlantPublishing::statusChanged, this, &MainWindow::publishingChanged);
    connect(publishing, &PlantPublishing::refused, this, &MainWindow::publishingRefused);
  }
  showRecordingInTitle(record ? record->Failure() : std::nullopt);
  setFont(PanelFont());
  const int width = TwipsToPixels(form().clientWidth, logicalDpiX());
  const int height = TwipsToPixels(form().clientHeight, logicalDpiY());
  setFixedSize(width, height + (alarms.on ? kBannerHeight : 0));
  // The reconnect beat is the panel's own timer, run by the window too.
  m_view.build(m_panel.form, {&m_panel.reconnect.timer});
  // The alarms hear the feed after the record, and draw below the picture.
  if (alarms.on) m_alarms = std::make_unique<AlarmView>(*this, m_panel, alarms, height, width);
  connectEvents();
  // The panel owns the port's callback; it tells the window of each event
  // once the core has taken it, so that what arrived is shown.
  m_panel.portEventHandled = [this](int commEvent) { handlePortEvent(commEvent); };

  handle([this] { Load(m_panel); });
  if (publishing) {
    const int port = m_panel.MSComm2.CommPort();
    publishing->Start("Com" + std::to_string(port) + " " + m_port.map().Device(port).value_or("(no device)") + " " +
                      m_panel.MSComm2.Settings());
  }
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::view(const QString& name) const {
  if (name == objectName()) return const_cast<MainWindow*>(this);
  return findChild<QWidget*>(name);
}

void MainWindow::connectEvents() {
  FrontPanel& p = m_panel;
  for (const ModelView::ButtonView& button : m_view.buttons()) {
    const CommandButton* model = button.model;
    connect(button.view, &QPushButton::clicked, this,
            [this, &p, model] { handle([&] { Click(p, *model); }); });
  }
  for (const ModelView::ComboView& combo : m_view.combos()) {
    ComboBox* model = combo.model;
    connect(combo.view, &QComboBox::activated, this,
            [this, &p, model](int index) { handle([&] { Choose(p, *model, index); }); });
  }
  for (const ModelView::TextBoxView& box : m_view.textBoxes()) {
    TextBox* model = box.model;
    connect(box.view, &QLineEdit::textEdited, this,
            [&p, model](const QString& text) { Edit(p, *model, ToLineBytes(text)); });
  }
  for (const ModelView::TimerView& timer : m_view.timers()) {
    const Timer* model = timer.model;
    connect(timer.timer, &QTimer::timeout, this, [this, model] { handleTick(*model); });
  }
}

void MainWindow::handle(const std::function<void()>& entry) {
  entry();
  recordOutcome();
  showRefusedDevice();
  m_view.operated();
  if (m_alarms) m_alarms->refresh();
}

void MainWindow::handleTick(const Timer& timer) {
  const std::uint64_t framesBefore = m_panel.FramesWritten;
  bool changed = Tick(m_panel, timer);
  // The other lamp, about to go out, goes out with this one.
  if (const Timer* lamp = m_view.lampDueWith(timer)) changed = Tick(m_panel, *lamp) || changed;
  recordOutcome();
  showRefusedDevice();
  m_view.ticked(m_panel.FramesWritten != framesBefore, changed, MessagesCounted(m_panel));
  if (m_alarms) m_alarms->refresh();
}

void MainWindow::handlePortEvent(int commEvent) {
  recordOutcome();
  m_view.portEvent(commEvent == kCommEventReceive, MessagesCounted(m_panel));
  if (m_alarms) m_alarms->refresh();
}

void MainWindow::recordOutcome() {
  if (!m_recorder || m_recordingFailed) return;
  if (std::optional<std::string> failure = m_record->Failure()) {
    m_recordingFailed = true;
    std::fprintf(stderr, "halvorn-panel: recording stopped: %s\n", failure->c_str());
    showRecordingInTitle(failure);
  }
}

void MainWindow::showRecordingInTitle(const std::optional<std::string>& failure) {
  std::string title = form().caption;
  if (m_record && failure) {
    title += " \u2014 not recording: " + *failure;
  } else if (m_record) {
    title += " \u2014 recording to " + m_record->path();
  }
  if (!m_publishing.empty()) title += " \u2014 " + m_publishing;
  if (!m_refusedNote.empty()) title += " \u2014 " + m_refusedNote;
  setWindowTitle(QString::fromStdString(title));
}

void MainWindow::publishingChanged(const QString& status) {
  m_publishing = status.toStdString();
  if (m_recorder) m_recorder->Publishing(m_publishing);
  showRecordingInTitle(m_record ? m_record->Failure() : std::nullopt);
}

void MainWindow::publishingRefused(const QString& text) {
  const std::string line = text.toStdString();
  std::fprintf(stderr, "halvorn-panel: %s\n", line.c_str());
  if (m_recorder) m_recorder->Publishing(line);
}

void MainWindow::showRefusedDevice() {
  // Once the port is open again, a device refused after a later loss is
  // told again.
  if (m_panel.MSComm2.PortOpen()) m_refusedTold.clear();
  std::string note = RefusedDeviceNote(m_panel);
  if (note == m_refusedNote) return;
  m_refusedNote = std::move(note);
  const std::string& refused = m_panel.reconnect.refused;
  if (!refused.empty() && refused != m_refusedTold) {
    m_refusedTold = refused;
    std::fprintf(stderr, "halvorn-panel: %s\n", RefusedDeviceLine(m_panel).c_str());
  }
  showRecordingInTitle(m_recordingFailed ? m_record->Failure() : std::nullopt);
}

void MainWindow::paintEvent(QPaintEvent*) {
  // The pipes, beneath every shape and caption.
  QPainter painter(this);
  painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
  for (const Line* line : m_lines) {
    painter.drawLine(TwipsToPixels(line->x1, logicalDpiX()), TwipsToPixels(line->y1, logicalDpiY()),
                     TwipsToPixels(line->x2, logicalDpiX()), TwipsToPixels(line->y2, logicalDpiY()));
  }
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  event->accept();
  const QPointF at = event->position();
  popUp(MouseDown(m_panel, ButtonCode(event->button()), ShiftCode(event->modifiers()),
                  twipsX(at.x()), twipsY(at.y())));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    if (const Label* label = m_view.labelOf(watched)) {
      // A press on a caption stops there, whatever the core makes of it.
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QPointF at = mouse->position();
      popUp(MouseDown(m_panel, *label, ButtonCode(mouse->button()), ShiftCode(mouse->modifiers()),
                      twipsX(at.x()), twipsY(at.y())));
      return true;
    }
    if (m_view.isFrame(watched)) return true;
  }
  if (event->type() == QEvent::FocusIn) {
    if (const TextBox* box = m_view.textBoxOf(watched)) handle([&] { GotFocus(m_panel, *box); });
  }
  return QWidget::eventFilter(watched, event);
}

float MainWindow::twipsX(qreal pixels) const {
  return static_cast<float>(pixels * kTwipsPerInch / logicalDpiX());
}
float MainWindow::twipsY(qreal pixels) const {
  return static_cast<float>(pixels * kTwipsPerInch / logicalDpiY());
}

void MainWindow::popUp(const std::optional<DevicePopup>& popup) {
  if (!popup) return;
  // The device's two items at the pointer (or the finger); the menu's own
  // caption is not part of the pop-up. Choosing an item is its Click, an
  // event of its own; dismissing the menu does nothing.
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->setObjectName(QString::fromStdString(popup->menu->name));
  for (const MenuItem* item : popup->items) {
    QAction* action = menu->addAction(QString::fromStdString(item->caption));
    connect(action, &QAction::triggered, this,
            [this, item] { handle([&] { Click(m_panel, *item); }); });
  }
  menu->popup(m_touch.heldAt().value_or(QCursor::pos()));
}

}  // namespace halvorn::shell

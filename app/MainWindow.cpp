#include "MainWindow.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "CaptionView.h"
#include "Colours.h"
#include "GroupFrame.h"
#include "LineText.h"
#include "SessionRecord.h"
#include "ShapeView.h"
#include "Twips.h"
#include "WrappingButton.h"
#include "door/Events.h"

namespace halvorn::shell {

namespace {

QString ObjectName(const std::string& name, int element) {
  const QString base = QString::fromStdString(name);
  return element == kNoElement ? base : base + QStringLiteral("(%1)").arg(element);
}

// MS Sans Serif at 8.25 points, or the closest sans serif the machine has.
QFont PanelFont() {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
  font.setPointSizeF(8.25);
  return font;
}

// The widgets follow the answers at most this often: twice a 60 Hz frame,
// so that what arrives is on the screen within a frame. An update due
// within kShowSlack is done at once: waking the thread again for less
// would cost more than it saves.
constexpr std::chrono::milliseconds kShowPeriod{8};
constexpr std::chrono::milliseconds kShowSlack{1};

// A poll lights the send lamp and its answer, a millisecond or two later at
// the panel's speeds, lights the receive lamp and moves the counter: shown
// apart, that is two paints each poll. The send lamp waits up to this long
// for the answer, a quarter of a 60 Hz frame: no eye sees the difference.
constexpr std::chrono::milliseconds kAnswerWait{4};
// The two lamps go out 100 ms after they lit, as far apart as the answer
// was from its poll; a change waits for a timer due within this long, which
// wakes the window anyway.
constexpr std::chrono::milliseconds kTimerWait{4};

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

MainWindow::MainWindow(PortMap ports, SessionRecord* record, QWidget* parent)
    : QWidget(parent),
      m_port(std::move(ports)),
      m_record(record),
      m_recorder(record ? record->recorder() : nullptr) {
  // The record hears everything the core tells.
  if (m_recorder) m_panel.feed.Listen(*m_recorder);
  showRecordingInTitle(record ? record->Failure() : std::nullopt);
  setFont(PanelFont());
  setFixedSize(TwipsToPixels(form().clientWidth, logicalDpiX()),
               TwipsToPixels(form().clientHeight, logicalDpiY()));

  m_view.useFont(font());

  buildPicture();
  buildTimers();
  connectEvents();
  applyFocusOrder();

  m_showTimer.setSingleShot(true);
  m_showTimer.setTimerType(Qt::PreciseTimer);
  connect(&m_showTimer, &QTimer::timeout, this, [this] {
    m_sinceAnswersShown.start();
    showModel();
  });
  // The panel owns the port's callback; it tells the window of each event
  // once the core has taken it, so that what arrived is shown.
  m_panel.portEventHandled = [this](int commEvent) { handlePortEvent(commEvent); };

  handle([this] { Load(m_panel); });
}

MainWindow::~MainWindow() = default;

QRect MainWindow::toPixels(const Rect& r) const { return m_view.toPixels(r); }

QWidget* MainWindow::containerWidget(Container container) const {
  switch (container) {
    case Container::Frame1:
      return m_frame1;
    case Container::Frame2:
      return m_frame2;
    case Container::Form1:
      break;
  }
  return const_cast<MainWindow*>(this);
}

QWidget* MainWindow::view(const QString& name) const {
  if (name == objectName()) return const_cast<MainWindow*>(this);
  return findChild<QWidget*>(name);
}

void MainWindow::buildPicture() {
  // Created in stacking order: later siblings lie above earlier ones.
  buildFrame(nullptr, Container::Form1);

  for (Frame* frame : m_widgets.frames) {
    auto* box = new GroupFrame(QString::fromStdString(frame->caption), this);
    box->setObjectName(QString::fromStdString(frame->name));
    box->setGeometry(toPixels(frame->rect));
    // A click on a frame belongs to the frame, not to the picture behind it.
    box->installEventFilter(this);
    (frame == &m_panel.form.Frame1 ? m_frame1 : m_frame2) = box;
  }
  buildFrame(m_frame1, Container::Frame1);
  buildFrame(m_frame2, Container::Frame2);
  buildControls(m_frame1, Container::Frame1);
  buildControls(m_frame2, Container::Frame2);
  // Controls of the window itself, such as the cooling button drawn above
  // the electrode frame, come last so that they lie above the frames.
  buildControls(this, Container::Form1);
}

// The shapes and captions of one container, shapes first.
void MainWindow::buildFrame(GroupFrame* frame, Container container) {
  QWidget* parent = frame ? static_cast<QWidget*>(frame) : this;
  for (Shape* shape : m_widgets.shapes) {
    if (shape->container != container) continue;
    auto* view = new ShapeView(shape->kind, parent);
    view->setObjectName(ObjectName(shape->name, shape->element));
    view->setGeometry(toPixels(shape->rect));
    m_shapes.push_back({shape, view});
  }
  for (Label* label : m_widgets.labels) {
    if (label->container != container) continue;
    auto* view = new CaptionView(toPixels(label->rect), label->autoSize, parent);
    view->setObjectName(ObjectName(label->name, label->element));
    // Readings carry the controller's bytes: never let them be taken for
    // markup (rich text would draw them differently, even load images).
    view->setTextFormat(Qt::PlainText);
    view->setAlignment((label->align == Align::Centre ? Qt::AlignHCenter : Qt::AlignLeft) |
                       Qt::AlignTop);
    view->setAutoFillBackground(!label->transparent);
    if (label->bold) {
      QFont bold = view->font();
      bold.setWeight(QFont::Bold);
      view->setFont(bold);
    }
    view->installEventFilter(this);
    const bool paced =
        std::any_of(kPacedCaptions.begin(), kPacedCaptions.end(),
                    [&](Label Form1::*row) { return &(m_panel.form.*row) == label; });
    m_labels.push_back({label, view, {}, paced});
    if (ShapeView* lamp = lampUnder(*label)) {
      m_labels.back().drawnOn = lamp;
      view->hide();
    }
  }
}

ShapeView* MainWindow::lampUnder(const Label& label) const {
  for (const LampCaption& row : kLampCaptions) {
    if (&(m_panel.form.*row.caption) != &label) continue;
    for (const ModelView::ShapeViewRef& shape : m_shapes)
      if (shape.model == &(m_panel.form.*row.lamp)) return shape.view;
  }
  return nullptr;
}

void MainWindow::buildControls(QWidget* parent, Container container) {
  for (CommandButton* button : m_widgets.buttons) {
    if (button->container != container) continue;
    auto* view = new WrappingButton(QString::fromStdString(button->caption), parent);
    view->setObjectName(QString::fromStdString(button->name));
    view->setGeometry(toPixels(button->rect));
    m_buttons.emplace_back(button, view);
  }
  for (TextBox* box : m_widgets.textBoxes) {
    if (box->container != container) continue;
    auto* view = new QLineEdit(parent);
    view->setObjectName(QString::fromStdString(box->name));
    view->setGeometry(toPixels(box->rect));
    view->installEventFilter(this);
    m_textBoxes.push_back({box, view});
  }
  for (ListBox* list : m_widgets.listBoxes) {
    if (list->container != container) continue;
    auto* view = new QListWidget(parent);
    view->setObjectName(QString::fromStdString(list->name));
    view->setGeometry(toPixels(list->rect));
    m_lists.push_back({list, view});
  }
  for (ComboBox* combo : m_widgets.comboBoxes) {
    if (combo->container != container) continue;
    auto* view = new QComboBox(parent);  // not editable: the operator can only choose
    view->setObjectName(QString::fromStdString(combo->name));
    view->setGeometry(toPixels(combo->rect));
    for (const std::string& item : combo->items) view->addItem(QString::fromStdString(item));
    view->setCurrentIndex(-1);
    m_combos.push_back({combo, view});
  }
}

void MainWindow::buildTimers() {
  std::vector<Timer*> timers = m_widgets.timers;
  timers.push_back(&m_panel.reconnect.timer);
  for (Timer* timer : timers) {
    auto* qtimer = new QTimer(this);
    qtimer->setObjectName(QString::fromStdString(timer->name));
    qtimer->setTimerType(Qt::PreciseTimer);
    m_timers.push_back({timer, qtimer, timer->starts - 1});  // differs: first sync starts it
  }
}

void MainWindow::connectEvents() {
  FrontPanel& p = m_panel;
  for (auto& [model, view] : m_buttons) {
    const CommandButton* button = model;
    connect(view, &QPushButton::clicked, this,
            [this, &p, button] { handle([&] { Click(p, *button); }); });
  }
  for (const ComboView& combo : m_combos) {
    ComboBox* model = combo.model;
    connect(combo.view, &QComboBox::activated, this,
            [this, &p, model](int index) { handle([&] { Choose(p, *model, index); }); });
  }
  for (const TextBoxView& box : m_textBoxes) {
    TextBox* model = box.model;
    connect(box.view, &QLineEdit::textEdited, this,
            [&p, model](const QString& text) { Edit(p, *model, ToLineBytes(text)); });
  }
  for (const TimerView& timer : m_timers) {
    const Timer* model = timer.model;
    connect(timer.timer, &QTimer::timeout, this,
            [this, model] { handleTick(*model); });
  }
}

void MainWindow::applyFocusOrder() {
  QWidget* previous = nullptr;
  for (const std::string_view name : FocusOrder()) {
    QWidget* next = view(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    if (!next) continue;
    next->setFocusPolicy(Qt::StrongFocus);
    if (previous) setTabOrder(previous, next);
    previous = next;
  }
  // A box the panel alone writes takes neither typing nor the focus.
  for (const TextBoxView& box : m_textBoxes) {
    if (!box.model->readOnly) continue;
    box.view->setReadOnly(true);
    box.view->setFocusPolicy(Qt::NoFocus);
  }
}

void MainWindow::handle(const std::function<void()>& procedure) {
  procedure();
  recordOutcome();
  showRefusedDevice();
  showModel();
}

void MainWindow::handleTick(const Timer& timer) {
  const std::uint64_t framesBefore = m_panel.FramesWritten;
  Tick(m_panel, timer);
  recordOutcome();
  showRefusedDevice();
  m_view.showTimers();
  if (m_panel.FramesWritten != framesBefore) {
    m_awaitingAnswer = MessagesCounted(m_panel);
    holdShow(kAnswerWait);
  } else if (const auto due = timerDueWithin(kTimerWait)) {
    // Shown by that timer's own tick; the hold is only a bound.
    holdShow(*due + std::chrono::milliseconds{1});
  } else {
    showModel();
  }
}

void MainWindow::holdShow(std::chrono::milliseconds wait) {
  if (m_showTimer.isActive() && m_showTimer.remainingTimeAsDuration() <= wait) return;
  m_showTimer.start(wait);
}

std::optional<std::chrono::milliseconds> MainWindow::timerDueWithin(
    std::chrono::milliseconds within) const {
  std::optional<std::chrono::milliseconds> soonest;
  for (const TimerView& timer : m_timers) {
    if (!timer.timer->isActive()) continue;
    const auto remaining = timer.timer->remainingTimeAsDuration();
    if (remaining <= within && (!soonest || remaining < *soonest)) soonest = remaining;
  }
  return soonest;
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
  if (!m_refusedNote.empty()) title += " \u2014 " + m_refusedNote;
  setWindowTitle(QString::fromStdString(title));
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

void MainWindow::handlePortEvent(int commEvent) {
  recordOutcome();
  // A timer the answer started or stopped keeps its own time.
  m_view.showTimers();
  // Only answers come in floods; a lost port is told at once.
  if (commEvent == kCommEventReceive && m_awaitingAnswer) {
    // The poll's answer, shown with the poll's send lamp as soon as the
    // core has taken it whole; a first part of it changes nothing yet.
    if (MessagesCounted(m_panel) == *m_awaitingAnswer) return;
    m_sinceAnswersShown.start();
    showModel();
  } else if (commEvent == kCommEventReceive) {
    showSoon();
  } else {
    showModel();
  }
}

void MainWindow::showSoon() {
  const bool shownBefore = m_sinceAnswersShown.isValid();
  const auto since = std::chrono::nanoseconds(shownBefore ? m_sinceAnswersShown.nsecsElapsed() : 0);
  if (!shownBefore || since >= kShowPeriod - kShowSlack) {
    m_sinceAnswersShown.start();
    showModel();
  } else {
    // A show already due sooner (a held tick's) stays as it is.
    holdShow(std::chrono::ceil<std::chrono::milliseconds>(kShowPeriod - since));
  }
}

void MainWindow::showModel() {
  m_showTimer.stop();
  m_awaitingAnswer.reset();
  m_view.showModel();
}

void MainWindow::paintEvent(QPaintEvent*) {
  // The pipes, beneath every shape and caption.
  QPainter painter(this);
  painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
  for (const Line* line : m_widgets.lines) {
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
    const auto label = std::find_if(m_labels.begin(), m_labels.end(),
                                    [&](const LabelView& l) { return l.view == watched; });
    if (label != m_labels.end()) {
      // A press on a caption stops there, whatever the core makes of it.
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QPointF at = mouse->position();
      popUp(MouseDown(m_panel, *label->model, ButtonCode(mouse->button()),
                      ShiftCode(mouse->modifiers()), twipsX(at.x()), twipsY(at.y())));
      return true;
    }
    if (watched == m_frame1 || watched == m_frame2) return true;
  }
  if (event->type() == QEvent::FocusIn) {
    const auto box = std::find_if(m_textBoxes.begin(), m_textBoxes.end(),
                                  [&](const TextBoxView& b) { return b.view == watched; });
    if (box != m_textBoxes.end()) {
      const TextBox& model = *box->model;
      handle([&] { GotFocus(m_panel, model); });
    }
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

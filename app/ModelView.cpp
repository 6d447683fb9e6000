#include "ModelView.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>

#include <algorithm>

#include "CaptionView.h"
#include "Colours.h"
#include "GroupFrame.h"
#include "LineText.h"
#include "ShapeView.h"
#include "Twips.h"
#include "WrappingButton.h"

namespace halvorn::shell {

namespace {

QString ObjectName(const std::string& name, int element) {
  const QString base = QString::fromStdString(name);
  return element == kNoElement ? base : base + QStringLiteral("(%1)").arg(element);
}

// Whether every decimal digit has the same advance in `font`: then a reading
// whose digits change keeps its width.
bool TabularDigits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int zero = metrics.horizontalAdvance(QLatin1Char('0'));
  for (char digit = '1'; digit <= '9'; ++digit) {
    if (metrics.horizontalAdvance(QLatin1Char(digit)) != zero) return false;
  }
  return true;
}

template <typename View>
auto FindView(const std::vector<View>& views, const QObject* view) {
  return std::find_if(views.begin(), views.end(), [&](const View& v) { return v.view == view; });
}

}  // namespace

ModelView::ModelView(QWidget& window) : m_window(window) {
  m_wake.setSingleShot(true);
  m_wake.setTimerType(Qt::PreciseTimer);
  QObject::connect(&m_wake, &QTimer::timeout, &m_window, [this] {
    m_wakeFor.reset();
    if (m_schedule.Woke(std::chrono::steady_clock::now()) == ShowScheduler::Show::Now) showModel();
    armWake();
  });
}

void ModelView::build(Form1& form, const std::vector<Timer*>& moreTimers) {
  m_form = &form;
  QFont bold = m_window.font();
  bold.setWeight(QFont::Bold);
  m_tabularDigits = TabularDigits(m_window.font()) && TabularDigits(bold);

  // Created in stacking order: later siblings lie above earlier ones.
  const WidgetRefs widgets = AllWidgets(form);
  buildPicture(form, widgets, &m_window, Container::Form1);
  for (Frame* frame : widgets.frames) {
    auto* box = new GroupFrame(QString::fromStdString(frame->caption), &m_window);
    box->setObjectName(QString::fromStdString(frame->name));
    box->setGeometry(toPixels(frame->rect));
    // A click on a frame belongs to the frame, not to the picture behind it.
    box->installEventFilter(&m_window);
    m_frames.push_back({box, frame == &form.Frame1 ? Container::Frame1 : Container::Frame2});
  }
  for (const auto& [box, container] : m_frames) buildPicture(form, widgets, box, container);
  for (const auto& [box, container] : m_frames) buildControls(widgets, box, container);
  // Controls of the window itself, such as the cooling button drawn above
  // the electrode frame, come last so that they lie above the frames.
  buildControls(widgets, &m_window, Container::Form1);

  std::vector<Timer*> timers = widgets.timers;
  timers.insert(timers.end(), moreTimers.begin(), moreTimers.end());
  for (Timer* timer : timers) {
    auto* qtimer = new QTimer(&m_window);
    qtimer->setObjectName(QString::fromStdString(timer->name));
    qtimer->setTimerType(Qt::PreciseTimer);
    m_timers.push_back({timer, qtimer, timer->starts - 1});  // differs: first sync starts it
  }
  applyFocusOrder();
}

// The shapes and captions of one container, shapes first.
void ModelView::buildPicture(const Form1& form, const WidgetRefs& widgets, QWidget* parent,
                             Container container) {
  for (Shape* shape : widgets.shapes) {
    if (shape->container != container) continue;
    auto* view = new ShapeView(shape->kind, parent);
    view->setObjectName(ObjectName(shape->name, shape->element));
    view->setGeometry(toPixels(shape->rect));
    m_shapes.push_back({shape, view});
  }
  for (Label* label : widgets.labels) {
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
    view->installEventFilter(&m_window);
    LabelView& shown = m_labels.emplace_back(LabelView{label, view});
    for (Label Form1::*paced : kPacedCaptions)
      if (&(form.*paced) == label) shown.paced.emplace();
    for (const LampCaption& row : kLampCaptions) {
      if (&(form.*row.caption) != label) continue;
      for (const ShapeViewRef& shape : m_shapes)
        if (shape.model == &(form.*row.lamp)) shown.drawnOn = shape.view;
    }
    if (shown.drawnOn) view->hide();
  }
}

void ModelView::buildControls(const WidgetRefs& widgets, QWidget* parent, Container container) {
  for (CommandButton* button : widgets.buttons) {
    if (button->container != container) continue;
    auto* view = new WrappingButton(QString::fromStdString(button->caption), parent);
    view->setObjectName(QString::fromStdString(button->name));
    view->setGeometry(toPixels(button->rect));
    m_buttons.push_back({button, view});
  }
  for (TextBox* box : widgets.textBoxes) {
    if (box->container != container) continue;
    auto* view = new QLineEdit(parent);
    view->setObjectName(QString::fromStdString(box->name));
    view->setGeometry(toPixels(box->rect));
    view->installEventFilter(&m_window);
    m_textBoxes.push_back({box, view});
  }
  for (ListBox* list : widgets.listBoxes) {
    if (list->container != container) continue;
    auto* view = new QListWidget(parent);
    view->setObjectName(QString::fromStdString(list->name));
    view->setGeometry(toPixels(list->rect));
    m_lists.push_back({list, view});
  }
  for (ComboBox* combo : widgets.comboBoxes) {
    if (combo->container != container) continue;
    auto* view = new QComboBox(parent);  // not editable: the operator can only choose
    view->setObjectName(QString::fromStdString(combo->name));
    view->setGeometry(toPixels(combo->rect));
    for (const std::string& item : combo->items) view->addItem(QString::fromStdString(item));
    view->setCurrentIndex(-1);
    m_combos.push_back({combo, view});
  }
}

void ModelView::applyFocusOrder() {
  QWidget* previous = nullptr;
  for (const std::string_view name : FocusOrder()) {
    const QString objectName = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    QWidget* next = m_window.findChild<QWidget*>(objectName);
    if (!next) continue;
    next->setFocusPolicy(Qt::StrongFocus);
    if (previous) QWidget::setTabOrder(previous, next);
    previous = next;
  }
  // A box the panel alone writes takes neither typing nor the focus.
  for (const TextBoxView& box : m_textBoxes) {
    if (!box.model->readOnly) continue;
    box.view->setReadOnly(true);
    box.view->setFocusPolicy(Qt::NoFocus);
  }
}

QRect ModelView::toPixels(const Rect& r) const {
  const int dpiX = m_window.logicalDpiX();
  const int dpiY = m_window.logicalDpiY();
  return {TwipsToPixels(r.left, dpiX), TwipsToPixels(r.top, dpiY), TwipsToPixels(r.width, dpiX),
          TwipsToPixels(r.height, dpiY)};
}

const Label* ModelView::labelOf(const QObject* view) const {
  const auto label = FindView(m_labels, view);
  return label == m_labels.end() ? nullptr : label->model;
}

const TextBox* ModelView::textBoxOf(const QObject* view) const {
  const auto box = FindView(m_textBoxes, view);
  return box == m_textBoxes.end() ? nullptr : box->model;
}

bool ModelView::isFrame(const QObject* view) const {
  return std::any_of(m_frames.begin(), m_frames.end(),
                     [&](const auto& frame) { return frame.first == view; });
}

const Timer* ModelView::lampDueWith(const Timer& ticked) const {
  const auto isLamp = [&](const Timer* timer) {
    return std::any_of(kLampTimers.begin(), kLampTimers.end(),
                       [&](Timer Form1::*lamp) { return &(m_form->*lamp) == timer; });
  };
  if (!isLamp(&ticked)) return nullptr;
  for (const TimerView& other : m_timers) {
    if (other.model == &ticked || !isLamp(other.model) || !other.timer->isActive()) continue;
    if (other.timer->remainingTimeAsDuration() <= ShowScheduler::kTimerWait) return other.model;
  }
  return nullptr;
}

void ModelView::operated() {
  if (m_schedule.Operated() == ShowScheduler::Show::Now) showModel();
  armWake();
}

void ModelView::ticked(bool framesWent, bool changed, std::int64_t messages) {
  showTimers();
  const auto now = std::chrono::steady_clock::now();
  if (m_schedule.Ticked(now, framesWent, changed, messages, nextTimer()) ==
      ShowScheduler::Show::Now)
    showModel();
  armWake();
}

void ModelView::portEvent(bool received, std::int64_t messages) {
  // A timer the answer started or stopped keeps its own time.
  showTimers();
  const auto now = std::chrono::steady_clock::now();
  if (m_schedule.PortEvent(now, received, messages) == ShowScheduler::Show::Now) showModel();
  armWake();
}

void ModelView::armWake() {
  const std::optional<ShowScheduler::Time> at = m_schedule.WakeAt();
  if (at == m_wakeFor) return;  // asked for already
  m_wakeFor = at;
  if (!at) {
    m_wake.stop();
    return;
  }
  const auto wait =
      std::chrono::ceil<std::chrono::milliseconds>(*at - std::chrono::steady_clock::now());
  m_wake.start(std::max(wait, std::chrono::milliseconds{0}));
}

std::optional<ShowScheduler::Duration> ModelView::nextTimer() const {
  std::optional<ShowScheduler::Duration> soonest;
  for (const TimerView& timer : m_timers) {
    if (!timer.timer->isActive()) continue;
    const auto remaining = timer.timer->remainingTimeAsDuration();
    if (!soonest || remaining < *soonest) soonest = remaining;
  }
  return soonest;
}

void ModelView::showModel() {
  // Resolved only when a colour changed: most updates change none.
  std::optional<QPalette> menuPalette;
  const auto toColour = [&](Colour colour) {
    if (!menuPalette) menuPalette = QApplication::palette("QMenu");
    return ToQColor(colour, m_window.palette(), *menuPalette);
  };
  for (LabelView& label : m_labels) {
    if (label.model->caption == label.shown) continue;
    if (label.paced &&
        !m_schedule.MayShow(*label.paced, label.model->caption, std::chrono::steady_clock::now()))
      continue;
    const QString text = FromLineBytes(label.model->caption);
    if (label.view->text() != text) {
      label.view->setText(text);
      if (!sameWidth(label.shown, label.model->caption)) label.view->fit();
    }
    if (label.drawnOn) {
      const QRect box = label.view->geometry().translated(-label.drawnOn->pos());
      label.drawnOn->setCaption(text, box, label.view->font(), label.view->alignment());
    }
    label.shown = label.model->caption;
  }
  for (ShapeViewRef& shape : m_shapes) {
    if (shape.shown == shape.model->fillColor) continue;
    shape.view->setFill(toColour(shape.model->fillColor));
    shape.shown = shape.model->fillColor;
  }
  for (TextBoxView& box : m_textBoxes) {
    if (box.model->text != box.shownText) {
      // What the operator typed is already there: setting it again would
      // move the cursor.
      const QString text = FromLineBytes(box.model->text);
      if (box.view->text() != text) box.view->setText(text);
      box.shownText = box.model->text;
    }
    if (box.shownBack != box.model->backColor) {
      QPalette boxPalette = box.view->palette();
      boxPalette.setColor(QPalette::Base, toColour(box.model->backColor));
      box.view->setPalette(boxPalette);
      box.shownBack = box.model->backColor;
    }
  }
  for (ListView& list : m_lists) {
    if (list.model->items == list.shown) continue;
    list.view->clear();
    for (const std::string& item : list.model->items) list.view->addItem(FromLineBytes(item));
    list.shown = list.model->items;
  }
  for (const ComboView& combo : m_combos) {
    if (combo.view->currentIndex() != combo.model->listIndex) {
      const QSignalBlocker quiet(combo.view);
      combo.view->setCurrentIndex(combo.model->listIndex);
    }
    combo.view->setEnabled(combo.model->enabled);
  }
  showTimers();
}

void ModelView::showTimers() {
  for (TimerView& timer : m_timers) {
    if (!timer.model->enabled) {
      timer.timer->stop();
    } else if (!timer.timer->isActive() || timer.starts != timer.model->starts) {
      // A Start() on a running timer begins its interval again.
      timer.timer->start(timer.model->interval);
    }
    timer.starts = timer.model->starts;
  }
}

bool ModelView::sameWidth(const std::string& before, const std::string& after) const {
  if (!m_tabularDigits || before.size() != after.size()) return false;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i] != after[i] && !(digit(before[i]) && digit(after[i]))) return false;
  }
  return true;
}

}  // namespace halvorn::shell

#include "ModelView.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>

#include "CaptionView.h"
#include "Colours.h"
#include "LineText.h"
#include "ShapeView.h"
#include "Twips.h"

namespace halvorn::shell {

namespace {

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

}  // namespace

ModelView::ModelView(QWidget& window) : m_window(window) {
  m_pacedTimer.setSingleShot(true);
  m_pacedTimer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&m_pacedTimer, &QTimer::timeout, &m_window, [this] { showModel(); });
}

bool ModelView::paceAllows(LabelView& label) {
  if (!label.paced) return true;
  const auto now = std::chrono::steady_clock::now();
  if (label.model->caption != label.seen) {
    label.inBurst = now - label.changedAt < kPacedBurst;
    label.changedAt = now;
    label.seen = label.model->caption;
  }
  // Timers may fire a little early: a millisecond is as good as due.
  const auto due = label.shownAt + kPacedPeriod - std::chrono::milliseconds{1};
  if (!label.inBurst || now >= due) {
    label.shownAt = now;
    return true;
  }
  // One timer for all paced captions: whichever is due first brings them
  // all up to date, each within its period.
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now);
  if (!m_pacedTimer.isActive() || m_pacedTimer.remainingTimeAsDuration() > wait) m_pacedTimer.start(wait);
  return false;
}

void ModelView::useFont(const QFont& font) {
  QFont bold = font;
  bold.setWeight(QFont::Bold);
  m_tabularDigits = TabularDigits(font) && TabularDigits(bold);
}

QRect ModelView::toPixels(const Rect& r) const {
  const int dpiX = m_window.logicalDpiX();
  const int dpiY = m_window.logicalDpiY();
  return {TwipsToPixels(r.left, dpiX), TwipsToPixels(r.top, dpiY), TwipsToPixels(r.width, dpiX),
          TwipsToPixels(r.height, dpiY)};
}

QPalette ModelView::palette() const { return m_window.palette(); }

void ModelView::showModel() {
  // Resolved only when a colour changed: most updates change none.
  std::optional<QPalette> menuPalette;
  const auto toColour = [&](Colour colour) {
    if (!menuPalette) menuPalette = QApplication::palette("QMenu");
    return ToQColor(colour, palette(), *menuPalette);
  };
  for (LabelView& label : m_labels) {
    if (label.model->caption == label.shown || !paceAllows(label)) continue;
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

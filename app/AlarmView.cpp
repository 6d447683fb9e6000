#include "AlarmView.h"

#include <pwd.h>
#include <unistd.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTime>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "AlarmSummary.h"

namespace halvorn::shell {

namespace {

QColor ColourOf(alarms::Priority priority) { return QColor::fromRgb(alarms::PriorityColour(priority)); }

std::string LoginName() {
  if (const passwd* user = ::getpwuid(::geteuid()); user && user->pw_name) return user->pw_name;
  const char* name = std::getenv("LOGNAME");
  return name ? name : std::to_string(::geteuid());
}

}  // namespace

// A frame just outside a device's shape: a ring three pixels wide two
// pixels off the shape, opaque, so that its flash repaints only itself. It
// flashes between its priority's colour and the pipes' black.
class FrameRing : public QWidget {
 public:
  FrameRing(QWidget& window, std::string_view device, QRect shape)
      : QWidget(&window), m_device(device) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    const QRect outer = shape.adjusted(-kOff, -kOff, kOff, kOff);
    setGeometry(outer);
    const QRect inside(kWidth, kWidth, outer.width() - 2 * kWidth, outer.height() - 2 * kWidth);
    setMask(QRegion(rect()).subtracted(QRegion(inside)));
    hide();
  }
  std::string_view device() const { return m_device; }
  void show(alarms::Priority priority, bool flashing, bool lit) {
    const QColor colour =
        flashing && !lit ? parentWidget()->palette().color(QPalette::WindowText) : ColourOf(priority);
    if (isVisible() && colour == m_colour) return;
    m_colour = colour;
    update();
    QWidget::show();
    raise();
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), m_colour); }

 private:
  static constexpr int kWidth = 3;
  static constexpr int kOff = 5;  // the ring's outer edge from the shape
  std::string_view m_device;
  QColor m_colour;
};

AlarmView::AlarmView(QWidget& window, FrontPanel& panel, const AlarmOptions& options, int top, int width)
    : m_window(window),
      m_watch(m_board, [this] { return now(); }, options.settings.limits),
      m_user(LoginName()),
      m_soundCommand(options.sound) {
  m_clock.start();
  alarms::ApplyTo(options.settings, m_board);
  panel.feed.Listen(m_watch);
  m_watch.TellOn(panel.feed);

  m_banner = new QWidget(&window);
  m_banner->setObjectName(QStringLiteral("alarmBanner"));
  m_banner->setGeometry(0, top, width, kBannerHeight);
  m_banner->setAutoFillBackground(true);
  constexpr int kButtons = 124;
  constexpr int kRow = 18;
  m_counts = new QLabel(m_banner);
  m_counts->setObjectName(QStringLiteral("alarmCounts"));
  m_counts->setGeometry(4, 2, (width - kButtons) / 2, kRow);
  m_flood = new QLabel(m_banner);
  m_flood->setObjectName(QStringLiteral("alarmFlood"));
  m_flood->setGeometry(4 + (width - kButtons) / 2, 2, (width - kButtons) / 2 - 8, kRow);
  m_flood->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont bold = m_flood->font();
  bold.setBold(true);
  m_flood->setFont(bold);
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    m_lines[i] = new QLabel(m_banner);
    m_lines[i]->setObjectName(QStringLiteral("alarmLine%1").arg(i + 1));
    m_lines[i]->setGeometry(4, 2 + kRow * static_cast<int>(i + 1), width - kButtons - 8, kRow);
    m_lines[i]->setAutoFillBackground(true);
    m_lines[i]->setTextFormat(Qt::PlainText);
  }
  const auto button = [this, width](const char* caption, const char* name, int row) {
    auto* b = new QPushButton(QString::fromUtf8(caption), m_banner);
    b->setObjectName(QString::fromUtf8(name));
    b->setGeometry(width - kButtons, 2 + 25 * row, kButtons - 4, 23);
    return b;
  };
  connect(button("Acknowledge (F8)", "alarmAcknowledge", 0), &QPushButton::clicked, this,
          &AlarmView::acknowledgeFirst);
  connect(button("Summary (F9)", "alarmSummaryButton", 1), &QPushButton::clicked, this, &AlarmView::showSummary);
  m_silence = button("Silence", "alarmSilence", 2);
  connect(m_silence, &QPushButton::clicked, this, &AlarmView::silence);
  connect(new QShortcut(QKeySequence(Qt::Key_F8), &window), &QShortcut::activated, this,
          &AlarmView::acknowledgeFirst);
  connect(new QShortcut(QKeySequence(Qt::Key_F9), &window), &QShortcut::activated, this, &AlarmView::showSummary);

  for (const Device& device : kDevices) {
    if (!device.shape || !m_board.Find(device.name)) continue;
    const Shape& shape = panel.form.*device.shape;
    const QString name = QString::fromStdString(shape.name) +
                         (shape.element == kNoElement ? QString() : QStringLiteral("(%1)").arg(shape.element));
    const QWidget* view = window.findChild<QWidget*>(name);
    if (!view) continue;
    m_frames.push_back(new FrameRing(window, device.name, QRect(view->mapTo(&window, QPoint(0, 0)), view->size())));
  }

  m_beat.setSingleShot(true);
  connect(&m_beat, &QTimer::timeout, this, &AlarmView::beat);
  connect(&m_hornCommand, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart)
      std::fprintf(stderr, "halvorn-panel: the alarm sound '%s' cannot be run: %s\n", m_soundCommand.c_str(),
                   m_hornCommand.errorString().toLocal8Bit().constData());
  });
  redraw();
}

AlarmView::~AlarmView() {
  if (m_hornCommand.state() != QProcess::NotRunning) {
    m_hornCommand.kill();
    m_hornCommand.waitForFinished(1000);
  }
}

void AlarmView::refresh() {
  if (m_board.revision() != m_shownRevision) redraw();
}

void AlarmView::redraw() {
  m_shownRevision = m_board.revision();
  const alarms::Milliseconds at = now();
  m_shown = alarms::BannerOf(m_board, at);
  m_counts->setText(QString::fromStdString(m_shown.counts));
  m_flood->setText(QString::fromStdString(m_shown.flood));
  const QTime clock = QTime::currentTime();
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    if (i >= m_shown.lines.size()) {
      m_lines[i]->clear();
      continue;
    }
    const alarms::BannerLine& line = m_shown.lines[i];
    m_lines[i]->setText(clock.addMSecs(static_cast<int>(line.raisedAt - at)).toString(QStringLiteral("HH:mm:ss")) +
                        QStringLiteral("  ") + QString::fromStdString(line.text));
  }
  m_lit = alarms::FlashLit(at);
  showFlash(m_lit);
  if (m_summary) m_summary->refresh();
  sound();
  // Nothing to flash and nothing shelved: no wake-up at all.
  if (m_shown.flashing || m_shown.shelved > 0) {
    m_beat.start(static_cast<int>(m_shown.flashing ? alarms::UntilFlashTurns(at) : 1'000));
  } else {
    m_beat.stop();
  }
}

void AlarmView::showFlash(bool lit) {
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    QPalette palette = m_banner->palette();
    if (i < m_shown.lines.size() && (lit || !m_shown.lines[i].unacknowledged)) {
      palette.setColor(QPalette::Window, ColourOf(m_shown.lines[i].priority));
      palette.setColor(QPalette::WindowText, Qt::black);
    }
    if (m_lines[i]->palette() != palette) m_lines[i]->setPalette(palette);
  }
  const std::vector<alarms::Frame> frames = alarms::FramesOf(m_board);
  for (FrameRing* ring : m_frames) {
    const auto frame =
        std::find_if(frames.begin(), frames.end(), [ring](const alarms::Frame& f) { return f.device == ring->device(); });
    if (frame == frames.end()) {
      ring->hide();
    } else {
      ring->show(frame->priority, frame->flashing, lit);
    }
  }
}

void AlarmView::beat() {
  const std::uint64_t before = m_board.revision();
  m_watch.Tick();
  if (m_board.revision() != before) return redraw();
  const alarms::Milliseconds at = now();
  m_lit = alarms::FlashLit(at);
  showFlash(m_lit);
  sound();
  m_beat.start(static_cast<int>(m_shown.flashing ? alarms::UntilFlashTurns(at) : 1'000));
}

void AlarmView::sound() {
  m_sounding = m_horn.Sounding(m_board, now());
  m_silence->setEnabled(m_sounding);
  if (!m_sounding) {
    if (m_hornCommand.state() != QProcess::NotRunning) m_hornCommand.kill();
    return;
  }
  if (m_soundCommand.empty()) {
    // The bell once a second, on the lit half of the flash.
    if (m_lit) QApplication::beep();
    return;
  }
  if (m_hornCommand.state() != QProcess::NotRunning) return;
  QStringList words = QProcess::splitCommand(QString::fromStdString(m_soundCommand));
  if (words.isEmpty()) return;
  const QString program = words.takeFirst();
  m_hornCommand.start(program, words);
}

void AlarmView::acknowledgeFirst() {
  m_watch.AcknowledgeFirst(m_user);
  refresh();
}

void AlarmView::silence() {
  m_horn.Silence(now());
  sound();
}

void AlarmView::showSummary() {
  if (!m_summary) m_summary = std::make_unique<AlarmSummary>(*this, &m_window);
  m_summary->refresh();
  m_summary->show();
  m_summary->raise();
  m_summary->activateWindow();
}

}  // namespace halvorn::shell

#include "HistoryWindow.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>

#include "AlarmReport.h"
#include "CsvExport.h"
#include "ExportFile.h"
#include "Saturating.h"

namespace halvorn::history {

const QColor kGaugeColours[kGaugeCount] = {QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e), QColor(0x2c, 0xa0, 0x2c),
                                           QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b), QColor(0xe3, 0x77, 0xc2),
                                           QColor(0x17, 0xbe, 0xcf), QColor(0xbc, 0xbd, 0x22)};

namespace {

QString Name(std::string_view name) { return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())); }

// A reading at the crosshair as the operator would read it.
QString Reading(const Sample* s, bool pressure, double fullScale) {
  if (!s) return "-";
  switch (s->quality) {
    case record::Quality::Valid:
      return pressure ? QString::number(s->value, 'E', 3)
                      : QString("%1% (%2 sccm)").arg(s->value, 0, 'f', 1).arg(s->value * fullScale / 100.0, 0, 'f', 1);
    case record::Quality::BelowRange:
      return std::isnan(s->value) ? "below range" : "<" + QString::number(s->value, 'E', 3);
    case record::Quality::OverRange: return "over range";
    case record::Quality::Fault: return "fault";
    case record::Quality::NoData:
    case record::Quality::NotANumber: break;
  }
  return "no data";
}

// The reading of channel `c` at `t` as read for the charts: a raw reading as
// it was, a summary's mean with its lowest and highest value.
QString ReadingOf(const RangeData& range, int c, Nanoseconds t, bool pressure, double fullScale) {
  const ChannelRange& channel = range.channels[static_cast<std::size_t>(c)];
  const Bucket* b = BucketAt(channel.buckets, t);
  if (!b) return "-";
  Sample s;
  s.t = b->t;
  s.quality = b->hasValue() ? record::Quality::Valid
              : b->fault    ? record::Quality::Fault
              : b->below    ? record::Quality::BelowRange
              : b->over     ? record::Quality::OverRange
                            : record::Quality::NoData;
  s.value = s.quality == record::Quality::BelowRange ? b->belowBound : b->mean == b->mean ? b->mean : b->last;
  QString text = Reading(&s, pressure, fullScale);
  if (channel.detail != Detail::Raw && b->hasValue()) {
    const auto number = [pressure](double v) {
      return pressure ? QString::number(v, 'E', 3) : QString::number(v, 'f', 1);
    };
    text += QString(" (mean of %1 %2..%3)")
                .arg(channel.detail == Detail::Minute ? "the minute," : "the hour,", number(b->min), number(b->max));
  }
  return text;
}

}  // namespace

HistoryWindow::HistoryWindow(RecordReader& reader, SessionData data, RecordReader::Rows rows, QWidget* parent)
    : QMainWindow(parent), m_reader(reader), m_rows(rows), m_loader(reader.path()) {
  setWindowTitle("Halvorn history");
  m_charts = new QWidget;
  auto* chartsLayout = new QVBoxLayout(m_charts);
  chartsLayout->setContentsMargins(0, 0, 0, 0);
  chartsLayout->setSpacing(0);
  m_pressure = new TrendChart(m_axis, true, "Pressure");
  m_pressure->setUnit("mBar");
  m_flows = new TrendChart(m_axis, false, "Flows (dashed: setpoints sent)");
  m_timeline = new TimelineView(m_axis);
  m_crosshair = new QLabel;
  // Captions come from the record: shown as they are, never as markup.
  m_crosshair->setTextFormat(Qt::PlainText);
  m_crosshair->setWordWrap(true);
  m_crosshair->setTextInteractionFlags(Qt::TextSelectableByMouse);
  chartsLayout->addWidget(m_pressure, 5);
  chartsLayout->addWidget(m_flows, 3);
  chartsLayout->addWidget(m_timeline, 0);
  chartsLayout->addWidget(m_crosshair, 0);

  m_log = new EventLogModel(m_axis, this);
  m_filter = new EventLogFilter(this);
  m_filter->setSourceModel(m_log);
  m_logView = new QTableView;
  m_logView->setModel(m_filter);
  m_logView->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_logView->setSelectionMode(QAbstractItemView::SingleSelection);
  m_logView->horizontalHeader()->setStretchLastSection(true);
  m_logView->verticalHeader()->hide();

  auto* logPanel = new QWidget;
  auto* logLayout = new QVBoxLayout(logPanel);
  auto* filters = new QHBoxLayout;
  m_kinds = new QComboBox;
  m_kinds->addItem("all kinds");
  for (const LogKind kind : kLogKinds) m_kinds->addItem(Name(KindName(kind)));
  m_devices = new QComboBox;
  m_search = new QLineEdit;
  m_search->setPlaceholderText("search text");
  m_search->setClearButtonEnabled(true);
  filters->addWidget(m_kinds);
  filters->addWidget(m_devices);
  filters->addWidget(m_search, 1);
  logLayout->addLayout(filters);
  logLayout->addWidget(m_logView);

  auto* split = new QSplitter(Qt::Horizontal);
  split->addWidget(m_charts);
  split->addWidget(logPanel);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  setCentralWidget(split);
  m_status = new QLabel;
  m_status->setTextFormat(Qt::PlainText);
  statusBar()->addWidget(m_status, 1);
  m_readError = new QLabel;
  m_readError->setTextFormat(Qt::PlainText);
  m_readError->setStyleSheet("color: #c00000");
  m_readError->hide();
  statusBar()->addPermanentWidget(m_readError);
  buildControls();

  std::vector<TrendChannel> gauges;
  for (int g = 0; g < kGaugeCount; ++g)
    gauges.push_back({QString("G%1").arg(g + 1), kGaugeColours[g], g, &m_data.gauges[static_cast<std::size_t>(g)]});
  m_pressure->setChannels(std::move(gauges));
  std::vector<TrendChannel> flows;
  for (int f = 0; f < kFlowCount; ++f)
    flows.push_back({QString("MFC%1").arg(f + 1), kGaugeColours[f], kGaugeCount + f,
                     &m_data.flows[static_cast<std::size_t>(f)], &m_data.setpoints[static_cast<std::size_t>(f)]});
  m_flows->setChannels(std::move(flows));
  showFlowsIn(false);
  m_timeline->setData(&m_data);

  connect(&m_axis, &TimeAxis::rangeChanged, this, &HistoryWindow::redrawAll);
  connect(&m_axis, &TimeAxis::cursorChanged, this, [this] { m_crosshair->setText(crosshairText()); });
  connect(m_pressure, &TrendChart::plotAreaChanged, this, &HistoryWindow::alignTimeline);
  // A wider plot has more columns to fill.
  connect(m_pressure, &TrendChart::plotAreaChanged, this, &HistoryWindow::requestRange);
  connect(&m_loader, &RangeLoader::loaded, this, &HistoryWindow::rangeLoaded);
  connect(&m_loader, &RangeLoader::failed, this, [this](const QString& why) {
    m_readError->setText(why);
    m_readError->show();
  });
  connect(m_kinds, &QComboBox::currentIndexChanged, this,
          [this](int i) { m_filter->setKind(i <= 0 ? std::nullopt : std::optional<LogKind>(kLogKinds[i - 1])); });
  connect(m_devices, &QComboBox::currentTextChanged, this,
          [this](const QString& text) { m_filter->setDevice(m_devices->currentIndex() <= 0 ? QString() : text); });
  connect(m_search, &QLineEdit::textChanged, m_filter, &EventLogFilter::setSearch);
  connect(m_logView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { logRowChosen(current); });
  connect(&m_follow, &QTimer::timeout, this, &HistoryWindow::followEnd);

  m_follow.start(500);
  try {
    updateSessionChoices();
  } catch (const std::exception& e) {
    readFailed(e);
  }
  m_sessions->setCurrentIndex(m_sessions->findData(QVariant::fromValue<qint64>(data.session.id)));
  showSession(std::move(data));
  connect(m_sessions, &QComboBox::currentIndexChanged, this,
          [this](int i) { showSession(static_cast<std::int64_t>(m_sessions->itemData(i).toLongLong())); });
  resize(1500, 950);
}

// The charts lay themselves out once more while they go; the timeline may
// be gone by then.
HistoryWindow::~HistoryWindow() { m_pressure->disconnect(this); }

void HistoryWindow::buildControls() {
  QToolBar* bar = addToolBar("View");
  bar->setMovable(false);
  m_sessions = new QComboBox;
  bar->addWidget(m_sessions);
  bar->addSeparator();
  const std::pair<const char*, QuickRange> ranges[] = {{"Last 10 min", QuickRange::TenMinutes},
                                                       {"Last hour", QuickRange::Hour},
                                                       {"Last day", QuickRange::Day},
                                                       {"Whole session", QuickRange::Session}};
  for (const auto& [label, range] : ranges) {
    const QuickRange r = range;
    bar->addAction(label, this, [this, r] { showQuickRange(r); });
  }
  bar->addSeparator();
  m_flowUnit = new QComboBox;
  m_flowUnit->addItems({"flows in %", "flows in sccm"});
  bar->addWidget(m_flowUnit);
  connect(m_flowUnit, &QComboBox::currentIndexChanged, this, [this](int i) { showFlowsIn(i == 1); });
  bar->addSeparator();
  bar->addAction("Alarm report…", this, &HistoryWindow::showAlarmReport);
  bar->addSeparator();
  bar->addAction("CSV…", this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, "Visible range to CSV", "history.csv", "CSV (*.csv)");
    QString error;
    if (!path.isEmpty() && !exportCsv(path, &error)) m_status->setText(error);
  });
  bar->addAction("PNG…", this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, "Charts to PNG", "history.png", "PNG (*.png)");
    QString error;
    if (!path.isEmpty() && !exportPng(path, &error)) m_status->setText(error);
  });
}

void HistoryWindow::showSession(std::int64_t id) {
  SessionData data;
  try {
    if (const auto chosen = ChooseSession(m_reader.sessions(), id)) data.session = *chosen;
    m_reader.loadMore(data, m_rows);
  } catch (const std::exception& e) {
    readFailed(e);
    // The session shown stays, and so does its place in the chooser.
    const QSignalBlocker quiet(m_sessions);
    m_sessions->setCurrentIndex(m_sessions->findData(QVariant::fromValue<qint64>(m_data.session.id)));
    return;
  }
  // Read as it should be: follow that one.
  m_readError->hide();
  m_readError->clear();
  if (!m_follow.isActive()) m_follow.start(500);
  showSession(std::move(data));
}

QString HistoryWindow::readError() const { return m_readError->text(); }

void HistoryWindow::readFailed(const std::exception& e) {
  const auto* database = dynamic_cast<const record::DatabaseError*>(&e);
  const bool moment = database && (database->code() == SQLITE_BUSY || database->code() == SQLITE_LOCKED);
  if (!moment) m_follow.stop();
  m_readError->setText(QString::fromUtf8(e.what()) + (moment ? "" : "  (not following the record any more)"));
  m_readError->show();
  redrawAll();
}

void HistoryWindow::showSession(SessionData data) {
  m_data = std::move(data);
  // What was read of another session is no part of this one.
  m_range.reset();
  m_pressure->setRangeData(nullptr);
  m_flows->setRangeData(nullptr);
  m_axis.setStartWallNs(m_data.session.startedWallNs);
  m_axis.setExtent(m_data.end());
  m_log->setEntries(LogEntries(m_data));
  updateLogChoices();
  m_timeline->setData(&m_data);
  m_axis.setRange(0, std::max<Nanoseconds>(m_data.end(), kNanosecondsPerSecond));
  redrawAll();
}

void HistoryWindow::updateSessionChoices() {
  const QSignalBlocker quiet(m_sessions);
  const auto all = m_reader.sessions();
  for (std::size_t i = 0; i < all.size(); ++i) {
    const Session& s = all[i];
    const QString started = QDateTime::fromMSecsSinceEpoch(s.startedWallNs / 1'000'000).toString("yyyy-MM-dd hh:mm:ss");
    const QString text = QString("Session %1, %2%3").arg(s.id).arg(started, s.ended ? "" : " (open)");
    if (static_cast<int>(i) < m_sessions->count()) {
      m_sessions->setItemText(static_cast<int>(i), text);
    } else {
      m_sessions->addItem(text, QVariant::fromValue<qint64>(s.id));
    }
  }
}

void HistoryWindow::followEnd() {
  try {
    readMore();
    if (!m_readError->isHidden() && m_follow.isActive()) {
      m_readError->hide();
      m_readError->clear();
    }
  } catch (const std::exception& e) {
    readFailed(e);
  }
}

void HistoryWindow::readMore() {
  // A panel started again on the same file adds a session to choose.
  if (m_reader.sessions().size() != static_cast<std::size_t>(m_sessions->count()) || !m_data.session.ended)
    updateSessionChoices();
  const Nanoseconds oldEnd = m_data.end();
  if (!m_reader.loadMore(m_data, m_rows)) return;
  const Nanoseconds end = m_data.end();
  m_axis.setExtent(end);
  m_log->setEntries(LogEntries(m_data));
  updateLogChoices();
  m_timeline->setData(&m_data);
  // The end was in view: keep it there, moving the range with it.
  if (m_axis.to() >= oldEnd && m_axis.from() <= oldEnd) {
    const Nanoseconds moved = SaturatingSub(end, oldEnd);
    m_axis.setRange(SaturatingAdd(m_axis.from(), moved), SaturatingAdd(m_axis.to(), moved));
  }
  redrawAll();
}

void HistoryWindow::showQuickRange(QuickRange range) {
  const Nanoseconds end = std::max<Nanoseconds>(m_data.end(), kNanosecondsPerSecond);
  const Nanoseconds minute = 60 * kNanosecondsPerSecond;
  switch (range) {
    case QuickRange::TenMinutes: m_axis.setRange(end - 10 * minute, end); break;
    case QuickRange::Hour: m_axis.setRange(end - 60 * minute, end); break;
    case QuickRange::Day: m_axis.setRange(end - 24 * 60 * minute, end); break;
    case QuickRange::Session: m_axis.setRange(0, end); break;
  }
}

void HistoryWindow::showFlowsIn(bool sccm) {
  for (int f = 0; f < kFlowCount; ++f)
    m_flows->setScale(f, sccm ? kFlowFullScaleSccm[static_cast<std::size_t>(f)] / 100.0 : 1.0);
  m_flows->setUnit(sccm ? "sccm" : "% of full scale");
  m_flows->redraw();
}

void HistoryWindow::redrawAll() {
  const Nanoseconds end = m_data.end();
  m_pressure->setEnd(end);
  m_flows->setEnd(end);
  m_pressure->redraw();
  m_flows->redraw();
  m_timeline->update();
  FitLogColumns(*m_logView, *m_log);
  if (m_report && m_report->isVisible()) m_reportText->setPlainText(alarmReportText());
  QString detail;
  if (m_range) {
    // The coarsest resolution drawn: what a pixel column of the charts stands for.
    Detail coarsest = Detail::Raw;
    for (const ChannelRange& channel : m_range->channels) coarsest = std::max(coarsest, channel.detail);
    detail = coarsest == Detail::Raw ? "  (every reading)"
                                     : QString("  (per %1)").arg(coarsest == Detail::Minute ? "minute" : "hour");
  }
  m_status->setText(QString("%1 to %2").arg(m_axis.clockText(m_axis.from()), m_axis.clockText(m_axis.to())) + detail +
                    (m_data.session.ended || !m_follow.isActive() ? "" : "  (following the record)"));
  requestRange();
}

void HistoryWindow::requestRange() {
  const RangeRequest wanted{m_data.session.id, m_axis.from(), m_axis.to(), m_pressure->columns()};
  const auto asked = m_loader.newest();
  const bool same = asked && asked->session == wanted.session && asked->from == wanted.from && asked->to == wanted.to &&
                    asked->columns == wanted.columns;
  // The same range again needs reading again only when the record grew
  // into what was read by a pixel column at least: following a live
  // record over a month does not summarise its last hour twice a second.
  const Nanoseconds column = (wanted.to - wanted.from) / std::max(wanted.columns, 1);
  const bool grewInto =
      m_range && m_range->to >= m_range->end && m_data.end() - m_range->end >= std::max<Nanoseconds>(column, 1);
  if (same && (!m_loader.answered() || !grewInto)) return;
  m_loader.request(wanted);
}

void HistoryWindow::rangeLoaded(std::shared_ptr<const RangeData> data) {
  if (data->request.session != m_data.session.id) return;  // read for the session shown before
  m_range = std::move(data);
  m_pressure->setRangeData(m_range);
  m_flows->setRangeData(m_range);
  m_crosshair->setText(crosshairText());
  redrawAll();
}

bool HistoryWindow::waitForRanges(int limit) {
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < limit) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const auto asked = m_loader.newest();
    if (!asked || !m_loader.answered()) continue;
    const bool current = asked->from == m_axis.from() && asked->to == m_axis.to() &&
                         asked->columns == m_pressure->columns() && asked->session == m_data.session.id;
    if (!current) {
      requestRange();
      continue;
    }
    if (m_range && m_range->request.from == asked->from && m_range->request.to == asked->to &&
        m_range->request.columns == asked->columns)
      return true;
    if (!m_readError->isHidden()) return false;
  }
  return false;
}

void HistoryWindow::alignTimeline() {
  const QRectF plot = m_pressure->plotArea();
  QWidget* view = m_pressure->viewport();
  const QPoint left = m_timeline->mapFromGlobal(view->mapToGlobal(m_pressure->mapFromScene(plot.topLeft())));
  const QPoint right = m_timeline->mapFromGlobal(view->mapToGlobal(m_pressure->mapFromScene(plot.topRight())));
  m_timeline->setPlotEdges(left.x(), right.x());
}

void HistoryWindow::updateLogChoices() {
  QStringList devices;
  for (int row = 0; row < m_log->rowCount(); ++row) {
    const QString device = Name(m_log->entry(row).device);
    if (!device.isEmpty() && !devices.contains(device)) devices.push_back(device);
  }
  devices.sort();
  devices.prepend("all devices");
  QStringList shown;
  for (int i = 0; i < m_devices->count(); ++i) shown.push_back(m_devices->itemText(i));
  if (shown == devices) return;
  const QString current = m_devices->currentText();
  m_devices->clear();
  m_devices->addItems(devices);
  m_devices->setCurrentIndex(std::max(0, static_cast<int>(devices.indexOf(current))));
}

void HistoryWindow::logRowChosen(const QModelIndex& index) {
  if (!index.isValid()) return;
  const Nanoseconds t = index.data(EventLogModel::kTimeRole).toLongLong();
  // Bring the moment into view if it is outside, at the same zoom.
  if (t < m_axis.from() || t > m_axis.to()) {
    const Nanoseconds width = m_axis.to() - m_axis.from();
    m_axis.setRange(SaturatingSub(t, width / 2), SaturatingAdd(t, width / 2));
  }
  m_axis.setCursor(t);
}

QString HistoryWindow::crosshairText() const {
  const Nanoseconds t = m_axis.cursor();
  if (t == TimeAxis::kNoCursor) return {};
  QStringList parts{m_axis.clockText(t)};
  const bool known = t >= 0 && t <= m_data.end();
  for (int c = 0; c < kChannelCount; ++c) {
    const bool pressure = c < kGaugeCount;
    const double fullScale = pressure ? 0 : kFlowFullScaleSccm[static_cast<std::size_t>(c - kGaugeCount)];
    const QString name = QString::fromStdString(ChannelName(c));
    if (!known) {
      parts << name + " -";
    } else if (m_range) {
      parts << name + " " + ReadingOf(*m_range, c, t, pressure, fullScale);
    } else {
      const auto& samples = pressure ? m_data.gauges[static_cast<std::size_t>(c)]
                                     : m_data.flows[static_cast<std::size_t>(c - kGaugeCount)];
      parts << name + " " + Reading(StateAt(samples, t), pressure, fullScale);
    }
  }
  for (std::size_t d = 0; d < kTimelineDevices.size(); ++d) {
    const DeviceState* s = StateAt(m_data.devices[d], t);
    if (!known || !s) continue;
    parts << Name(kTimelineDevices[d]) + " " +
                 (s->quality == record::Quality::NoData ? QString("no data") : Name(s->text));
  }
  return parts.join("  ");
}

QString HistoryWindow::alarmReportText() const {
  return QString::fromStdString(AlarmReportText(m_data, m_axis.from(), m_axis.to()));
}

void HistoryWindow::showAlarmReport() {
  if (!m_report) {
    m_report = new QDialog(this);
    m_report->setWindowTitle("Alarm report");
    auto* layout = new QVBoxLayout(m_report);
    m_reportText = new QPlainTextEdit;
    m_reportText->setReadOnly(true);
    m_reportText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_reportText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(m_reportText);
    auto* close = new QPushButton("Close");
    connect(close, &QPushButton::clicked, m_report, &QDialog::close);
    layout->addWidget(close, 0, Qt::AlignRight);
    m_report->resize(820, 620);
  }
  m_reportText->setPlainText(alarmReportText());
  m_report->show();
  m_report->raise();
}

bool HistoryWindow::exportTo(const QString& path, const std::function<void(std::ostream&)>& write, QString* error) {
  std::string why;
  if (const auto refused = RefusedOutput(path.toStdString(), m_reader.path())) {
    why = *refused + ": an export never writes over the record";
  } else if (WriteExport(path.toStdString(), write, why)) {
    return true;
  }
  if (error) *error = QString::fromStdString(why);
  return false;
}

bool HistoryWindow::exportCsv(const QString& path, QString* error) {
  // The window keeps no readings: those of the range are read for the CSV.
  const SessionData* data = &m_data;
  SessionData range;
  if (m_rows != RecordReader::Rows::All) {
    range.session = m_data.session;
    range.newestReading = m_data.newestReading;
    try {
      m_reader.loadReadings(range, m_axis.from(), m_axis.to());
    } catch (const std::exception& e) {
      if (error) *error = QString::fromUtf8(e.what());
      return false;
    }
    data = &range;
  }
  return exportTo(
      path, [&](std::ostream& out) { WriteCsv(out, *data, m_axis.from(), m_axis.to()); }, error);
}

void ShowOpenFailure(const QString& message) {
  QMessageBox box(QMessageBox::Critical, "Halvorn history", message, QMessageBox::Close);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool HistoryWindow::exportPng(const QString& path, QString* error) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!m_charts->grab().save(&buffer, "PNG")) {
    if (error) *error = "cannot draw the charts for " + path;
    return false;
  }
  return exportTo(
      path, [&png](std::ostream& out) { out.write(png.constData(), png.size()); }, error);
}

}  // namespace halvorn::history

// The history viewer's window: the pressure trend, the flows, the device
// timeline and the event log on one time axis, with quick ranges, a session
// chooser, a crosshair, exports, and following the end of a record that a
// panel is still writing.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <ostream>

#include "EventLog.h"
#include "RangeLoader.h"
#include "RecordReader.h"
#include "TimeAxis.h"
#include "TimelineView.h"
#include "TrendChart.h"

class QComboBox;
class QDialog;
class QPlainTextEdit;
class QLabel;
class QLineEdit;
class QTableView;
class QCheckBox;

namespace halvorn::history {

// Eight colours that stay apart on white, none of them the fault red or
// the no-data grey.
extern const QColor kGaugeColours[kGaugeCount];

class HistoryWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `reader` outlives the window; `data` is a session already read from it
  // with `rows` (its rows are not read twice). The charts read the range
  // they show on a thread of their own (RangeLoader), at the resolution
  // their width needs.
  HistoryWindow(RecordReader& reader, SessionData data, RecordReader::Rows rows = RecordReader::Rows::WithoutReadings,
                QWidget* parent = nullptr);
  ~HistoryWindow() override;

  // Loads session `id` from the start and shows all of it.
  void showSession(std::int64_t id);
  // Shows a session already read, all of it.
  void showSession(SessionData data);
  // Reads what the panel added since the last call; keeps the end in view
  // when it was in view. Runs every 500 ms on its own.
  void followEnd();

  enum class QuickRange { TenMinutes, Hour, Day, Session };
  void showQuickRange(QuickRange range);
  void showFlowsIn(bool sccm);

  // Every value at the crosshair's time, as the label under the charts shows it.
  QString crosshairText() const;
  QLabel& crosshairLabel() { return *m_crosshair; }
  // Why the last read of the record failed; empty while reading works.
  QString readError() const;

  // The alarm figures of the visible range, as --alarm-report prints them.
  QString alarmReportText() const;
  // Opens (or raises) the read-only window with that text; it follows the
  // visible range while it is open.
  void showAlarmReport();
  QPlainTextEdit* alarmReportView() { return m_reportText; }

  // Runs the event loop until the charts have what they show at the finest
  // resolution their range needs, at most `limit` ms; whether they have.
  bool waitForRanges(int limit = 60'000);

  bool exportCsv(const QString& path, QString* error);
  bool exportPng(const QString& path, QString* error);

  TimeAxis& timeAxis() { return m_axis; }
  const SessionData& data() const { return m_data; }
  // What the charts read of their range last; nullptr before the first read.
  const RangeData* rangeData() const { return m_range.get(); }
  TrendChart& pressureChart() { return *m_pressure; }
  TrendChart& flowChart() { return *m_flows; }
  TimelineView& timeline() { return *m_timeline; }
  EventLogFilter& logFilter() { return *m_filter; }
  QTableView& logView() { return *m_logView; }
  QWidget& charts() { return *m_charts; }
  QComboBox& sessionChooser() { return *m_sessions; }

 private:
  void buildControls();
  void redrawAll();
  void updateLogChoices();
  void updateSessionChoices();
  void alignTimeline();
  void logRowChosen(const QModelIndex& index);
  void readMore();
  // Asks for the range shown unless it was asked for already.
  void requestRange();
  void rangeLoaded(std::shared_ptr<const RangeData> data);
  // Writes an export unless `path` is the record or one of its files.
  bool exportTo(const QString& path, const std::function<void(std::ostream&)>& write, QString* error);
  // A read of the record failed: says so under the charts and keeps what is
  // shown; following stops unless the panel only held a lock for a moment.
  void readFailed(const std::exception& e);

  RecordReader& m_reader;
  RecordReader::Rows m_rows;
  SessionData m_data;
  RangeLoader m_loader;
  std::shared_ptr<const RangeData> m_range;
  TimeAxis m_axis;
  TrendChart* m_pressure = nullptr;
  TrendChart* m_flows = nullptr;
  TimelineView* m_timeline = nullptr;
  QWidget* m_charts = nullptr;
  EventLogModel* m_log = nullptr;
  EventLogFilter* m_filter = nullptr;
  QTableView* m_logView = nullptr;
  QComboBox* m_sessions = nullptr;
  QComboBox* m_kinds = nullptr;
  QComboBox* m_devices = nullptr;
  QLineEdit* m_search = nullptr;
  QComboBox* m_flowUnit = nullptr;
  QLabel* m_crosshair = nullptr;
  QLabel* m_status = nullptr;
  QLabel* m_readError = nullptr;
  QDialog* m_report = nullptr;
  QPlainTextEdit* m_reportText = nullptr;
  QTimer m_follow;
};

// Shows why a record cannot be shown, as plain text, until the operator
// closes the message.
void ShowOpenFailure(const QString& message);

}  // namespace halvorn::history

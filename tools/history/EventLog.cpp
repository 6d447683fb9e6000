#include "EventLog.h"

#include <QColor>
#include <QHeaderView>
#include <QStyle>
#include <algorithm>
#include <set>

namespace halvorn::history {

namespace {

QString ToText(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

bool SameEntry(const LogEntry& a, const LogEntry& b) {
  return a.t == b.t && a.kind == b.kind && a.device == b.device && a.text == b.text;
}

}  // namespace

void EventLogModel::setEntries(std::vector<LogEntry> entries) {
  const std::size_t kept = m_entries.size();
  const bool extends =
      entries.size() >= kept && std::equal(m_entries.begin(), m_entries.end(), entries.begin(), SameEntry);
  if (!extends) {
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
    return;
  }
  if (entries.size() == kept) return;
  beginInsertRows({}, static_cast<int>(kept), static_cast<int>(entries.size()) - 1);
  m_entries = std::move(entries);
  endInsertRows();
}

int EventLogModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int EventLogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant EventLogModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const LogEntry& e = m_entries[static_cast<std::size_t>(index.row())];
  if (role == kTimeRole) return QVariant::fromValue<qint64>(e.t);
  if (role == Qt::ForegroundRole && e.kind == LogKind::Fault) return QColor(200, 0, 0);
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case Time: return m_axis.clockText(e.t);
    case Kind: {
      const std::string_view kind = KindName(e.kind);
      return QString::fromUtf8(kind.data(), static_cast<qsizetype>(kind.size()));
    }
    case Device: return ToText(e.device);
    case Text: return ToText(e.text);
    default: return {};
  }
}

QVariant EventLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kTitles[] = {"Time", "Kind", "Device", "Text"};
  return section >= 0 && section < ColumnCount ? QString(kTitles[section]) : QVariant();
}

void FitLogColumns(QTableView& view, const EventLogModel& model) {
  const QFontMetrics cells(view.font());
  const QFontMetrics titles(view.horizontalHeader()->font());
  // The cell's own margins and a little air, as a resize to contents gives.
  const int padding = 2 * view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 12;
  const auto title = [&](int column) {
    return titles.horizontalAdvance(model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()) + padding;
  };
  int time = title(EventLogModel::Time);
  int kind = title(EventLogModel::Kind);
  int device = title(EventLogModel::Device);
  for (const LogKind k : kLogKinds)
    kind = std::max(kind, cells.horizontalAdvance(ToText(std::string(KindName(k)))) + padding);
  kind = std::max(kind, cells.horizontalAdvance(ToText(std::string(KindName(LogKind::Record)))) + padding);
  std::set<std::string> devices;
  for (int row = 0; row < model.rowCount(); ++row) devices.insert(model.entry(row).device);
  for (const std::string& d : devices) device = std::max(device, cells.horizontalAdvance(ToText(d)) + padding);
  // Every time has the same shape: the first and the last say how wide.
  for (const int row : {0, model.rowCount() - 1}) {
    if (row < 0) continue;
    time = std::max(
        time, cells.horizontalAdvance(model.data(model.index(row, EventLogModel::Time), Qt::DisplayRole).toString()) +
                  padding);
  }
  QHeaderView& header = *view.horizontalHeader();
  header.resizeSection(EventLogModel::Time, time);
  header.resizeSection(EventLogModel::Kind, kind);
  header.resizeSection(EventLogModel::Device, device);
}

void EventLogFilter::setKind(std::optional<LogKind> kind) {
  m_kind = kind;
  invalidateFilter();
}

void EventLogFilter::setDevice(const QString& device) {
  m_device = device;
  invalidateFilter();
}

void EventLogFilter::setSearch(const QString& text) {
  m_search = text;
  invalidateFilter();
}

bool EventLogFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const auto* model = static_cast<const EventLogModel*>(sourceModel());
  const LogEntry& e = model->entry(sourceRow);
  if (m_kind && e.kind != *m_kind) return false;
  if (!m_device.isEmpty() && ToText(e.device) != m_device) return false;
  return m_search.isEmpty() || ToText(e.text).contains(m_search, Qt::CaseInsensitive) ||
         ToText(e.device).contains(m_search, Qt::CaseInsensitive);
}

}  // namespace halvorn::history

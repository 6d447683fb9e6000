#include "EventLog.h"

#include <QColor>
#include <algorithm>

namespace halvorn::history {

namespace {

QString ToText(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

bool SameEntry(const LogEntry& a, const LogEntry& b) {
  return a.t == b.t && a.kind == b.kind && a.device == b.device && a.text == b.text;
}

}  // namespace

void EventLogModel::setEntries(std::vector<LogEntry> entries) {
  const std::size_t kept = m_entries.size();
  const bool extends = entries.size() >= kept &&
                       std::equal(m_entries.begin(), m_entries.end(), entries.begin(), SameEntry);
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
    case Time:
      return m_axis.clockText(e.t);
    case Kind: {
      const std::string_view kind = KindName(e.kind);
      return QString::fromUtf8(kind.data(), static_cast<qsizetype>(kind.size()));
    }
    case Device:
      return ToText(e.device);
    case Text:
      return ToText(e.text);
    default:
      return {};
  }
}

QVariant EventLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kTitles[] = {"Time", "Kind", "Device", "Text"};
  return section >= 0 && section < ColumnCount ? QString(kTitles[section]) : QVariant();
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

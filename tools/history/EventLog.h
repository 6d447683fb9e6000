// The event log as a table (time, kind, device, text) and the filter over
// it: by kind, by device and by a text search.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <optional>
#include <vector>

#include "LogEntries.h"
#include "TimeAxis.h"

namespace halvorn::history {

class EventLogModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { Time, Kind, Device, Text, ColumnCount };
  static constexpr int kTimeRole = Qt::UserRole + 1;  // the entry's Nanoseconds

  explicit EventLogModel(const TimeAxis& axis, QObject* parent = nullptr) : QAbstractTableModel(parent), m_axis(axis) {}

  // Entries that keep the ones already shown in front are appended, so a
  // selection survives following a growing record.
  void setEntries(std::vector<LogEntry> entries);
  const LogEntry& entry(int row) const { return m_entries[static_cast<std::size_t>(row)]; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const TimeAxis& m_axis;
  std::vector<LogEntry> m_entries;
};

// Gives the time, kind and device columns of `view` (showing `model`, or a
// filter over it) the width of their widest text, so that neither a kind
// nor a device is ever cut; the text takes the rest.
void FitLogColumns(QTableView& view, const EventLogModel& model);

class EventLogFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

  void setKind(std::optional<LogKind> kind);
  void setDevice(const QString& device);  // empty: every device
  void setSearch(const QString& text);    // case-insensitive, anywhere in the text

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  std::optional<LogKind> m_kind;
  QString m_device;
  QString m_search;
};

}  // namespace halvorn::history

// The alarm summary (F9): every alarm that is active, returned and waiting
// for an acknowledgement, or shelved, with its guidance; sortable by
// priority and time. Acknowledges the selected alarms or all it shows,
// shelves for 15 min, 1 h or 8 h with a reason, unshelves.
#pragma once

#include <QDialog>

#include <cstddef>
#include <vector>

#include "alarms/Banner.h"

class QComboBox;
class QLabel;
class QTableWidget;

namespace halvorn::shell {

class AlarmView;

class AlarmSummary : public QDialog {
  Q_OBJECT

 public:
  AlarmSummary(AlarmView& alarms, QWidget* parent);
  // Shows the board as it is now, the selection kept.
  void refresh();

 private:
  std::vector<std::size_t> selectedPoints() const;
  void acknowledge(const std::vector<std::size_t>& points);
  void shelve();
  void unshelve();

  AlarmView& m_alarms;
  QTableWidget* m_table = nullptr;
  QComboBox* m_duration = nullptr;
  QComboBox* m_reason = nullptr;
  QLabel* m_guidance = nullptr;
  std::vector<alarms::SummaryRow> m_rows;
};

}  // namespace halvorn::shell

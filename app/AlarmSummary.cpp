#include "AlarmSummary.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTime>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <set>

#include "AlarmView.h"

namespace halvorn::shell {

namespace {

enum Column { kTime, kPriority, kPoint, kState, kText, kGuidance, kColumns };

// Sorted by what it stands for (a priority's rank, a time), not its text.
class KeyedItem : public QTableWidgetItem {
 public:
  KeyedItem(const QString& text, qlonglong key) : QTableWidgetItem(text) { setData(Qt::UserRole, key); }
  bool operator<(const QTableWidgetItem& other) const override {
    return data(Qt::UserRole).toLongLong() < other.data(Qt::UserRole).toLongLong();
  }
};

struct ShelfTime {
  const char* caption;
  alarms::Milliseconds duration;
};
constexpr std::array<ShelfTime, 3> kShelfTimes{{{"15 min", 15 * alarms::kMinute},
                                                {"1 h", 60 * alarms::kMinute},
                                                {"8 h", 8 * 60 * alarms::kMinute}}};

}  // namespace

AlarmSummary::AlarmSummary(AlarmView& alarms, QWidget* parent) : QDialog(parent), m_alarms(alarms) {
  setObjectName(QStringLiteral("alarmSummary"));
  setWindowTitle(QStringLiteral("Alarm summary"));
  resize(900, 360);
  auto* layout = new QVBoxLayout(this);
  m_table = new QTableWidget(0, kColumns, this);
  m_table->setObjectName(QStringLiteral("alarmTable"));
  m_table->setHorizontalHeaderLabels({"Time", "Priority", "Point", "State", "Text", "Guidance"});
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->verticalHeader()->hide();
  m_table->horizontalHeader()->setStretchLastSection(true);
  m_table->setSortingEnabled(true);
  m_table->sortByColumn(kPriority, Qt::AscendingOrder);
  layout->addWidget(m_table);
  m_guidance = new QLabel(this);
  m_guidance->setObjectName(QStringLiteral("alarmGuidance"));
  m_guidance->setWordWrap(true);
  m_guidance->setTextFormat(Qt::PlainText);
  layout->addWidget(m_guidance);

  auto* buttons = new QHBoxLayout;
  const auto button = [this, buttons](const char* caption, const char* name) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    b->setObjectName(QString::fromUtf8(name));
    b->setAutoDefault(false);
    buttons->addWidget(b);
    return b;
  };
  connect(button("Acknowledge selected", "acknowledgeSelected"), &QPushButton::clicked, this,
          [this] { acknowledge(selectedPoints()); });
  connect(button("Acknowledge all", "acknowledgeAll"), &QPushButton::clicked, this, [this] {
    std::vector<std::size_t> all;
    for (const alarms::SummaryRow& row : m_rows) all.push_back(row.point);
    acknowledge(all);
  });
  buttons->addSpacing(24);
  m_duration = new QComboBox(this);
  m_duration->setObjectName(QStringLiteral("shelfTime"));
  for (const ShelfTime& time : kShelfTimes) m_duration->addItem(QString::fromUtf8(time.caption));
  buttons->addWidget(m_duration);
  m_reason = new QComboBox(this);
  m_reason->setObjectName(QStringLiteral("shelfReason"));
  m_reason->setEditable(true);
  m_reason->setInsertPolicy(QComboBox::NoInsert);
  m_reason->addItems({"Maintenance on the device", "Instrument out of service", "Chattering: to be tuned",
                      "Plant part shut down"});
  m_reason->setMinimumContentsLength(24);
  buttons->addWidget(m_reason, 1);
  connect(button("Shelve", "shelve"), &QPushButton::clicked, this, &AlarmSummary::shelve);
  connect(button("Unshelve", "unshelve"), &QPushButton::clicked, this, &AlarmSummary::unshelve);
  layout->addLayout(buttons);

  connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] {
    const std::vector<std::size_t> points = selectedPoints();
    m_guidance->setText(points.size() == 1
                            ? QString::fromStdString(m_alarms.board().points()[points.front()].guidance)
                            : QString());
  });
}

std::vector<std::size_t> AlarmSummary::selectedPoints() const {
  std::set<std::size_t> points;
  for (const QTableWidgetItem* item : m_table->selectedItems())
    points.insert(m_table->item(item->row(), kPoint)->data(Qt::UserRole).toULongLong());
  return {points.begin(), points.end()};
}

void AlarmSummary::refresh() {
  const std::vector<std::size_t> selected = selectedPoints();
  m_rows = alarms::SummaryOf(m_alarms.board());
  const alarms::Milliseconds now = m_alarms.now();
  const QTime clock = QTime::currentTime();
  m_table->setSortingEnabled(false);
  m_table->setRowCount(static_cast<int>(m_rows.size()));
  int r = 0;
  for (const alarms::SummaryRow& row : m_rows) {
    const alarms::AlarmPoint& point = m_alarms.board().points()[row.point];
    QString state = QString::fromUtf8(alarms::StateName(row.state).data(),
                                      static_cast<int>(alarms::StateName(row.state).size()));
    if (row.shelvedUntil)
      state += QStringLiteral(" until ") +
               clock.addMSecs(static_cast<int>(*row.shelvedUntil - now)).toString(QStringLiteral("HH:mm"));
    const QString time = clock.addMSecs(static_cast<int>(row.raisedAt - now)).toString(QStringLiteral("HH:mm:ss"));
    const std::string_view sign = alarms::PrioritySign(row.priority);
    m_table->setItem(r, kTime, new KeyedItem(time, row.raisedAt));
    auto* priority = new KeyedItem(QString::fromUtf8(sign.data(), static_cast<int>(sign.size())),
                                   static_cast<qlonglong>(row.priority));
    priority->setBackground(QColor::fromRgb(alarms::PriorityColour(row.priority)));
    priority->setForeground(Qt::black);
    m_table->setItem(r, kPriority, priority);
    m_table->setItem(r, kPoint, new KeyedItem(QString::fromStdString(point.name), static_cast<qlonglong>(row.point)));
    m_table->item(r, kPoint)->setData(Qt::UserRole, static_cast<qulonglong>(row.point));
    m_table->setItem(r, kState, new QTableWidgetItem(state));
    m_table->setItem(r, kText, new QTableWidgetItem(QString::fromStdString(point.alarm.text())));
    m_table->setItem(r, kGuidance, new QTableWidgetItem(QString::fromStdString(point.guidance)));
    ++r;
  }
  m_table->setSortingEnabled(true);
  // The rows may have moved: the selection follows the points, not the rows.
  m_table->clearSelection();
  for (int row = 0; row < m_table->rowCount(); ++row) {
    const std::size_t point = m_table->item(row, kPoint)->data(Qt::UserRole).toULongLong();
    if (std::find(selected.begin(), selected.end(), point) != selected.end())
      m_table->selectionModel()->select(m_table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  m_table->resizeColumnsToContents();
}

void AlarmSummary::acknowledge(const std::vector<std::size_t>& points) {
  for (const std::size_t point : points) m_alarms.watch().Acknowledge(point, m_alarms.user());
  m_alarms.refresh();
}

void AlarmSummary::shelve() {
  const QString reason = m_reason->currentText().trimmed();
  if (reason.isEmpty()) {
    m_guidance->setText(QStringLiteral("A shelved alarm needs a reason: pick one or type it."));
    return;
  }
  const alarms::Milliseconds duration = kShelfTimes[static_cast<std::size_t>(m_duration->currentIndex())].duration;
  for (const std::size_t point : selectedPoints())
    m_alarms.watch().Shelve(point, duration, reason.toStdString(), m_alarms.user());
  m_alarms.refresh();
}

void AlarmSummary::unshelve() {
  for (const std::size_t point : selectedPoints()) m_alarms.watch().Unshelve(point, m_alarms.user());
  m_alarms.refresh();
}

}  // namespace halvorn::shell

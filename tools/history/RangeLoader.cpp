#include "RangeLoader.h"

#include "record/Database.h"

namespace halvorn::history {

RangeLoader::RangeLoader(std::string path, const ReadLimits& limits, QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_limits(limits) {
  m_worker = std::make_unique<QObject>();
  m_worker->moveToThread(&m_thread);
  m_thread.setObjectName("history reader");
  m_thread.start();
}

RangeLoader::~RangeLoader() {
  // A long read under way ends at once rather than hold the window's close.
  m_cancel = true;
  m_thread.quit();
  m_thread.wait();
  // Its thread has ended: nothing runs on it any more.
  m_worker.reset();
}

void RangeLoader::request(const RangeRequest& request) {
  {
    const std::lock_guard lock(m_mutex);
    m_pending.emplace(request, ++m_asked);
    m_newest = request;
    m_cancel = true;
  }
  QMetaObject::invokeMethod(
      m_worker.get(), [this] { readNewest(); }, Qt::QueuedConnection);
}

bool RangeLoader::answered() const {
  const std::lock_guard lock(m_mutex);
  return m_answered == m_asked;
}

std::optional<RangeRequest> RangeLoader::newest() const {
  const std::lock_guard lock(m_mutex);
  return m_newest;
}

void RangeLoader::readNewest() {
  std::optional<std::pair<RangeRequest, std::uint64_t>> taken;
  {
    const std::lock_guard lock(m_mutex);
    taken.swap(m_pending);
    m_cancel = false;
  }
  if (!taken) return;  // read already by an earlier call, with a newer request
  std::shared_ptr<const RangeData> data;
  QString why;
  bool superseded = false;
  try {
    if (!m_reader) {
      m_reader = std::make_unique<RecordReader>(m_path, m_limits);
      m_reader->cancelWhen(m_cancel);
    }
    data = std::make_shared<const RangeData>(m_reader->readRange(taken->first));
  } catch (const record::DatabaseError& e) {
    const std::lock_guard lock(m_mutex);
    // Interrupted for a newer request, which is waiting: nothing to say.
    superseded = e.code() == SQLITE_INTERRUPT && m_pending.has_value();
    why = QString::fromUtf8(e.what());
  } catch (const std::exception& e) {
    why = QString::fromUtf8(e.what());
  }
  if (superseded) return;
  const std::uint64_t number = taken->second;
  // Even an answer to an older request is shown: during a long pan it is
  // nearer than what is on screen.
  QMetaObject::invokeMethod(
      this,
      [this, data, why, number] {
        {
          const std::lock_guard lock(m_mutex);
          m_answered = std::max(m_answered, number);
        }
        if (data) {
          emit loaded(data);
        } else {
          emit failed(why);
        }
      },
      Qt::QueuedConnection);
}

}  // namespace halvorn::history

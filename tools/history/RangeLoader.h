// Reads the charts' ranges off the window's thread: a thread of its own
// with its own read-only connection to the record, so that zooming or
// panning over a year of record never holds the window. A newer request
// supersedes the ones still waiting and interrupts the one being read
// (summarising a long stretch of an older record takes seconds); what was
// read comes back to the window's thread through its event loop.
#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "RangeRead.h"
#include "ReadLimits.h"
#include "RecordReader.h"

namespace halvorn::history {

class RangeLoader : public QObject {
  Q_OBJECT

 public:
  // Opens its own connection to `path` on its thread, at the first request.
  explicit RangeLoader(std::string path, const ReadLimits& limits = {}, QObject* parent = nullptr);
  ~RangeLoader() override;

  // Asks for `request`; an earlier one not yet read is dropped.
  void request(const RangeRequest& request);
  // Whether the newest request has been answered (loaded or failed).
  [[nodiscard]] bool answered() const;
  // The newest request made, if any.
  [[nodiscard]] std::optional<RangeRequest> newest() const;

 signals:
  // On the window's thread, for the newest request at the time it was read.
  void loaded(std::shared_ptr<const RangeData> data);
  void failed(QString why);

 private:
  void readNewest();  // on the loader's thread

  std::string m_path;
  ReadLimits m_limits;
  QThread m_thread;
  std::unique_ptr<QObject> m_worker;       // lives on m_thread; let go of once the thread has ended
  std::unique_ptr<RecordReader> m_reader;  // made and used on m_thread
  // Set with each request and cleared when the thread takes one, both
  // under m_mutex: the read under way ends once a newer request waits.
  std::atomic<bool> m_cancel{false};
  mutable std::mutex m_mutex;
  std::optional<std::pair<RangeRequest, std::uint64_t>> m_pending;  // not yet taken by the thread, and its number
  std::optional<RangeRequest> m_newest;
  std::uint64_t m_asked = 0;  // on the window's thread
  std::uint64_t m_answered = 0;
};

}  // namespace halvorn::history

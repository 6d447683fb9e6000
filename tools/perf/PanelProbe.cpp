// A probe that halvorn-perf puts into the real, unchanged halvorn-panel
// program through Qt's generic plugin mechanism
// (QT_QPA_GENERIC_PLUGINS=halvornprobe with QT_PLUGIN_PATH pointing here):
// it notes when the window has first been painted and, when asked, presses
// "Connect" the way the operator would, so the program can be measured
// polling a controller with nothing else changed. It writes what it saw,
// one line per event, to the file HALVORN_PROBE_REPORT names:
//   shown <ns>              the first paint of the window is done
//   connected <ns> <text>   "Connect" was pressed; the status line says <text>
// <ns> is CLOCK_MONOTONIC in nanoseconds, the same clock in every process.
// With HALVORN_PROBE_COUNTS naming a file, it also counts the window's
// repaints and the widgets painted there (ProbeCounts.h), without a wake-up
// of its own. With HALVORN_PROBE_PAINTS naming a file, it writes a line
// "<ns> <object name> <x>,<y> <w>x<h>" for every widget painted, and
// "<ns> update <object name>" for every repaint of a window, to see which
// widgets a change drags into a paint.
#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QGenericPlugin>
#include <QLabel>
#include <QPaintEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <fcntl.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "ProbeCounts.h"

namespace halvorn::perf {
namespace {

long long MonotonicNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

class Probe : public QObject {
 public:
  Probe() {
    if (const char* path = std::getenv("HALVORN_PROBE_REPORT")) m_reportPath = path;
    const char* connect = std::getenv("HALVORN_PROBE_CONNECT");
    m_connect = connect && std::string(connect) == "1";
    if (const char* path = std::getenv("HALVORN_PROBE_COUNTS")) MapCounts(path);
    // Line by line, as the panel is ended by a signal: a diagnosis, not a
    // measurement (each line costs a write).
    if (const char* path = std::getenv("HALVORN_PROBE_PAINTS")) m_paints = std::fopen(path, "w");
    if (m_paints) std::setvbuf(m_paints, nullptr, _IOLBF, 0);
    if (QCoreApplication* application = QCoreApplication::instance()) application->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (m_counts) {
      if (event->type() == QEvent::UpdateRequest && watched->isWidgetType()) {
        m_counts->repaints.fetch_add(1, std::memory_order_relaxed);
      } else if (event->type() == QEvent::Paint) {
        m_counts->widgetPaints.fetch_add(1, std::memory_order_relaxed);
      }
    }
    if (m_paints) LogPaint(watched, event);
    if (!m_painted && event->type() == QEvent::Paint) {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (widget && widget->isWindow()) {
        m_painted = true;
        // The paint runs when this filter returns; the zero timer fires when
        // the whole first frame has been painted and handed to the screen.
        QTimer::singleShot(0, this, [this, window = QPointer<QWidget>(widget)] { OnShown(window); });
      }
    }
    return false;
  }

 private:
  // The counts live in the file for halvorn-perf to read; the mapping stays
  // for the program's life.
  void MapCounts(const char* path) {
    const int fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    void* memory = MAP_FAILED;
    if (::ftruncate(fd, sizeof(ProbeCounts)) == 0)
      memory = ::mmap(nullptr, sizeof(ProbeCounts), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (memory != MAP_FAILED) m_counts = std::construct_at(static_cast<ProbeCounts*>(memory));
  }

  void OnShown(const QPointer<QWidget>& window) {
    Report("shown " + std::to_string(MonotonicNs()));
    if (!m_connect || !window) return;
    auto* button = window->findChild<QAbstractButton*>(QStringLiteral("cmdConnect"));
    if (!button) {
      Report("connected 0 (no Connect button)");
      return;
    }
    button->click();
    const auto* status = window->findChild<QLabel*>(QStringLiteral("lblStatus"));
    Report("connected " + std::to_string(MonotonicNs()) + " " +
           (status ? status->text().toStdString() : std::string("(no status line)")));
  }

  void LogPaint(QObject* watched, QEvent* event) {
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) return;
    const std::string name = widget->objectName().toStdString();
    if (event->type() == QEvent::UpdateRequest) {
      std::fprintf(m_paints, "%lld update %s\n", MonotonicNs(), name.c_str());
    } else if (event->type() == QEvent::Paint) {
      const QRect r = static_cast<QPaintEvent*>(event)->rect();
      std::fprintf(m_paints, "%lld %s %d,%d %dx%d\n", MonotonicNs(), name.empty() ? "-" : name.c_str(), r.x(),
                   r.y(), r.width(), r.height());
    }
  }

  void Report(const std::string& line) const {
    if (m_reportPath.empty()) return;
    if (std::FILE* file = std::fopen(m_reportPath.c_str(), "a")) {
      std::fprintf(file, "%s\n", line.c_str());
      std::fclose(file);
    }
  }

  std::string m_reportPath;
  bool m_connect = false;
  bool m_painted = false;
  ProbeCounts* m_counts = nullptr;
  std::FILE* m_paints = nullptr;
};

class ProbePlugin : public QGenericPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "PanelProbe.json")

 public:
  // Qt keeps the object it is handed for the application's whole life.
  QObject* create(const QString& name, const QString&) override {
    if (name.compare(QStringLiteral("halvornprobe"), Qt::CaseInsensitive) != 0) return nullptr;
    return std::make_unique<Probe>().release();
  }
};

}  // namespace
}  // namespace halvorn::perf

#include "PanelProbe.moc"

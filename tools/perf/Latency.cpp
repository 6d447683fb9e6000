#include "Latency.h"

#include <QAbstractButton>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "MainWindow.h"
#include "PseudoTerminal.h"
#include "SessionRecord.h"
#include "TimingApplication.h"
#include "link/Frame.h"

namespace halvorn::perf {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Answers that only bring the window to its working state, not measured.
constexpr int kWarmUpAnswers = 100;
// Gaps between answers: long enough that each is handled on its own, short
// enough for a few thousand in a minute, and random so that they fall at
// every phase of the window's timers.
constexpr int kShortestGapUs = 3000;
constexpr int kLongestGapUs = 12000;

std::string UptimeFrame(long long seconds) {
  std::string digits = std::to_string(seconds);
  digits.insert(0, 10 - std::min<std::size_t>(10, digits.size()), '0');
  return BuildFrame("010__" + digits);
}

// The value of an uptime text ("1234s"), or -1.
long long UptimeValue(const QString& text) {
  bool ok = false;
  const long long value = text.chopped(text.endsWith('s') ? 1 : 0).toLongLong(&ok);
  return ok ? value : -1;
}

void RunEventsFor(std::chrono::milliseconds period) {
  QEventLoop loop;
  QTimer::singleShot(period, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

LatencySamples MeasureLatency(int answers, const std::string& recordPath) {
  LatencySamples samples;
  auto* application = dynamic_cast<TimingApplication*>(QCoreApplication::instance());
  process::PseudoTerminal pty;
  if (!application || !pty.ok() || answers <= 0) return samples;

  shell::PortMap ports;
  ports.SetDevice(1, pty.path());
  std::optional<shell::SessionRecord> record;
  if (!recordPath.empty()) record.emplace(recordPath, record::SessionInfo{});
  shell::MainWindow window(ports, record ? &*record : nullptr);
  window.show();
  RunEventsFor(300ms);
  auto* uptime = qobject_cast<QLineEdit*>(window.view(QStringLiteral("txtUptime")));
  auto* connect = qobject_cast<QAbstractButton*>(window.view(QStringLiteral("cmdConnect")));
  if (!uptime || !connect) return samples;
  connect->click();
  if (!window.panel().MSComm2.PortOpen()) return samples;

  const int total = kWarmUpAnswers + answers;
  const auto index = [](long long value) { return static_cast<std::size_t>(value); };
  std::vector<Clock::time_point> written(index(total) + 1);
  std::vector<Clock::time_point> modelled(index(total) + 1);
  std::vector<Clock::time_point> painted(index(total) + 1);
  std::vector<bool> modelSeen(index(total) + 1);
  std::vector<bool> paintSeen(index(total) + 1);
  long long lastModelled = 0;
  long long lastPainted = 0;

  // After each socket notification: does the model hold a newer answer now?
  const TextBox& modelUptime = window.panel().form.txtUptime;
  application->SetAfterEvent([&](QObject*, QEvent* event) {
    if (event->type() != QEvent::SockAct) return;
    const long long value = UptimeValue(QString::fromStdString(modelUptime.text));
    if (value <= lastModelled || value > total) return;
    modelled[index(value)] = Clock::now();
    // Two answers in one notification: only the newest is timed.
    modelSeen[index(value)] = value == lastModelled + 1;
    lastModelled = value;
  });
  // Each paint of the box: with a newer answer than painted before?
  class PaintWatch : public QObject {
   public:
    explicit PaintWatch(std::function<void()> onPaint) : m_onPaint(std::move(onPaint)) {}
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) m_onPaint();
      return false;
    }

   private:
    std::function<void()> m_onPaint;
  } paintWatch([&] {
    const long long value = UptimeValue(uptime->text());
    if (value <= lastPainted || value > total) return;
    painted[index(value)] = Clock::now();
    paintSeen[index(value)] = value == lastPainted + 1;
    lastPainted = value;
  });
  uptime->installEventFilter(&paintWatch);

  std::atomic<bool> writerDone{false};
  std::thread controller([&] {
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> gapUs(kShortestGapUs, kLongestGapUs);
    char discard[4096];
    for (int value = 1; value <= total; ++value) {
      std::this_thread::sleep_for(std::chrono::microseconds(gapUs(random)));
      // The panel's polls, read so its side of the line never fills.
      while (::read(pty.master(), discard, sizeof discard) > 0) {
      }
      const std::string frame = UptimeFrame(value);
      const ssize_t n = ::write(pty.master(), frame.data(), frame.size());
      written[index(value)] = Clock::now();
      if (n != static_cast<ssize_t>(frame.size())) break;
    }
    writerDone = true;
  });

  const auto deadline = Clock::now() + std::chrono::milliseconds(total * (kLongestGapUs / 1000 + 5)) + 5s;
  while (Clock::now() < deadline && !(writerDone && lastPainted >= total)) RunEventsFor(20ms);
  controller.join();
  application->SetAfterEvent({});
  uptime->removeEventFilter(&paintWatch);

  samples.sent = answers;
  for (int value = kWarmUpAnswers + 1; value <= total; ++value) {
    const std::size_t i = index(value);
    if (modelSeen[i]) samples.toModelMs.push_back(std::chrono::duration<double, std::milli>(modelled[i] - written[i]).count());
    if (paintSeen[i]) samples.toPaintMs.push_back(std::chrono::duration<double, std::milli>(painted[i] - written[i]).count());
  }
  return samples;
}

}  // namespace halvorn::perf

// The alarms as the operator sees them, when the panel runs with them on:
// the banner below the picture, a frame round each device in alarm, the
// summary window and the horn. The board and its watch are the core's; this
// only draws what the board says and forwards the operator's acts.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "alarms/AlarmBoard.h"
#include "alarms/AlarmSettings.h"
#include "alarms/AlarmWatch.h"
#include "alarms/Banner.h"
#include "alarms/Horn.h"
#include "door/Events.h"

class QLabel;
class QPushButton;
class QWidget;

namespace halvorn::shell {

class AlarmSummary;
class FrameRing;

// What the command line and the settings file chose.
struct AlarmOptions {
  bool on = false;
  alarms::AlarmSettings settings;
  // The horn's command, split at blanks, run without a shell; empty: the bell.
  std::string sound;
};

// Below the picture; the window grows by this much.
constexpr int kBannerHeight = 78;

class AlarmView : public QObject {
  Q_OBJECT

 public:
  // Listens on `panel`'s feed (after whatever listens already) and builds
  // the banner at `top` on `window`, across its `width`.
  AlarmView(QWidget& window, FrontPanel& panel, const AlarmOptions& options, int top, int width);
  ~AlarmView() override;

  // After every event: redraws what the board changed, nothing otherwise.
  void refresh();

  void acknowledgeFirst();
  void showSummary();
  void silence();

  const alarms::AlarmBoard& board() const { return m_board; }
  alarms::AlarmWatch& watch() { return m_watch; }
  // Who acknowledges: the login name of the user running the panel.
  const std::string& user() const { return m_user; }
  alarms::Milliseconds now() const { return m_clock.elapsed(); }
  // What the horn does now (for the window's tests): the command runs, or
  // the bell rings.
  bool hornSounding() const { return m_sounding; }

 private:
  void redraw();
  // The flash turns, shelves expire, the horn is checked.
  void beat();
  void showFlash(bool lit);
  void sound();

  QWidget& m_window;
  alarms::AlarmBoard m_board;
  alarms::AlarmWatch m_watch;
  alarms::Horn m_horn;
  QElapsedTimer m_clock;
  std::string m_user;
  std::string m_soundCommand;

  QWidget* m_banner = nullptr;
  QLabel* m_counts = nullptr;
  QLabel* m_flood = nullptr;
  std::array<QLabel*, alarms::kBannerLines> m_lines{};
  QPushButton* m_silence = nullptr;
  // One frame per device on the picture that has an alarm point, hidden
  // while it is normal.
  std::vector<FrameRing*> m_frames;
  std::unique_ptr<AlarmSummary> m_summary;

  alarms::Banner m_shown;
  std::uint64_t m_shownRevision = ~std::uint64_t{0};
  bool m_lit = true;
  bool m_sounding = false;
  QTimer m_beat;
  QProcess m_hornCommand;
};

}  // namespace halvorn::shell

// Copies the model into the window's widgets. After each event the window
// asks it to show the model; it compares what each widget last showed with
// the model and touches only what changed, so a flood of answers costs no
// more than the captions that really move.
#pragma once

#include <QPalette>
#include <QRect>
#include <QTimer>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "panel/Widgets.h"

class QComboBox;
class QFont;
class QLineEdit;
class QListWidget;
class QWidget;

namespace halvorn::shell {

class CaptionView;
class ShapeView;

class ModelView {
 public:
  // Each view keeps the model's value it last showed, so that bringing the
  // window up to date compares bytes and touches only what changed.
  struct LabelView {
    Label* model;
    CaptionView* view;
    std::string shown = {};
    // A paced caption (a counter) shows a change at once unless it changes
    // in a burst, see kPacedPeriod.
    bool paced = false;
    std::string seen = {};  // the model's caption when last compared
    std::chrono::steady_clock::time_point changedAt = {};
    bool inBurst = false;
    std::chrono::steady_clock::time_point shownAt = {};
    // The shape that draws this caption as part of itself, if any; the
    // caption's own view then stays hidden.
    ShapeView* drawnOn = nullptr;
  };
  struct ShapeViewRef {
    Shape* model;
    ShapeView* view;
    std::optional<Colour> shown = {};
  };
  struct TextBoxView {
    TextBox* model;
    QLineEdit* view;
    std::string shownText = {};
    std::optional<Colour> shownBack = {};
  };
  struct ListView {
    ListBox* model;
    QListWidget* view;
    std::vector<std::string> shown = {};
  };
  struct ComboView {
    ComboBox* model;
    QComboBox* view;
  };
  struct TimerView {
    Timer* model;
    QTimer* timer;
    unsigned starts;
  };

  // `window` holds every view; its palette resolves the model's colours and
  // its dpi converts the model's twips.
  explicit ModelView(QWidget& window);
  ModelView(const ModelView&) = delete;
  ModelView& operator=(const ModelView&) = delete;

  // Notes whether every digit is as wide as any other in `font` and its
  // bold face, the fonts the captions use.
  void useFont(const QFont& font);

  // Brings every view up to date with the model.
  void showModel();
  // Starts and stops the Qt timers as the model's timers say.
  void showTimers();

  // A paced caption that changes again within kPacedBurst of its last
  // change (a counter under a flood: hundreds of times a second, more than
  // an eye can follow, and repainting it every frame was most of a flood's
  // cost) shows a change at most every kPacedPeriod; the change held back
  // is shown at the end of the period, so the last value of a flood is on
  // the screen at most kPacedPeriod after it came. A change after a pause
  // (the counters of a poll every 200 ms) shows at once.
  static constexpr std::chrono::milliseconds kPacedBurst{100};
  static constexpr std::chrono::milliseconds kPacedPeriod{250};

  QRect toPixels(const Rect& r) const;

  // The views, added by the window as it builds its widgets.
  std::vector<LabelView>& labels() { return m_labels; }
  std::vector<ShapeViewRef>& shapes() { return m_shapes; }
  std::vector<TextBoxView>& textBoxes() { return m_textBoxes; }
  std::vector<ListView>& lists() { return m_lists; }
  std::vector<ComboView>& combos() { return m_combos; }
  std::vector<TimerView>& timers() { return m_timers; }

 private:
  // Whether a caption can change into another without a new fit.
  bool sameWidth(const std::string& before, const std::string& after) const;
  QPalette palette() const;

  // Whether `label` may show a change now; if not, the paced timer will.
  bool paceAllows(LabelView& label);

  QWidget& m_window;
  // Shows the paced captions' held changes when their period ends.
  QTimer m_pacedTimer;
  std::vector<LabelView> m_labels;
  std::vector<ShapeViewRef> m_shapes;
  std::vector<TextBoxView> m_textBoxes;
  std::vector<ListView> m_lists;
  std::vector<ComboView> m_combos;
  std::vector<TimerView> m_timers;
  // Whether every digit is as wide as any other in the captions' fonts.
  bool m_tabularDigits = false;
};

}  // namespace halvorn::shell

// The window's widgets and the copying of the model into them. It builds a
// Qt widget for every widget of the model, and after each event shows the
// model when the show scheduler says: it compares what each widget last
// showed with the model and touches only what changed, so a flood of
// answers costs no more than the captions that really move.
//
// Stacking: pipes are painted on the window itself, shapes are child widgets
// above them, captions above the shapes, and the frames and controls above
// the picture, each frame holding its own shapes, captions and controls. A
// caption never leaves its layout box, except a readout that sizes itself,
// which grows to the right beneath the opaque frames and every control.
#pragma once

#include <QPalette>
#include <QRect>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "door/ShowScheduler.h"
#include "panel/Form1.h"

class QComboBox;
class QFont;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace halvorn::shell {

class CaptionView;
class GroupFrame;
class ShapeView;

class ModelView {
 public:
  // Each view keeps the model's value it last showed, so that bringing the
  // window up to date compares bytes and touches only what changed.
  struct LabelView {
    Label* model;
    CaptionView* view;
    std::string shown = {};
    // A counter that a flood changes faster than an eye can follow.
    std::optional<ShowScheduler::Paced> paced = {};
    // The lamp that draws this caption as part of itself, if any; the
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
  struct ButtonView {
    CommandButton* model;
    QPushButton* view;
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

  // Builds a view of every widget of `form` in the window, in its font, and
  // a Qt timer for each of its timers and of `moreTimers`; the captions, the
  // frames and the text boxes send their events through the window's event
  // filter. The keyboard focus runs in the panel's order.
  void build(Form1& form, const std::vector<Timer*>& moreTimers);

  // After each kind of event, the model is shown now or when the scheduler
  // says (see ShowScheduler); the Qt timers follow the model's at once.
  void operated();
  void ticked(bool framesWent, bool changed, std::int64_t messages);
  void portEvent(bool received, std::int64_t messages);

  // When `ticked` is a lamp's timer: the other lamp's, if it is due within
  // ShowScheduler::kTimerWait, to tick in the same wake-up.
  [[nodiscard]] const Timer* lampDueWith(const Timer& ticked) const;

  // The model widget a view shows, or null when it shows none of that kind.
  [[nodiscard]] const Label* labelOf(const QObject* view) const;
  [[nodiscard]] const TextBox* textBoxOf(const QObject* view) const;
  [[nodiscard]] bool isFrame(const QObject* view) const;

  // The views whose signals the window connects to the core.
  const std::vector<ButtonView>& buttons() const { return m_buttons; }
  const std::vector<ComboView>& combos() const { return m_combos; }
  const std::vector<TextBoxView>& textBoxes() const { return m_textBoxes; }
  const std::vector<TimerView>& timers() const { return m_timers; }

 private:
  void buildPicture(const Form1& form, const WidgetRefs& widgets, QWidget* parent,
                    Container container);
  void buildControls(const WidgetRefs& widgets, QWidget* parent, Container container);
  void applyFocusOrder();
  QRect toPixels(const Rect& r) const;

  void showModel();
  void showTimers();
  // Wakes when the scheduler asks to be asked again.
  void armWake();
  // How long until the soonest running timer fires, if one runs.
  std::optional<ShowScheduler::Duration> nextTimer() const;
  // Whether a caption can change into another without a new fit.
  bool sameWidth(const std::string& before, const std::string& after) const;

  QWidget& m_window;
  const Form1* m_form = nullptr;
  ShowScheduler m_schedule;
  QTimer m_wake;
  std::optional<ShowScheduler::Time> m_wakeFor;
  std::vector<std::pair<GroupFrame*, Container>> m_frames;
  std::vector<LabelView> m_labels;
  std::vector<ShapeViewRef> m_shapes;
  std::vector<TextBoxView> m_textBoxes;
  std::vector<ListView> m_lists;
  std::vector<ComboView> m_combos;
  std::vector<ButtonView> m_buttons;
  std::vector<TimerView> m_timers;
  // Whether every digit is as wide as any other in the captions' fonts.
  bool m_tabularDigits = false;
};

}  // namespace halvorn::shell

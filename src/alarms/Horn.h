// The horn: it sounds while an unacknowledged high or medium alarm stands.
// "Silence" quiets it without acknowledging anything; it sounds again after
// kHornSilence if such an alarm still waits, or at once for one raised
// after the silence.
#pragma once

#include <optional>

#include "alarms/AlarmBoard.h"

namespace halvorn::alarms {

constexpr Milliseconds kHornSilence = 30'000;

class Horn {
 public:
  [[nodiscard]] bool Sounding(const AlarmBoard& board, Milliseconds now) const;
  void Silence(Milliseconds now) { m_silencedAt = now; }

 private:
  std::optional<Milliseconds> m_silencedAt;
};

}  // namespace halvorn::alarms

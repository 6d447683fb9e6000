// The hand-over between the window's thread and the record's writer: a
// bounded queue of record items that never allocates and never waits on
// the disk.
//
// The window's thread appends items into a buffer reserved once; the writer
// swaps the whole buffer for its own empty one and decodes it at leisure.
// An item that does not fit is not kept but counted, and when there is room
// again a 'gap' event with that count and the time of the first item lost
// goes in first, so the record says where it is incomplete.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace halvorn::record {

// One row for one of the record's tables (see Schema.h); which fields mean
// what depends on `kind`.
struct Item {
  enum class Kind : std::uint8_t { Traffic, Action, DeviceState, Event, Command, Alarm };
  Kind kind = Kind::Event;
  std::int64_t t_ns = 0;
  std::int64_t wall_ns = 0;
  // traffic: direction; device_state: quality.
  std::int32_t code = 0;
  // event: number; device_state: colour; action: the action's number in
  // its session (1, 2, ...); command: the number of the action that sent it;
  // alarm: t_ns at which a shelf expires.
  std::optional<std::int64_t> number;
  // event 'gap': t_ns of the first item lost; the gap's own t_ns is when
  // items were kept again.
  std::optional<std::int64_t> began_ns;
  // device_state: the reading in mBar or percent.
  std::optional<double> value;
  // traffic and command: {bytes}; action: {procedure, device, argument};
  // device_state: {device, text, detail}; event: {kind, text};
  // alarm: {point, transition, priority, text, reason, user}.
  // A field that is nullopt is stored as NULL.
  std::array<std::optional<std::string_view>, 6> text{};
};

class ItemQueue {
 public:
  // Reserves `capacityBytes` twice (the filling buffer and the writer's),
  // now, so that pushing never allocates.
  explicit ItemQueue(std::size_t capacityBytes);
  ItemQueue(const ItemQueue&) = delete;
  ItemQueue& operator=(const ItemQueue&) = delete;

  // Appends `item`, its texts copied. False, and the item counted as lost,
  // when it does not fit.
  bool Push(const Item& item);

  // The writer's side: takes everything queued so far, in order, and calls
  // `take` for each item (texts valid during the call only). Returns how
  // many items were taken. Nothing taken is kept, even when `take` throws.
  std::size_t TakeAll(const std::function<void(const Item&)>& take);

  // The writer's side in two steps, for a batch that may have to be stored
  // again: Offer() calls `take` for each item of the batch, which is what is
  // queued now or, when the last batch offered was not released, that one
  // again, first and alone. Release() lets the batch go once it is stored.
  // While a batch is held, the window's thread queues on into the other
  // buffer, and what does not fit there is counted as lost, as always.
  std::size_t Offer(const std::function<void(const Item&)>& take);
  void Release() { m_taking.clear(); }
  [[nodiscard]] bool HoldsBatch() const { return !m_taking.empty(); }

  // Items that did not fit and have not yet been reported by a gap.
  [[nodiscard]] std::uint64_t Lost() const;

 private:
  [[nodiscard]] bool Append(const Item& item);
  static std::size_t EncodedSize(const Item& item);

  mutable std::mutex m_mutex;
  std::size_t m_capacity;
  std::vector<char> m_filling;  // guarded by m_mutex
  std::vector<char> m_taking;   // the writer's, outside the lock
  std::uint64_t m_lost = 0;     // guarded by m_mutex
  std::int64_t m_lostSince = 0; // t_ns of the first item lost; guarded by m_mutex
};

// The text of the gap event for `lost` items.
constexpr std::string_view kGapText =
    "items not recorded: the record fell behind (a slow disk or another program's lock)";

}  // namespace halvorn::record

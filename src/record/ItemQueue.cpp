#include "record/ItemQueue.h"

#include <cstring>
#include <tuple>
#include <type_traits>

namespace halvorn::record {
namespace {

// What goes into the buffer before an item's texts; each text present
// follows as its length (a Length) and its bytes, so that the many items of
// one text (the traffic) carry no room for the texts of an alarm.
struct Header {
  Item::Kind kind;
  std::uint16_t present;  // bit 0 number, bit 1 value, bit 2 began_ns, bits 3.. texts
  std::int32_t code;
  std::int64_t t_ns;
  std::int64_t wall_ns;
  std::int64_t number;
  double value;
  std::int64_t began_ns;
};
static_assert(std::is_trivially_copyable_v<Header>);
using Length = std::uint32_t;

constexpr std::uint16_t kHasNumber = 1;
constexpr std::uint16_t kHasValue = 2;
constexpr std::uint16_t kHasBegan = 4;
constexpr std::uint16_t TextBit(std::size_t i) { return static_cast<std::uint16_t>(8u << i); }
static_assert(TextBit(std::tuple_size_v<decltype(Item::text)> - 1) != 0);

}  // namespace

ItemQueue::ItemQueue(std::size_t capacityBytes) : m_capacity(capacityBytes) {
  m_filling.reserve(capacityBytes);
  m_taking.reserve(capacityBytes);
}

std::size_t ItemQueue::EncodedSize(const Item& item) {
  std::size_t size = sizeof(Header);
  for (const auto& text : item.text) size += text ? sizeof(Length) + text->size() : 0;
  return size;
}

bool ItemQueue::Append(const Item& item) {
  const std::size_t size = EncodedSize(item);
  if (m_filling.size() + size > m_capacity) return false;
  Header header{item.kind, 0, item.code, item.t_ns, item.wall_ns, item.number.value_or(0),
                item.value.value_or(0.0), item.began_ns.value_or(0)};
  if (item.number) header.present |= kHasNumber;
  if (item.value) header.present |= kHasValue;
  if (item.began_ns) header.present |= kHasBegan;
  for (std::size_t i = 0; i < item.text.size(); ++i)
    if (item.text[i]) header.present |= TextBit(i);
  // Within the reserved capacity: insert never reallocates.
  const auto put = [this](const auto& value) {
    const char* raw = reinterpret_cast<const char*>(&value);
    m_filling.insert(m_filling.end(), raw, raw + sizeof value);
  };
  put(header);
  for (const auto& text : item.text) {
    if (!text) continue;
    put(static_cast<Length>(text->size()));
    m_filling.insert(m_filling.end(), text->begin(), text->end());
  }
  return true;
}

bool ItemQueue::Push(const Item& item) {
  const std::lock_guard lock(m_mutex);
  if (m_lost > 0) {
    Item gap;
    gap.kind = Item::Kind::Event;
    gap.t_ns = item.t_ns;
    gap.wall_ns = item.wall_ns;
    gap.number = static_cast<std::int64_t>(m_lost);
    gap.began_ns = m_lostSince;
    gap.text = {std::string_view("gap"), kGapText, std::nullopt};
    // Both or neither, so that the gap is told before what follows it.
    if (m_filling.size() + EncodedSize(gap) + EncodedSize(item) > m_capacity || !Append(gap)) {
      ++m_lost;
      return false;
    }
    m_lost = 0;
  }
  if (Append(item)) return true;
  if (m_lost++ == 0) m_lostSince = item.t_ns;
  return false;
}

std::size_t ItemQueue::TakeAll(const std::function<void(const Item&)>& take) {
  // Emptied also when `take` throws: a writer that failed keeps nothing.
  struct Empty {
    ItemQueue& queue;
    ~Empty() { queue.Release(); }
  } empty{*this};
  return Offer(take);
}

std::size_t ItemQueue::Offer(const std::function<void(const Item&)>& take) {
  if (m_taking.empty()) {
    const std::lock_guard lock(m_mutex);
    m_filling.swap(m_taking);  // keeps both reservations
  }
  std::size_t count = 0;
  std::size_t at = 0;
  while (at + sizeof(Header) <= m_taking.size()) {
    Header header;
    std::memcpy(&header, m_taking.data() + at, sizeof header);
    at += sizeof header;
    Item item;
    item.kind = header.kind;
    item.code = header.code;
    item.t_ns = header.t_ns;
    item.wall_ns = header.wall_ns;
    if (header.present & kHasNumber) item.number = header.number;
    if (header.present & kHasValue) item.value = header.value;
    if (header.present & kHasBegan) item.began_ns = header.began_ns;
    for (std::size_t i = 0; i < item.text.size(); ++i) {
      if (!(header.present & TextBit(i))) continue;
      Length length = 0;
      std::memcpy(&length, m_taking.data() + at, sizeof length);
      at += sizeof length;
      item.text[i] = std::string_view(m_taking.data() + at, length);
      at += length;
    }
    take(item);
    ++count;
  }
  return count;
}

std::uint64_t ItemQueue::Lost() const {
  const std::lock_guard lock(m_mutex);
  return m_lost;
}

}  // namespace halvorn::record
